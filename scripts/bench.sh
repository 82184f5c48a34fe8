#!/usr/bin/env bash
# Builds optimised and prints every benchmark's figure against its target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
echo "== setup log: cost of a line by log size"
build/bench/log_append_bench --benchmark_color=false 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g' | tail -1
echo "== tool wait: CPU and latency (stdin from /dev/null: no terminal drawing)"
build/bench/tool_wait_bench </dev/null
echo "== script list: the program's own cost per script"
build/bench/script_list_bench </dev/null
