#!/usr/bin/env bash
# Makes a release of the shipped program from the commit checked out here:
#
#   bash scripts/release.sh
#
# builds Talvorin.exe for 32-bit Windows in a clean folder of its own (build-release/), checks
# it (scripts/check-windows-exe.sh), runs its end-to-end tests under 32-bit Wine, and writes
# dist/Talvorin-<version>.zip with Talvorin.exe, SHA256SUMS and README.txt. The version is
# CMake's project version. The same commit gives the same Talvorin.exe and the same zip, in
# any folder and at any time (see scripts/check-reproducible.sh); the SHA-256 is printed.
set -euo pipefail
if (($# != 0)); then
  echo "usage: $0   (no arguments: it releases the commit checked out in this tree)" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

# A release is of a commit: anything uncommitted would be in the program but in no commit.
if [[ -n "$(git status --porcelain)" ]]; then
  echo "$0: the tree has uncommitted changes (git status); a release is made from a commit" >&2
  exit 1
fi
commit="$(git rev-parse HEAD)"
# The zip's dates are the commit's.
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct)"
export SOURCE_DATE_EPOCH

bash scripts/install-deps.sh

build="$root/build-release"
rm -rf "$build"
cmake --preset windows-i686 -B "$build" >/dev/null
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
if [[ -z "$version" ]]; then
  echo "$0: no project version in $build/CMakeCache.txt" >&2
  exit 1
fi
echo "== Talvorin $version, commit $commit"
# No zip of this version stays behind from an earlier commit when this one fails.
zip_file="$root/dist/Talvorin-$version.zip"
rm -f "$zip_file"
cmake --build "$build" --target talvorin e2e_tests -j"$(nproc)"
exe="$build/Talvorin.exe"
bash scripts/check-windows-exe.sh "$exe" i686-w64-mingw32

echo "== end-to-end tests under 32-bit Wine"
bash scripts/with-double-broker.sh bash scripts/wine-prefix.sh \
  ctest --test-dir "$build" -L '^e2e$' --output-on-failure --no-tests=error

echo "== dist/Talvorin-$version.zip"
stage="$(mktemp -d "${TMPDIR:-/tmp}/talvorin-release-XXXXXX")"
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/Talvorin.exe"
# README.txt in Windows' line ends, for Notepad.
sed -e "s/@VERSION@/$version/g" -e "s/@COMMIT@/$commit/g" -e 's/$/\r/' docs/release-README.txt >"$stage/README.txt"
(cd "$stage" && sha256sum Talvorin.exe README.txt >SHA256SUMS)
files=(Talvorin.exe README.txt SHA256SUMS)
# Fixed dates (the commit's, in UTC), modes and order, no extra fields: the same zip each time.
chmod 644 "${files[@]/#/$stage/}"
touch -d "@$SOURCE_DATE_EPOCH" "${files[@]/#/$stage/}"
mkdir -p dist
(cd "$stage" && TZ=UTC zip -q -X -D -9 "$zip_file" "${files[@]}")

# What a reviewer does with it: unpack and check the sums.
check="$stage/check"
mkdir "$check"
unzip -q "$zip_file" -d "$check"
(cd "$check" && sha256sum --quiet -c SHA256SUMS)

echo "Talvorin $version released: dist/Talvorin-$version.zip"
echo "SHA-256 of Talvorin.exe: $(sha256sum "$exe" | cut -d' ' -f1)"
echo "SHA-256 of the zip:      $(sha256sum "$zip_file" | cut -d' ' -f1)"
