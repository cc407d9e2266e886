#!/usr/bin/env bash
# Installs the Debian packages this project needs to build, test, demo and benchmark.
# Safe to run again: packages already present are left alone. It installs packages and
# nothing else: no service is started, stopped or reconfigured.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev libcurl4-openssl-dev
  openssl ca-certificates python3 curl
  fonts-liberation fonts-open-sans fonts-wine fontconfig
  xvfb xdotool x11-utils imagemagick python3-xlib
  locales time libssl-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix
)
# The Windows build and its test stage: the cross-compilers, the sources' tools, the host
# Qt's code generators, Wine, and a code-signing tool for the stage's signed stand-in.
if [ "${1:-}" = --windows ]; then
  packages+=(dpkg-dev ninja-build qt6-base-dev-tools wine wine64 osslsigncode)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
