#!/usr/bin/env bash
# Installs what building, testing and the demo need, from Debian's packages.
set -euo pipefail

packages=(g++ cmake make pkg-config python3 libgtest-dev libgmock-dev libbenchmark-dev
          unixodbc unixodbc-dev tdsodbc
          clang-14 libclang-rt-14-dev)  # the fuzz targets: clang's libFuzzer

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
