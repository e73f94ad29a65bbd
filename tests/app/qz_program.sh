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
for tool in Xvfb xdotool xprop; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
# Other suites start X servers at the same moment; this one owns its own.
source "$(dirname "$0")/../../tools/xvfb.sh"

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
  xvfb_stop
  rm -rf "$work"
}
trap cleanup EXIT
# A test run that is stopped (ctest's time-out) still ends its X server.
trap 'exit 143' TERM
trap 'exit 130' INT
xvfb_start 640x400x24 || exit 1

failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
gone() {  # waits up to 5 s for a process to end
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.05; done
  return 1
}

"$qz" >"$work/qz.log" 2>&1 &
qz_pid=$!
# The window of this very process (_NET_WM_PID), not merely one with the title.
win=$(timeout 30 xdotool search --sync --all --onlyvisible --pid "$qz_pid" --name '^Zentabula  v2\.0$')
win=${win%%$'\n'*}
if [ -z "$win" ]; then
  echo "FAIL: the calculator window did not appear"; cat "$work/qz.log"; exit 1
fi
pass "window 'Zentabula  v2.0' shown"

# Qt writes the icon with the title before it maps the window, so the mapped
# window has it now or never. The output is taken whole before it is
# searched: xprop writes it in several pieces, and a `grep -q` that stops at
# the first match would kill xprop with SIGPIPE, which pipefail reports as
# a failure.
icon=$(xprop -id "$win" _NET_WM_ICON 2>&1)
if [[ $icon == *'Icon (48 x 48)'* ]]; then
  pass "window carries the 48 x 48 icon"
else
  fail "no 48 x 48 icon on the window: ${icon:0:200}"
fi

xdotool windowfocus --sync "$win"
sleep 0.2
xdotool key F1
# The viewer is a process of its own; on this private screen only the
# calculator can have started it.
help=$(timeout 20 xdotool search --sync --onlyvisible --name "^Zentabula User.s Guide\$")
help=${help%%$'\n'*}
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

state=$(tr -d '\r' <"$work/qz.state" 2>/dev/null)
if grep -qx 'vmFloat:42== 42' <<<"$state"; then
  pass "state written on the way out, with the calculation typed beside the guide"
else
  fail "state file missing or without '= 42'"; echo "$state"
fi

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
