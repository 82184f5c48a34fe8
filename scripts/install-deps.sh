#!/usr/bin/env bash
# Installs what building, testing and the demo need, from Debian's packages: for Linux, and
# for the Windows build (mingw-w64's -posix compilers, GoogleTest's sources) and its tests
# (64-bit Wine, which runs only x86_64 programs here, and Xvfb for a display).
set -euo pipefail

packages=(g++ cmake make pkg-config python3 libgtest-dev libgmock-dev libbenchmark-dev
          unixodbc unixodbc-dev tdsodbc libncurses-dev  # the terminal front end: ncurses
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest wine wine64 xvfb
          clang-14 libclang-rt-14-dev  # the fuzz targets: clang's libFuzzer
          ccache)                      # rebuilds of unchanged files, in any clone

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi

# The FreeTDS ODBC driver must be known to unixODBC by the name the client looks for.
if ! odbcinst -q -d -n FreeTDS >/dev/null 2>&1; then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo odbcinst -i -d -f /usr/share/tdsodbc/odbcinst.ini
fi
