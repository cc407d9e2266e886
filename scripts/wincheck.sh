#!/usr/bin/env bash
# Compiles, syntax only, every source file that a Windows build compiles, with Debian's
# MinGW-w64 (_WIN32 set by the compiler) against this machine's Qt, libcurl and OpenSSL
# headers, so that Windows-only code cannot rot unseen. Nothing is linked or run.
#   bash scripts/wincheck.sh            (exit code 1 and the compiler's errors on a failure)
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=x86_64-w64-mingw32-g++-posix
command -v $cxx >/dev/null || { echo "wincheck: $cxx missing (bash scripts/setup.sh)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Only the library headers go on the include path, never /usr/include itself (the Linux C
# library's headers would shadow MinGW's).
qt=/usr/include/x86_64-linux-gnu/qt6
mkdir -p "$work/include/openssl" "$work/include/curl"
ln -s /usr/include/openssl/* "$work/include/openssl/"
ln -sf /usr/include/x86_64-linux-gnu/openssl/* "$work/include/openssl/"
ln -s /usr/include/x86_64-linux-gnu/curl/* "$work/include/curl/" 2>/dev/null || ln -s /usr/include/curl/* "$work/include/curl/"

# The sources of the Windows build: every .cpp under src/ except the Linux-only one.
mapfile -t sources < <(find src -name '*.cpp' ! -name '*_unix.cpp' | sort)
flags=(-std=c++17 -fsyntax-only -w -DUNICODE -D_UNICODE -DTALLYAID_TEST_OVERRIDES -Isrc -I"$work/include"
       -I"$qt" -I"$qt/QtCore" -I"$qt/QtGui" -I"$qt/QtWidgets")
failed=0
pids=()
for f in "${sources[@]}"; do
  ( $cxx "${flags[@]}" "$f" >"$work/$(echo "$f" | tr / _).log" 2>&1 || { echo "FAILED: $f"; cat "$work/$(echo "$f" | tr / _).log"; exit 1; } ) &
  pids+=($!)
  if [ ${#pids[@]} -ge "$(nproc)" ]; then wait "${pids[0]}" || failed=1; pids=("${pids[@]:1}"); fi
done
for p in "${pids[@]}"; do wait "$p" || failed=1; done
[ $failed -eq 0 ] && echo "wincheck: ${#sources[@]} files compile for Windows (syntax only)"
exit $failed
