#!/usr/bin/env bash
# Runs the Windows tests (the windows-i686 build, see scripts/build-windows.sh) under 32-bit
# Wine: in a private prefix (scripts/wine-prefix.sh), with the SQL Server double's broker on
# the Linux side (scripts/with-double-broker.sh), since a Windows program cannot start the
# Python double itself.
#
#   bash scripts/test-windows.sh [CTEST ARGUMENT...]     e.g. -R SettingsFiles
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/with-double-broker.sh bash scripts/wine-prefix.sh ctest --preset windows-i686 -j2 "$@"
