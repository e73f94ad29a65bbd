#!/usr/bin/env bash
# A private virtual X screen for the scripts that drive the calculator.
#
# Sourced, it defines
#     xvfb_start [WIDTHxHEIGHTxDEPTH]   starts Xvfb, exports DISPLAY, sets xvfb_pid
#     xvfb_wm_start                     starts a window manager (openbox) on it,
#                                       sets wm_pid; returns once it manages windows
#     xvfb_stop                         ends the window manager and the server
#                                       and waits for them
# and the caller's EXIT trap calls xvfb_stop.
#
# Run as a program, it starts a server, runs the command on it and ends the
# server, handing back the command's exit status:
#     tools/xvfb.sh WIDTHxHEIGHTxDEPTH COMMAND [ARGS...]
#
# The server picks its display number itself (-displayfd): it takes the
# first number whose socket it can bind, which the kernel grants to one
# server only, and reports the number once it accepts connections. Choosing
# a number from outside, as `xvfb-run -a` does from the lock files in /tmp,
# races with every other script choosing at the same moment (several test
# suites run at once on one machine): the loser's server fails and has to
# be started again on the next number.

xvfb_pid=""
wm_pid=""
wm_home=""

xvfb_start() {
  local screen=${1:-640x400x24} dir number
  command -v Xvfb >/dev/null || { echo "xvfb: Xvfb is not installed" >&2; return 1; }
  dir=$(mktemp -d) || return 1
  mkfifo "$dir/display" || { rm -rf "$dir"; return 1; }
  # -noreset: by default the server resets (keys held, selections, root
  # properties) whenever its last client leaves, so what a script met would
  # depend on whether some client happened to be connected at that moment.
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$dir/display" >"$dir/log" 2>&1 &
  xvfb_pid=$!
  # Blocks until the server writes the number, or reads nothing once it
  # has ended without (the write end of the pipe closes with it).
  number=""
  read -r -t 30 number <"$dir/display" || true
  if [ -z "$number" ]; then
    echo "xvfb: the X server did not start" >&2
    tail -n 5 "$dir/log" >&2
    rm -rf "$dir"
    xvfb_stop
    return 1
  fi
  rm -rf "$dir"
  export DISPLAY=":$number"
  # The server asks for no cookie; one found for this number in the user's
  # file would belong to some other server.
  export XAUTHORITY=/dev/null
}

# Frames, stacking, focus and "always on top" are the window manager's: a
# bare X server has none of them.
xvfb_wm_start() {
  command -v openbox >/dev/null || { echo "xvfb: openbox is not installed" >&2; return 1; }
  [ -n "$xvfb_pid" ] || { echo "xvfb: no server to manage" >&2; return 1; }
  # Its own empty configuration folder: no user's settings or autostart.
  wm_home=$(mktemp -d) || return 1
  XDG_CONFIG_HOME=$wm_home openbox --sm-disable >/dev/null 2>&1 &
  wm_pid=$!
  # It announces itself on the root window once it manages windows.
  local _
  for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 "$wm_pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "xvfb: the window manager did not start" >&2
  return 1
}

xvfb_stop() {
  if [ -n "$wm_pid" ]; then
    kill "$wm_pid" 2>/dev/null || true
    wait "$wm_pid" 2>/dev/null || true
    wm_pid=""
  fi
  [ -z "$wm_home" ] || rm -rf "$wm_home"
  wm_home=""
  [ -n "$xvfb_pid" ] || return 0
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -u
  [ $# -ge 2 ] || { echo "usage: $0 WIDTHxHEIGHTxDEPTH COMMAND [ARGS...]" >&2; exit 2; }
  screen=$1
  shift
  trap xvfb_stop EXIT
  # The command's own INT or TERM ends it; the trap then ends the server.
  trap 'exit 130' INT
  trap 'exit 143' TERM
  xvfb_start "$screen" || exit 1
  "$@"
  exit $?
fi
