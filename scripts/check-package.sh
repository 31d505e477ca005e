#!/usr/bin/env bash
# CI: builds the Debian package, installs it as an editor would, checks that
# the installed programs work and that the desktop finds them and opens .owd
# files with them, then removes it again. Run as root on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "check-package: $*" >&2; exit 1; }
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
scripts/install-deps.sh --only lintian desktop-file-utils appstream shared-mime-info xdg-utils \
  libfile-mimeinfo-perl libxml2-utils poppler-utils

# The test suite has run already, on the same tree: the package build skips it.
DEB_BUILD_OPTIONS="nocheck terse${DEB_BUILD_OPTIONS:+ $DEB_BUILD_OPTIONS}" scripts/package.sh
deb=$(ls out/brevix_*.deb)
version=$(dpkg-deb -f "$deb" Version)

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$deb"

echo "== install"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --reinstall "./$deb"
installed=$(dpkg -L brevix)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One article with a two-line body holding a quote, in code page 936.
printf '"1"\r\n"新厂区开工"\r\n"本报讯"\r\n"第一行abcdefghijk引号\r\n第二行"\r\n"企业纵横"\r\n' |
  iconv -f UTF-8 -t GBK >"$work/sample.owd"

echo "== the installed programs, headless"
for program in brevix2003 brevix; do
  [ "$(/usr/bin/$program --version)" = "$program $version" ] || fail "$program --version does not say $version"
  /usr/bin/$program --help | grep -q "^Usage: $program " || fail "$program --help"
  /usr/bin/$program --typeset "$work/sample.owd" --number 7 --year 2026 --output "$work/$program.docx"
  [ "$(head -c 2 "$work/$program.docx")" = PK ] || fail "$program wrote no DOCX"
  /usr/bin/$program --typeset "$work/sample.owd" --number 7 --year 2026 --output "$work/$program.pdf"
  pdftotext "$work/$program.pdf" - | grep -q '第一行"引号' || fail "$program: the article is not in the PDF"
  # Through LibreOffice Writer (recommended, installed here), stored by its own PDF export.
  /usr/bin/$program --typeset "$work/sample.owd" --word-processor libreoffice --output "$work/$program-writer.pdf"
  pdftotext "$work/$program-writer.pdf" - | grep -q '第一行"引号' || fail "$program: the article is not in Writer's PDF"
done

echo "== Chinese face names"
for face in 宋体 楷体_GB2312 隶书 黑体; do
  fc-match -f '%{family}\n' "$face" | grep -q -e 'AR PL' -e 'WenQuanYi' || fail "fontconfig gives '$(fc-match "$face")' for $face"
done

echo "== desktop entries, MIME type, AppStream"
desktop-file-validate /usr/share/applications/brevix2003.desktop /usr/share/applications/brevix.desktop
appstreamcli validate --no-net /usr/share/metainfo/brevix2003.metainfo.xml /usr/share/metainfo/brevix.metainfo.xml
# The MIME file goes through its own tool on a scratch database; any complaint fails.
mkdir -p "$work/mime/packages"
cp /usr/share/mime/packages/brevix-issue.xml "$work/mime/packages/"
xmllint --noout "$work/mime/packages/brevix-issue.xml"
complaints=$(XDG_DATA_DIRS="$work" update-mime-database "$work/mime" 2>&1)
[ -z "$complaints" ] || fail "update-mime-database: $complaints"
type=$(xdg-mime query filetype "$work/sample.owd")
[ "$type" = application/x-brevix-issue ] || fail "an .owd file is '$type'"
handler=$(xdg-mime query default application/x-brevix-issue)
case "$handler" in brevix2003.desktop | brevix.desktop) ;; *) fail "an .owd file opens with '$handler'" ;; esac
echo "$type, opened by $handler"

echo "== removal"
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq brevix
dpkg-query -W -f='${Status}' brevix 2>/dev/null | grep -q 'install ok installed' && fail "still installed"
for file in $installed; do
  [ -d "$file" ] || [ ! -e "$file" ] || fail "left behind: $file"
done
[ "$(xdg-mime query filetype "$work/sample.owd")" != application/x-brevix-issue ] || fail "the MIME type stayed"
! grep -q brevix /usr/share/applications/mimeinfo.cache 2>/dev/null || fail "the desktop still offers brevix"
echo "package checks passed"
