#!/usr/bin/env bash
# The calculator program as a user runs it, on a virtual X screen: its window
# carries the embedded icon, F1 opens the guide in the help viewer found
# beside the program while the calculator stays usable, and the q key ends
# the program with status 0 after the state file was written.
#
#     qz_program.sh PATH/TO/qz
# Exit status 77 (skipped) when the X tools are not installed.
set -uo pipefail

qz=$(realpath "$1")
if [ -z "${QZ_TEST_INNER:-}" ]; then
  for tool in xvfb-run xdotool xprop; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
  QZ_TEST_INNER=1 exec xvfb-run -a -s "-screen 0 640x400x24" bash "$0" "$qz"
fi

unset QT_QPA_PLATFORM
# Leaks reported at exit here would be those of the X, font and Qt libraries;
# the unit tests are where leaks of our own code are looked for.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

work=$(mktemp -d)
export APPDATA=$work XDG_CONFIG_HOME=$work
qz_pid=""
help_pid=""
cleanup() {
  [ -n "$qz_pid" ] && kill "$qz_pid" 2>/dev/null
  [ -n "$help_pid" ] && kill "$help_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
gone() {  # waits up to 5 s for a process to end
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.05; done
  return 1
}

"$qz" >"$work/qz.log" 2>&1 &
qz_pid=$!
win=$(timeout 30 xdotool search --sync --onlyvisible --name '^Zentabula  v2\.0$' | head -n 1)
if [ -z "$win" ]; then
  echo "FAIL: the calculator window did not appear"; cat "$work/qz.log"; exit 1
fi
pass "window 'Zentabula  v2.0' shown"

# The icon property may reach the X server a moment after the window maps
# (a slow sanitizer build shows it), so give it a few seconds.
has_icon() { xprop -id "$win" _NET_WM_ICON 2>/dev/null | grep -q 'Icon (48 x 48)'; }
for _ in $(seq 50); do has_icon && break; sleep 0.1; done
if has_icon; then
  pass "window carries the 48 x 48 icon"
else
  fail "no 48 x 48 icon on the window"
fi

xdotool windowfocus --sync "$win"
sleep 0.2
xdotool key F1
help=$(timeout 20 xdotool search --sync --onlyvisible --name "^Zentabula User.s Guide\$" | head -n 1)
if [ -n "$help" ]; then
  pass "F1 opened the guide"
  help_pid=$(xdotool getwindowpid "$help" 2>/dev/null || true)
else
  fail "F1 did not open the guide"; cat "$work/qz.log"
fi

# The calculator is not blocked while the guide is open.
xdotool windowfocus --sync "$win"
sleep 0.2
xdotool type --delay 30 '6*7'
xdotool key Return

if [ -n "$help" ]; then
  xdotool windowfocus --sync "$help"
  sleep 0.2
  xdotool key Escape
  if [ -n "$help_pid" ] && gone "$help_pid"; then pass "Escape closed the guide"; help_pid=""
  else fail "the guide stayed open after Escape"; fi
fi

xdotool windowfocus --sync "$win"
sleep 0.2
xdotool key q 2>/dev/null
if gone "$qz_pid"; then
  wait "$qz_pid"
  status=$?
  qz_pid=""
  [ "$status" -eq 0 ] && pass "q ended the program with status 0" || fail "exit status $status"
else
  fail "q did not end the program"
fi

if tr -d '\r' <"$work/qz.state" 2>/dev/null | grep -qx 'vmFloat:42== 42'; then
  pass "state written on the way out, with the calculation typed beside the guide"
else
  fail "state file missing or without '= 42'"; cat "$work/qz.state" 2>/dev/null
fi

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
