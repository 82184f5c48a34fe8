#!/usr/bin/env bash
# Runs a command inside a private, throw-away Wine prefix with a display of its own:
#
#   bash scripts/wine-prefix.sh ctest --preset windows-i686
#
# The prefix (in $TMPDIR, a 64-bit one with its 32-bit part, as 64-bit Windows has, so that a
# 32-bit program sees the registry's 32-bit view) is created with wineboot, gets the settings the tests need,
# and is removed with everything in it at the end, however the command ends. One wineserver
# stays up for the whole command, so the Windows programs it starts do not each pay for
# starting one. The command's exit code is this script's exit code.
set -euo pipefail

if (($# == 0)); then
  echo "usage: $0 COMMAND [ARGUMENT...]" >&2
  exit 2
fi

wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
for tool in "$wine64" "$wine32" wineserver Xvfb; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing (bash scripts/install-deps.sh installs it)" >&2
    exit 2
  fi
done

prefix="$(mktemp -d "${TMPDIR:-/tmp}/talvorin-wine-XXXXXX")"
xvfb_pid=""
cleanup() {
  local rc=$?
  # -k kills the prefix's processes and its server; -w waits until the server has gone, so
  # nothing writes into the folder while it is removed.
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
  if [[ -n "$xvfb_pid" ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$prefix"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and wineboot would offer to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="

# A display: creating a window fails without one. Xvfb picks a free display number itself.
display_file="$prefix/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$display_file" ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [[ ! -s "$display_file" ]]; then
  echo "$0: Xvfb did not start" >&2
  rm -f "$display_file"
  exit 2
fi
export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
rm -f "$display_file"

wineserver -p
"$wine64" wineboot -i >/dev/null 2>&1 || true
if [[ ! -d "$prefix/drive_c/windows/syswow64" ]]; then
  echo "$0: wineboot did not create the prefix $prefix" >&2
  exit 2
fi

# Wine's own fonts ("MS Sans Serif", Tahoma, Marlett with the caption buttons' glyphs): Debian's
# Wine looks for them in its data folder's ../fonts (/usr/share/fonts), while fonts-wine puts
# them in /usr/share/wine/fonts, so every window fell back to a host font and a close box
# showed Marlett's letter "r". Windows keeps its fonts in C:\windows\Fonts, which Wine reads too.
cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"

# A crash ends the program instead of opening winedbg, which would wait for ever. Wine's
# virtual desktop gives windows a frame and spares every hide or destroy a wait of about two
# seconds that Wine makes without a window manager.
settings="$(mktemp "$prefix/drive_c/settings-XXXXXX.reg")"
cat >"$settings" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Auto"="1"
"Debugger"="false"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"
REG
# Both views: AeDebug is read from the view of the program that crashed.
"$wine64" regedit /S "$settings"
"$wine32" regedit /S "$settings"
rm -f "$settings"
# The desktop wineboot started is not virtual: the setting takes effect with a new server,
# whose first program starts the desktop afresh.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p
# Started now, with its output nowhere: the desktop process would otherwise inherit the
# output of the command's first Windows program and hold it open, so that whoever reads that
# output (ctest listing the tests) would wait for it until the prefix goes.
"$wine64" explorer /desktop=Default,1024x768 >/dev/null 2>&1 </dev/null &
for _ in $(seq 100); do
  pgrep -f 'explorer.exe /desktop' >/dev/null && break
  sleep 0.1
done

set +e
"$@"
rc=$?
set -e
exit "$rc"
