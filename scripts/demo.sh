#!/usr/bin/env bash
# Runs the bridge's main commands against the default store (or $CALENDAR_STORE_DIR)
# and shows each exchange. The first "connect" asks for access, which the store's
# permission record answers ("grant" unless it says otherwise).
set -uo pipefail
cd "$(dirname "$0")/.."
bridge=build/calendar-bridge
now=$(date -u +%Y-%m-%dT%H:%M:%SZ)
in30=$(date -u -d '+30 days' +%Y-%m-%dT%H:%M:%SZ)
exchange() {
  local command=$1 params=$2
  printf '$ echo %q | calendar-bridge %s\n' "$params" "$command"
  printf '%s' "$params" | "$bridge" "$command"
  printf '(exit %s)\n\n' "$?"
}
exchange status '{}'
exchange connect '{}'
exchange calendars '{}'
exchange events "{\"calendarIds\":[\"calendar\"],\"start\":\"$now\",\"end\":\"$in30\"}"
exchange reminders-connect '{}'
exchange reminders-read '{"listIds":["reminders"]}'
