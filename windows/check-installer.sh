#!/usr/bin/env bash
# The installer under wine, as a scripted roll-out uses it: a silent install
# for the user, without administrator rights; the programs there answer, the
# Start-menu entries, the file type and the uninstall entry are there; a
# silent uninstall leaves the user's registry and folders as they were.
#   windows/check-installer.sh SETUP.exe   (in the wine prefix WINEPREFIX)
set -euo pipefail
setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
wine=/usr/lib/wine/wine64
# Wine would mirror the Start-menu entries and icons into this machine's own
# menus (winemenubuilder); the host's data folder here shows it does not.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/host-data XDG_CONFIG_HOME=$work/host-config

user=$WINEPREFIX/drive_c/users/$(id -un)
programs="$user/AppData/Local/Programs/Brevix"
menu="$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/情况反映编排"
passes=0 failures=0
check() { # description, command ...
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then
    echo "ok: $what"
    passes=$((passes + 1))
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}
# The user's registry and files, without what wine itself changes as it runs.
snapshot() {
  wineserver -w
  $wine reg export HKCU "$work/hkcu.reg" /y >/dev/null 2>&1 </dev/null
  iconv -f UTF-16LE -t UTF-8 "$work/hkcu.reg" | tr -d '\r' | awk '/^\[/ { skip = /Wine|Explorer|ShellNoRoam|MuiCache|Temp|Volatile/ } !skip' \
    | grep -v -e '^"LastVisited' >"$1.reg"
  (cd "$user" && find . -path ./Temp -prune -o -path ./AppData/Local/Temp -prune -o -print | sort) >"$1.files"
}

snapshot "$work/before"
check "a silent install ends well" timeout 120 $wine "$setup" /S
wineserver -w
check "the current edition installed" test -f "$programs/brevix2003.exe"
check "the earlier edition installed" test -f "$programs/brevix.exe"
check "the Windows platform plugin installed" test -f "$programs/platforms/qwindows.dll"
check "Start-menu entry of the current edition" test -f "$menu/情况反映编排 2003.lnk"
check "Start-menu entry of the earlier edition" test -f "$menu/情况反映编排（早期版）.lnk"
answer=$(timeout 60 $wine "$programs/brevix2003.exe" --version 2>/dev/null | tr -d '\r')
check "the installed program answers --version with the installer's version" \
  test "$answer" = "brevix2003 $(basename "$setup" | sed 's/^Brevix-\(.*\)-setup\.exe$/\1/')"
snapshot "$work/installed"
keys=$(diff "$work/before.reg" "$work/installed.reg" | sed -n 's/^> \(\[.*\]\)$/\1/p' || true)
echo "$keys" | sed 's/^/  registry key written: /'
check ".owd opens with the current edition" grep -q '^@="Brevix2003.Issue"' <(awk '/^\[HKEY_CURRENT_USER\\Software\\Classes\\.owd\]/ { on = 1; next } /^\[/ { on = 0 } on' "$work/installed.reg")
check "both editions under Open with" test "$(grep -c '"Brevix2003.Issue"=""\|"Brevix.Issue"=""' "$work/installed.reg")" = 2
check "the uninstall entry" grep -q 'Uninstall\\Brevix\]' "$work/installed.reg"

check "a silent uninstall ends well" timeout 120 $wine "$programs/uninstall.exe" /S
snapshot "$work/after"
check "the registry as before the install" diff "$work/before.reg" "$work/after.reg"
check "the user's folders as before the install" diff "$work/before.files" "$work/after.files"
check "nothing in this machine's own menus" test -z "$(find "$work/host-data" "$work/host-config" -type f 2>/dev/null)"
if [ "$failures" -ne 0 ]; then
  diff "$work/before.reg" "$work/after.reg" || true
  diff "$work/before.files" "$work/after.files" || true
fi

# Again over an account that has an empty programs folder and an empty
# Brevix folder in it already: they are the user's, and stay.
mkdir -p "$programs"
snapshot "$work/before-own"
check "a silent install over the user's own folders ends well" timeout 120 $wine "$setup" /S
wineserver -w
check "and its silent uninstall" timeout 120 $wine "$programs/uninstall.exe" /S
snapshot "$work/after-own"
check "the user's own empty folders kept" diff "$work/before-own.files" "$work/after-own.files"
rmdir "$programs" "$(dirname "$programs")" 2>/dev/null || true
echo "installer: $passes passed, $failures failed"
exit $((failures != 0))
