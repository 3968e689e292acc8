#!/usr/bin/env bash
# Installs what the whole-process benchmarks need besides the build: the timing
# tools and the peers they are compared with. Kept apart from setup.sh so that CI
# does not install the peers. Safe to run again.
set -euo pipefail
packages=(hyperfine time khal todoman valgrind python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
