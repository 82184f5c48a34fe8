#!/usr/bin/env bash
# Builds Windows' Talvorin.exe: the shipped 32-bit program (build-windows-i686/) and the
# 64-bit program with all its tests (build-windows-x64/, run by scripts/test-windows.sh),
# then checks that each program needs nothing but Windows' own DLLs and carries its resources.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
for preset in windows-i686 windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done
bash scripts/check-windows-exe.sh build-windows-i686/Talvorin.exe i686-w64-mingw32
bash scripts/check-windows-exe.sh build-windows-x64/Talvorin.exe x86_64-w64-mingw32
