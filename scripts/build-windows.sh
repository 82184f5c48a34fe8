#!/usr/bin/env bash
# Builds Windows' Talvorin.exe, the shipped 32-bit program, with all its tests
# (build-windows-i686/, run by scripts/test-windows.sh under 32-bit Wine), then checks that
# the program needs nothing but Windows' own DLLs and carries its resources.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset windows-i686 >/dev/null
cmake --build --preset windows-i686 -j"$(nproc)"
bash scripts/check-windows-exe.sh build-windows-i686/Talvorin.exe i686-w64-mingw32
