#!/usr/bin/env bash
# Replies of two bridge binaries compared byte for byte on one store: "events" over
# windows from an hour to four years under several zones, each asked twice (the
# first run builds the index, the second reads it), "calendars" and "reminders-read".
# Each binary works on its own copy of the store, since their indexes may differ.
#
#   bench/compare_replies.sh OLD_BINARY NEW_BINARY STORE_ROOT [WORK_DIR]
#
# Prints one line per difference and a count; exits 1 when any reply differs.
set -euo pipefail
old=$1 new=$2 store=$3 work=${4:-/tmp/compare-replies}
rm -rf "$work"
mkdir -p "$work"
cp -a "$store" "$work/old-store"
cp -a "$store" "$work/new-store"
rm -f "$work"/{old,new}-store/.index.sqlite*
# Folders by the kinds their components file names (none: both).
folders_of() {
  for d in "$store"/*/; do
    d=${d%/}
    if [[ ! -f $d/components ]] || grep -q "$1" "$d/components"; then echo "\"${d##*/}\""; fi
  done | paste -sd,
}
calendars=$(folders_of VEVENT)
lists=$(folders_of VTODO)
windows=(
  "2026-03-02T00:00:00Z 2026-03-02T01:00:00Z" "2026-03-02T00:00:00Z 2026-03-03T00:00:00Z"
  "2026-03-02T00:00:00Z 2026-03-09T00:00:00Z" "2026-03-02T00:00:00Z 2026-04-01T00:00:00Z"
  "2026-03-02T00:00:00Z 2027-03-02T00:00:00Z" "2025-01-01T00:00:00Z 2028-12-30T00:00:00Z"
  "2025-03-08T10:00:00+05:30 2025-03-11T00:00:00Z" "2024-10-27T00:00:00Z 2024-11-04T00:00:00Z"
  "2019-01-01T00:00:00Z 2019-02-01T00:00:00Z")
differ=0 runs=0
ask() {  # zone command input name
  local zone=$1 command=$2 input=$3 name=$4
  for side in old new; do
    local binary=$old
    [[ $side == new ]] && binary=$new
    for pass in 1 2; do
      TZ=$zone CALENDAR_STORE_DIR=$work/$side-store "$binary" "$command" <<<"$input" \
        >"$work/$side.$name.$pass.out" 2>"$work/$side.$name.$pass.err" && echo 0 >"$work/$side.$name.$pass.rc" ||
        echo $? >"$work/$side.$name.$pass.rc"
    done
  done
  for pass in 1 2; do
    runs=$((runs + 1))
    for part in out err rc; do
      if ! cmp -s "$work/old.$name.$pass.$part" "$work/new.$name.$pass.$part"; then
        echo "differs: $name pass $pass ($part)"
        differ=$((differ + 1))
        break
      fi
    done
  done
}
for zone in UTC America/New_York Asia/Kolkata Pacific/Kiritimati Europe/Berlin; do
  z=${zone//\//_}
  ask "$zone" calendars '{}' "calendars.$z"
  i=0
  for window in "${windows[@]}"; do
    read -r start end <<<"$window"
    ask "$zone" events "{\"calendarIds\":[$calendars],\"start\":\"$start\",\"end\":\"$end\"}" "events.$z.$i"
    i=$((i + 1))
  done
  ask "$zone" reminders-read "{\"listIds\":[$lists]}" "reminders.$z"
done
echo "$runs replies compared, $differ differ"
((differ == 0))
