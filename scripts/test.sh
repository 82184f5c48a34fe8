#!/usr/bin/env bash
# Runs every test: the Linux build's (unit tests, the SQL Server double's self-test, the
# end-to-end runs), then the Windows build's: Talvorin.exe checked for both targets, and the
# windows-x64 tests under Wine. Prints how long each part took.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
part() { echo "== $1 ($((SECONDS - started)) s so far)"; }

part "Linux: build"
bash scripts/build.sh
part "Linux: tests"
ctest --preset default -j2
part "Windows: build"
bash scripts/build-windows.sh
part "Windows: tests under Wine"
bash scripts/test-windows.sh
part "all tests passed"
