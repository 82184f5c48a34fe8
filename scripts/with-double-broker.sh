#!/usr/bin/env bash
# Runs a command with the SQL Server double's broker running on the Linux side, its address
# in TALVORIN_DOUBLE_BROKER: a Windows test program under Wine cannot start the Python double
# itself, so it asks the broker for one (tests/support/tds_double_broker.py).
#
#   bash scripts/with-double-broker.sh COMMAND [ARGUMENT...]
#
# The broker ends with the command; the command's exit code is this script's.
set -euo pipefail
if (($# == 0)); then
  echo "usage: $0 COMMAND [ARGUMENT...]" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"

work="$(mktemp -d "${TMPDIR:-/tmp}/talvorin-broker-XXXXXX")"
broker_pid=""
cleanup() {
  if [[ -n "$broker_pid" ]]; then
    kill "$broker_pid" 2>/dev/null || true
    wait "$broker_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

python3 "$root/tests/support/tds_double_broker.py" --port-file "$work/broker.port" &
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

set +e
"$@"
rc=$?
set -e
exit "$rc"
