#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz", build-fuzz/) and runs each for a bounded time,
# starting from the seed corpus in tests/fuzz/corpus/. Fails when any target finds a fault;
# the input that shows it is kept in build-fuzz/artifacts/.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]     (default: 12 s, every target)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-12}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(ini_text reg_file command_line str_to_int odbc_connection_string)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake --preset fuzz "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j2 --target "${targets[@]/%/_fuzz}" >/dev/null

mkdir -p build-fuzz/artifacts
status=0
for t in "${targets[@]}"; do
  work=build-fuzz/corpus/$t
  mkdir -p "$work"
  log=build-fuzz/$t.log
  # The corpus grown by earlier runs is kept in build-fuzz/, the tree holds only the seeds.
  if build-fuzz/tests/fuzz/${t}_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -max_len=4096 -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/${t}- \
       "$work" "tests/fuzz/corpus/$t" >"$log" 2>&1; then
    result=clean
  else
    result="FAULT (see $log)"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "fuzz $t: ${runs:-0} executions in ${seconds} s, $result"
done
exit $status
