#!/usr/bin/env bash
# The MSI of packaging/kalinor.wxs installed and removed under Wine's
# msiexec, with the stand-in MAPI provider registered: both builds land in
# their folders; its per-user step (deferred, impersonated) must add the
# service on install, leave it and the connector's files alone when an
# upgrade removes the older version, and on removal take the service out and
# clear the connector's files; it is skipped under a service account and
# when turned off, and no profile yet fails nothing; the logon step is
# installed, and left behind by a removal to remove the service for the
# users who log on next. No 32-bit program runs here: the 64-bit programs
# stand in the x86 folder.
#
# Wine's RemoveExistingProducts removes the older version without setting
# UPGRADINGPRODUCTCODE, as Windows Installer does; so the upgrade's removal
# is run here as Windows runs it: msiexec /x with that property set.
#
#   msi_e2e.sh KALINOR_EXE PROVIDER_DLL WORK_FOLDER VERSION BUILD_MSI QUERY_EXE
#
# BUILD_MSI is tools/build-msi.sh; QUERY_EXE is kalinor-query.exe, which the
# package carries beside kalinor.exe. WORK_FOLDER holds a Wine prefix of its own.
# Every check is reported; the exit code is 1 when any failed.
set -u

if [ $# -ne 6 ]; then
  echo "usage: $0 KALINOR_EXE PROVIDER_DLL WORK_FOLDER VERSION BUILD_MSI QUERY_EXE" >&2
  exit 2
fi
kalinor_exe=$(realpath "$1")
provider_dll=$(realpath "$2")
work=$(realpath -m "$3")
version=$4
build_msi=$5
query_exe=$(realpath "$6")
. "$(dirname "$0")/wine_prefix.sh"

readonly msi_timeout=300

# msiexec ARGUMENTS...: quiet, with a verbose Windows Installer log in $work.
msiexec_quiet() {
  local log="$work/msiexec-$(date +%s%N).log"
  timeout "$msi_timeout" wine msiexec "$@" /qn /l*v "$(windows_path "$log")" </dev/null >/dev/null 2>&1
}

# The one folder every recipe and document names.
installed_exe() { unix_path_on_c 'C:\Program Files\Kalinor\kalinor.exe'; }
installed_query_exe() { unix_path_on_c 'C:\Program Files\Kalinor\kalinor-query.exe'; }
installed_x86() { unix_path_on_c "C:\\Program Files\\Kalinor\\x86\\$1"; }
logon_exe() { unix_path_on_c 'C:\Program Files\Kalinor\logon\kalinor.exe'; }
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
# The logon step's command line, as the Run key holds it; "" when none.
logon_command() {
  wine_run reg query "$run_key" /v Kalinor 2>/dev/null | tr -d '\r' | sed -n 's/^ *Kalinor *REG_SZ *//p'
}
# The per-user record of the service $1 for this (the only) Wine user.
per_user_state() { cat "$local_unix/Kalinor/$1.state" 2>/dev/null; }
# The newest Windows Installer log's value of the property $1.
msi_property() {
  grep -a -h "Property(S): $1 = " "$(ls -t "$work"/msiexec-*.log | head -n 1)" | tail -n 1 |
    sed "s/.*Property(S): $1 = //" | tr -d '\r'
}

services_named() { count_of "name=\"$1\"" "$profiles"; }

stores_untouched() {
  test -e "$data_unix/Stores/first.fdb" && grep -q 'https://archive.example.com/pellucor' \
    "$data_unix/GeneralSettings.xml"
}

check_install() {
  expect "install: msiexec /i succeeds" msiexec_quiet /i "$(windows_path "$msi")"
  expect "install: kalinor.exe is under Program Files" test -f "$(installed_exe)"
  expect "install: kalinor-query.exe is beside it" test -f "$(installed_query_exe)"
  expect "install: the 32-bit pair is in x86" test -f "$(installed_x86 kalinor.exe)" -a -f "$(installed_x86 kalinor-query.exe)"
  expect "install: the logon step's program is in logon" test -f "$(logon_exe)"
  expect "install: the Run key starts the logon step for every user" test "$(logon_command)" = \
    '"C:\Program Files\Kalinor\logon\kalinor.exe" --at-logon "profile:" "ArchiveConnector"'
  expect "install: the MSI log says the per-user step ran" grep -q '^runs as the installing user ' <<<"$(msi_property KALINOR_PER_USER_STEP)"
  expect "install: the per-user step is recorded for the user" test "$(per_user_state ArchiveConnector)" = installed
  expect "install: the installed kalinor-query.exe detects the service, as the recipes run it" \
    test "$(wine_run "$(installed_query_exe)" has ArchiveConnector --detect 2>/dev/null | tr -d '\r')" = installed
  expect "install: the service is in the profile" test "$(services_named ArchiveConnector)" -eq 1
  expect "install: the service is configured" grep -q 'configured="true"' "$profiles"
  expect "install: the connector's files are untouched" stores_untouched
}

check_upgrade() {
  expect "upgrade: the older version's removal succeeds" msiexec_quiet /x "$(windows_path "$msi")" \
    'UPGRADINGPRODUCTCODE={4E2C5B7A-1D3F-4A6B-9C8D-0E1F2A3B4C5D}'
  expect "upgrade: the service stays" test "$(services_named ArchiveConnector)" -eq 1
  expect "upgrade: the connector's files are untouched" stores_untouched
  expect "upgrade: the package installs again" msiexec_quiet /i "$(windows_path "$msi")"
  expect "upgrade: still one service" test "$(services_named ArchiveConnector)" -eq 1
}

check_removal() {
  expect "removal: msiexec /x succeeds" msiexec_quiet /x "$(windows_path "$msi")"
  expect "removal: kalinor.exe is gone" test ! -e "$(installed_exe)"
  expect "removal: kalinor-query.exe is gone" test ! -e "$(installed_query_exe)"
  expect "removal: no service is left" test "$(services_named ArchiveConnector)" -eq 0
  expect "removal: the stores' database files are deleted" \
    test ! -e "$data_unix/Stores/first.fdb" -a ! -e "$data_unix/Stores/second.fdb"
  expect "removal: StoreSettings.xml holds an empty QEVConfiguration" \
    has_empty_element QEVConfiguration "$data_unix/StoreSettings.xml"
  expect "removal: PellucorURL is empty" has_empty_element PellucorURL "$data_unix/GeneralSettings.xml"
}

# The per-user step skipped (a service account, PERUSERSTEP=0) or finding
# no profile yet: each install succeeds and adds nothing, and the MSI log
# says which it was.
check_per_user_skips() {
  local why
  # Wine's msiexec runs as the one Wine user: LocalSystem is pretended
  # through the account the package judges by.
  for why in INSTALLINGSID=S-1-5-18 PERUSERSTEP=0 'no profile yet'; do
    rm -rf "$local_unix/Kalinor"
    if [ "$why" = 'no profile yet' ]; then
      printf '<Profiles/>\n' >"$profiles"
      expect "$why: msiexec /i succeeds" msiexec_quiet /i "$(windows_path "$msi")"
      expect "$why: the per-user step ran" grep -q '^runs as' <<<"$(msi_property KALINOR_PER_USER_STEP)"
    else
      expect "$why: msiexec /i succeeds" msiexec_quiet /i "$(windows_path "$msi")" "$why"
      expect "$why: the MSI log says the step was skipped" grep -q '^skipped: ' <<<"$(msi_property KALINOR_PER_USER_STEP)"
    fi
    expect "$why: no service was added" test "$(services_named ArchiveConnector)" -eq 0
    expect "$why: nothing is recorded" test -z "$(per_user_state ArchiveConnector)"
    expect "$why: msiexec /x succeeds" msiexec_quiet /x "$(windows_path "$msi")" PERUSERSTEP=0
  done
  rm -f "$profiles" && rm -rf "$local_unix/Kalinor"
}

# After the removal, the logon step stays for the users who log on next: run
# as their logon would, it takes the service out and clears the connector's
# files, once.
check_logon_step_after_removal() {
  local command
  prepare_settings || { fail "logon step: prepare the settings"; return; }
  expect "logon step: the package installs" msiexec_quiet /i "$(windows_path "$msi")"
  expect "logon step: the package is removed" msiexec_quiet /x "$(windows_path "$msi")" PERUSERSTEP=0
  expect "logon step: its program is left behind" test -f "$(logon_exe)"
  command=$(logon_command)
  expect "logon step: the Run key still names it" test -n "$command"
  expect "logon step: the service is still in the profile" test "$(services_named ArchiveConnector)" -eq 1
  # As the next logon runs it: the program and its arguments from the Run key.
  expect "logon step: it runs" wine_run "$(logon_exe)" --at-logon "profile:" ArchiveConnector
  expect "logon step: the service is gone" test "$(services_named ArchiveConnector)" -eq 0
  expect "logon step: the stores' databases are deleted" test ! -e "$data_unix/Stores/first.fdb"
  expect "logon step: the removal is recorded" test "$(per_user_state ArchiveConnector)" = \
    'removed with the package'
}

# SERVICENAME and PROFILE given on the msiexec command line.
check_properties() {
  cat >"$profiles" <<'EOF2'
<Profiles>
  <Profile name="Default" default="true"/>
  <Profile name="Work Mail"/>
</Profiles>
EOF2
  expect "properties: msiexec /i with SERVICENAME and PROFILE succeeds" \
    msiexec_quiet /i "$(windows_path "$msi")" SERVICENAME=OtherConnector 'PROFILE=Work Mail'
  expect "properties: the named profile holds the named service" \
    awk '/name="Work Mail"/ { inside = 1 } inside && /name="OtherConnector"/ { found = 1 }
         END { exit !found }' "$profiles"
  # Removed as from the control panel: the install's values are used.
  expect "properties: msiexec /x without properties succeeds" msiexec_quiet /x "$(windows_path "$msi")"
  expect "properties: the service is gone from the named profile" \
    test "$(services_named OtherConnector)" -eq 0
}

boot_prefix || exit 1
trap stop_prefix EXIT
use_standin_store "$work/mapi"
locate_user_folders || exit 1
register_provider || { echo "cannot register the provider" >&2; exit 1; }

msi="$work/kalinor-$version.msi"
"$build_msi" "$kalinor_exe" "$query_exe" "$kalinor_exe" "$query_exe" "$version" "$msi" >/dev/null || { echo "cannot build the package" >&2; exit 1; }

# The tool's own log of every custom action, for the record.
tool_log="$work/kalinor.log"
rm -f "$tool_log" "$work"/msiexec-*.log
KALINOR_LOG=$(windows_path "$tool_log")
export KALINOR_LOG

prepare_settings || { echo "cannot prepare the settings" >&2; exit 1; }
check_install
check_upgrade
check_removal
check_properties
check_per_user_skips
check_logon_step_after_removal

echo "The tool's log of these runs ($tool_log):"
sed 's/^/    /' "$tool_log" 2>/dev/null
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
