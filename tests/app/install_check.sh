#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the desktop
# finds everything where it looks: the programs side by side in bin (qz
# starts docview from its own folder), the guide in share/qz where docview
# looks for it, the menu entry and the icon.
#
#     install_check.sh BUILD_DIR SOURCE_DIR WITH_QZCALC(0|1)
set -uo pipefail

build=$1
source=$2
with_qzcalc=${3:-0}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
  cat "$prefix.log"; rm -f "$prefix.log"; echo "FAIL: cmake --install"; exit 1
fi
rm -f "$prefix.log"

failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
program() { [ -f "$prefix/bin/$1" ] && [ -x "$prefix/bin/$1" ] && pass "bin/$1" || fail "bin/$1 missing or not executable"; }

program qz
program docview
[ "$with_qzcalc" = 1 ] && program qzcalc

guide=$prefix/share/qz/qz.inf
cmp -s "$guide" "$source/docs/qz.inf" && pass "share/qz/qz.inf" || fail "share/qz/qz.inf missing or not the guide"

entry=$prefix/share/applications/zentabula.desktop
if [ -f "$entry" ]; then
  for line in '[Desktop Entry]' 'Type=Application' 'Name=Zentabula' 'Exec=qz' 'Icon=qz' 'Categories=Utility;Calculator;'; do
    grep -qxF "$line" "$entry" && pass "desktop entry: $line" || fail "desktop entry lacks '$line'"
  done
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" && pass "desktop entry validates" || fail "desktop-file-validate"
  fi
else
  fail "share/applications/zentabula.desktop missing"
fi

icon=$prefix/share/icons/hicolor/48x48/apps/qz.png
if [ -f "$icon" ] && [ "$(od -An -tx1 -j12 -N12 "$icon" | tr -d ' \n')" = "494844520000003000000030" ]; then
  pass "48 x 48 PNG icon"
else
  fail "share/icons/hicolor/48x48/apps/qz.png missing or not a 48 x 48 PNG"
fi

# The installed viewer finds the installed guide from any folder, also when
# the prefix is not the one configured at build time.
found=$(cd / && QT_QPA_PLATFORM=offscreen "$prefix/bin/docview" --where qz.inf 2>&1)
[ "$found" = "$guide" ] && pass "installed docview finds share/qz/qz.inf" || fail "docview --where gave: $found"

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
