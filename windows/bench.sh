#!/usr/bin/env bash
# The largest issue (32 767 articles) typeset headless to DOCX by the Linux
# program and by the Windows one under wine, in the same run, turn about,
# best of three each; then the COM backend's benchmark (bench_word) and the
# two document.xml compared.
#   windows/bench.sh LINUX-BUILD WINDOWS-BUILD
set -euo pipefail
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
work=$(mktemp -d)
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
xvfb=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "Making the issue and the prefix ..."
"$linux/bin/bench_typeset" --sizes 32767 --keep "$work" >/dev/null
issue=$work/issue-32767.owd
# One wine session for all runs, on a screen of its own, as a Windows
# desktop is one: what is timed is the program, not wine starting its server
# and desktop each time. The stand-in Word shows windows too.
display=$(for n in $(seq 90 140); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { echo $n; break; }; done)
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$display
mkdir -p "$WINEPREFIX"
timeout 300 /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
# The prefix is ready only once wineboot's own programs have ended: a
# program started sooner leaves COM's service (RpcSs) unable to start for
# the session, and each later program waits ten seconds for it, in vain.
wineserver -w
wineserver -p
cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

# A new prefix learns the system's fonts on its first use; a Windows
# machine has done that long before: one run untimed.
"$windows/wine.sh" "$windows/bin/brevix2003.exe" --typeset "$issue" --output "$work/warm-up.docx" >/dev/null

# The wall time of a command, in seconds, in $took.
took=
timed() {
  local start end
  start=$(date +%s.%N)
  "$@" </dev/null >/dev/null 2>>"$work/stderr"
  end=$(date +%s.%N)
  took=$(echo "$end - $start" | bc -l)
}
best_linux=999999 best_wine=999999
for run in 1 2 3; do
  timed "$linux/bin/brevix2003" --typeset "$issue" --output "$work/linux.docx"
  best_linux=$(echo "if ($took < $best_linux) $took else $best_linux" | bc -l)
  timed "$windows/wine.sh" "$windows/bin/brevix2003.exe" --typeset "$issue" --output "$work/windows.docx"
  best_wine=$(echo "if ($took < $best_wine) $took else $best_wine" | bc -l)
done
# A wine start alone, to tell wine's own cost from the program's.
timed "$windows/wine.sh" "$windows/bin/brevix2003.exe" --version
start=$took

printf '32767 articles, headless to DOCX (%.1f MB), best of 3:\n' "$(stat -c %s "$work/linux.docx" | awk '{print $1/1e6}')"
printf '  Linux:           %6.2f s\n' "$best_linux"
printf '  Windows on wine: %6.2f s  (ratio %.2f; target <= 2)\n' "$best_wine" "$(echo "$best_wine / $best_linux" | bc -l)"
printf '  wine starting the program alone (--version): %.2f s\n' "$start"
echo "Word through COM, against the tests' stand-in server (bench_word):"
# Into a file, not a pipe: a stand-in left running would hold a pipe open.
timeout 600 "$windows/wine.sh" "$windows/bin/bench_word.exe" >"$work/bench_word.txt" || echo "  bench_word failed"
tr -d '\r' <"$work/bench_word.txt" | sed 's/^/  /'
unzip -p "$work/linux.docx" word/document.xml >"$work/linux.xml"
unzip -p "$work/windows.docx" word/document.xml >"$work/windows.xml"
if cmp -s "$work/linux.xml" "$work/windows.xml"; then
  echo "  word/document.xml: the same bytes"
else
  echo "  word/document.xml: DIFFERS"
  exit 1
fi
