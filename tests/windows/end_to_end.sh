#!/usr/bin/env bash
# quorvex.exe under Wine on an X server with a window manager (DISPLAY and
# WINEPREFIX set by scripts/test-windows): the splash alone at start, a worm
# stand-in killed and the main window up, a drag moves it with the mouse,
# Command1 leaves a directory where the worm's file was, Command2 hides the
# window and a second worm brings it back; screenshots on the way. The two
# worms are copies of the two stand-ins given, which may be of either
# architecture: a 64-bit Windows runs 32-bit worms beside 64-bit ones. Where
# no 32-bit Wine runs, the build gives a 64-bit first worm and says why.
# Every wait is for an event, bounded generously: how fast is for bench/.
# Usage: end_to_end.sh QUORVEX_EXE SCREENSHOT_DIR FIRST_STAND_IN_EXE SECOND_STAND_IN_EXE [WHY_NO_32_BIT_WORM]
set -euo pipefail
program=$1 screenshots=$2 first_stand_in=$3 second_stand_in=$4 no_32_bit_worm=${5:-}
: "${DISPLAY:?run through scripts/test-windows}" "${WINEPREFIX:?run through scripts/test-windows}"

bound=30  # seconds any one event may take on a busy machine

[ -z "$no_32_bit_worm" ] ||
  echo "NOTE: no 32-bit worm in this run, the first worm is $(basename "$first_stand_in"): $no_32_bit_worm" >&2

# The Wine loader of a program's architecture, which runs it as itself.
loader_of() { "$(dirname "$0")/../support/wine-loader" "$1"; }

fail() {
  echo "FAIL: $*" >&2
  import -window root "$screenshots/failure.png" 2>/dev/null || true
  exit 1
}
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
# Runs the check "$@" until it holds, for up to $bound seconds (or $within_ms).
await() {
  local deadline=$(( $(now_ms) + ${within_ms:-$((bound * 1000))} ))
  until "$@"; do [ "$(now_ms)" -lt "$deadline" ] || return 1; sleep 0.02; done
}
# A process that has ended but is not yet reaped counts as ended.
running() { local state; state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]; }
ended() { ! running "$1"; }
visible_windows() { xdotool search --onlyvisible --class quorvex.exe 2>/dev/null || true; }
none_visible() { [ -z "$(visible_windows)" ]; }
# The first shown window that the xdotool search "$@" finds, once there is
# one. A search ends at once when a window it looks at goes meanwhile (a kill
# line's console, say), so it is made again.
window_found() { window=$(xdotool search --onlyvisible --limit 1 "$@" 2>/dev/null) && [ -n "$window" ]; }
shown_window() { await window_found "$@" && echo "$window"; }
main_window() { shown_window --name '^Quorvex$'; }
unmapped() { xwininfo -id "$1" | grep -q IsUnMapped; }
is_directory() { [ -d "$1" ]; }
# It says so once it runs, unless the guard was quicker.
runs_or_ended() { grep -qs ready "$1" || ended "$2"; }
moved_from() { eval "$(xdotool getwindowgeometry --shell "$1")"; [ "$X" -ne "$2" ] || [ "$Y" -ne "$3" ]; }
reached_x() { eval "$(xdotool getwindowgeometry --shell "$1")"; [ "$X" -ge "$2" ]; }
# Client-area point of a window, in 96-dpi pixels, clicked with the real X pointer.
click_at() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
# The window as the screen shows it, with a margin, once it is painted (a
# blank or half-drawn window has few colours).
painted_screenshot() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))" "$2" &&
    [ "$(identify -format %k "$2")" -gt 50 ]
}

pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

# The folder shows in the main window and so in the README's pictures: a
# neutral name, one run at a time. The lock is not passed on to Wine.
demo=${TMPDIR:-/tmp}/quorvex-demo
exec {lock}>"$demo.lock"
flock "$lock"
folder="$demo/U盘 病毒"
rm -rf "$demo" "$screenshots/failure.png" && mkdir -p "$folder" "$screenshots"
# Starts a copy of the stand-in $2 as $1 and waits until it runs (or has been killed).
start_worm() {
  cp "$2" "$folder/$1"
  "$(loader_of "$2")" "$folder/$1" >"$demo/$1.log" 2>&1 {lock}>&- &
  worm=$!
  pids+=("$worm")
  await runs_or_ended "$demo/$1.log" "$worm" || fail "the stand-in $1 never ran"
  echo "$1: a copy of $(basename "$2")"
}
# The worm started last dies by the program's hand and its main window comes up.
await_detection() {
  local started lived
  started=$(now_ms)
  await ended "$worm" || fail "the stand-in still runs after ${bound} s"
  lived=$(( $(now_ms) - started ))
  echo "stand-in ended ${lived} ms after it was running (bench/ measures this properly)"
  main=$(main_window) || fail "the main window did not come up"
}

"$(loader_of "$program")" "$program" >"$demo/quorvex.log" 2>&1 {lock}>&- &
pids+=($!)

# Start-up: the splash, and nothing else.
splash=$(shown_window --class quorvex.exe) ||
  fail "no window after start-up"
[ -z "$(xdotool getwindowname "$splash")" ] || fail "the visible window is not the splash"
eval "$(xdotool getwindowgeometry --shell "$splash")"
# The X window holds the whole window: the 492 x 283 client area in its dialog frame.
frame=$((WIDTH - 492))
[ "$frame" -ge 0 ] && [ "$frame" -le 8 ] && [ $((HEIGHT - 283)) -eq "$frame" ] ||
  fail "splash is ${WIDTH}x$HEIGHT, not 492x283 in a thin frame"
await painted_screenshot "$splash" "$screenshots/splash.png" || fail "the splash looks blank"
# Its timer closes it; a main window shown at start-up would still be up then.
await none_visible || fail "still visible after the splash's time: $(visible_windows | wc -l) windows"

# A worm starts: killed, and the main window comes up.
worm_path="$folder/WinSvcs.exe"
start_worm WinSvcs.exe "$first_stand_in"
await_detection
xprop -id "$main" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR || fail "the main window has a taskbar entry"
eval "$(xdotool getwindowgeometry --shell "$main")"
[ "$WIDTH" -eq 610 ] && [ "$HEIGHT" -eq 281 ] || fail "main client area is ${WIDTH}x$HEIGHT, not 610x281"
await painted_screenshot "$main" "$screenshots/main.png" || fail "the main window looks blank"

# Dragging the free surface moves the window with the mouse. The move starts
# some way into the first motions with the button held: nudge until the
# window follows; from there it follows the mouse step for step, give or take
# a nudge still on its way.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" 100 250 mousedown 1
start_x=$X start_y=$Y following=no
for _ in $(seq 100); do
  xdotool mousemove_relative -- 1 1
  if within_ms=200 await moved_from "$main" "$start_x" "$start_y"; then following=yes; break; fi
done
[ "$following" = yes ] || fail "the window never followed the mouse"
eval "$(xdotool getwindowgeometry --shell "$main")"
old_x=$X old_y=$Y
xdotool mousemove_relative -- 40 30 mouseup 1
await reached_x "$main" $((old_x + 38)) || fail "the window stopped following the mouse"
eval "$(xdotool getwindowgeometry --shell "$main")"
dx=$((X - old_x)) dy=$((Y - old_y))
[ "$dx" -ge 37 ] && [ "$dx" -le 43 ] && [ "$dy" -ge 27 ] && [ "$dy" -le 33 ] ||
  fail "the drag moved the window by $dx,$dy, not 40,30"

# Command1 (256,160 121x49): the worm's file becomes a directory.
[ -f "$worm_path" ] || fail "the worm's file is gone before the cleanup"
click_at "$main" 316 184
await is_directory "$worm_path" || fail "no directory where the worm's file was"

# Command2 (424,160 121x49): the window goes, the program stays: a second
# worm brings the window back.
click_at "$main" 484 184
await unmapped "$main" || fail "Command2 left the main window mapped"
start_worm VolDriver.exe "$second_stand_in"
await_detection
echo "end to end: all checks passed"
