#!/usr/bin/env bash
# quorvex.exe under Wine on an X server with a window manager (DISPLAY and
# WINEPREFIX set by scripts/test-windows): the splash alone at start, a worm
# stand-in killed at once and the main window up, Command1 leaves a directory
# where the worm's file was, Command2 hides the window; screenshots on the way.
# Usage: end_to_end.sh QUORVEX_EXE STAND_IN_EXE WORK_DIR SCREENSHOT_DIR
set -euo pipefail
program=$1 stand_in=$2 work=$3 screenshots=$4
: "${DISPLAY:?run through scripts/test-windows}" "${WINEPREFIX:?run through scripts/test-windows}"

fail() {
  echo "FAIL: $*" >&2
  import -window root "$screenshots/failure.png" 2>/dev/null || true
  exit 1
}
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
# A process that has ended but is not yet reaped counts as ended.
running() { local state; state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]; }
visible_windows() { xdotool search --onlyvisible --class quorvex.exe 2>/dev/null || true; }
main_window() { timeout 5 xdotool search --sync --onlyvisible --limit 1 --name '^Quorvex$' 2>/dev/null; }
# Client-area point of a window, in 96-dpi pixels, clicked with the real X pointer.
click_at() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

folder="$work/U盘 病毒"
rm -rf "$work" "$screenshots/failure.png" && mkdir -p "$folder" "$screenshots"
cp "$stand_in" "$folder/WinSvcs.exe"
worm_path="$folder/WinSvcs.exe"

wine "$program" >"$work/quorvex.log" 2>&1 &
pids+=($!)

# Start-up: the splash, and nothing else.
splash=$(timeout 10 xdotool search --sync --onlyvisible --limit 1 --class quorvex.exe 2>/dev/null) ||
  fail "no window after start-up"
sleep 0.3
[ "$(visible_windows | wc -l)" -eq 1 ] || fail "more than the splash is visible at start-up"
[ -z "$(xdotool getwindowname "$splash")" ] || fail "the visible window is not the splash"
eval "$(xdotool getwindowgeometry --shell "$splash")"
# The X window holds the whole window: the 492 x 283 client area in its dialog frame.
frame=$((WIDTH - 492))
[ "$frame" -ge 0 ] && [ "$frame" -le 8 ] && [ $((HEIGHT - 283)) -eq "$frame" ] ||
  fail "splash is ${WIDTH}x$HEIGHT, not 492x283 in a thin frame"
import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))" "$screenshots/splash.png"

# A worm starts: dead within a second, and the main window comes up.
wine "$worm_path" >"$work/worm.log" 2>&1 &
worm=$!
pids+=("$worm")
for _ in $(seq 200); do grep -q ready "$work/worm.log" && break; sleep 0.02; done
started=$(now_ms)
while running "$worm" && [ $(( $(now_ms) - started )) -lt 3000 ]; do sleep 0.01; done
lived=$(( $(now_ms) - started ))
echo "stand-in ended ${lived} ms after it was running"
[ "$lived" -lt 1000 ] || fail "the stand-in lived ${lived} ms"

main=$(main_window) || fail "the main window did not come up"
xprop -id "$main" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR || fail "the main window has a taskbar entry"
eval "$(xdotool getwindowgeometry --shell "$main")"
[ "$WIDTH" -eq 610 ] && [ "$HEIGHT" -eq 281 ] || fail "main client area is ${WIDTH}x$HEIGHT, not 610x281"
sleep 0.5  # the splash times out, the labels are drawn
import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))" "$screenshots/main.png"

# Dragging the free surface moves the window with the mouse.
# The first move with the button held starts the drag; the window follows the
# moves after it.
xdotool mousemove --window "$main" 100 250 mousedown 1
sleep 0.2
xdotool mousemove_relative -- 2 2
sleep 0.3
xdotool mousemove_relative -- 20 15
sleep 0.1
xdotool mousemove_relative -- 20 15
sleep 0.3
xdotool mouseup 1
sleep 0.3
old_x=$X old_y=$Y
eval "$(xdotool getwindowgeometry --shell "$main")"
[ $((X - old_x)) -eq 40 ] && [ $((Y - old_y)) -eq 30 ] || fail "the drag moved the window by $((X - old_x)),$((Y - old_y)), not 40,30"

# Command1 (256,160 121x49): the worm's file becomes a directory.
[ -f "$worm_path" ] || fail "the worm's file is gone before the cleanup"
click_at "$main" 316 184
for _ in $(seq 100); do [ -d "$worm_path" ] && break; sleep 0.02; done
[ -d "$worm_path" ] || fail "no directory where the worm's file was"

# Command2 (424,160 121x49): the window goes, the program stays.
click_at "$main" 484 184
for _ in $(seq 100); do xwininfo -id "$main" | grep -q IsUnMapped && break; sleep 0.02; done
xwininfo -id "$main" | grep -q IsUnMapped || fail "Command2 left the main window mapped"
running "${pids[0]}" || fail "quorvex.exe ended"
echo "end to end: all checks passed"
