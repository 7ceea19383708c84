#!/usr/bin/env bash
# End-to-end runs of the unchanged kalinor.exe under Wine, as a setup program
# runs it: Wine's own mapi32.dll, loaded by ordinal, forwards to the stand-in
# MAPI provider DLL registered as the default mail client's DLLPathEx; the
# data-folder registry values are set with "wine reg add"; the connector's
# settings files lie in the Wine user's local application-data folder. Every
# run goes through the debug harness, so each debugger-channel write, the
# standard output and the exit code are compared exactly.
#
#   wine_e2e.sh KALINOR_EXE HARNESS_EXE PROVIDER_DLL WORK_FOLDER VERSION QUERY_EXE OUTLOOK_EXE
#
# VERSION is the version the run log's header must name. QUERY_EXE is
# kalinor-query.exe: its detection (has), its dry run of the uninstall
# (plan) and its doctor are checked beside the real runs. OUTLOOK_EXE is an
# idle program named OUTLOOK.EXE: the doctor must see it running.
# WORK_FOLDER holds a Wine prefix of its own (booted on the first run, then
# reused; every run resets the state it checks). Every check is reported;
# the exit code is 1 when any failed.
set -u

if [ $# -ne 7 ]; then
  echo "usage: $0 KALINOR_EXE HARNESS_EXE PROVIDER_DLL WORK_FOLDER VERSION QUERY_EXE OUTLOOK_EXE" >&2
  exit 2
fi
kalinor_exe=$(realpath "$1")
harness_exe=$(realpath "$2")
provider_dll=$(realpath "$3")
work=$(realpath -m "$4")
version=$5
query_exe=$(realpath "$6")
outlook_exe=$(realpath "$7")
. "$(dirname "$0")/wine_prefix.sh"

# The harness's report of one run of kalinor.exe with the given arguments.
run_kalinor() {
  wine_run "$harness_exe" --timeout-ms 60000 "$(windows_path "$kalinor_exe")" "$@" 2>&1
}

run_query() {
  wine_run "$harness_exe" --timeout-ms 60000 "$(windows_path "$query_exe")" "$@" 2>&1
}

# What a report's standard output holds, its escapes undone.
report_stdout() { printf '%b' "$(sed -n 's/^stdout //p' <<<"$1")"; }

# Every file and folder the connector's state lives in, with size and time.
snapshot() { find "$local_unix/Tavrin" "$install_unix" -printf '%p %s %T@\n' 2>/dev/null | sort; }

usage_stdout='stdout \nKalinor [-u] [profile:ProfileName] [descr:"Service Description"] ServiceName\n\n'\
'-u\t\t- Uninstall all services with the specified name.\n\t\t  When this is missing perform install.\n\n'\
'profile\t\t- Specify the profile where to install or uninstall the service.\n\t\t  When this is not '\
'specified the single existing profile or\n\t\t  the default profile is used.\n\n'\
'displayname\t- Specify the display name for the service to be installed.\n\t\t  The service name is used '\
'when not specified. Even if the display name\n\t\t  is given the same setting from mapisvc.inf has '\
'priority.\n\n'

check_usage() {
  expect_report "usage text without arguments" "$usage_stdout
stderr 
exit 0" "$(run_kalinor)"
  expect_report "usage text for -?" "$usage_stdout
stderr 
exit 0" "$(run_kalinor '-?')"
  # A switch is never a service name: help after -u gives the usage, and a
  # switch not understood gives it with a line that names it; neither runs.
  expect_report "usage text for -u --help" "$usage_stdout
stderr 
exit 0" "$(run_kalinor -u --help)"
  expect_report "an unknown switch is named, and nothing runs" "${usage_stdout}The argument \"/x\" is not \
understood: the only switch is -u (or /u). Nothing was changed.\\n
stderr 
exit 1" "$(run_kalinor -u ArchiveConnector /x)"
  expect_report "the version" "stdout kalinor $version\\n
stderr 
exit 0" "$(run_kalinor --version)"
}

check_no_provider() {
  unregister_provider || { fail "unregister the provider"; return; }
  # Wine's mapi32.dll without an Extended MAPI provider: MAPI_E_NOT_INITIALIZED.
  expect_report "no provider registered: the MAPI start fails" 'debug Error initializing MAPI: 0X80040605\n
stdout 
stderr 
exit 1' "$(run_kalinor ArchiveConnector)"
  expect "no provider registered: no profile store written" test ! -e "$profiles"
  expect_report "no provider registered: has cannot tell, and says why" 'debug Error initializing MAPI: 0X80040605\n
stdout 
stderr kalinor-query: MAPI does not start ("Error initializing MAPI" on the debugger channel gives the code); kalinor-query doctor says why\n
exit 2' "$(run_query has ArchiveConnector)"
}

check_install() {
  register_provider || { fail "register the provider"; return; }
  expect_report "install into the default profile" 'debug Getting admin services for profile:
debug Default
debug Service configuration returned 0\n
debug Service installed.\n
stdout 
stderr 
exit 0' "$(run_kalinor ArchiveConnector 'displayname:Archive Connector')"
  expect "install: one service in the profile store" test "$(count_of '<Service ' "$profiles")" -eq 1
  expect "install: the service is named and configured" \
    grep -q 'name="ArchiveConnector" displayName="Archive Connector" uid="[0-9a-f]\{32\}" configured="true"' "$profiles"

  expect_report "a second install in another case" 'debug Getting admin services for profile:
debug Default
debug The service is already installed.\n
stdout 
stderr 
exit 0' "$(run_kalinor ARCHIVECONNECTOR)"
  expect "second install: still one service" test "$(count_of '<Service ' "$profiles")" -eq 1

  local store_before
  store_before=$(stat -c '%s %Y' "$profiles")
  expect_report "has: the installed service, in another case" 'debug Getting admin services for profile:
debug Default
stdout installed\n
stderr 
exit 0' "$(run_query has ARCHIVECONNECTOR)"
  expect_report "has: a service that is not installed" 'debug Getting admin services for profile:
debug Default
stdout not installed\n
stderr 
exit 1' "$(run_query has OtherService)"
  expect "has: the profile store is unchanged" test "$(stat -c '%s %Y' "$profiles")" == "$store_before"

  # The channel keeps its code; standard error says it in words.
  expect_report "a named profile that does not exist" 'debug Getting admin services for profile:
debug Nowhere
debug Error getting a service admin: 0X8004010F\n
stdout 
stderr There is no profile named "Nowhere": kalinor-query profiles lists the profiles there are.\n
exit 0' "$(run_kalinor 'profile:Nowhere' ArchiveConnector)"
}

# The run log on standard error (as a quiet-exec custom action captures it)
# and in a file, beside an unchanged debugger channel; the detailed exit code.
check_run_log() {
  # In the harness's report a line feed reads \n: the pattern's nl matches it.
  local report nl='\\n' stamp='[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}\.[0-9]{3}[+-][0-9]{2}:[0-9]{2}'
  report=$(KALINOR_LOG=stderr KALINOR_EXIT_CODES=detailed run_kalinor 'profile:Nowhere' ArchiveConnector)
  expect "log: the debugger channel is unchanged" \
    grep -q -x -F 'debug Error getting a service admin: 0X8004010F\n' <<<"$report"
  expect "log: the header names version, build, user and arguments" grep -q -E \
    "^stderr $stamp Kalinor ${version//./\\.} \(x64\), user [^,]+, local time $stamp, arguments: profile:Nowhere ArchiveConnector$nl" \
    <<<"$report"
  expect "log: the HRESULT is named" grep -q -E \
    "$nl$stamp Error getting a service admin: 0X8004010F \(MAPI_E_NOT_FOUND\)$nl$stamp There is no profile named \"Nowhere\": kalinor-query profiles lists the profiles there are\.$nl$stamp Exit code 2\.$nl\$" \
    <<<"$report"
  expect "log: the detailed exit code for a missing profile" grep -q -x 'exit 2' <<<"$report"

  local log_file="$work/setup.log"
  rm -f "$log_file"
  report=$(KALINOR_LOG=$(windows_path "$log_file") run_kalinor ArchiveConnector)
  expect "log file: standard error stays empty" grep -q -x 'stderr ' <<<"$report"
  # The header, its eight facts and the exit-code mode, the profile's
  # announcement (one entry for the channel's two writes), "already
  # installed", the exit code.
  expect "log file: one line per entry" test "$(grep -c -E "^$stamp " "$log_file")" -eq 13
  expect "log file: the facts name the account" grep -q -E "^$stamp account: .*, session " "$log_file"
  expect "log file: the facts name the run mode" grep -q -E "^$stamp run mode: " "$log_file"
  expect "log file: the last line is the exit code" grep -q -E "^$stamp Exit code 0\.\$" "$log_file"
}

# On Windows neither XDG_CONFIG_HOME nor HOME is set as a rule: the provider
# then keeps its store in the user's roaming application-data folder.
check_store_in_appdata() {
  local store
  store="$(unix_path_on_c "$appdata_windows")/kalinor/profiles.xml"
  rm -f "$store"
  expect_report "install with neither a store variable nor HOME" 'debug Getting admin services for profile:
debug Default
debug Service configuration returned 0\n
debug Service installed.\n
stdout 
stderr 
exit 0' "$(unset HOME KALINOR_MAPI_PROFILES && run_kalinor ElsewhereService)"
  expect "that store is %APPDATA%\\kalinor\\profiles.xml" grep -q 'name="ElsewhereService"' "$store"
  expect "the store named by the variable is untouched" test "$(count_of ElsewhereService "$profiles")" -eq 0
}

# The dry run names both stores' databases for deletion, as the uninstall
# that follows deletes them, and changes nothing.
check_plan() {
  local before report
  before=$(snapshot)
  report=$(run_query plan)
  expect "plan: exit 0" grep -q '^exit 0$' <<<"$report"
  expect_report "plan: the data folder, found by the policy value" "data folder	$local_windows\\Tavrin\\Ostrand
found by	policy value
store settings	load	$local_windows\\Tavrin\\Ostrand\\StoreSettings.xml" \
    "$(report_stdout "$report" | grep -E '^(data folder|found by|store settings)')"
  expect_report "plan: both databases would be deleted" "delete	$local_windows\\Tavrin\\Ostrand\\Stores\\first.fdb
delete	$local_windows\\Tavrin\\Ostrand\\Stores\\second.fdb" \
    "$(report_stdout "$report" | grep -E '^(delete|refuse|absent)')"
  expect_report "plan: no file or folder changed" "$before" "$(snapshot)"
}

check_uninstall() {
  prepare_settings || { fail "prepare the settings and registry values"; return; }
  local data_path=${local_windows//\\/\\\\}
  check_plan
  expect_report "uninstall, then the settings cleanup" "debug Getting admin services for profile:
debug Default
debug Service uninstalled.\\n
debug Clear store settings >>\\n
debug $data_path
debug Clear store settings <<\\n
stdout 
stderr 
exit 0" "$(run_kalinor -u archiveconnector)"
  expect "uninstall: no service left in the profile store" test "$(count_of '<Service ' "$profiles")" -eq 0
  expect "uninstall: both stores' database files deleted" \
    test ! -e "$data_unix/Stores/first.fdb" -a ! -e "$data_unix/Stores/second.fdb"
  expect "uninstall: an unlisted database file is left alone" test -e "$data_unix/Stores/other.fdb"
  expect "uninstall: StoreSettings.xml holds an empty QEVConfiguration" \
    has_empty_element QEVConfiguration "$data_unix/StoreSettings.xml"
  expect "uninstall: PellucorURL is empty" has_empty_element PellucorURL "$data_unix/GeneralSettings.xml"
  expect "uninstall: the other general settings are kept" \
    grep -q '<OfflineMaxDays>30</OfflineMaxDays>' "$data_unix/GeneralSettings.xml"
  expect "uninstall: the debug-log folder is created" test -d "$data_unix/DebugLogs"

  # Once more with the general settings missing from the data folder: they
  # are seeded from the product's data folder ("Path" in the registry).
  rm -f "$data_unix/GeneralSettings.xml"
  cat >"$install_unix/Data/GeneralSettings.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<QEVConfiguration><General><PellucorURL>https://seed.example.com/</PellucorURL><SynchronizeDaysSpan>7</SynchronizeDaysSpan></General></QEVConfiguration>
EOF
  expect_report "uninstall with nothing installed" "debug Getting admin services for profile:
debug Default
debug There is no such service installed.\\n
debug Clear store settings >>\\n
debug $data_path
debug Clear store settings <<\\n
stdout 
stderr 
exit 0" "$(run_kalinor /U ArchiveConnector)"
  expect "seeded GeneralSettings.xml: PellucorURL is empty" \
    has_empty_element PellucorURL "$data_unix/GeneralSettings.xml"
  expect "seeded GeneralSettings.xml: the seed's other settings are kept" \
    grep -q '<SynchronizeDaysSpan>7</SynchronizeDaysSpan>' "$data_unix/GeneralSettings.xml"
  expect "the seed in the product's data folder is left as it was" \
    grep -q 'https://seed.example.com/' "$install_unix/Data/GeneralSettings.xml"
}

# An uninstall reaches no file through a temporary folder (an elevated run's
# TMP is the user's; LocalSystem's is one any user can fill): the documents
# are written out in memory and placed through the held data folder.
check_no_temporary_folder() {
  prepare_settings || { fail "prepare the settings and registry values"; return; }
  local temp_windows trace
  temp_windows=$(wine_run cmd /c 'echo %TEMP%' 2>/dev/null | tr -d '\r\n')
  trace=$(WINEDEBUG=+file run_kalinor -u ArchiveConnector 2>&1)
  expect "no temporary folder: the trace sees the store list saved" \
    grep -q 'trace:file.*StoreSettings' <<<"$trace"
  expect "no temporary folder: no file-system call in %TEMP% or Windows' Temp" test "$(grep -c -i -F \
    -e "${temp_windows//\\/\\\\}" -e 'windows\\temp' <<<"$(grep 'trace:file' <<<"$trace")")" -eq 0
  expect "no temporary folder: the cleared list is saved" \
    has_empty_element QEVConfiguration "$data_unix/StoreSettings.xml"
}

# An elevated run acts in the user's folder only as the user's own
# (unelevated, linked) token may: a stores folder and databases of another
# Unix account (Wine's access lists give the user read rights only) are kept,
# though the Unix rights Wine runs with might let it delete them.
check_only_what_the_user_could() {
  if [ "$(id -u)" -ne 0 ]; then echo "SKIP: user's token: only root can give the stores away"; return; fi
  prepare_settings || { fail "prepare the settings and registry values"; return; }
  local report
  chown -R 4321 "$data_unix/Stores"
  report=$(run_kalinor -u ArchiveConnector)
  chown -R "$(id -u)" "$data_unix/Stores"
  expect "user's token: the databases the user could not delete are kept" \
    test -e "$data_unix/Stores/first.fdb" -a -e "$data_unix/Stores/second.fdb"
  expect "user's token: the refusal says whose rights were missing" \
    grep -q 'not allowed to the user this run acts for' <<<"$report"
  grep -q 'not allowed to the user this run acts for' <<<"$report" || printf '    %s\n' "$report"
}

# A store list with a DOCTYPE, where msxml3 under Wine fails nextSibling
# (E_NOTIMPL): that failure reads as no empty list. Nothing is deleted.
write_doctype_store_list() {
  local name
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE QEVConfiguration>\n<QEVConfiguration>\n'
  for name in first second third; do
    printf 'db' >"$data_unix/Stores/$name.fdb"
    printf '<Store id="%s"><dbFileName>%s\\Tavrin\\Ostrand\\Stores\\%s.fdb</dbFileName></Store>\n' \
      "$name" "$local_windows" "$name"
  done
  printf '</QEVConfiguration>\n'
}

# A UTF-16 store list (byte-order mark, CRLF) naming the two databases in the
# data folder and one outside it: the two go, the third is refused, and the
# cleared list's save fails its load-back check, since msxml3 under Wine
# writes it as UTF-8 under its UTF-16 declaration.
write_utf16_store_list() {
  printf 'outside' >"$work/outside.fdb"
  printf '\xFF\xFE'
  {
    printf '<?xml version="1.0" encoding="UTF-16"?>\r\n<QEVConfiguration>\r\n'
    printf '  <Store id="%s">\r\n    <dbFileName>%s</dbFileName>\r\n  </Store>\r\n' \
      first "$local_windows\\Tavrin\\Ostrand\\Stores\\first.fdb" \
      second "$local_windows\\Tavrin\\Ostrand\\Stores\\second.fdb" \
      outside "$(windows_path "$work/outside.fdb")"
    printf '</QEVConfiguration>\r\n'
  } | iconv -f UTF-8 -t UTF-16LE
}

# Store lists the cleanup leaves as they were, each run under the debugger:
# the detailed exit code says the cleanup was left undone, the run ends by
# itself (no exception), and no XML document is released after COM's last
# CoUninitialize on the thread (Wine's traces say which came first).
check_left_store_lists() {
  local kind report list="$data_unix/StoreSettings.xml" before="$work/StoreSettings.before"
  for kind in doctype utf16; do
    prepare_settings || { fail "prepare the settings and registry values"; return; }
    "write_${kind}_store_list" >"$list"
    cp "$list" "$before"
    report=$(KALINOR_LOG=stderr KALINOR_EXIT_CODES=detailed WINEDEBUG=trace+ole,trace+msxml \
      run_kalinor -u ArchiveConnector)
    expect "$kind store list: the detailed exit code says the cleanup was left undone" \
      grep -q -x 'exit 4' <<<"$report"
    expect "$kind store list: no exception under the debugger" \
      test -z "$(grep '^exception ' <<<"$report")"
    expect "$kind store list: no XML document outlives COM" awk '
      /:CoUninitialize Releasing the COM libraries/ { split($0, f, ":"); ended[f[1]] = 1 }
      /:domdoc_Release .*refcount 0\./ { split($0, f, ":"); if (f[1] in ended) late = 1 }
      END { exit late }' <<<"$report"
    expect "$kind store list: the list is left as it was" cmp -s "$before" "$list"
    case $kind in
      doctype)
        expect "DOCTYPE store list: the log names the failure" grep -q -E \
          'Error reading settings file .*StoreSettings\.xml: 0X80004001 \(E_NOTIMPL\)' <<<"$report"
        expect "DOCTYPE store list: no database deleted" test -e "$data_unix/Stores/first.fdb" \
          -a -e "$data_unix/Stores/second.fdb" -a -e "$data_unix/Stores/third.fdb"
        ;;
      utf16)
        expect "UTF-16 store list: the databases in the data folder deleted" \
          test ! -e "$data_unix/Stores/first.fdb" -a ! -e "$data_unix/Stores/second.fdb"
        expect "UTF-16 store list: the one outside is kept and named" test -e "$work/outside.fdb" -a \
          -n "$(grep -F 'debug Database file not deleted (outside the data folders)' <<<"$report")"
        ;;
    esac
  done
}

# A store list naming another machine's share and a pipe, in the plain and
# the long-path forms, a volume by its GUID and a long path that climbs out:
# the plan refuses each by its text, and no file-system call ever names them
# (an elevated run would otherwise offer its credentials to that host). The
# long-path form of a database in the data folder is that database: deleted.
check_remote_paths_untouched() {
  prepare_settings || { fail "prepare the settings and registry values"; return; }
  local long='\\?\' data_windows="$local_windows\Tavrin\Ostrand" trace
  {
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<QEVConfiguration>'
    printf '<Store id="%s"><dbFileName>%s</dbFileName></Store>' \
      u '\\kalinor-unc-probe\share\x.fdb' \
      p '\\.\pipe\kalinor-pipe-probe' \
      lu "${long}UNC\\kalinor-unc-long-probe\\share\\x.fdb" \
      v "${long}Volume{0b1e0c62-0000-0000-0000-100000000000}\\kalinor-volume-probe.fdb" \
      d "${long}${data_windows}\\..\\kalinor-dotdot-probe.fdb" \
      l "${long}${data_windows}\\Stores\\first.fdb"
    printf '</QEVConfiguration>\n'
  } >"$data_unix/StoreSettings.xml"
  trace=$(WINEDEBUG=+file wine_run "$query_exe" plan 2>&1)
  expect "remote paths: the trace sees the store list read" grep -q 'trace:file.*StoreSettings' <<<"$trace"
  expect "remote paths: all five refused in the plan" test "$(grep -c '^refuse' <<<"$trace")" -eq 5
  expect "remote paths: no file-system call names them" test "$(grep -c -E \
    'trace:file.*(kalinor-unc-probe|kalinor-pipe-probe|kalinor-unc-long-probe|kalinor-volume-probe|kalinor-dotdot-probe)' \
    <<<"$trace")" -eq 0
  expect "long path: the database in the data folder is planned as its plain path" \
    grep -q -F -x "delete	$data_windows\Stores\first.fdb" <<<"$trace"
  run_kalinor -u ArchiveConnector >/dev/null
  expect "long path: the database in the data folder is deleted" test ! -e "$data_unix/Stores/first.fdb"
}

# The doctor's verdict with classic Outlook registered as the provider: ready,
# then not ready for each of a bitness mismatch, the new Outlook switched on
# and a running OUTLOOK.EXE, each named on its own line.
# Registers classic Outlook of the given bitness ("x64", "x86") with the
# stand-in provider as its MAPI DLL, and the new Outlook on (1) or off (0).
doctor_setup() { # BITNESS NEW_OUTLOOK
  local setup="$work/doctor.reg" outlook_key='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Office\16.0\Outlook'
  local preferences='HKEY_CURRENT_USER\Software\Microsoft\Office\16.0\Outlook\Preferences'
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Clients\\Mail\\Microsoft Outlook]\r\n"DllPathEx"="%s"\r\n\r\n[%s]\r\n"Bitness"="%s"\r\n\r\n[%s]\r\n"UseNewOutlook"=dword:%08x\r\n' \
    "$(windows_path "$provider_dll" | sed 's/\\/\\\\/g')" "$outlook_key" "$1" "$preferences" "$2" >"$setup"
  wine_reg import "$(windows_path "$setup")"
}

check_doctor() {
  local report
  register_provider && doctor_setup x64 0 || { fail "doctor: set up classic Outlook"; return; }
  # The catalogue MAPI reads when none lies beside the DLL: the system folder's.
  printf '[Services]\r\nArchiveConnector=Archive Connector\r\n' \
    >"$WINEPREFIX/drive_c/windows/system32/mapisvc.inf"
  # A store list with a DOCTYPE, which the uninstall leaves as it is (msxml3
  # under Wine cannot read it): the doctor judges it as the uninstall does,
  # then it goes.
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE QEVConfiguration>\n<QEVConfiguration/>\n' \
    >"$data_unix/StoreSettings.xml"
  report=$(run_query doctor ArchiveConnector)
  report_stdout "$report" >"$work/doctor-doctype.txt"
  expect "doctor: a store list the uninstall leaves gives 1" grep -q -x 'exit 1' <<<"$report"
  expect "doctor: it names the store list" \
    grep -q "^store settings	fail	present, but it cannot be read: .*StoreSettings.xml (0X80004001)" \
    "$work/doctor-doctype.txt"
  rm -f "$data_unix/StoreSettings.xml"
  report=$(run_query doctor ArchiveConnector)
  report_stdout "$report" >"$work/doctor-ready.txt"
  expect "doctor: a ready machine gives 0" grep -q -x 'exit 0' <<<"$report"
  expect "doctor: it says so" grep -q -x "verdict	ready" "$work/doctor-ready.txt"

  doctor_setup x86 0 || fail "doctor: set the bitness"
  report=$(run_query doctor)
  expect "doctor: a bitness mismatch gives 1" grep -q -x 'exit 1' <<<"$report"
  expect "doctor: it names the bitness" grep -q "^bitness	fail	" <(report_stdout "$report")

  doctor_setup x64 1 || fail "doctor: switch the new Outlook on"
  report=$(run_query doctor)
  printf '%s\n' "$report" >"$work/doctor-new-outlook.txt"
  expect "doctor: the new Outlook gives 1" grep -q -x 'exit 1' <<<"$report"
  expect "doctor: it names the new Outlook" grep -q "^new Outlook	fail	" <(report_stdout "$report")

  doctor_setup x64 0 || fail "doctor: switch the new Outlook off"
  # Started by Wine's own "start", as a user's program would be; ended by taskkill.
  wine_run cmd /c start "" /b "$(windows_path "$outlook_exe")" >/dev/null 2>&1
  local attempt
  for attempt in 1 2 3; do
    sleep 3
    report=$(run_query doctor)
    grep -q -x 'exit 1' <<<"$report" && break
  done
  wine_run taskkill /f /im OUTLOOK.EXE >/dev/null 2>&1
  expect "doctor: a running OUTLOOK.EXE gives 1" grep -q -x 'exit 1' <<<"$report"
  expect "doctor: it names Outlook running" grep -q "^Outlook running	fail	" <(report_stdout "$report")
  grep -q -x 'exit 1' <<<"$report" || printf '    %s\n' "$report"
}

# Beside a 32-bit Outlook the 64-bit programs hand over to their x86 builds
# where the package puts them (x86\ beside them). No 32-bit program runs on
# this machine: a 64-bit build stands in that place, and takes the run. The
# service is added once, the exit code and the lines come through, and the
# twin never hands back.
check_twin_handover() {
  # On drive C:, whose folders above are the prefix's own: a privileged run
  # runs a twin only where no other account could have put it, and a build
  # tree may lie under a folder anyone can write (/tmp).
  local twin report twin_windows='C:\Program Files\KalinorTwin'
  twin=$(unix_path_on_c "$twin_windows")
  rm -rf "$twin" && mkdir -p "$twin/x86" &&
    cp "$kalinor_exe" "$query_exe" "$twin/" && cp "$kalinor_exe" "$query_exe" "$twin/x86/" &&
    register_provider && doctor_setup x86 0 || { fail "hand-over: set up a 32-bit Outlook"; return; }
  report=$(KALINOR_LOG=stderr wine_run "$harness_exe" --timeout-ms 60000 \
    "$twin_windows\\kalinor.exe" TwinService 2>&1)
  printf '%s\n' "$report" >"$work/twin-report.txt"
  expect "hand-over: the x86 build's exit code comes through" grep -q -x 'exit 0' <<<"$report"
  expect "hand-over: the log says where the run went, once" test \
    "$(grep -o "Handing over to the x86 build, which loads the x86 mail client's MAPI: " <<<"$report" | wc -l)" -eq 1
  expect "hand-over: the log names the x86 build's path" grep -q -F 'KalinorTwin\\x86\\kalinor.exe' <<<"$report"
  expect "hand-over: the x86 build's own lines come through" grep -q 'Service installed\.' <<<"$report"
  expect "hand-over: the log names the x86 build's exit code" grep -q 'The x86 build ended with exit code 0\.' <<<"$report"
  expect "hand-over: the service is added once" test "$(count_of 'name="TwinService"' "$profiles")" -eq 1
  report=$(KALINOR_EXIT_CODES=detailed wine_run "$harness_exe" --timeout-ms 60000 \
    "$twin_windows\\kalinor.exe" profile:Nowhere TwinService 2>&1)
  expect "hand-over: a detailed exit code comes through" grep -q -x 'exit 2' <<<"$report"
  report=$(wine_run "$harness_exe" --timeout-ms 60000 "$twin_windows\\kalinor-query.exe" \
    has TwinService --detect 2>&1)
  expect "hand-over: kalinor-query's answer comes through" test "$(report_stdout "$report" | tr -d '\r')" = installed
  # A twin another account could have put there is not run by this
  # (elevated) run; Wine's access lists mirror the Unix owner.
  if [ "$(id -u)" -eq 0 ]; then
    chown 4321 "$twin/x86/kalinor.exe"
    report=$(KALINOR_EXIT_CODES=detailed wine_run "$harness_exe" --timeout-ms 60000 \
      "$twin_windows\\kalinor.exe" RefusedService 2>&1)
    expect "hand-over: another account's x86 build is not run" grep -q -x 'exit 1' <<<"$report"
    expect "hand-over: the refusal says why" grep -q 'could have put it there' <<<"$report"
    expect "hand-over: nothing is added then" test "$(count_of 'name="RefusedService"' "$profiles")" -eq 0
  fi
  rm "$twin/x86/kalinor.exe"
  report=$(KALINOR_EXIT_CODES=detailed wine_run "$harness_exe" --timeout-ms 60000 \
    "$twin_windows\\kalinor.exe" OtherService 2>&1)
  expect "hand-over: without the x86 build, exit 1" grep -q -x 'exit 1' <<<"$report"
  expect "hand-over: without it, the build to install is named" grep -q 'install the package, which carries both builds' <<<"$report"
  expect "hand-over: without it, nothing is added" test "$(count_of 'name="OtherService"' "$profiles")" -eq 0
  doctor_setup x64 0 || fail "hand-over: set the 64-bit Outlook back"
}

boot_prefix || exit 1
trap stop_prefix EXIT
use_standin_store "$work/mapi"
locate_user_folders || exit 1

check_usage
check_no_provider
check_install
check_run_log
check_store_in_appdata
check_uninstall
check_no_temporary_folder
check_only_what_the_user_could
check_remote_paths_untouched
check_left_store_lists
check_doctor
check_twin_handover

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
