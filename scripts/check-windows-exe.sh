#!/usr/bin/env bash
# Checks a Windows build of Talvorin.exe: the machine it is for, that it imports only DLLs
# every Windows has (the C++ runtime, libgcc and winpthread are linked in), and that it
# carries its icon and its manifest.
#
#   bash scripts/check-windows-exe.sh EXE MINGW_TRIPLE     e.g. ... i686-w64-mingw32
set -euo pipefail
if (($# != 2)); then
  echo "usage: $0 EXE MINGW_TRIPLE" >&2
  exit 2
fi
exe=$1
triple=$2
fail() {
  echo "$exe: $*" >&2
  exit 1
}
[[ -f "$exe" ]] || fail "no such file"

case "$triple" in
  i686-*) format=pei-i386 ;;
  x86_64-*) format=pei-x86-64 ;;
  *) fail "unknown target $triple" ;;
esac
header="$("$triple-objdump" -f "$exe")"
grep -q "file format $format" <<<"$header" || fail "is not $format: $(grep -o 'file format.*' <<<"$header")"

# Windows' own DLLs, present on every installation since Windows 7 (msvcrt.dll included:
# it is the system's C runtime that mingw-w64 links against).
allowed=(advapi32 comctl32 comdlg32 gdi32 kernel32 msvcrt odbc32 odbccp32 ole32 oleaut32 shell32
         shlwapi user32 version ws2_32 wsock32)
imports=()
while read -r dll; do
  imports+=("$dll")
  name="$(tr '[:upper:]' '[:lower:]' <<<"${dll%.*}")"
  [[ " ${allowed[*]} " == *" $name "* ]] || fail "imports $dll, which Windows does not have (allowed: ${allowed[*]})"
done < <("$triple-objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')

resources="$("$triple-windres" -i "$exe" -O rc)"
grep -q 'Name: "MAINICON"' <<<"$resources" || fail "has no icon MAINICON"
grep -q 'Microsoft.Windows.Common-Controls' <<<"$resources" || fail "has no common-controls manifest"
grep -q 'level=""asInvoker""' <<<"$resources" || fail "manifest does not ask to run as invoker"

echo "$exe: $format; imports ${imports[*]}; icon MAINICON; manifest with common controls 6, asInvoker"
