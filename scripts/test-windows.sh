#!/usr/bin/env bash
# Runs the Windows tests (the windows-i686 build, see scripts/build-windows.sh) under Wine's
# 32-bit loader: in a private prefix (scripts/wine-prefix.sh), with the SQL Server double's
# broker on the Linux side, since a Windows program cannot start the Python double itself.
#
#   bash scripts/test-windows.sh [--repeat N] [CTEST ARGUMENT...]     e.g. -R SettingsFiles
#
# --repeat N runs the whole suite N times, each in a prefix of its own as CI makes it, goes on
# after a failing run, prints one line per run and fails when any run failed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

repeat=1
if [[ "${1:-}" == "--repeat" ]]; then
  if [[ ! "${2:-}" =~ ^[1-9][0-9]*$ ]]; then
    echo "$0: --repeat needs a count of 1 or more" >&2
    exit 2
  fi
  repeat=$2
  shift 2
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/talvorin-windows-tests-XXXXXX")"
broker_pid=""
cleanup() {
  if [[ -n "$broker_pid" ]]; then
    kill "$broker_pid" 2>/dev/null || true
    wait "$broker_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

python3 tests/support/tds_double_broker.py --port-file "$work/broker.port" &
broker_pid=$!
for _ in $(seq 150); do
  [[ -s "$work/broker.port" ]] && break
  kill -0 "$broker_pid" 2>/dev/null || break
  sleep 0.1
done
if [[ ! -s "$work/broker.port" ]]; then
  echo "$0: the SQL Server double's broker did not start" >&2
  exit 2
fi
export TALVORIN_DOUBLE_BROKER="127.0.0.1:$(tr -d '[:space:]' <"$work/broker.port")"

if ((repeat == 1)); then
  exec bash scripts/wine-prefix.sh ctest --preset windows-i686 -j2 "$@"
fi

failed=0
for ((run = 1; run <= repeat; run++)); do
  started=$SECONDS
  log="$work/run-$run.log"
  if bash scripts/wine-prefix.sh ctest --preset windows-i686 -j2 "$@" >"$log" 2>&1; then
    result="passed"
  else
    result="FAILED"
    failed=$((failed + 1))
    grep -E '^\s+[0-9]+ - .*\((Failed|Timeout|Not Run|SEGFAULT|Exception)' "$log" >&2 || tail -n 40 "$log" >&2
    mkdir -p build-windows-i686/failed-runs
    cp "$log" "build-windows-i686/failed-runs/run-$run.log"
  fi
  line="run $run of $repeat: $result, $(grep -Eo '[0-9]+ tests failed out of [0-9]+|100% tests passed, 0 tests failed out of [0-9]+' "$log" | tail -n 1), $((SECONDS - started)) s"
  echo "$line"
done
echo "$((repeat - failed)) of $repeat runs passed"
((failed == 0))
