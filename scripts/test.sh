#!/usr/bin/env bash
# Runs every test: unit tests, the SQL Server double's self-test and the end-to-end runs, then
# the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer (any report fails
# it), then each fuzz target briefly from its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --preset default -j2

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake --preset asan "${launcher[@]}" >/dev/null
cmake --build --preset asan -j"$(nproc)"
ctest --preset asan -j2

bash scripts/fuzz.sh "${TALVORIN_FUZZ_SECONDS:-12}"
