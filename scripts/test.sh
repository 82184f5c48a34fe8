#!/usr/bin/env bash
# Runs every test: the Linux build's (first the style checks: layout, clang-tidy, include
# order; then unit tests, the SQL Server double's self-test, the end-to-end runs), the same
# suite built with AddressSanitizer and UndefinedBehaviorSanitizer (any report fails it),
# each fuzz target briefly from its seed corpus, then the Windows build's: the shipped 32-bit
# Talvorin.exe with its tests built and checked, built twice more to show it is reproducible,
# and every Windows test on it under 32-bit Wine.
# Prints how long each part took.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
part() { echo "== $1 ($((SECONDS - started)) s so far)"; }

part "Linux: build"
bash scripts/build.sh
part "Style: format, tidy, includes"
bash scripts/check-style.sh
part "Linux: tests"
ctest --preset default -j2

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
part "Linux, sanitizers: build"
cmake --preset asan "${launcher[@]}" >/dev/null
cmake --build --preset asan -j"$(nproc)"
part "Linux, sanitizers: tests"
ctest --preset asan -j2
part "Fuzz targets"
bash scripts/fuzz.sh "${TALVORIN_FUZZ_SECONDS:-12}"

part "Windows: build"
bash scripts/build-windows.sh
part "Windows: the program built twice, compared byte for byte"
bash scripts/check-reproducible.sh
part "Windows: tests under Wine"
bash scripts/test-windows.sh
part "all tests passed"
