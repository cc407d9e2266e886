#!/usr/bin/env bash
# Cross-builds the Windows libraries tallyaid.exe links (Qt's base modules, libcurl with
# Schannel, OpenSSL's libcrypto) from Debian's own source packages, once, into a cache
# folder outside the checkout keyed by the packages' versions and this file's options.
# Prints the prefix they were installed to as its last line.
#   bash scripts/windeps.sh
# The sources come through a private apt configuration of our own: the machine's apt setup
# is read (for the archive's address) and never changed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cache="${TALLYAID_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tallyaid-windows}"
jobs="$(nproc)"
triple=x86_64-w64-mingw32
log() { echo "windeps: $*" >&2; }
die() { echo "windeps: $*" >&2; exit 1; }

for tool in $triple-gcc-posix $triple-g++-posix apt-get dpkg-source cmake ninja; do
  command -v "$tool" >/dev/null || die "$tool missing (bash scripts/setup.sh)"
done

# --- sources -------------------------------------------------------------------------
# The distribution's own archive, as the machine's apt knows it.
codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
[ -n "$codename" ] || die "cannot tell the distribution's release from /etc/os-release"
archive_of_machine() {
  apt-cache policy 2>/dev/null | awk -v s="$codename/main" '$3 == s && $NF == "Packages" { print $2; exit }'
}
archive="$(archive_of_machine)"
if [ -z "$archive" ]; then # the machine's package lists were never read: read them as setup does
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq >/dev/null 2>&1 || true
  archive="$(archive_of_machine)"
fi
[ -n "$archive" ] || die "no '$codename main' archive among the machine's apt sources (apt-get update first)"

apt_dir="$cache/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
signed=""
[ -f "$keyring" ] && signed="[signed-by=$keyring] "
echo "deb-src ${signed}$archive $codename main" >"$apt_dir/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
          -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
          -o APT::Sandbox::User=root)
if [ -z "$(find "$apt_dir/lists" -maxdepth 1 -name '*Sources*' -mmin -1440 2>/dev/null)" ]; then
  log "reading the source index of $codename"
  apt-get "${apt_opts[@]}" -qq update || die "cannot read the source index from the archive"
fi
version_of() {
  apt-cache "${apt_opts[@]}" showsrc "$1" 2>/dev/null | awk '/^Version:/ { print $2; exit }'
}
qt_version="$(version_of qt6-base)"; curl_version="$(version_of curl)"; ssl_version="$(version_of openssl)"
[ -n "$qt_version" ] && [ -n "$curl_version" ] && [ -n "$ssl_version" ] \
  || die "the archive lists no qt6-base, curl or openssl source"

key="qt-$qt_version.curl-$curl_version.openssl-$ssl_version"
prefix="$cache/$key/prefix"
work="$cache/$key/work"
mkdir -p "$work" "$prefix"
# Each library is built again only when its version or its build function below changes:
# its marker holds a digest of that function's text.
marker() { echo "$prefix/.built-$1"; }
recipe() { declare -f "build_$1" | sha256sum | cut -c1-16; }
built() { [ -f "$(marker "$1")" ] && [ "$(cat "$(marker "$1")")" = "$(recipe "$1")" ]; }

# The project's own toolchain file, pointed at the prefix through the environment.
toolchain="$(cd "$here/.." && pwd)/cmake/mingw-w64.cmake"
export TALLYAID_WINDOWS_PREFIX="$prefix"
timed() { local t0=$SECONDS; "$@"; log "$1 took $(( (SECONDS - t0) / 60 )) min $(( (SECONDS - t0) % 60 )) s"; }

# --- OpenSSL: libcrypto only, static ---------------------------------------------------
build_openssl() {
  local src; src="$(srcdir openssl)"
  (cd "$src" && ./Configure mingw64 no-shared no-tests no-module no-engine no-dso \
       --cross-compile-prefix=$triple- --prefix="$prefix" --libdir=lib >"$work/openssl.log" 2>&1 \
     && make -j"$jobs" build_libs >>"$work/openssl.log" 2>&1 \
     && make install_dev >>"$work/openssl.log" 2>&1) \
    || { tail -40 "$work/openssl.log" >&2; die "OpenSSL did not build"; }
  # CMake's FindOpenSSL is pointed at these by path, so the unused libssl may go.
  rm -f "$prefix/lib/libssl.a"
}

# --- libcurl: Schannel, HTTP(S) only, static -------------------------------------------
build_curl() {
  local src; src="$(srcdir curl)"
  cmake -S "$src" -B "$work/curl-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DHTTP_ONLY=ON -DCURL_USE_SCHANNEL=ON \
    -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DUSE_NGHTTP2=OFF \
    -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF \
    -DENABLE_UNIX_SOCKETS=OFF -DCURL_DISABLE_LDAP=ON -DENABLE_MANUAL=OFF >"$work/curl.log" 2>&1 \
    && cmake --build "$work/curl-build" -j"$jobs" >>"$work/curl.log" 2>&1 \
    && cmake --install "$work/curl-build" >>"$work/curl.log" 2>&1 \
    || { tail -40 "$work/curl.log" >&2; die "libcurl did not build"; }
}

# --- Qt: Core, Gui, Widgets, Test; the windows and offscreen platforms; static ----------
# DirectWrite 3 needs Direct2D, which is off; the GDI font database serves instead.
# Debian's source carries no wintab, so tablet events are off too.
build_qt() {
  local src; src="$(srcdir qt6-base)"
  # Qt 6.4 leaves dynamic GL on with OpenGL off, and the windows plugin then asks for
  # OpenGL's classes in one place: that check can only be false without OpenGL.
  sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    "$src/src/plugins/platforms/windows/qwindowswindow.cpp"
  cmake -S "$src" -B "$work/qt-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DFEATURE_directwrite=OFF -DFEATURE_directwrite3=OFF -DFEATURE_direct2d=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF -DFEATURE_zstd=OFF \
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_sql_sqlite=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_relocatable=OFF >"$work/qt.log" 2>&1 \
    && cmake --build "$work/qt-build" -j"$jobs" >>"$work/qt.log" 2>&1 \
    && cmake --install "$work/qt-build" >>"$work/qt.log" 2>&1 \
    || { tail -60 "$work/qt.log" >&2; die "Qt did not build (the whole log: $work/qt.log)"; }
}

# apt-get checks every downloaded file against the signed index's hashes and dpkg-source
# against the .dsc: a mismatch stops here with apt's own message.
fetch() {
  local pkg=$1 version=$2
  log "fetching the source of $pkg $version"
  (cd "$work" && apt-get "${apt_opts[@]}" -qq source "$pkg=$version" >"$work/fetch-$pkg.log" 2>&1) \
    || { cat "$work/fetch-$pkg.log" >&2; die "cannot fetch or verify the source of $pkg $version"; }
}
srcdir() { find "$work" -maxdepth 1 -mindepth 1 -type d -name "$1-*" | head -n1; }

step() { # step NAME SOURCE-PACKAGE VERSION
  if built "$1"; then log "$1 $3: cached"; return; fi
  [ -n "$(srcdir "$2")" ] || fetch "$2" "$3"
  rm -f "$(marker "$1")"
  timed "build_$1"
  recipe "$1" >"$(marker "$1")"
}
step openssl openssl "$ssl_version"
step curl curl "$curl_version"
step qt qt6-base "$qt_version"
rm -rf "$work"
echo "$prefix"
