#!/usr/bin/env bash
# Checks an installed tree (a package unpacked into ROOT, or an install into DESTDIR=ROOT
# with prefix /usr): every file lies where Linux desktops look for it, the files name each
# other rightly, and nothing else is installed.
# Usage: check-install-root.sh ROOT
set -euo pipefail
root=$1
id=org.tarvolo.Tarvolo
share=$root/usr/share
status=0
fault() { echo "$*"; status=1; }

for program in tarvolo trv; do
  [ -x "$root/usr/bin/$program" ] || fault "not an installed program: /usr/bin/$program"
done
expected=(
  "usr/bin/tarvolo" "usr/bin/trv"
  "usr/share/applications/$id.desktop"
  "usr/share/metainfo/$id.metainfo.xml"
  "usr/share/icons/hicolor/scalable/apps/$id.svg"
  "usr/share/man/man1/tarvolo.1.gz" "usr/share/man/man1/trv.1.gz"
)
for side in 16 24 32 48 64 128 256; do
  png=usr/share/icons/hicolor/${side}x$side/apps/$id.png
  expected+=("$png")
  [ -f "$root/$png" ] || continue
  [[ $(file -b "$root/$png") == "PNG image data, $side x $side,"* ]] || fault "/$png: not a $side x $side PNG"
done
for page in TRV.hlp index.html; do expected+=("usr/share/tarvolo/help/$page"); done
for f in "${expected[@]}"; do
  [ -f "$root/$f" ] || fault "missing: /$f"
done

# Files outside the places above would be strays (a test program, a second prefix).
while IFS= read -r f; do
  case "$f" in
    usr/bin/tarvolo | usr/bin/trv | usr/share/applications/* | usr/share/metainfo/* | \
      usr/share/icons/hicolor/* | usr/share/man/man1/* | usr/share/tarvolo/help/* | usr/share/doc/*) ;;
    *) fault "stray file: /$f" ;;
  esac
done < <(cd "$root" && find . -type f -o -type l | sed 's|^\./||')

entry=$share/applications/$id.desktop
if [ -f "$entry" ]; then
  grep -qx "Exec=tarvolo" "$entry" || fault "$id.desktop does not start tarvolo"
  grep -qx "Icon=$id" "$entry" || fault "$id.desktop does not name the installed icon $id"
fi
metainfo=$share/metainfo/$id.metainfo.xml
if [ -f "$metainfo" ]; then
  grep -q "<id>$id</id>" "$metainfo" || fault "$id.metainfo.xml has another id"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fault "$id.metainfo.xml does not launch $id.desktop"
fi
for page in tarvolo trv; do
  f=$share/man/man1/$page.1.gz
  if [ -f "$f" ] && ! zgrep -q "^\.TH ${page^^} 1 " "$f"; then
    fault "/usr/share/man/man1/$page.1.gz: not the $page(1) page"
  fi
done
if [ -x "$root/usr/bin/trv" ]; then
  version=$("$root/usr/bin/trv" --version) || fault "the installed trv fails to run"
  [[ $version =~ ^trv\ [0-9]+(\.[0-9]+)+$ ]] || fault "the installed trv tells no version: '$version'"
fi
if [ $status -eq 0 ]; then echo "installed tree in $root: every file in place"; fi
exit $status
