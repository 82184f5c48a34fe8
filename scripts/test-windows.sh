#!/usr/bin/env bash
# Runs the Windows tests (the windows-i686 build, see scripts/build-windows.sh) under 32-bit Wine:
# in a private prefix (scripts/wine-prefix.sh), with the SQL Server double's broker on the
# Linux side, since a Windows program cannot start the Python double itself.
#
#   bash scripts/test-windows.sh [CTEST ARGUMENT...]     e.g. -R SettingsFiles
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

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

bash scripts/wine-prefix.sh ctest --preset windows-i686 -j2 "$@"
