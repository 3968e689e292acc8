#!/usr/bin/env bash
# Type-checks the macOS backend (platform/eventkit/*.mm) on a machine without
# the macOS SDK, as a Mac's compiler sees it: every file is compiled as
# Objective-C++ with ARC and blocks against the declarations in
# platform/eventkit/check/include, for arm64 and x86_64 Macs, at the oldest
# macOS the bridge supports (platform/eventkit/oldest-macos) and at macOS 14.
# A message the frameworks do not have, a wrong argument type or block
# signature, a call newer than the oldest system without an availability
# check, or a deprecated call not marked as such fails it. It also reads the
# Info.plist linked into the executable and the entitlements it is signed
# with. Exits non-zero on any error or warning.
# Arguments, if any, name the .mm files to check instead of all of them.
#
# The C library's headers do not parse for an Apple target, so each file is
# preprocessed once for this machine, and the preprocessed text is then compiled
# for each Apple target (the stand-ins take BOOL from the target).
set -euo pipefail
cd "$(dirname "$0")/.."

CLANG=${CLANG:-clang++}
oldest=$(head -n 1 platform/eventkit/oldest-macos)
if [[ ! $oldest =~ ^[0-9]+(\.[0-9]+){0,2}$ ]]; then
  echo "check-eventkit: platform/eventkit/oldest-macos holds no macOS version" >&2
  exit 1
fi
systems=("$oldest" 14.0)
architectures=(arm64 x86_64)

language=(-std=c++20 -fobjc-arc -fblocks)
# The standard library's spin wait calls an x86 builtin that an arm64 target
# lacks; it becomes a no-op (the check runs no code).
preprocess=(-E -x objective-c++ "${language[@]}" -fobjc-runtime=macosx-11.0
            "-D__builtin_ia32_pause()=((void)0)" -Iplatform/eventkit/check/include -Iplatform/api -Icalendar-core -I.)
check=(-fsyntax-only -x objective-c++-cpp-output "${language[@]}"
       -Werror -Wall -Wextra -Wconversion -Wsign-conversion -Wshorten-64-to-32
       -Wobjc-method-access -Wundeclared-selector -Wincompatible-pointer-types
       -Wnullable-to-nonnull-conversion -Wobjc-signed-char-bool -Wstrict-selector-match
       -Wunguarded-availability -Wunguarded-availability-new -Wdeprecated-declarations)

# Every backend file, or only the files named as arguments.
files=("$@")
((${#files[@]})) || files=(platform/eventkit/*.mm)
if [[ ! -e ${files[0]} ]]; then
  echo "check-eventkit: no .mm files in platform/eventkit" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
for file in "${files[@]}"; do
  preprocessed="$work/$(basename "$file" .mm).mii"
  if ! "$CLANG" "${preprocess[@]}" "$file" -o "$preprocessed"; then
    echo "check-eventkit: $file fails to preprocess" >&2
    failed=1
    continue
  fi
  for arch in "${architectures[@]}"; do
    for system in "${systems[@]}"; do
      if ! "$CLANG" "${check[@]}" -target "$arch-apple-macos$system" "$preprocessed"; then
        echo "check-eventkit: $file fails the check for $arch-apple-macos$system" >&2
        failed=1
      fi
    done
  done
done
# The embedded Info.plist: a readable property list with every usage description;
# the entitlements the executable is signed with: both kinds of data.
if ! python3 - platform/eventkit/Info.plist platform/eventkit/calendar-bridge.entitlements <<'PY'
import plistlib, sys
with open(sys.argv[1], "rb") as f:
    keys = plistlib.load(f)
needed = ["NSCalendarsFullAccessUsageDescription", "NSCalendarsUsageDescription",
          "NSRemindersFullAccessUsageDescription", "NSRemindersUsageDescription", "CFBundleIdentifier"]
missing = [k for k in needed if not isinstance(keys.get(k), str) or not keys[k]]
if missing:
    sys.exit("Info.plist lacks " + ", ".join(missing))
with open(sys.argv[2], "rb") as f:
    entitlements = plistlib.load(f)
needed = ["com.apple.security.personal-information.calendars", "com.apple.security.personal-information.reminders"]
missing = [k for k in needed if entitlements.get(k) is not True]
if missing:
    sys.exit("calendar-bridge.entitlements lacks " + ", ".join(missing))
PY
then
  echo "check-eventkit: platform/eventkit/Info.plist or calendar-bridge.entitlements fails the check" >&2
  failed=1
fi
if ((failed)); then exit 1; fi
echo "check-eventkit: ${#files[@]} files for ${architectures[*]} at macOS ${systems[*]}, Info.plist and entitlements, pass"
