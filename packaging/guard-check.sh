#!/bin/sh
# Runs the installed guard inside a system where the package was installed
# (check-deb.sh runs it in that system's chroot, in a PID namespace of its
# own, so the guard sees no process of the machine's) and checks that it
# guards: a stand-in worm, WORM copied under a watched name, is killed.
#   guard-check.sh started WORM: the guard started by hand, offscreen.
#   guard-check.sh unit WORM: the guard started by a systemd user manager
#     through quorvex.service when a stand-in desktop session starts; killed,
#     it is back within 2 s; it ends with the session.
set -eu
mode=$1 worm=$2
export QT_QPA_PLATFORM=offscreen

fail() {
  echo "guard-check: $*" >&2
  [ ! -s /run/user-manager.log ] || { echo "The user manager said:"; tail -n 30 /run/user-manager.log; } >&2
  exit 1
}
# A process gone, or ended and not yet reaped.
ended() { [ ! -r "/proc/$1/stat" ] || [ "$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null)" = Z ]; }
# The guards running, by their executable's path.
guards() {
  for exe in /proc/[0-9]*/exe; do
    [ "$(readlink "$exe" 2>/dev/null)" != /usr/bin/quorvex ] || { pid=${exe#/proc/}; echo "${pid%/exe}"; }
  done
}

# Starts the stand-in under a watched name and waits for its death: SIGKILL
# from the guard, within a bound generous enough for a guard under qemu.
stand_in_killed() {
  folder=$(mktemp -d)
  cp "$worm" "$folder/winhxvh.exe"
  "$folder/winhxvh.exe" & stand_in=$!
  for _ in $(seq 1200); do ended "$stand_in" && break; sleep 0.1; done
  kill -KILL "$stand_in" 2>/dev/null || true  # when the guard did not
  status=0; wait "$stand_in" || status=$?
  rm -rf "$folder"
  [ "$status" -eq 137 ]
}
stand_in_is_killed() { stand_in_killed || fail "$1 did not kill a process named winhxvh.exe within 120 s"; }

# Says "starts" when the guard is still up once the stand-in's fate is known,
# then "kills" when it was the guard that ended the stand-in.
started() {
  XDG_RUNTIME_DIR=$(mktemp -d) /usr/bin/quorvex & guard=$!
  killed=yes; stand_in_killed || killed=no
  ! ended "$guard" || fail "the guard ended by itself"
  echo "guard-check: starts"
  [ "$killed" = yes ] || fail "the guard did not kill a process named winhxvh.exe within 120 s"
  echo "guard-check: kills the stand-in"
}

# The user manager's view of the unit.
unit() { systemctl --user show -p "$1" --value quorvex.service; }
unit_main_pid() { pid=$(unit MainPID); [ "$pid" != 0 ] && [ "$(unit ActiveState)" = active ] && echo "$pid"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

started_by_unit() {
  export XDG_RUNTIME_DIR=/run/user/0 HOME=/root SYSTEMD_IGNORE_CHROOT=1
  mkdir -p /run/systemd/system "$XDG_RUNTIME_DIR" /run/systemd/user
  # Older systemds only warn of what they do not know, so any word on the
  # unit is a fault.
  verdict=$(SYSTEMD_COLORS=0 systemd-analyze --user --man=no verify /usr/lib/systemd/user/quorvex.service 2>&1) &&
    ! echo "$verdict" | grep quorvex.service >&2 || fail "systemd-analyze verify finds fault with quorvex.service"
  # What a desktop session does: it starts graphical-session.target, which
  # only another unit may start, and stops it with itself.
  cat >/run/systemd/user/stand-in-session.target <<EOF
[Unit]
Description=Stand-in desktop session
BindsTo=graphical-session.target
Before=graphical-session.target
EOF
  /lib/systemd/systemd --user >/run/user-manager.log 2>&1 &
  for _ in $(seq 300); do systemctl --user show-environment >/dev/null 2>&1 && break; sleep 0.1; done
  systemctl --user set-environment QT_QPA_PLATFORM=offscreen
  systemctl --user start stand-in-session.target
  for _ in $(seq 300); do first=$(unit_main_pid) && break; sleep 0.1; done
  [ -n "${first:-}" ] || fail "the session did not start quorvex.service ($(unit ActiveState))"
  stand_in_is_killed "the guard the session started"

  killed_at=$(now_ms)
  kill -KILL "$first"
  second=
  while [ $(($(now_ms) - killed_at)) -lt 10000 ]; do
    second=$(unit_main_pid) && [ "$second" != "$first" ] && break
    second=; sleep 0.02
  done
  back_ms=$(($(now_ms) - killed_at))
  [ -n "$second" ] || fail "no guard came back within 10 s of the first one's SIGKILL ($(unit ActiveState))"
  [ "$back_ms" -le 2000 ] || fail "the guard came back $back_ms ms after its SIGKILL, not within 2 s"
  stand_in_is_killed "the guard that came back"

  systemctl --user stop stand-in-session.target
  for _ in $(seq 300); do [ "$(unit ActiveState)" = inactive ] && [ -z "$(guards)" ] && break; sleep 0.1; done
  [ -z "$(guards)" ] || fail "the guard outlived its session"
  systemctl --user exit || true
  echo "guard-check: the unit's guard is back $back_ms ms after SIGKILL"
}

case $mode in
  started) started ;;
  unit) started_by_unit ;;
  *) fail "unknown mode '$mode'" ;;
esac
