#!/usr/bin/env bash
# Builds what the Windows programs link against and ship: Qt (qtbase: Core,
# Gui, Widgets, PrintSupport, Test) and libzip, from Debian's own source
# packages, cross-compiled by mingw-w64; zlib comes built from Debian's mingw
# package. The result lands in a cache folder outside the tree named by a hash
# of this recipe and the versions it builds, so each machine builds it once
# and a changed recipe builds anew. Prints that folder as its last line.
# The folder may move: give Qt's toolchain file QT_CHAINLOAD_TOOLCHAIN_FILE
# with the toolchain.cmake in it.
#   windows/recipe.sh [--print-folder]   (the folder only, building nothing)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# Qt's host tools (moc, rcc, uic) come from Debian's qt6-base-dev-tools and
# must be of the very version we build.
qt_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev-tools)
libzip_version=$(dpkg-query -W -f='${source:Version}' libzip-dev)
compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)

key=$( {
  cat "$here/recipe.sh" "$here/toolchain.cmake" "$here"/patches/*
  echo "qt6-base=$qt_version libzip=$libzip_version mingw-g++=$compiler"
} | sha256sum | cut -c1-16)
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/brevix-windows
out=$cache_root/$key
if [ "${1:-}" = --print-folder ]; then echo "$out"; exit; fi

mkdir -p "$cache_root"
exec 9>"$cache_root/lock"
flock 9 # a second build waits for the first and then finds its result
if [ -f "$out/complete" ]; then echo "$out"; exit; fi

rm -rf "$out"
mkdir -p "$out"
work=$out/work
mkdir -p "$work"
cp "$here/toolchain.cmake" "$out/toolchain.cmake"
jobs=$(nproc)
started=$SECONDS

# Debian's sources through a private apt configuration with a deb-src line for
# the mirror this system already uses; the system's own sources stay untouched.
fetch_source() { # package=version
  local apt=$cache_root/apt codename mirror
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Identifier: Packages' \
             | awk -v s="$codename" '$2 == s && $3 == "main" { print $1; exit }')
  [ -n "$mirror" ] || { echo "no Debian mirror for $codename in the apt sources" >&2; exit 1; }
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $codename main" >"$apt/sources.list"
  local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
              -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o APT::Sandbox::User=root)
  [ -n "${apt_updated:-}" ] || apt-get -qq "${opts[@]}" update
  apt_updated=1
  apt-get -qq "${opts[@]}" source --only-source --download-only "$1"
}

# --- Qt -----------------------------------------------------------------------
cd "$work"
fetch_source "qt6-base=$qt_version"
dpkg-source -x --no-check qt6-base_*.dsc qtbase >/dev/null # Debian's own patches applied
for p in "$here"/patches/qtbase-*.patch; do patch -d qtbase -p1 -s <"$p"; done

# Only what the programs use: no network, SQL, D-Bus, XML, OpenGL or ICU
# (Windows converts text itself), no JPEG or GIF; the PNG and text libraries
# are Qt's own.
# Debian's source leaves out the Wintab headers, hence no tablet events, and
# Direct2D needs them too.
cmake -S qtbase -B qtbase-build -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$out/toolchain.cmake" \
  -DCMAKE_INSTALL_PREFIX="$out/qt" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF -DQT_BUILD_MANUAL_TESTS=OFF \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF \
  -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_zstd=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_vulkan=OFF \
  -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF -DFEATURE_androiddeployqt=OFF \
  -DFEATURE_printsupport=ON -DFEATURE_testlib=ON -DFEATURE_widgets=ON >qtbase-configure.log
nice cmake --build qtbase-build -j"$jobs" >qtbase-build.log
cmake --install qtbase-build >/dev/null
echo "qtbase built in $((SECONDS - started)) s" >&2

# --- libzip -------------------------------------------------------------------
fetch_source "libzip=$libzip_version"
dpkg-source -x --no-check libzip_*.dsc libzip >/dev/null
# Deflate only, through Debian's mingw zlib; DOCX needs no encryption.
cmake -S libzip -B libzip-build -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$out/toolchain.cmake" \
  -DCMAKE_INSTALL_PREFIX="$out/libzip" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
  -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
  -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF >libzip-configure.log
nice cmake --build libzip-build -j"$jobs" >libzip-build.log
cmake --install libzip-build >/dev/null
# Found where it lies, should the folder move.
sed -i 's|^prefix=.*|prefix=${pcfiledir}/../..|' "$out/libzip/lib/pkgconfig/libzip.pc"

cd "$out"
rm -rf "$work"
echo "built in $((SECONDS - started)) s: $(du -sh "$out" | cut -f1) in $(find "$out" -type f | wc -l) files" >&2
touch "$out/complete"
echo "$out"
