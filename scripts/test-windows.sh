#!/usr/bin/env bash
# Runs the Windows tests (the windows-i686 build, see scripts/build-windows.sh) under Wine's
# 32-bit loader: in a private prefix (scripts/wine-prefix.sh), with the SQL Server double's
# broker on the Linux side (scripts/with-double-broker.sh), since a Windows program cannot
# start the Python double itself.
#
#   bash scripts/test-windows.sh [--repeat N] [CTEST ARGUMENT...]     e.g. -R platform
#   GTEST_FILTER='Win32Settings*' bash scripts/test-windows.sh -R platform
#
# --repeat N runs the whole suite N times, each in a prefix of its own as CI makes it, goes on
# after a failing run (its output is kept in build-windows-i686/failed-runs/), prints one line
# per run and fails when any run failed.
set -euo pipefail
cd "$(dirname "$0")/.."

suite() { bash scripts/with-double-broker.sh bash scripts/wine-prefix.sh ctest --preset windows-i686 -j2 "$@"; }

if [[ "${1:-}" != "--repeat" ]]; then
  suite "$@"
  exit
fi
if [[ ! "${2:-}" =~ ^[1-9][0-9]*$ ]]; then
  echo "$0: --repeat needs a count of 1 or more" >&2
  exit 2
fi
repeat=$2
shift 2

work="$(mktemp -d "${TMPDIR:-/tmp}/talvorin-windows-runs-XXXXXX")"
trap 'rm -rf "$work"' EXIT
failed=0
for ((run = 1; run <= repeat; run++)); do
  started=$SECONDS
  log="$work/run-$run.log"
  if suite "$@" >"$log" 2>&1; then
    result="passed"
  else
    result="FAILED"
    failed=$((failed + 1))
    grep -E '^\s+[0-9]+ - ' "$log" >&2 || tail -n 40 "$log" >&2
    mkdir -p build-windows-i686/failed-runs
    cp "$log" "build-windows-i686/failed-runs/run-$run.log"
  fi
  counts="$(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)"
  echo "run $run of $repeat: $result (${counts:-no test count}), $((SECONDS - started)) s"
done
echo "$((repeat - failed)) of $repeat runs passed"
((failed == 0))
