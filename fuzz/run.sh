#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each one in turn
# for the given number of seconds (default 30) on a copy of its seed corpus.
# Fails on the first target that reports a finding; the input that caused it is
# left in build-fuzz/artifacts/<target>/.
#
#   fuzz/run.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(front_end recurrence_rules date_readers url_meeting_link store_item store_text event_digest index_rows rule_walk)
fi

# -O1 with line tables: quicker to build than -O2 -g, asserts stay on, traces keep lines.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
  -DBRIDGE_FUZZ=ON -DBRIDGE_TESTS=OFF >/dev/null
cmake --build build-fuzz --target "${targets[@]/%/_fuzz}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1:abort_on_error=1}
for target in "${targets[@]}"; do
  work=build-fuzz/corpus/$target
  artifacts=build-fuzz/artifacts/$target
  mkdir -p "$work" "$artifacts"
  echo "== $target: ${seconds}s"
  log=build-fuzz/$target.log
  # New inputs go to the work corpus only; the seeds in fuzz/corpus stay as they are.
  if ! build-fuzz/fuzz/${target}_fuzz "$work" "fuzz/corpus/$target" -max_total_time="$seconds" \
      -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" >"$log" 2>&1; then
    tail -n 80 "$log" >&2
    echo "fuzz target $target failed; input in $artifacts/, log in $log" >&2
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
done
