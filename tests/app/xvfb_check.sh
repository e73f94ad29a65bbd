#!/usr/bin/env bash
# tools/xvfb.sh, which the window scripts share: servers started at the same
# moment get displays of their own, the command runs on its server and its
# exit status comes back, and the server is gone afterwards.
#
#     xvfb_check.sh PATH/TO/tools/xvfb.sh
# Exit status 77 (skipped) when Xvfb, xdpyinfo or pgrep is not installed.
set -uo pipefail

helper=$(realpath "$1")
for tool in Xvfb xdpyinfo pgrep; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Each command reports its display, the screen it reached there and the
# server's process (its sibling, a child of the helper), then holds the
# server until all have started, so none can reuse a number another gave
# back.
runs=4
for n in $(seq "$runs"); do
  "$helper" 320x200x24 bash -c '
    size=$(xdpyinfo | sed -n "s/^ *dimensions: *\([0-9x]*\) .*/\1/p")
    echo "$DISPLAY $size $(pgrep -P "$PPID" -x Xvfb)" >"$1.tmp" && mv "$1.tmp" "$1"
    for _ in $(seq 200); do [ "$(ls "$2"/*.out | wc -l)" -ge "$3" ] && break; sleep 0.05; done
    exit 7' _ "$work/$n.out" "$work" "$runs" &
  echo $! >"$work/$n.pid"
done
for n in $(seq "$runs"); do
  wait "$(cat "$work/$n.pid")"
  status=$?
  [ "$status" -eq 7 ] || fail "run $n: exit status $status, expected the command's 7"
done

displays=$(cat "$work"/*.out | cut -d' ' -f1 | sort)
[ "$(wc -l <<<"$displays")" -eq "$runs" ] && pass "every command ran on a server" \
  || fail "only $(wc -l <<<"$displays") of $runs commands reached a server"
[ "$(uniq <<<"$displays" | wc -l)" -eq "$runs" ] && pass "$runs servers at once, each on its own display" \
  || fail "displays shared: $(tr '\n' ' ' <<<"$displays")"
sizes=$(cat "$work"/*.out | cut -d' ' -f2 | sort -u)
[ "$sizes" = 320x200 ] && pass "the screen has the size asked for" || fail "screen sizes: $sizes"

# By process, not by display: another suite may already have the number.
for server in $(cut -d' ' -f3 "$work"/*.out); do
  if kill -0 "$server" 2>/dev/null; then fail "the server $server still runs"; fi
done
[ "$failures" -eq 0 ] && pass "every server ended with its command"

# A window manager on a server of the helper's: it manages windows once
# started, and ends with the server.
if command -v openbox >/dev/null && command -v xprop >/dev/null; then
  (
    source "$helper"
    xvfb_start 320x200x24 || exit 1
    xvfb_wm_start || exit 2
    xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || exit 3
    echo "$wm_pid" >"$work/wm.pid"
    xvfb_stop
  )
  status=$?
  [ "$status" -eq 0 ] && pass "a window manager runs on the server" \
    || fail "the window manager did not start (status $status)"
  wm=$(cat "$work/wm.pid" 2>/dev/null)
  [ -n "$wm" ] && ! kill -0 "$wm" 2>/dev/null && pass "it ended with the server" \
    || fail "the window manager ${wm:-?} still runs"
else
  echo "skipped: openbox or xprop is not installed; no window manager check"
fi

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
