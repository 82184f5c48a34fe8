#!/usr/bin/env bash
# The checks that keep the code in its shape; any finding fails:
# - the layout, by clang-format (.clang-format) over src/, tests/, bench/ and tools/;
# - clang-tidy's checks (.clang-tidy) over src/: the Linux build's files, then the Windows-only
#   ones (*/win32/*) parsed by clang for mingw-w64's i686 target;
# - the include order: no file includes a library above its own (tools/check_includes.py).
# Needs the Linux build's compile_commands.json (cmake --preset default); configures the
# windows-i686 build for its compile_commands.json when there is none.
#
#   bash scripts/check-style.sh [format|tidy|includes]...     (all three without arguments)
#
# To mend the layout of a file: clang-format-14 -i FILE.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${TALVORIN_STYLE_JOBS:-2}
checks=("$@")
[[ ${#checks[@]} -gt 0 ]] || checks=(format tidy includes)
failed=()

sources() {
  git ls-files -- "${@/%//*.cpp}" "${@/%//*.h}"
}

format_check() {
  local out
  if out=$(sources src tests bench tools | xargs -r clang-format-14 --dry-run -Werror 2>&1); then
    echo "format: clean"
    return 0
  fi
  local files
  files=$(grep ': error:' <<<"$out" | cut -d: -f1 | sort -u)
  echo "format: $(grep -c ': error:' <<<"$out") place(s) in $(wc -l <<<"$files") file(s) differ from .clang-format" \
    "(mend with clang-format-14 -i FILE); the files:" $files
  echo "format: the first places:"
  head -n 30 <<<"$out"
  return 1
}

# The C++ library headers of the mingw-w64 compiler the Windows build uses: clang finds
# mingw's C headers by itself, not GCC's C++ ones.
mingw_cxx_includes() {
  echo | i686-w64-mingw32-g++-posix -xc++ -E -v - 2>&1 \
    | sed -n '/#include <...> search starts here:/,/End of search list./p' \
    | grep '/include/c++' | sed 's/^ */-extra-arg=-isystem/'
}

# run-clang-tidy without its progress (each file's command line and its count of warnings
# in headers outside src/, printed even when quiet).
tidy() {
  local out status=0
  out=$(run-clang-tidy-14 -quiet -j"$jobs" "$@" 2>&1) || status=1
  # It always colours its output: plain text for the log.
  sed 's/\x1b\[[0-9;]*m//g' <<<"$out" | grep -vE '^(clang-tidy-14 |[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$)' || true
  return $status
}

tidy_check() {
  local status=0 started=$SECONDS
  if [[ ! -f build/compile_commands.json ]]; then
    echo "tidy: build/compile_commands.json is missing: run cmake --preset default first" >&2
    return 1
  fi
  tidy -p build "^$root/src/" || status=1
  echo "tidy: Linux build's files checked in $((SECONDS - started)) s"
  started=$SECONDS
  if [[ ! -f build-windows-i686/compile_commands.json ]]; then
    cmake --preset windows-i686 >/dev/null
  fi
  local extra
  mapfile -t extra < <(mingw_cxx_includes)
  tidy -p build-windows-i686 -extra-arg=--target=i686-w64-mingw32 "${extra[@]}" "^$root/src/.*/win32/" || status=1
  echo "tidy: Windows-only files checked in $((SECONDS - started)) s"
  return $status
}

includes_check() {
  python3 tools/check_includes.py "$root"
}

for check in "${checks[@]}"; do
  case $check in
    format) format_check || failed+=(format) ;;
    tidy) tidy_check || failed+=(tidy) ;;
    includes) includes_check || failed+=(includes) ;;
    *) echo "$0: unknown check $check (format, tidy, includes)" >&2; exit 2 ;;
  esac
done
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "style checks failed: ${failed[*]}" >&2
  exit 1
fi
echo "style checks passed"
