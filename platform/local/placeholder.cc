// Placeholder until the local store lands.
