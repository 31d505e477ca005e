#!/usr/bin/env bash
# Builds the Debian package of this tree (debian/) into out/, installing what
# debian/control asks for first. dpkg-buildpackage writes beside the source,
# so it works on a copy in build-deb/ and the tree's parent stays untouched.
# DEB_BUILD_OPTIONS is honoured; with nocheck the tests are neither built nor run.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
profiles=""
case " ${DEB_BUILD_OPTIONS:-} " in *" nocheck "*) profiles="nocheck" ;; esac
case " ${DEB_BUILD_OPTIONS:-} " in
  *" parallel="*) ;;
  *) export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }parallel=$(nproc)" ;;
esac

if ! command -v dpkg-checkbuilddeps >/dev/null || ! dpkg-checkbuilddeps ${profiles:+-P"$profiles"} 2>/dev/null; then
  echo "Installing the package's build dependencies"
  [ -n "${BREVIX_APT_UPDATED:-}" ] || $sudo apt-get update -qq # see scripts/install-deps.sh
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends build-essential dpkg-dev
  DEBIAN_FRONTEND=noninteractive $sudo apt-get build-dep -y -qq --no-install-recommends ${profiles:+-P "$profiles"} ./
fi

rm -rf build-deb
mkdir -p build-deb/brevix out
# What git tracks or would track: the tree as it is now, without build output.
git ls-files -z --cached --others --exclude-standard |
  tar --null --ignore-failed-read -T - -cf - | tar -C build-deb/brevix -xf -
(cd build-deb/brevix && dpkg-buildpackage -b -us -uc ${profiles:+-P"$profiles"})
rm -f out/brevix_*.deb out/brevix-dbgsym_*.deb
mv build-deb/*.deb out/
ls out/brevix_*.deb
