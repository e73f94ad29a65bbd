#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the desktop
# finds everything where it looks: the programs in bin, the help viewer in
# libexec/zentabula (where qz looks for it, relative to itself), the guide in
# share/zentabula where the viewer looks for it, the manual pages, the menu
# entry, the AppStream metainfo and the icons of every size.
#
#     install_check.sh BUILD_DIR SOURCE_DIR WITH_QZCALC(0|1)
set -uo pipefail

build=$1
source=$2
with_qzcalc=${3:-0}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
id=org.zentabula.Zentabula

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
  cat "$prefix.log"; rm -f "$prefix.log"; echo "FAIL: cmake --install"; exit 1
fi
rm -f "$prefix.log"

failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
program() { [ -f "$prefix/$1" ] && [ -x "$prefix/$1" ] && pass "$1" || fail "$1 missing or not executable"; }

program bin/qz
program libexec/zentabula/docview
[ "$with_qzcalc" = 1 ] && program bin/qzcalc
[ -e "$prefix/bin/docview" ] && fail "bin/docview: the viewer belongs in libexec"

guide=$prefix/share/zentabula/qz.inf
cmp -s "$guide" "$source/docs/qz.inf" && pass "share/zentabula/qz.inf" || fail "share/zentabula/qz.inf missing or not the guide"

for page in qz qzcalc; do
  gz=$prefix/share/man/man1/$page.1.gz
  if [ -f "$gz" ] && gzip -dc "$gz" | cmp -s - "$source/docs/man/$page.1"; then
    pass "share/man/man1/$page.1.gz"
  else
    fail "share/man/man1/$page.1.gz missing or not docs/man/$page.1"
  fi
done

entry=$prefix/share/applications/$id.desktop
if [ -f "$entry" ]; then
  for line in '[Desktop Entry]' 'Type=Application' 'Name=Zentabula' 'Exec=qz' "Icon=$id" 'Categories=Utility;Calculator;'; do
    grep -qxF "$line" "$entry" && pass "desktop entry: $line" || fail "desktop entry lacks '$line'"
  done
  keywords=$(sed -n 's/^Keywords=//p' "$entry" | tr ';' '\n')
  for word in hex binary ipv6 programmer; do
    grep -qixF "$word" <<<"$keywords" && pass "keyword $word" || fail "desktop entry lacks the keyword $word"
  done
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" && pass "desktop entry validates" || fail "desktop-file-validate"
  fi
else
  fail "share/applications/$id.desktop missing"
fi

metainfo=$prefix/share/metainfo/$id.metainfo.xml
if [ -f "$metainfo" ]; then
  pass "share/metainfo/$id.metainfo.xml"
  if command -v appstreamcli >/dev/null; then
    report=$(appstreamcli validate --no-net "$metainfo" 2>&1)
    if [ $? -eq 0 ] && ! grep -qE '^[EW]:' <<<"$report"; then pass "metainfo validates"
    else echo "$report"; fail "appstreamcli validate"; fi
  fi
else
  fail "share/metainfo/$id.metainfo.xml missing"
fi

# Each PNG is as large as the folder it is in says (bytes 16 to 23 of a PNG
# are its width and height).
for size in 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  want=$(printf '%08x%08x' "$size" "$size")
  if [ -f "$icon" ] && [ "$(od -An -tx1 -j16 -N8 "$icon" | tr -d ' \n')" = "$want" ]; then
    pass "$size x $size PNG icon"
  else
    fail "share/icons/hicolor/${size}x${size}/apps/$id.png missing or not $size x $size"
  fi
done
svg=$prefix/share/icons/hicolor/scalable/apps/$id.svg
grep -q '<svg ' "$svg" 2>/dev/null && pass "scalable icon" || fail "share/icons/hicolor/scalable/apps/$id.svg missing"

# The installed viewer finds the installed guide from any folder, also when
# the prefix is not the one configured at build time.
found=$(cd / && QT_QPA_PLATFORM=offscreen "$prefix/libexec/zentabula/docview" --where qz.inf 2>&1)
[ "$found" = "$guide" ] && pass "installed docview finds share/zentabula/qz.inf" || fail "docview --where gave: $found"

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
