#!/usr/bin/env bash
# Builds optimised and prints every benchmark's figure against its target: the Linux build's,
# then the shipped 32-bit Talvorin.exe's under Wine's 32-bit loader (in a private prefix,
# scripts/wine-prefix.sh, against the SQL Server double).
#
#   bash scripts/bench.sh [--only linux|windows] [ROUNDS]
#
# ROUNDS: rounds of the Windows script benchmark (default 9); more resolve finer on a busy
# machine, where Wine's process starts vary most.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
only=""
if [[ "${1:-}" == --only ]]; then
  only="${2:?--only takes linux or windows}"
  shift 2
fi
rounds="${1:-9}"

linux_figures() {
  bash scripts/build.sh >/dev/null
  echo "== Linux: build/"
  echo "-- setup log: cost of a line by log size"
  build/bench/log_append_bench --benchmark_color=false 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g' | tail -1
  echo "-- tool wait: CPU and latency (stdin from /dev/null: no terminal drawing)"
  build/bench/tool_wait_bench </dev/null
  echo "-- script list: the program's own cost per script"
  build/bench/script_list_bench </dev/null
}

work=""
double_pid=""
cleanup() {
  if [[ -n "$double_pid" ]]; then
    kill "$double_pid" 2>/dev/null || true
    wait "$double_pid" 2>/dev/null || true
  fi
  [[ -z "$work" ]] || rm -rf "$work"
}
trap cleanup EXIT

windows_figures() {
  bash scripts/install-deps.sh >/dev/null
  # Only what the Windows figures need; ccache makes an unchanged build quick.
  cmake --preset windows-i686 >/dev/null
  cmake --build --preset windows-i686 -j"$(nproc)" --target talvorin kit_tool_standin log_append_bench \
    tool_wait_bench script_list_bench sleep_stamp shell_launcher >/dev/null
  local win="$root/build-windows-i686"

  work="$(mktemp -d "${TMPDIR:-/tmp}/talvorin-bench-XXXXXX")"
  python3 tests/support/tds_double.py --port 0 --port-file "$work/double.port" --account sa:bench \
    --lifetime 7200 >/dev/null 2>&1 &
  double_pid=$!
  for _ in $(seq 150); do
    [[ -s "$work/double.port" ]] && break
    kill -0 "$double_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [[ ! -s "$work/double.port" ]]; then
    echo "$0: the SQL Server double did not start" >&2
    exit 2
  fi

  # Wine's drive Z: is the host's root.
  winpath() { printf 'Z:%s' "${1//\//\\}"; }
  export TALVORIN_BENCH_SERVER="127.0.0.1,$(tr -d '[:space:]' <"$work/double.port")"
  export TALVORIN_ODBC_DRIVER=FreeTDS
  # The program runs with its windows, as the installer starts it.
  unset TALVORIN_UNATTENDED
  export BENCH_WINE_RUN="$root/scripts/wine-run.sh" BENCH_DIR="$win/bench" BENCH_ROUNDS="$rounds"
  BENCH_PROGRAM="$(winpath "$win/Talvorin.exe")"
  BENCH_LAUNCHER="$(winpath "$win/bench/shell_launcher.exe")"
  BENCH_STANDIN="$(winpath "$win/tests/kit_tool_standin.exe")"
  BENCH_STAMP_TOOL="$(winpath "$win/bench/sleep_stamp.exe")"
  export BENCH_PROGRAM BENCH_LAUNCHER BENCH_STANDIN BENCH_STAMP_TOOL
  echo "== Windows: build-windows-i686/ under Wine's 32-bit loader (/usr/lib/wine/wine)"
  bash scripts/wine-prefix.sh bash -c '
    set -euo pipefail
    run() { bash "$BENCH_WINE_RUN" "$BENCH_DIR/$1" "${@:2}"; }
    echo "-- setup log: cost of a line by log size"
    run log_append_bench.exe
    echo "-- tool wait: CPU and latency, with the window timer running"
    run tool_wait_bench.exe "$BENCH_STAMP_TOOL"
    echo "-- script list: one more script through Talvorin.exe against one more start by a minimal launcher"
    run script_list_bench.exe "$BENCH_PROGRAM" "$BENCH_LAUNCHER" "$BENCH_STANDIN" "$BENCH_ROUNDS"
  '
}

[[ "$only" == windows ]] || linux_figures
[[ "$only" == linux ]] || windows_figures
