#!/usr/bin/env bash
# Installs everything the bridge, its tests and its benchmarks need from Debian's
# packages, and any further packages named as arguments. Safe to run again:
# installed packages are left as they are.
set -euo pipefail
packages=(
  "$@"
  build-essential cmake ninja-build pkg-config ccache
  nlohmann-json3-dev libicu-dev libical-dev libsqlite3-dev nettle-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  locales tzdata python3 python3-yaml
  radicale vdirsyncer
  clang libclang-rt-14-dev llvm
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
