#!/usr/bin/env bash
# Two calculators of one user on one state file, each on a virtual X screen
# of its own, so that each gets its own keys. Both start from a file holding
# R1 = 7 and the tape "7", "= 7". A types 111+1= and stores it in R5; B
# clears its tape with TAPE, types 2*3= and stores it in R6. A closes first,
# then B. The file then holds R1, R5 and R6, and the lines A typed followed
# by the lines B typed: B's TAPE dropped the lines both had loaded, not A's.
# Both programs end with status 0. A third, whose state cannot be saved (its
# folder is a plain file), says so and ends with status 1.
#
#     two_calculators.sh PATH/TO/qz PATH/TO/tools/xvfb.sh
# Exit status 77 (skipped) when the X tools are not installed.
set -uo pipefail

# One calculator's session, run by the script itself on its own screen:
#     two_calculators.sh --session QZ WORK NAME CLEAR KEYS
if [ "${1:-}" = --session ]; then
  qz=$2 work=$3 name=$4 clear=$5 keys=$6
  "$qz" >"$work/$name.log" 2>&1 &
  pid=$!
  win=$(timeout 30 xdotool search --sync --all --onlyvisible --pid "$pid" --name '^Zentabula  v2\.0$')
  win=${win%%$'\n'*}
  [ -n "$win" ] || { echo "no window" >"$work/$name.status"; kill "$pid"; exit 1; }
  xdotool windowfocus --sync "$win"
  sleep 0.3
  # "TAPE": the last key of the bottom row (left 432, top 236, 40 x 24).
  [ "$clear" = 1 ] && xdotool mousemove --window "$win" 452 248 click 1 && sleep 0.2
  xdotool windowfocus --sync "$win"
  xdotool type --delay 40 "$keys"
  sleep 0.3
  touch "$work/$name.ready"
  for _ in $(seq 600); do [ -e "$work/$name.close" ] && break; sleep 0.1; done
  xdotool key q
  for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  # A state that cannot be saved is reported in a dialog, answered here.
  if kill -0 "$pid" 2>/dev/null; then
    box=$(timeout 5 xdotool search --all --onlyvisible --pid "$pid" --name '^Zentabula$')
    box=${box%%$'\n'*}
    if [ -n "$box" ]; then
      touch "$work/$name.dialog"
      xdotool windowfocus --sync "$box"
      xdotool key Return
    fi
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  fi
  if kill -0 "$pid" 2>/dev/null; then kill "$pid"; echo "still running" >"$work/$name.status"; exit 1; fi
  wait "$pid"
  echo "$?" >"$work/$name.status"
  exit 0
fi

qz=$(realpath "$1")
xvfb=$(realpath "$2")
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
unset QT_QPA_PLATFORM
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

work=$(mktemp -d)
export APPDATA=$work XDG_CONFIG_HOME=$work
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
hex32() { printf '%032X' "$1"; }
waitfor() {  # waits up to 60 s for a file
  for _ in $(seq 600); do [ -e "$1" ] && return 0; sleep 0.1; done
  return 1
}

{
  printf '[globals]\r\nmode=vmDec\r\n\r\n[registers]\r\n'
  for k in $(seq 0 15); do
    if [ "$k" = 1 ]; then printf 'vmDec:%s\r\n' "$(hex32 7)"; else printf 'vmDec:%s\r\n' "$(hex32 0)"; fi
  done
  printf '\r\n[tape]\r\nvmDec:%s=7\r\nvmDec:%s== 7\r\n' "$(hex32 7)" "$(hex32 7)"
} >"$work/qz.state"

self=$(realpath "$0")
"$xvfb" 640x400x24 bash "$self" --session "$qz" "$work" A 0 '111+1=s5' &
pids+=($!)
"$xvfb" 640x400x24 bash "$self" --session "$qz" "$work" B 1 '2*3=s6' &
pids+=($!)

if ! waitfor "$work/A.ready" || ! waitfor "$work/B.ready"; then
  echo "FAIL: the calculators did not both start"; cat "$work"/*.log 2>/dev/null; exit 1
fi
pass "two calculators running, each on its own screen"
touch "$work/A.close"
waitfor "$work/A.status" || fail "A did not end"
touch "$work/B.close"
waitfor "$work/B.status" || fail "B did not end"
[ "$(cat "$work/A.status" 2>/dev/null)" = 0 ] && pass "A ended with status 0" || fail "A: $(cat "$work/A.status")"
[ "$(cat "$work/B.status" 2>/dev/null)" = 0 ] && pass "B ended with status 0" || fail "B: $(cat "$work/B.status")"

mapfile -t lines < <(tr -d '\r' <"$work/qz.state")
[ "${lines[4 + 1]:-}" = "vmDec:$(hex32 7)" ] && pass "R1 as loaded" || fail "R1 line '${lines[5]:-}'"
[ "${lines[4 + 5]:-}" = "vmDec:$(hex32 112)" ] && pass "A's R5 = 112 kept" || fail "R5 line '${lines[9]:-}'"
[ "${lines[4 + 6]:-}" = "vmDec:$(hex32 6)" ] && pass "B's R6 = 6 kept" || fail "R6 line '${lines[10]:-}'"
tape=$(printf '%s\n' "${lines[@]:22}" | sed 's/^[^=]*=//' | paste -sd '|')
want='111|+ 1|= 112|2|* 3|= 6'
[ "$tape" = "$want" ] && pass "tape: A's lines, then B's; the loaded ones cleared by B" \
  || fail "tape '$tape', expected '$want'"
ls "$work" | grep -q '^qz\.state\.' && fail "left beside the file: $(ls "$work" | grep '^qz\.state\.')"

# The third one, alone: a save that fails is not a success.
touch "$work/plain"
APPDATA=$work/plain/folder "$xvfb" 640x400x24 bash "$self" --session "$qz" "$work" C 0 '1=' &
pids+=($!)
waitfor "$work/C.ready" || fail "C did not start"
touch "$work/C.close"
waitfor "$work/C.status" || fail "C did not end"
[ -e "$work/C.dialog" ] && pass "the failed save was reported" || fail "no dialog about the failed save"
[ "$(cat "$work/C.status" 2>/dev/null)" = 1 ] && pass "C ended with status 1" \
  || fail "C: status $(cat "$work/C.status" 2>/dev/null)"

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"; echo "--- qz.state"; cat "$work/qz.state"; exit 1
fi
