#!/usr/bin/env bash
# The share of one core the Windows program uses under Wine while it guards
# with no worm about, as Linux counts it: the program's own process, and the
# Wine server that answers its calls (in a prefix where nothing else runs).
# Wine gives a Windows program no CPU times of another process, so this is
# measured from the Linux side. Needs an X display (xvfb-run -a is enough).
#
#   WINEPREFIX=$PWD/build/windows/wine-prefix xvfb-run -a bench/windows/idle_cpu.sh build/windows/quorvex.exe [seconds]
#
# The last line is idle_cpu_percent= (the program and the server together).
set -euo pipefail
program=$(realpath "${1:?which quorvex.exe?}") seconds=${2:-20}
loader=$("$(dirname "$0")/../../tests/support/wine-loader" "$program")
: "${WINEPREFIX:?set WINEPREFIX to the prefix of the build tree}"

# The CPU time of a Linux process so far, in clock ticks.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# The newest process named $1 (as its command line begins) that runs in this
# prefix: other trees' Wine programs and servers run beside it.
inThisPrefix() {
  local pid
  for pid in $(pgrep -f "^[^ ]*$1"); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done | tail -n 1
}

export WINEPREFIX
WINEDEBUG=-all "$loader" "$program" >/dev/null 2>&1 &
loaderPid=$!
trap 'kill "$loaderPid" 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
sleep 5  # start-up and the splash are not resident use
guard=$(inThisPrefix "$(basename "$program")") server=$(inThisPrefix wineserver)
[ -n "$guard" ] && [ -n "$server" ] || { echo "the program or the Wine server did not come up" >&2; exit 1; }
start=$(date +%s%N) guardBefore=$(ticks "$guard") serverBefore=$(ticks "$server")
sleep "$seconds"
wallTicks=$(( ($(date +%s%N) - start) * $(getconf CLK_TCK) / 1000000000 ))
guardUsed=$(( $(ticks "$guard") - guardBefore )) serverUsed=$(( $(ticks "$server") - serverBefore ))
awk -v g="$guardUsed" -v s="$serverUsed" -v w="$wallTicks" 'BEGIN {
  printf "program %5.1f%% of a core\nserver  %5.1f%% of a core\nidle_cpu_percent=%.1f\n", 100*g/w, 100*s/w, 100*(g+s)/w }'
