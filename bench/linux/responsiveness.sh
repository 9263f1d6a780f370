#!/usr/bin/env bash
# How long the guard takes to handle a click on Command2 ("最小化") while
# its alert is up and it watches many idle processes: the time from the
# click (xdotool, on an X server of its own) to the main window's unmapping.
# Each round starts a stand-in under a watched name, waits for the alert,
# clicks and waits for the window to go. xdotool takes its time to end
# after the click, so the window is watched meanwhile; the time still
# includes starting xdotool and one look at the window, a few milliseconds.
#
#   bench/linux/responsiveness.sh [--idle=4000] [--clicks=9] [--quorvex=build/linux/quorvex]
#
# The last two lines are click_to_hide_ms_p50= and click_to_hide_ms_max=.
# It kills any process of a watched name on this machine while it runs.
set -euo pipefail
cd "$(dirname "$0")/../.."

idle=4000 clicks=9 quorvex=build/linux/quorvex
for option in "$@"; do
  case $option in
    --idle=*) idle=${option#*=} ;;
    --clicks=*) clicks=${option#*=} ;;
    --quorvex=*) quorvex=${option#*=} ;;
    *) echo "unknown option $option" >&2; exit 2 ;;
  esac
done

work=$(mktemp -d)
xvfb_pid= quorvex_pid= idle_pids=()
cleanup() {
  [ -z "$quorvex_pid" ] || kill "$quorvex_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  [ ${#idle_pids[@]} -eq 0 ] || kill "${idle_pids[@]}" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $2 seconds for the command $1 to succeed.
wait_for() {
  local deadline=$((SECONDS + $2))
  until eval "$1"; do
    [ "$SECONDS" -lt "$deadline" ] || { echo "timed out waiting for: $1" >&2; return 1; }
  done
}

# The first visible window of the guard that is $1 x $2 pixels, or nothing.
window_of_size() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$quorvex_pid" 2>/dev/null); do
    xwininfo -id "$id" 2>/dev/null | grep -q "Width: $1\$" &&
      xwininfo -id "$id" 2>/dev/null | grep -q "Height: $2\$" && { echo "$id"; return 0; }
  done
  return 1
}
# Form1's and the splash's client areas, from their twips at 15 per pixel.
form1() { window_of_size 610 281; }
splash() { window_of_size 492 283; }
unmapped() { ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
wait_for '[ -s "$work/display" ]' 10
export DISPLAY=":$(cat "$work/display")"

for ((i = 0; i < idle; i++)); do
  sleep 3600 &
  idle_pids+=($!)
done
echo "processes=$(ls /proc | grep -c '^[0-9]') (idle children: $idle)"

QT_QPA_PLATFORM=xcb "$quorvex" >"$work/quorvex.log" 2>&1 &
quorvex_pid=$!
wait_for 'splash >/dev/null' 30 || { cat "$work/quorvex.log" >&2; exit 1; }
wait_for '! splash >/dev/null' 30

cp /bin/sleep "$work/WinSvcs.exe"
times=()
for ((round = 0; round < clicks; round++)); do
  "$work/WinSvcs.exe" 60 &
  window=
  wait_for 'window=$(form1)' 30
  # Command2's centre: (6360 + 1815 / 2, 2400 + 735 / 2) twips.
  xdotool mousemove --window "$window" 484 184
  start=$(date +%s%N)
  xdotool click 1 &
  clicker=$!
  wait_for 'unmapped "$window"' 30
  times+=($((($(date +%s%N) - start) / 1000000)))
  wait "$clicker"
  wait $! 2>/dev/null || true  # the stand-in, killed by the guard
done

sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "click_to_hide_ms: ${times[*]}"
echo "click_to_hide_ms_p50=${sorted[$((${#sorted[@]} / 2))]}"
echo "click_to_hide_ms_max=${sorted[$((${#sorted[@]} - 1))]}"
