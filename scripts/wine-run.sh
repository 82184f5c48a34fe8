#!/usr/bin/env bash
# Runs one Windows program under Wine's 32-bit loader and exits with its exit code (Wine
# passes on only the low 8 bits). CMake uses it as the emulator of the windows-i686 build; it
# runs inside the prefix that scripts/wine-prefix.sh sets up.
set -euo pipefail
if [[ -z "${WINEPREFIX:-}" || ! -d "$WINEPREFIX/drive_c/windows" ]]; then
  echo "$0: no Wine prefix: run the Windows tests as bash scripts/wine-prefix.sh ctest --preset windows-i686" >&2
  exit 2
fi
export WINEDEBUG=-all
exec /usr/lib/wine/wine "$@"
