#!/usr/bin/env bash
# Type-checks the macOS backend (platform/eventkit/*.mm) on a machine without
# the macOS SDK: every file is parsed as Objective-C++ with ARC and blocks
# against the declarations in platform/eventkit/check/include, so a message the
# frameworks do not have, a wrong argument type or a wrong block signature
# fails; and reads the Info.plist linked into the executable. Exits non-zero on
# any error or warning.
set -euo pipefail
cd "$(dirname "$0")/.."

CLANG=${CLANG:-clang++}
flags=(
  -fsyntax-only -x objective-c++ -std=c++20
  -fobjc-arc -fblocks -fobjc-runtime=macosx-11.0
  -Werror -Wall -Wextra -Wconversion -Wsign-conversion -Wshorten-64-to-32
  -Wobjc-method-access -Wundeclared-selector -Wincompatible-pointer-types
  -Wnullable-to-nonnull-conversion -Wobjc-signed-char-bool -Wstrict-selector-match
  -Iplatform/eventkit/check/include -I.
)

files=(platform/eventkit/*.mm)
if [[ ! -e ${files[0]} ]]; then
  echo "check-eventkit: no .mm files in platform/eventkit" >&2
  exit 1
fi
failed=0
for file in "${files[@]}"; do
  if ! "$CLANG" "${flags[@]}" "$file"; then
    echo "check-eventkit: $file fails the check" >&2
    failed=1
  fi
done
# The embedded Info.plist: a readable property list with every usage description.
if ! python3 - platform/eventkit/Info.plist <<'PY'
import plistlib, sys
with open(sys.argv[1], "rb") as f:
    keys = plistlib.load(f)
needed = ["NSCalendarsFullAccessUsageDescription", "NSCalendarsUsageDescription",
          "NSRemindersFullAccessUsageDescription", "NSRemindersUsageDescription", "CFBundleIdentifier"]
missing = [k for k in needed if not isinstance(keys.get(k), str) or not keys[k]]
if missing:
    sys.exit("Info.plist lacks " + ", ".join(missing))
PY
then
  echo "check-eventkit: platform/eventkit/Info.plist fails the check" >&2
  failed=1
fi
if ((failed)); then exit 1; fi
echo "check-eventkit: ${#files[@]} files and Info.plist pass"
