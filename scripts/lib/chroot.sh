# shellcheck shell=bash
# Debian chroots for building and checking the release packages, made with
# mmdebstrap from Debian's mirror and kept under build/chroots/ for as long
# as their recipe stays the same. A command runs in one in namespaces of its
# own: what is mounted for it goes with it, and so does every process it
# started. Sourced, not run; needs root.

debian_mirror=${QUORVEX_DEBIAN_MIRROR:-http://deb.debian.org/debian}
chroots_folder=build/chroots

# The release number of a Debian suite.
debian_release() {
  case $1 in
    bullseye) echo 11 ;; bookworm) echo 12 ;; trixie) echo 13 ;; forky) echo 14 ;; *) echo "?" ;;
  esac
}

# Lets the kernel run programs of a foreign architecture (arm64 on amd64)
# through qemu-user-static, as chroots of that architecture need. The
# registration opens the emulator at once (its F flag), so it works inside
# chroots too.
enable_foreign_architecture() {
  local arch=$1 machine
  [ "$arch" = "$(dpkg --print-architecture)" ] && return 0
  machine=$(dpkg-architecture -a "$arch" -q DEB_HOST_GNU_CPU 2>/dev/null)
  [ -e /proc/sys/fs/binfmt_misc/register ] || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  # Another run may register it at the same moment.
  [ -e "/proc/sys/fs/binfmt_misc/qemu-$machine" ] ||
    cat "/usr/lib/binfmt.d/qemu-$machine.conf" >/proc/sys/fs/binfmt_misc/register 2>/dev/null ||
    [ -e "/proc/sys/fs/binfmt_misc/qemu-$machine" ]
  arch-test "$arch" >/dev/null || { echo "cannot run $arch programs here, even through qemu-$machine" >&2; return 1; }
}

# make_chroot NAME SUITE ARCHITECTURES [PACKAGE...] [-- MMDEBSTRAP-OPTION...]:
# build/chroots/NAME, Debian SUITE for ARCHITECTURES (comma-separated, the
# first native) with apt and the packages named (name:arch for another
# architecture's), made again only when this recipe changes.
make_chroot() {
  local name=$1 suite=$2 architectures=$3 root recipe arch
  shift 3
  root=$chroots_folder/$name
  recipe="$suite $architectures $*"
  if [ "$(cat "$root/.recipe" 2>/dev/null)" = "$recipe" ]; then
    echo "chroot $name: kept from an earlier run"
    return 0
  fi
  local packages=() options=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do packages+=("$1"); shift; done
  [ $# -eq 0 ] || { shift; options=("$@"); }
  for arch in ${architectures//,/ }; do enable_foreign_architecture "$arch"; done
  rm -rf "$root" "$root.new"
  mkdir -p "$chroots_folder"
  echo "chroot $name: making $suite ($architectures) with ${packages[*]:-apt alone}"
  # eatmydata spares dpkg its syncs: the chroot is made again if anything
  # goes wrong. The package lists stay, for apt to install from.
  mmdebstrap --variant=apt --architectures="$architectures" --skip=cleanup/apt/lists \
    --hook-dir=/usr/share/mmdebstrap/hooks/eatmydata \
    ${packages[0]+--include="$(IFS=,; echo "${packages[*]}")"} "${options[@]}" \
    "$suite" "$root.new" "$debian_mirror" >"$root.log" 2>&1 ||
    { tail -n 40 "$root.log"; echo "mmdebstrap could not make $root (all it said: $root.log)" >&2; return 1; }
  echo "$recipe" >"$root.new/.recipe"
  touch "$root.new/$lists_stamp"
  mv "$root.new" "$root"
}

# Updates the package lists of ROOT when they are a day old: a point release
# removes the packages it replaces from the mirror.
lists_stamp=var/lib/apt/lists/.updated
refresh_package_lists() {
  local root=$1
  [ -z "$(find "$root/$lists_stamp" -mmin -1440 2>/dev/null)" ] || return 0
  in_chroot "$root" -- apt-get update -q >/dev/null
  touch "$root/$lists_stamp"
}

# in_chroot ROOT [--bind HOST:INSIDE]... [--systemd] [--] COMMAND...: runs
# COMMAND in ROOT, in a PID namespace of its own with its own /proc (its
# processes see only each other, and all end with it), fresh /run, /tmp and
# /dev/shm, the machine's terminals and name resolution, HOST folders bound
# at INSIDE, and an environment of its own.
# --systemd adds a cgroup namespace on a cgroup of its own, with sysfs, so
# that a systemd manager can run in it.
in_chroot() {
  local root=$1 binds=() systemd=no
  shift
  while [ $# -gt 0 ]; do
    case $1 in
      --bind) binds+=("$2"); shift 2 ;;
      --systemd) systemd=yes; shift ;;
      --) shift; break ;;
      *) break ;;
    esac
  done
  # shellcheck disable=SC2016
  local setup='
    root=$1 systemd=$2; shift 2
    mount -t tmpfs tmpfs "$root/run"; mount -t tmpfs tmpfs "$root/tmp"; mount -t tmpfs tmpfs "$root/dev/shm"
    mount --bind /dev/pts "$root/dev/pts"
    for file in /etc/resolv.conf /etc/hosts; do
      [ -f "$file" ] || continue
      [ -f "$root$file" ] && [ ! -L "$root$file" ] || { rm -f "$root$file"; : >"$root$file"; }
      mount --bind "$file" "$root$file"
    done
    if [ "$systemd" = yes ]; then
      mount -t sysfs sysfs "$root/sys"
      mount -t cgroup2 cgroup2 "$root/sys/fs/cgroup"
    fi
    while [ "$1" != -- ]; do
      mkdir -p "$root${1#*:}"; mount --bind "${1%%:*}" "$root${1#*:}"; shift
    done
    shift
    exec chroot "$root" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"'
  local run=(unshare --mount --propagation private --pid --fork --mount-proc="$root/proc")
  if [ "$systemd" = no ]; then
    "${run[@]}" sh -c "$setup" in_chroot "$root" no "${binds[@]}" -- "$@"
    return
  fi
  # The cgroup is made on the machine's single cgroup2 hierarchy, mounted
  # here in a mount namespace of this command's own, and removed after.
  # shellcheck disable=SC2016
  unshare --mount --propagation private sh -c '
    hierarchy=$(mktemp -d); mount -t cgroup2 cgroup2 "$hierarchy"
    group=$hierarchy/quorvex-chroot-$$
    mkdir "$group"; echo $$ >"$group/cgroup.procs"
    status=0; unshare --cgroup "$@" || status=$?
    echo $$ >"$hierarchy/cgroup.procs"
    for _ in $(seq 50); do
      find "$group" -depth -type d -exec rmdir {} + 2>/dev/null && break
      sleep 0.1
    done
    [ ! -d "$group" ] || echo "in_chroot: could not remove the cgroup $group" >&2
    umount "$hierarchy"; rmdir "$hierarchy"
    exit $status' in_chroot "${run[@]}" sh -c "$setup" in_chroot "$root" yes "${binds[@]}" -- "$@"
}
