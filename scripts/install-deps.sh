#!/usr/bin/env bash
# Installs what building, testing and the demo need, from Debian's packages: for Linux, and
# for the Windows build (mingw-w64's -posix compilers, GoogleTest's sources) and its tests:
# 32-bit Wine with the 32-bit unixODBC and FreeTDS its odbc32 hands the calls to (the shipped
# program is i686), and Xvfb for a display.
set -euo pipefail

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"

packages=(g++ cmake make pkg-config python3 libgtest-dev libgmock-dev libbenchmark-dev
          unixodbc unixodbc-dev tdsodbc libncurses-dev  # the terminal front end: ncurses
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest wine wine64 xvfb
          wine32:i386 libodbc2:i386 tdsodbc:i386       # the shipped 32-bit program under Wine
          fonts-wine imagemagick zip unzip              # its windows' fonts, screenshots, release
          wixl msitools nsis            # the example installers: wixl, msiinfo, makensis
          clang-14 libclang-rt-14-dev  # the fuzz targets: clang's libFuzzer
          clang-format-14 clang-tidy-14  # the style checks
          nlohmann-json3-dev libvterm-dev  # test support: the journal, the terminal's screen
          ccache)                      # rebuilds of unchanged files, in any clone

# wine32 and the 32-bit ODBC libraries come from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  # An apt-get update is needed now whatever is installed: force one below.
  force_update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# A mirror caught mid-sync serves an index of the wrong size for a minute or two, and with
# one architecture's index missing wine32 cannot be installed: try again a little later.
update() {
  for attempt in 1 2 3; do
    $sudo apt-get update && return 0
    ((attempt < 3)) || break
    echo "apt-get update failed (attempt $attempt of 3); trying again in 20 s" >&2
    sleep 20
  done
  echo "apt-get update failed 3 times: installing from the release's own index" >&2
  return 1
}
# When an index stays broken (seen: the i386 security index for an hour), take every package
# from the release itself: the two architectures' libraries then come from one index and have
# the one version multiarch needs, where a newer amd64 security update with no i386 partner
# leaves wine32 uninstallable.
install_options=()
if ((${#missing[@]})) || [[ -n "${force_update:-}" ]]; then
  update || install_options=(-o APT::Default-Release=bookworm)
fi
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${install_options[@]}" "${missing[@]}"
fi

# The FreeTDS ODBC driver must be known to unixODBC by the name the client looks for. Both
# widths read the one /etc/odbcinst.ini; each finds its own library through the multiarch
# path, so the entry names the driver by the folder of the width that reads it (below).
if ! odbcinst -q -d -n FreeTDS >/dev/null 2>&1; then
  $sudo odbcinst -i -d -f /usr/share/tdsodbc/odbcinst.ini
fi
