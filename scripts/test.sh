#!/usr/bin/env bash
# Runs every test: unit tests, the SQL Server double's self-test and the end-to-end runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --preset default -j2
