#!/usr/bin/env bash
# The Windows Installer package under Wine (DISPLAY and WINEPREFIX set by
# scripts/test-windows): what msiinfo reads from it, its custom actions in an
# order and under conditions that work as Windows Installer runs them; a
# silent install puts quorvex.exe, its licence, the Run value and the Start
# menu shortcut in place and starts the guard, and the Run value's command
# starts it too; a rebuilt package of the same version replaces it in place;
# a newer one replaces it while the running guard keeps running, its program
# file in place at the next restart; a silent uninstall ends the guard and
# leaves nothing behind. An x86 package refuses
# a 64-bit prefix. Installs into the shared prefix, and leaves it as
# it found it. Windows' own tools run as the prefix's Windows has them: in a
# 64-bit prefix, 64-bit, with the 64-bit view of the registry.
# Usage: installer.sh PACKAGE.msi MAKE_MSI PROGRAM.exe ICON LICENSE VERSION PRODUCT_NAME MANUFACTURER ARCH WORK_DIR
set -euo pipefail
package=$1 make_msi=$2 program=$3 icon=$4 licence=$5 version=$6 name=$7 manufacturer=$8 arch=$9 work=${10}
: "${DISPLAY:?run through scripts/test-windows}" "${WINEPREFIX:?run through scripts/test-windows}"
# Shortcuts would otherwise become menu entries of the Linux desktop.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"

run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
folder="$WINEPREFIX/drive_c/Program Files/Quorvex"
installed="$folder/quorvex.exe"
loader_of() { "$(dirname "$0")/../support/wine-loader" "$1"; }
windows_bits=$([ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && echo x64 || echo x86)
wine=$(loader_of "$windows_bits")

fail() { echo "FAIL: $*" >&2; exit 1; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
quiet() { "$@" </dev/null >/dev/null 2>&1; }
# Installer and registry calls; the package operations are timed. Exit
# status 3010 (194 once Wine has cut it to 8 bits) is success with a file in
# use put in place at the next restart: only where the caller says may-restart.
msiexec_timed() {
  local what=$1 may=$2 started status=0; shift 2
  started=$(now_ms)
  quiet "$wine" msiexec "$@" /qn || status=$?
  echo "$what: $(( $(now_ms) - started )) ms"
  [ "$status" -eq 0 ] || { [ "$may" = may-restart ] && { [ "$status" -eq 3010 ] || [ "$status" -eq 194 ]; }; } ||
    fail "msiexec $* /qn exited with $status"
}
run_value() { "$wine" reg query "$run_key" /v "$name" </dev/null 2>/dev/null | tr -d '\r' | sed -n "s/^ *$name *REG_SZ *//p"; }
# The installed-products list: one line "name version" per Uninstall entry.
installed() {
  "$wine" reg query "$uninstall_key" /s </dev/null 2>/dev/null | tr -d '\r' | awk '
    /^HKEY_/ { if (shown != "") print shown, version; shown = version = "" }
    sub(/^ *DisplayName +REG_SZ +/, "") { shown = $0 }
    sub(/^ *DisplayVersion +REG_SZ +/, "") { version = $0 }
    END { if (shown != "") print shown, version }'
}
installed_products() { installed | grep -c "^$name [^ ]*\$" || true; }
installed_version() { installed | sed -n "s/^$name \([^ ]*\)\$/\1/p"; }
# Wine puts a per-machine package's shortcuts into the installing user's
# Start menu, Windows into the one of all users: either counts.
shortcut_present() {
  local menu
  for menu in "$WINEPREFIX"/drive_c/ProgramData "$WINEPREFIX"/drive_c/users/*/AppData/Roaming; do
    [ -e "$menu/Microsoft/Windows/Start Menu/Programs/$name.lnk" ] && return 0
  done
  return 1
}
# The fixed version of a program file's version record, as a.b.c.d.
file_version() {
  perl -0777 -ne '/\xBD\x04\xEF\xFE.{4}(.{4})(.{4})/s or exit 1;
                  my ($ms, $ls) = (unpack("V", $1), unpack("V", $2));
                  printf "%d.%d.%d.%d\n", $ms >> 16, $ms & 0xffff, $ls >> 16, $ls & 0xffff' "$1"
}
# Running guards started from the installed file (ended but unreaped ones do not count).
guards() { ps -eo pid=,stat=,args= | awk -v path='C:\\Program Files\\Quorvex\\quorvex.exe' \
             '$2 !~ /^Z/ && index($0, path) { print $1 }'; }
wait_for_no_guard() { for _ in $(seq 500); do [ -z "$(guards)" ] && return 0; sleep 0.02; done; return 1; }
# Fails unless every guard given still runs after `what`.
still_guarding() {
  local what=$1 pid; shift
  for pid in "$@"; do
    [[ " $(guards | tr '\n' ' ') " == *" $pid "* ]] || fail "the guard $pid no longer runs after $what"
  done
}
# Waits for a guard other than the ones given to run, and prints its ID. A
# process that msiexec starts inside Wine gives this shell no event to wait
# on, so the process list is polled, for 30 s at the least.
wait_for_new_guard() {
  local pid
  for _ in $(seq 1500); do
    for pid in $(guards); do [[ " $* " == *" $pid "* ]] || { echo "$pid"; return 0; }; done
    sleep 0.02
  done
  return 1
}
end_guards() { local pid; for pid in $(guards); do kill "$pid" 2>/dev/null || true; done; wait_for_no_guard; }
# The sequence number and the condition of an action in InstallExecuteSequence,
# and the type of a custom action.
sequence_of() { msiinfo export "$package" InstallExecuteSequence | tr -d '\r' | awk -F'\t' -v a="$1" '$1 == a { print $3 }'; }
condition_of() { msiinfo export "$package" InstallExecuteSequence | tr -d '\r' | awk -F'\t' -v a="$1" '$1 == a { print $2 }'; }
type_of() { msiinfo export "$package" CustomAction | tr -d '\r' | awk -F'\t' -v a="$1" '$1 == a { print $2 }'; }

# Start the guard the way log-on does: the Run value's command, which must be
# the quoted full path and nothing else. Waits for its splash.
start_from_run_value() {
  local command
  command=$(run_value)
  [[ $command =~ ^\"([^\"]+)\"$ ]] || fail "Run value is not one quoted path: $command"
  "$(loader_of "$installed")" "${BASH_REMATCH[1]}" >"$work/guard.log" 2>&1 </dev/null &
  timeout 10 xdotool search --sync --onlyvisible --limit 1 --class quorvex.exe >/dev/null 2>&1 ||
    fail "the Run value's command showed no splash"
  [ -n "$(guards)" ] || fail "no guard runs from $installed"
}

[ ! -e "$folder" ] && [ -z "$(run_value)" ] && [ "$(installed_products)" -eq 0 ] ||
  fail "the Wine prefix has $name installed already; not touching it"
rm -rf "$work" && mkdir -p "$work"
newer="$work/quorvex-next.msi" rebuilt="$work/quorvex-rebuilt.msi"
# Whatever happens, the prefix ends without the product and its guards.
cleanup() {
  for pid in $(guards); do kill "$pid" 2>/dev/null || true; done
  for msi in "$newer" "$rebuilt" "$package"; do
    [ -f "$msi" ] && quiet "$wine" msiexec /x "$(winepath -w "$msi")" /qn || true
  done
  # A file a guard held through a failed step: put in place or removed as
  # at a restart, then gone with its folder.
  quiet "$wine" wineboot -r || true
  rm -rf "$folder"
}
trap cleanup EXIT

# What the package says about itself.
summary=$(msiinfo suminfo "$package")
grep -qx "Subject: $name" <<<"$summary" || fail "summary subject is not $name"
grep -qx "Author: $manufacturer" <<<"$summary" || fail "summary author is not $manufacturer"
template=$([ "$arch" = x64 ] && echo x64 || echo Intel)
grep -qx "Template: $template;2052" <<<"$summary" ||
  fail "summary is not $arch Chinese (PRC): $(grep Template <<<"$summary")"
properties=$(msiinfo export "$package" Property | tr -d '\r')
for row in "ProductName	$name" "Manufacturer	$manufacturer" "ProductVersion	$version" "ProductLanguage	2052" "ALLUSERS	1"; do
  grep -qxF "$row" <<<"$properties" || fail "Property table lacks '$row'"
done
msiinfo export "$package" _ForceCodepage | tr -d '\r' | grep -qx '936	_ForceCodepage' || fail "database code page is not 936"

# Windows Installer fixes a deferred action's command when it writes the
# script: the property holding taskkill's path must be set before that.
find=$(sequence_of FindTaskkill) end=$(sequence_of EndRunningGuards) start=$(sequence_of StartGuard)
echo "custom actions: FindTaskkill $find, EndRunningGuards $end, StartGuard $start"
(( $(sequence_of CostFinalize) < find && find < $(sequence_of InstallValidate) )) ||
  fail "FindTaskkill ($find) does not come between the folders' resolution and the script's writing"
(( $(sequence_of InstallInitialize) < end && end < $(sequence_of InstallFinalize) )) ||
  fail "EndRunningGuards ($end) is not in the script"
(( $(type_of EndRunningGuards) & 1024 && $(type_of EndRunningGuards) & 2048 )) ||
  fail "EndRunningGuards is not deferred in the system's context"
# The guard starts after the installation, not waited for, in the user's
# context, unless the system account installs it (at computer start-up).
(( start > $(sequence_of InstallFinalize) && ($(type_of StartGuard) & 192) == 192 && !($(type_of StartGuard) & 2048) )) ||
  fail "StartGuard does not start the guard after the installation, asynchronously, as the user"
[ "$(condition_of StartGuard)" = 'NOT REMOVE="ALL" AND UserSID <> "S-1-5-18"' ] ||
  fail "StartGuard's condition is '$(condition_of StartGuard)'"
# Guards end only when the product goes for good: an upgrade removes the
# older version with UPGRADINGPRODUCTCODE set, and every session stays guarded.
for action in FindTaskkill EndRunningGuards; do
  [ "$(condition_of $action)" = 'REMOVE="ALL" AND NOT UPGRADINGPRODUCTCODE' ] ||
    fail "$action's condition is '$(condition_of $action)'"
done
grep -qxF 'MSIRESTARTMANAGERCONTROL	Disable' <<<"$properties" ||
  fail "the Restart Manager may close the running guards to free their file"
grep -qxF 'REBOOT	ReallySuppress' <<<"$properties" ||
  fail "a silent upgrade may restart the PC to replace a running guard's file"
# The older versions the package replaces include its own (a rebuilt package
# of the same version), the newer ones it refuses do not.
upgrades=$(msiinfo export "$package" Upgrade | tr -d '\r')
awk -F'\t' -v v="$version" 'NR > 3 && $2 == "" && $3 == v && int($5 / 512) % 2 == 1 && int($5 / 2) % 2 == 0' \
  <<<"$upgrades" | grep -q . || fail "no upgrade of every version up to and with $version: $upgrades"
awk -F'\t' -v v="$version" 'NR > 3 && $2 == v && $3 == "" && int($5 / 256) % 2 == 0 && int($5 / 2) % 2 == 1' \
  <<<"$upgrades" | grep -q . || fail "no refusal of the versions after $version: $upgrades"

# An x86 package refuses 64-bit Windows, where the x64 one belongs.
if [ "$arch" = x86 ] && [ "$windows_bits" = x64 ]; then
  status=0; quiet "$wine" msiexec /i "$(winepath -w "$package")" /qn || status=$?
  [ "$status" -ne 0 ] || fail "the x86 package installed on a 64-bit prefix"
  [ ! -e "$folder" ] && [ "$(installed_products)" -eq 0 ] || fail "the refused x86 package left files or an entry"
  echo "installer: $(basename "$package") refuses a 64-bit prefix (status $status); all checks passed"
  exit 0
fi

# Install.
msiexec_timed "install" no-restart /i "$(winepath -w "$package")"
[ -f "$installed" ] || fail "no quorvex.exe in Program Files\\Quorvex"
cmp -s <(sed 's/$/\r/' "$licence") "$folder/LICENSE.txt" || fail "no licence beside quorvex.exe"
[ "$(run_value)" = '"C:\Program Files\Quorvex\quorvex.exe"' ] || fail "Run value is '$(run_value)'"
shortcut_present || fail "no Start menu shortcut"
[ "$(installed_products)" -eq 1 ] || fail "$(installed_products) installed products after install"
wait_for_new_guard >/dev/null || fail "the installation started no guard"
end_guards || fail "the installed guard does not end"

# A rebuilt package of the same version (another product code, another
# program file) replaces the installed one in place. No guard runs: Wine's
# own upgrade would end it (below).
{ cat "$program"; printf 'rebuilt'; } >"$work/quorvex-rebuilt.exe"
bash "$make_msi" "$rebuilt" "$work/quorvex-rebuilt.exe" "$icon" "$licence" "$version" "$name" "$manufacturer" "$arch" >/dev/null
msiexec_timed "same-version upgrade" no-restart /i "$(winepath -w "$rebuilt")"
[ "$(installed_products)" -eq 1 ] || fail "$(installed_products) installed products after the same-version upgrade"
[ "$(installed_version)" = "$version" ] || fail "installed version is '$(installed_version)', not $version"
cmp -s "$installed" "$work/quorvex-rebuilt.exe" || fail "the rebuilt program did not replace the installed one"
wait_for_new_guard >/dev/null || fail "the same-version upgrade started no guard"
end_guards || fail "the guard the same-version upgrade started does not end"

# A newer package from the same source, carrying a program file of a newer
# version, while a guard runs. Windows Installer removes the older version
# with UPGRADINGPRODUCTCODE set; Wine 8 leaves it out (dlls/msi/action.c
# runs "msiexec /qn /i {code} REMOVE=ALL"), so the upgrade's two halves run
# here as Windows runs them: the guard runs on through both, and the program
# file it holds is put in place at the next restart.
start_from_run_value
old_guards=$(guards)
IFS=. read -r major minor build <<<"$version"
build=$(( ${build:-0} + 1 ))
next_version="$major.$minor.$build"
build=$build perl -0777 -pe 's/(\xBD\x04\xEF\xFE.{8}).{4}/$1 . pack("V", $ENV{build} << 16)/se' "$program" >"$work/quorvex.exe"
bash "$make_msi" "$newer" "$work/quorvex.exe" "$icon" "$licence" "$next_version" "$name" "$manufacturer" "$arch" >/dev/null
newer_properties=$(msiinfo export "$newer" Property | tr -d '\r')
grep -qxF "UpgradeCode	$(sed -n 's/^UpgradeCode\t//p' <<<"$properties")" <<<"$newer_properties" ||
  fail "the newer package has another upgrade code"
msiexec_timed "upgrade: the older version's removal" no-restart /x "$(winepath -w "$rebuilt")" \
  UPGRADINGPRODUCTCODE="$(sed -n 's/^ProductCode\t//p' <<<"$newer_properties")"
# shellcheck disable=SC2086
still_guarding "the older version's removal in an upgrade" $old_guards
msiexec_timed "upgrade: the newer version's installation" may-restart /i "$(winepath -w "$newer")"
# shellcheck disable=SC2086
still_guarding "the upgrade" $old_guards
[ "$(installed_products)" -eq 1 ] || fail "$(installed_products) installed products after the upgrade, not one"
[ "$(installed_version)" = "$next_version" ] || fail "installed version is '$(installed_version)', not $next_version"
[ "$(run_value)" = '"C:\Program Files\Quorvex\quorvex.exe"' ] || fail "Run value after the upgrade is '$(run_value)'"
shortcut_present || fail "no Start menu shortcut after the upgrade"
# The restart: the guards end with the session, the new program file takes
# the old one's place, and the next log-on starts it.
end_guards || fail "the guard does not end"
quiet "$wine" wineboot -r || fail "Wine's restart failed"
[ "$(file_version "$installed")" = "$next_version.0" ] || fail "file on disk is version $(file_version "$installed")"
start_from_run_value

# Uninstall while a guard runs: every guard ends and nothing is left.
msiexec_timed "uninstall" no-restart /x "$(winepath -w "$newer")"
wait_for_no_guard || fail "the guard still runs after the uninstall"
[ ! -e "$installed" ] || fail "quorvex.exe left after the uninstall"
[ ! -e "$folder" ] || fail "Program Files\\Quorvex left after the uninstall"
[ -z "$(run_value)" ] || fail "Run value left after the uninstall"
! shortcut_present || fail "Start menu shortcut left after the uninstall"
[ "$(installed_products)" -eq 0 ] || fail "$name still listed as installed"
echo "installer: $(basename "$package") $(stat -c %s "$package") bytes; all checks passed"
