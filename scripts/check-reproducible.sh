#!/usr/bin/env bash
# Builds the shipped Talvorin.exe (the windows-i686 preset, only the program) twice, in two
# folders of different names, one after the other, and fails unless both files are the same
# byte for byte and neither holds the path of this tree or of either build folder.
#
#   bash scripts/check-reproducible.sh [--no-ccache]
#
# With ccache both builds take the objects of build-windows-i686/ or of each other (every
# folder lies directly below this tree, so ccache sees the same relative paths): then the
# check covers what follows the compiler (resources, icon, archives, link) and the paths in
# the file, in seconds. With --no-ccache every file is compiled twice, which takes the time of
# two full builds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

case "${1:-}" in
  "") ;;
  --no-ccache) export CCACHE_DISABLE=1 ;;
  *)
    echo "usage: $0 [--no-ccache]" >&2
    exit 2
    ;;
esac

# No date given: a plain build of the program needs none (the linker would otherwise take it
# for the PE header's time stamp), so anyone's build of the commit gives the release's bytes.
unset SOURCE_DATE_EPOCH

# Directly below the tree (build*/ is ignored), so that both see the sources as ../src; the
# names differ in length too.
folders=()
trap 'rm -rf "${folders[@]}"' EXIT
folders+=("$(mktemp -d "$root/build-reproducible-XXXXXX")")
folders+=("$(mktemp -d "$root/build-reproducible-second-XXXXXX")")

for dir in "${folders[@]}"; do
  echo "== building Talvorin.exe in $dir"
  cmake --preset windows-i686 -B "$dir" >/dev/null
  cmake --build "$dir" --target talvorin -j"$(nproc)" >/dev/null
  # Whole seconds apart at least, for any time stamp to differ.
  sleep 1
done

first="${folders[0]}/Talvorin.exe"
second="${folders[1]}/Talvorin.exe"
if ! cmp -s "$first" "$second"; then
  echo "$0: the two builds differ ($(cmp -l "$first" "$second" | wc -l) bytes; first offsets, in decimal, and values in octal):" >&2
  cmp -l "$first" "$second" | head -n 10 >&2
  exit 1
fi
for path in "$root" "${folders[@]}" build-reproducible; do
  if grep -q -a -F -- "$path" "$first"; then
    echo "$0: Talvorin.exe holds the build path $path" >&2
    exit 1
  fi
done
echo "reproducible: both builds of Talvorin.exe are the same, sha256 $(sha256sum "$first" | cut -d' ' -f1)"
