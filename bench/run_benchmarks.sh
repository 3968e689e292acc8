#!/usr/bin/env bash
# Whole-process timings of every bridge command on generated stores, next to khal
# and todoman on the same folders and two floors (a do-nothing program linking the
# same libraries, and `cat` of the files the command reads), with peak memory.
#
#   bench/run_benchmarks.sh [small] [medium] [large] [scaling] [hostile]  (default: the three sizes)
#
# "hostile": "events" on the small store's shape with and without the rules of
# generate_store.py's HOSTILE_RULES, and one series with 1,000, 4,000 and 10,000
# overrides (only the bridge; a few minutes).
#
# Environment: BENCH_WORK (stores, peer configs, results; default
# /tmp/calendar-bridge-bench), BENCH_BUILD (default build-bench), BENCH_RUNS and
# BENCH_PEER_RUNS (override the runs per size), BENCH_FAST_RUNS (runs of the commands
# without parameters and of the do-nothing floor, default 100), BENCH_ONLY (space-separated bridge
# cases to time again, e.g. "update delete", keeping the other results; no peers).
# Stores are generated once and reused. The tables go to $BENCH_WORK/results/<size>.md.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
work=${BENCH_WORK:-/tmp/calendar-bridge-bench}
build=${BENCH_BUILD:-$repo/build-bench}
sizes=("$@")
((${#sizes[@]})) || sizes=(small medium large)

if [[ $EUID == 0 ]]; then scripts/setup-bench.sh; fi
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRIDGE_BENCH=ON >/dev/null
ninja -C "$build" calendar-bridge floor_main >/dev/null
bridge=$build/calendar-bridge
floor=$build/bench/floor_main

# calendars events-per-calendar lists reminders-per-list runs peer-runs longest-khal-window
# (khal over 365 days takes about two minutes a run on the medium store, so the large
# store stops at 30 days unless BENCH_KHAL_DAYS says otherwise).
size_shape() {
  case $1 in
    small) echo "2 200 2 100 10 10 365" ;;
    medium) echo "5 2000 3 1000 5 5 365" ;;
    large) echo "10 10000 5 5000 7 1 30" ;;
    *) echo "unknown size: $1 (small, medium or large)" >&2; exit 2 ;;
  esac
}

# Generates the store unless the same shape is already there.
ensure_store() {
  local dir=$1 calendars=$2 events=$3 lists=$4 reminders=$5 share=${6:-0.18}
  local shape="$calendars x $events, $lists x $reminders"
  [[ $share == 0.18 ]] || shape+=", repeating share $share"
  if [[ -f $dir/generated && $(cat "$dir/generated") == "$shape" ]]; then return; fi
  python3 bench/generate_store.py --root "$dir/store" --force --calendars "$calendars" \
    --events $((calendars * events)) --lists "$lists" --reminders $((lists * reminders)) --repeating-share "$share"
  echo "$shape" >"$dir/generated"
}

# "events" over 30 days on the large store's calendars with 1x, 2x and 4x its share
# of repeating events (warm index): what a query costs as the rules' history grows.
run_scaling() {
  local out=$work/results/scaling table=$work/results/scaling.md
  local log=$out/hyperfine.log
  mkdir -p "$out"
  rm -f "$out"/*.json "$log"
  {
    echo "| repeating share | event files | repeating events | occurrences in reply | median ms | peak RSS MB |"
    echo "|---:|---:|---:|---:|---:|---:|"
  } >"$table"
  for factor in 1 2 4; do
    local share dir root
    share=$(python3 -c "print(round(0.18 * $factor, 2))")
    dir=$work/scaling-$factor
    if ((factor == 1)) && [[ -d $work/large/store ]]; then dir=$work/large; else ensure_store "$dir" 10 10000 0 0 "$share"; fi
    root=$dir/store
    local calendar_ids params=$dir/events-30.json
    calendar_ids=$(cd "$root" && ls -d calendar-* | sed 's/.*/"&"/' | paste -sd,)
    echo "{\"calendarIds\":[$calendar_ids],\"start\":\"2026-03-02T00:00:00Z\",\"end\":\"2026-04-01T00:00:00Z\"}" >"$params"
    echo "== scaling: repeating share $share"
    CALENDAR_STORE_DIR=$root "$bridge" events <"$params" >"$out/events-30.$factor.reply"
    CALENDAR_STORE_DIR=$root time_command "$out/events-30.$factor.json" "${BENCH_RUNS:-5}" "$bridge events < $params" --warmup 2
    local peak files repeating occurrences median
    peak=$(CALENDAR_STORE_DIR=$root /usr/bin/time -v "$bridge" events <"$params" 2>&1 >/dev/null |
      awk -F': ' '/Maximum resident set size/ {printf "%.0f", $2 / 1024}')
    files=$(find "$root" -path "$root/calendar-*" -name '*.ics' | wc -l)
    # Files with a rule in an event (a VTIMEZONE's rules do not count).
    repeating=$(find "$root" -path "$root/calendar-*" -name '*.ics' -exec awk '
      FNR == 1 {e = 0} /^BEGIN:VEVENT/ {e = 1} /^END:VEVENT/ {e = 0} e && /^RRULE/ {n++; nextfile} END {print n + 0}' {} + |
      awk '{s += $1} END {print s}')
    occurrences=$(python3 -c "import json,sys; print(len(json.load(open(sys.argv[1]))))" "$out/events-30.$factor.reply")
    median=$(python3 -c "import json,sys; print('%.0f' % (json.load(open(sys.argv[1]))['results'][0]['median'] * 1000))" \
      "$out/events-30.$factor.json")
    echo "| $share | $files | $repeating | $occurrences | $median | $peak |" >>"$table"
  done
  echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$table"
  cat "$table"
}

# "events" on a small store and the same store with the hostile rules beside its
# events, over a week, 30 days and four years (warm index and none); then one series
# with many overrides. Medians in ms.
run_hostile() {
  local out=$work/results/hostile table=$work/results/hostile.md runs=${BENCH_RUNS:-10}
  log=$out/hyperfine.log
  mkdir -p "$out"
  rm -f "$out"/*.json "$log"
  local median='import json,sys; print("%.1f" % (json.load(open(sys.argv[1]))["results"][0]["median"] * 1000))'
  {
    echo "| store | window | warm index, without | warm index, with | no index, without | no index, with |"
    echo "|---|---|---:|---:|---:|---:|"
  } >"$table"
  for variant in plain hostile; do
    local flags=()
    [[ $variant == hostile ]] && flags=(--hostile-rules)
    python3 bench/generate_store.py --root "$work/hostile-$variant/store" --force --calendars 2 --events 400 \
      --lists 1 --reminders 10 "${flags[@]}" >/dev/null
  done
  for window in "7 2025-03-03T00:00:00Z 2025-03-10T00:00:00Z" "30 2025-03-01T00:00:00Z 2025-03-31T00:00:00Z" \
    "1460 2025-01-01T00:00:00Z 2028-12-30T00:00:00Z"; do
    read -r days start end <<<"$window"
    local params=$out/events-$days.json cells=()
    echo "{\"calendarIds\":[\"calendar-00\",\"calendar-01\"],\"start\":\"$start\",\"end\":\"$end\"}" >"$params"
    for index in warm cold; do
      for variant in plain hostile; do
        local root=$work/hostile-$variant/store prepare=(--warmup 2)
        [[ $index == cold ]] && prepare=(--prepare "rm -f $root/.index.sqlite")
        echo "== hostile: $days days, $variant, $index index"
        CALENDAR_STORE_DIR=$root time_command "$out/$days.$variant.$index.json" "$runs" "$bridge events < $params" \
          "${prepare[@]}"
        cells+=("$(python3 -c "$median" "$out/$days.$variant.$index.json")")
      done
    done
    echo "| small (2 x 200 events) | $days days | ${cells[0]} | ${cells[1]} | ${cells[2]} | ${cells[3]} |" >>"$table"
  done
  {
    echo
    echo "| overrides of one series | warm index | no index |"
    echo "|---:|---:|---:|"
  } >>"$table"
  for count in 1000 4000 10000; do
    local root=$work/overrides-$count/store params=$out/overrides.json
    python3 bench/generate_store.py --root "$root" --force --calendars 1 --events 0 --lists 1 --reminders 0 \
      --overrides "$count" >/dev/null
    echo '{"calendarIds":["calendar-00"],"start":"2025-03-01T00:00:00Z","end":"2025-03-08T00:00:00Z"}' >"$params"
    echo "== overrides: $count"
    CALENDAR_STORE_DIR=$root time_command "$out/overrides-$count.warm.json" "$runs" "$bridge events < $params" --warmup 2
    CALENDAR_STORE_DIR=$root time_command "$out/overrides-$count.cold.json" "$runs" "$bridge events < $params" \
      --prepare "rm -f $root/.index.sqlite"
    echo "| $count | $(python3 -c "$median" "$out/overrides-$count.warm.json") |" \
      "$(python3 -c "$median" "$out/overrides-$count.cold.json") |" >>"$table"
  done
  echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$table"
  cat "$table"
}

# hyperfine over one shell command line; extra arguments go to hyperfine.
time_command() {
  local json=$1 runs=$2 line=$3
  shift 3
  hyperfine --style basic --runs "$runs" --export-json "$json" "$@" "$line" >>"$log" 2>&1 ||
    echo "  failed: $line (see $log)" >&2
}

# Peak resident memory (kB) of one bridge run, after an optional preparation.
peak_memory() {
  local command=$1 params=$2 prepare=${3:-true}
  bash -c "$prepare"
  /usr/bin/time -v "$bridge" "$command" <"$params" 2>&1 >/dev/null |
    awk -F': ' '/Maximum resident set size/ {print $2}'
}

# One bridge command: warm index, right after the index was deleted, peak memory
# of both, and the floors. `restore` undoes a write before each run. Commands whose
# parameters are empty run without a shell (empty standard input reads as {}), so
# that hyperfine need not subtract a shell's start from a few milliseconds.
bench_bridge() {
  local name=$1 command=$2 params=$3 read_list=$4 restore=${5:-}
  if [[ -n ${BENCH_ONLY:-} && " $BENCH_ONLY " != *" $name "* ]]; then return; fi
  if [[ -f $out/memory.tsv ]]; then sed -i "/^$name\t/d" "$out/memory.tsv"; fi
  local line="$bridge $command < $params" shell=() warm_prepare=() cold_prepare=(--prepare "rm -f $index")
  local runs=$runs
  # Commands of a few milliseconds need many runs for a median that noise does not decide.
  if [[ $params == */empty.json ]]; then line="$bridge $command" shell=(-N) runs=$fast_runs; fi
  if [[ -n $restore ]]; then warm_prepare=(--prepare "$restore") cold_prepare=(--prepare "$restore; rm -f $index"); fi
  echo "  $name"
  # The last case's writes (a deleted index among them) are flushed before this one is timed.
  sync
  "$bridge" "$command" <"$params" >"$out/$name.reply" 2>&1 ||
    echo "  $name answered with a failure: $(cat "$out/$name.reply")" >&2
  bash -c "${restore:-true}"
  time_command "$out/$name.warm.json" "$runs" "$line" "${shell[@]}" --warmup 1 "${warm_prepare[@]}"
  time_command "$out/$name.cold.json" "$runs" "$line" "${shell[@]}" "${cold_prepare[@]}"
  printf '%s\twarm\t%s\n' "$name" "$(peak_memory "$command" "$params" "${restore:-true}")" >>"$out/memory.tsv"
  printf '%s\tcold\t%s\n' "$name" "$(peak_memory "$command" "$params" "${restore:-true}; rm -f $index")" \
    >>"$out/memory.tsv"
  bash -c "${restore:-true}"
  time_command "$out/$name.floor-cat.json" "$runs" "xargs -a $read_list cat" -N --warmup 1
  # A command of a few milliseconds is set against the do-nothing floor timed right
  # after it, so that both see the same machine.
  if [[ $params == */empty.json ]]; then time_command "$out/$name.floor-exe.json" "$runs" "$floor" -N --warmup 1; fi
}

for size in "${sizes[@]}"; do
  if [[ $size == scaling ]]; then
    run_scaling
    continue
  fi
  if [[ $size == hostile ]]; then
    run_hostile
    continue
  fi
  read -r calendars events lists reminders runs peer_runs khal_days <<<"$(size_shape "$size")"
  runs=${BENCH_RUNS:-$runs}
  fast_runs=${BENCH_FAST_RUNS:-100}
  peer_runs=${BENCH_PEER_RUNS:-$peer_runs}
  khal_days=${BENCH_KHAL_DAYS:-$khal_days}
  dir=$work/$size
  out=$work/results/$size
  log=$out/hyperfine.log
  mkdir -p "$dir" "$out"
  [[ -n ${BENCH_ONLY:-} ]] || rm -f "$out"/*.json "$out"/*.reply "$out/memory.tsv" "$log"
  echo "== $size: $calendars x $events events, $lists x $reminders reminders"
  ensure_store "$dir" "$calendars" "$events" "$lists" "$reminders"
  root=$dir/store
  index=$root/.index.sqlite
  export CALENDAR_STORE_DIR=$root
  bench/write_peer_configs.sh "$root" "$dir/peers"
  khal=(khal -c "$dir/peers/khal.conf")
  todoman=(todoman -c "$dir/peers/todoman.py")

  # What each command reads, for the cat floor.
  ls -d "$root"/access.json >"$dir/read-status"
  { cat "$dir/read-status"; ls "$root"/*/displayname "$root"/*/color "$root"/*/components 2>/dev/null; } \
    >"$dir/read-calendars"
  find "$root" -path "$root/calendar-*" -name '*.ics' >"$dir/read-events"
  find "$root" -path "$root/list-*" -name '*.ics' | sort >"$dir/read-reminders"
  calendar_ids=$(cd "$root" && ls -d calendar-* | sed 's/.*/"&"/' | paste -sd,)
  list_ids=$(cd "$root" && ls -d list-* | sed 's/.*/"&"/' | paste -sd,)

  # Parameters, and the targets of the update and the delete with their originals.
  p=$dir/params
  mkdir -p "$p" "$dir/saved"
  echo '{}' >"$p/empty.json"
  for days in 1 30 365; do
    end=$(date -u -d "2026-03-02 + $days days" +%Y-%m-%dT%H:%M:%SZ)
    echo "{\"calendarIds\":[$calendar_ids],\"start\":\"2026-03-02T00:00:00Z\",\"end\":\"$end\"}" >"$p/events-$days.json"
  done
  first_calendar=$(cd "$root" && ls -d calendar-* | sed -n 1p)
  echo "{\"calendarIds\":[\"$first_calendar\"],\"start\":\"2026-03-02T00:00:00Z\",\"end\":\"2026-03-09T00:00:00Z\"}" \
    >"$p/events-one-7.json"
  echo "{\"listIds\":[$list_ids]}" >"$p/lists.json"
  echo "{\"listIds\":[$list_ids],\"listId\":\"list-00\",\"clientId\":\"bench-create\",\"title\":\"Benchmark create\",\"due\":\"2026-03-05\",\"priority\":5}" >"$p/create.json"
  # A reminder without a rule: updating a repeating one would have to send its due date too.
  update_file=$(grep '/list-01/' "$dir/read-reminders" | xargs grep -L '^RRULE' | sed -n 1p)
  delete_file=$(grep '/list-01/' "$dir/read-reminders" | xargs grep -L '^RRULE' | sed -n 2p)
  cp -n "$update_file" "$delete_file" "$dir/saved/"
  update_id=list-01/$(basename "$update_file" .ics)
  delete_id=list-01/$(basename "$delete_file" .ics)
  echo "{\"listIds\":[$list_ids],\"listId\":\"list-01\",\"id\":\"$update_id\",\"title\":\"Renamed by the benchmark\",\"previousFields\":{\"title\":\"Before\"}}" >"$p/update.json"
  echo "{\"listIds\":[$list_ids],\"id\":\"$delete_id\"}" >"$p/delete.json"
  touch "$dir/before-creates"
  undo_create="find $root/list-00 -name '*.ics' -newer $dir/before-creates -delete"
  undo_update="cp $dir/saved/$(basename "$update_file") $update_file"
  undo_delete="cp $dir/saved/$(basename "$delete_file") $delete_file"

  bench_bridge status status "$p/empty.json" "$dir/read-status"
  bench_bridge calendars calendars "$p/empty.json" "$dir/read-calendars"
  bench_bridge connect connect "$p/empty.json" "$dir/read-calendars"
  for days in 1 30 365; do bench_bridge "events-$days" events "$p/events-$days.json" "$dir/read-events"; done
  find "$root/$first_calendar" -name '*.ics' >"$dir/read-events-one"
  bench_bridge events-one-7 events "$p/events-one-7.json" "$dir/read-events-one"
  bench_bridge reminders-connect reminders-connect "$p/empty.json" "$dir/read-calendars"
  bench_bridge reminders-read reminders-read "$p/lists.json" "$dir/read-reminders"
  bench_bridge create reminders-save "$p/create.json" "$dir/read-reminders" "$undo_create"
  bench_bridge update reminders-save "$p/update.json" "$dir/read-reminders" "$undo_update"
  bench_bridge delete reminders-delete "$p/delete.json" "$dir/read-reminders" "$undo_delete"

  if [[ -n ${BENCH_ONLY:-} ]]; then
    python3 bench/summarize_results.py "$out" "$size" >"$work/results/$size.md"
    continue
  fi
  echo "  floor and peers"
  time_command "$out/floor-exe.json" "$fast_runs" "$floor" -N --warmup 1
  time_command "$out/calendars.peer.json" "$peer_runs" "${khal[*]} printcalendars" -N --warmup 1
  for days in 1 30 365; do
    ((days <= khal_days)) || continue
    "${khal[@]}" list --format "{start} {title}" --day-format "" 2026-03-02 "${days}d" 2>/dev/null |
      grep -c . >"$out/events-$days.peer-count" || true
    time_command "$out/events-$days.peer.json" "$peer_runs" \
      "${khal[*]} list --format '{start} {title}' --day-format '' 2026-03-02 ${days}d 2>/dev/null" --warmup 1
  done
  # One calendar: khal configured with that calendar alone (its cache holds no other
  # calendar's events, which would slow its query several times over).
  khal_one=(khal -c "$dir/peers/khal-one.conf")
  "${khal_one[@]}" list --format "{start} {title}" --day-format "" 2026-03-02 7d 2>/dev/null |
    grep -c . >"$out/events-one-7.peer-count" || true
  time_command "$out/events-one-7.peer.json" "$peer_runs" \
    "${khal_one[*]} list --format '{start} {title}' --day-format '' 2026-03-02 7d 2>/dev/null" --warmup 1
  time_command "$out/reminders-read.peer.json" "$peer_runs" "${todoman[*]} --porcelain list --status ANY" --warmup 1
  time_command "$out/create.peer.json" "$peer_runs" "${todoman[*]} new -l 'List 0' 'Benchmark create' < /dev/null" \
    --warmup 1 --prepare "$undo_create"
  bash -c "$undo_create"

  # What the store holds, for the memory target and the report.
  {
    echo "event_files=$(wc -l <"$dir/read-events")"
    echo "event_bytes=$(xargs -a "$dir/read-events" cat | wc -c)"
    echo "reminder_files=$(wc -l <"$dir/read-reminders")"
    echo "reminder_bytes=$(xargs -a "$dir/read-reminders" cat | wc -c)"
    echo "index_file=$([[ -e $index ]] && echo present || echo absent)"
    echo "load_after=$(cut -d' ' -f1-3 /proc/loadavg)"
  } >"$out/store.txt"
  python3 bench/summarize_results.py "$out" "$size" >"$work/results/$size.md"
  cat "$work/results/$size.md"
done
