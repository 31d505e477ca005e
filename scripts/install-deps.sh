#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# Does nothing when all of them are already there.
#   scripts/install-deps.sh [windows]   (windows: also what the Windows build needs)
#   scripts/install-deps.sh recipe      (only what windows/recipe.sh builds with,
#                                        so that it can start before the rest)
#   scripts/install-deps.sh --only PACKAGE...  (those, for the other scripts)
set -euo pipefail

packages=(
  g++ clang libclang-rt-14-dev cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  libicu-dev libzip-dev
  libreoffice-dev libreoffice-writer
  fonts-arphic-ukai fonts-arphic-uming fonts-wqy-zenhei fonts-wqy-microhei fonts-noto-cjk fonts-liberation
  fontconfig xvfb xauth poppler-utils
)
# The Windows programs: the cross compiler, Debian's sources of Qt and libzip
# (dpkg-source; Qt's host tools come from qt6-base-dev-tools above), zlib,
# the icons, the installer, and wine to test under.
recipe=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev dpkg-dev xz-utils
  cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libzip-dev
)
case "${1:-}" in
  --only) packages=("${@:2}") ;;
  recipe) packages=("${recipe[@]}") ;;
  windows) packages+=("${recipe[@]}" librsvg2-bin icoutils nsis wine wine64 fonts-wine bc unzip) ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# Once per CI run (BREVIX_APT_UPDATED): windows/recipe.sh finds Debian's
# mirror in the package lists while it runs, so they are not renewed under it.
if [ -z "${BREVIX_APT_UPDATED:-}" ] || ! ls /var/lib/apt/lists/*_Packages >/dev/null 2>&1; then
  $sudo apt-get update -qq
fi
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
