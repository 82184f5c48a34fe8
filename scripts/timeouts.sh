#!/usr/bin/env bash
# Prints each time-out of the run's connections and calls against the SQL Server double
# stalling at that point, beside its target: the ODBC client alone ("driver", FreeTDS's own
# figure) and as the program makes the call, watched on a worker ("watched", which gives up
# at the time-out plus its margin). Takes about half an hour; not part of the test command.
#
#   bash scripts/timeouts.sh [CASE ...]    (default: every case below)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target sql_timeouts >/dev/null
program="$root/build/bench/sql_timeouts"
export TALVORIN_ODBC_DRIVER=FreeTDS

# case: what is measured, the double's fault, the call, the target in seconds
cases=(
  "master-silent|silent|master|60"
  "master-login|stall=login|master|60"
  "msdb-silent|silent|msdb|15"
  "dialog-silent|silent|dialog|60"
  "delete-job-busy|stall=rpc|delete-job|30"
  "delete-job-dead|dead=rpc|delete-job|30"
  "edition-busy|stall=select|edition|300"
  "edition-dead|dead=select|edition|300"
)

work="$(mktemp -d "${TMPDIR:-/tmp}/talvorin-timeouts-XXXXXX")"
double_pid=""
cleanup() {
  if [[ -n "$double_pid" ]]; then kill "$double_pid" 2>/dev/null || true; wait "$double_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

measure() {  # fault call way
  rm -f "$work/port"
  python3 tests/support/tds_double.py --port 0 --port-file "$work/port" --account sa:x \
    --job ORVO_Schedule_Archive --fault "$1" --lifetime 1800 >/dev/null 2>&1 &
  double_pid=$!
  for _ in $(seq 150); do [[ -s "$work/port" ]] && break; sleep 0.1; done
  "$program" "$3" "$2" "$(cat "$work/port")"
  kill "$double_pid" 2>/dev/null || true
  wait "$double_pid" 2>/dev/null || true
  double_pid=""
}

printf '%-16s %-8s %8s %8s  %s\n' case way seconds target "how it ended"
for entry in "${cases[@]}"; do
  IFS='|' read -r name fault call target <<<"$entry"
  if [[ $# -gt 0 && ! " $* " == *" $name "* ]]; then continue; fi
  for way in driver watched; do
    read -r seconds outcome < <(measure "$fault" "$call" "$way")
    printf '%-16s %-8s %8s %8s  %s\n' "$name" "$way" "$seconds" "$target" "$outcome"
  done
done
