# Shared by the Wine end-to-end scripts (sourced, after "set -u" and with
# $work set): a Wine prefix of their own in $work/prefix, the stand-in MAPI
# provider's registration, the connector's settings files, and PASS/FAIL
# reporting into $failures.

readonly wine_timeout=120   # seconds for any one Wine program
readonly boot_timeout=600   # the first boot of a prefix is slow

export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# No Mono or Gecko: their installers would ask, and nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine links the user's folders to $HOME: keep them inside the work folder.
export HOME="$work/home"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME DISPLAY WAYLAND_DISPLAY

failures=0
pass() { echo "PASS: $1"; }
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
}

# The Windows name of a file on the Unix side (drive Z: is the root).
windows_path() {
  local unix
  unix=$(realpath -m "$1")
  printf 'Z:%s' "${unix//\//\\}"
}

# The Unix name of a path on drive C: of the prefix.
unix_path_on_c() {
  local rest=${1#[Cc]:}
  printf '%s/drive_c%s' "$WINEPREFIX" "${rest//\\//}"
}

wine_run() { timeout "$wine_timeout" wine "$@" </dev/null; }

wine_reg() {
  wine_run reg "$@" >/dev/null 2>&1 || { echo "wine reg $* failed" >&2; return 1; }
}

# expect_report NAME EXPECTED ACTUAL: the whole report, line for line.
expect_report() {
  if [ "$2" == "$3" ]; then
    pass "$1"
  else
    fail "$1"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed 's/^/    /'
  fi
}

# expect NAME COMMAND...: the command succeeds.
expect() {
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}

count_of() { grep -o -- "$1" "$2" 2>/dev/null | wc -l; }

# An element that is present and empty, in either form a DOM may save it.
has_empty_element() {
  tr -d '\r\n' <"$2" | grep -E -q "<$1[[:space:]]*/>|<$1>[[:space:]]*</$1>"
}

boot_prefix() {
  local ready="$WINEPREFIX/.kalinor-e2e-ready"
  if [ ! -f "$ready" ]; then
    echo "Booting a new Wine prefix in $WINEPREFIX (the first time takes a while)"
    rm -rf "$WINEPREFIX" "$HOME"
    mkdir -p "$HOME"
    if ! timeout "$boot_timeout" wineboot -i </dev/null >/dev/null 2>&1; then
      echo "wineboot failed in $WINEPREFIX" >&2
      return 1
    fi
    # Real folders instead of links to $HOME, so the prefix stands alone.
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
      if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
    done
    touch "$ready"
  fi
  # Start the prefix's background processes away from this script's output,
  # which they would otherwise hold open after the script ends.
  timeout "$boot_timeout" wineboot </dev/null >/dev/null 2>&1 || true
  [ "$(readlink "$WINEPREFIX/dosdevices/z:")" == "/" ] || { echo "drive Z: is not the root" >&2; return 1; }
}

stop_prefix() { WINEPREFIX="$WINEPREFIX" timeout 60 wineserver -w >/dev/null 2>&1 || true; }

register_provider() {
  wine_reg add 'HKLM\Software\Clients\Mail' /ve /d 'Kalinor Stand-in' /f &&
    wine_reg add 'HKLM\Software\Clients\Mail\Kalinor Stand-in' /v DLLPathEx /d "$(windows_path "$provider_dll")" /f
}

unregister_provider() {
  wine_reg delete 'HKLM\Software\Clients\Mail' /f ||
    ! wine_run reg query 'HKLM\Software\Clients\Mail' >/dev/null 2>&1
}

# The connector's files as an archive connector leaves them: two stores
# whose database files exist, and an archive-server address.
prepare_settings() {
  rm -rf "$local_unix/Tavrin" "$install_unix"
  mkdir -p "$data_unix/Stores" "$install_unix/Data"
  printf 'first store' >"$data_unix/Stores/first.fdb"
  printf 'second store' >"$data_unix/Stores/second.fdb"
  printf 'not listed' >"$data_unix/Stores/other.fdb"
  cat >"$data_unix/StoreSettings.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<QEVConfiguration>
  <Store id="1122334455667788-99AABBCCDDEEFF00">
    <dbFileName>$local_windows\\Tavrin\\Ostrand\\Stores\\first.fdb</dbFileName>
  </Store>
  <Store id="0ffeeddccbbaa998877665544332211">
    <dbFileName>$local_windows\\Tavrin\\Ostrand\\Stores\\second.fdb</dbFileName>
  </Store>
</QEVConfiguration>
EOF
  cat >"$data_unix/GeneralSettings.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<QEVConfiguration>
  <General>
    <PellucorURL>https://archive.example.com/pellucor</PellucorURL>
    <OfflineMaxDays>30</OfflineMaxDays>
  </General>
</QEVConfiguration>
EOF
  # Blanks around the macro, and the macro in mixed case: trimmed and folded.
  wine_reg add 'HKCU\Software\Policies\Tavrin\Pellucor' /v DataPath /d '  %LocalApplicationData%  ' /f &&
    wine_reg add 'HKLM\SOFTWARE\Tavrin\KOVEX' /v Path /d "$install_windows" /f
}

# use_standin_store FOLDER: the stand-in provider keeps its profile store in
# FOLDER (emptied), and there is no service catalogue; sets $profiles.
use_standin_store() {
  rm -rf "$1"
  profiles="$1/profiles.xml"
  KALINOR_MAPI_PROFILES=$(windows_path "$profiles")
  KALINOR_MAPISVC=$(windows_path "$1/mapisvc.inf")
  export KALINOR_MAPI_PROFILES KALINOR_MAPISVC
}

# Sets the Wine user's folders: local_windows and local_unix (local
# application data), appdata_windows (roaming), data_unix (the connector's
# data folder), install_windows and install_unix (the product's folder).
locate_user_folders() {
  local folder
  local_windows=$(wine_run cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r\n')
  local_unix=$(unix_path_on_c "$local_windows")
  appdata_windows=$(wine_run cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r\n')
  for folder in "$local_windows" "$appdata_windows"; do
    case $folder in
      [Cc]:\\*) ;;
      *) echo "no application-data folder on drive C: '$folder'" >&2; return 1 ;;
    esac
  done
  data_unix="$local_unix/Tavrin/Ostrand"
  install_windows='C:\Program Files\Tavrin\KOVEX'
  install_unix=$(unix_path_on_c "$install_windows")
}
