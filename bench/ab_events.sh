#!/usr/bin/env bash
# Two bridge binaries timed side by side on their own copies of one store (warm
# index), with the revalidation floor (`find` stat-ing the same files) beside them:
# "events" over 30 days in every calendar (e30) and 7 days in one (e7). Replies are
# compared first.
#
#   OLD=... NEW=... [SRC=store root] [W=work dir] [RUNS=7] [QUERIES="e30 e7"] bench/ab_events.sh
set -euo pipefail
old=${OLD:?the old binary} new=${NEW:?the new binary}
src=${SRC:-/tmp/calendar-bridge-bench/large/store}
w=${W:-/tmp/ab-events}
runs=${RUNS:-7}
mkdir -p "$w"
for side in old new; do
  [[ -d $w/$side ]] || cp -a "$src" "$w/$side"
done
cal=$(cd "$src" && ls -d calendar-* | sed 's/.*/"&"/' | paste -sd,)
echo "{\"calendarIds\":[$cal],\"start\":\"2026-03-02T00:00:00Z\",\"end\":\"2026-04-01T00:00:00Z\"}" >"$w/e30.json"
echo "{\"calendarIds\":[\"calendar-00\"],\"start\":\"2026-03-02T00:00:00Z\",\"end\":\"2026-03-09T00:00:00Z\"}" >"$w/e7.json"
for q in ${QUERIES:-e30 e7}; do
  for side in old new; do
    binary=$old
    [[ $side == new ]] && binary=$new
    CALENDAR_STORE_DIR=$w/$side $binary events <"$w/$q.json" >"$w/$side.$q.reply"
  done
  cmp "$w/old.$q.reply" "$w/new.$q.reply" && echo "$q replies identical"
  floor_dirs="$w/new/calendar-*"
  [[ $q == e7 ]] && floor_dirs=$w/new/calendar-00
  hyperfine --style basic --warmup 2 --runs "$runs" \
    -n "old $q" "CALENDAR_STORE_DIR=$w/old $old events < $w/$q.json" \
    -n "new $q" "CALENDAR_STORE_DIR=$w/new $new events < $w/$q.json" \
    -n "floor $q" "find $floor_dirs -name '*.ics' -printf '%s %T@\n' > /dev/null"
done
