#!/usr/bin/env bash
# Runs the Windows build's tests under wine: windows/run-tests.sh BUILD [ctest options]
# A fresh wine prefix with Tahoma (wine's own Latin face) and a screen of
# its own (Xvfb) for the windows; inside a mount namespace of its own, a
# small file system as the temporary folder, which the tests fill up to see a
# full disk. Then the installer (check-installer.sh). Xvfb and the wineserver
# end with the run, also when a test fails or the run is stopped.
set -euo pipefail
build=$(cd "$1" && pwd)
shift

# A private mount namespace: the small file system is seen by this run only,
# and by the wineserver it starts, which is the one that opens files.
if [ -z "${BREVIX_IN_NAMESPACE:-}" ]; then
  BREVIX_IN_NAMESPACE=1 exec unshare --mount --propagation private "$0" "$build" "$@"
fi

export WINEPREFIX=$build/wine
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
xvfb=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  umount "$build/small-disk" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wineserver -k 2>/dev/null || true # none of an earlier run may serve this one
rm -rf "$WINEPREFIX"
display=$(for n in $(seq 90 140); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { echo $n; break; }; done)
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$display
timeout 300 /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

# The temporary folder on a small disk of its own, which the tests fill up.
mkdir -p "$build/small-disk"
mount -t tmpfs -o size=64m tmpfs "$build/small-disk"
temp="Z:$(echo "$build/small-disk" | tr / '\\')"
environment() { # name value: for every program of the prefix (wine passes no QT_* on)
  /usr/lib/wine/wine64 reg add 'HKCU\Environment' /v "$1" /d "$2" /f >/dev/null 2>&1
}
environment TEMP "$temp"
environment TMP "$temp"
# Qt logs, and QtTest reports, to the debugger unless told that stderr is read.
environment QT_FORCE_STDERR_LOGGING 1
wineserver -w

status=0
(cd "$build" && ctest --output-on-failure "$@") || status=$?
"$(dirname "$0")/check-installer.sh" "$build"/Brevix-*-setup.exe || status=$?
exit $status
