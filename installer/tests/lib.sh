# What the installer's tests share: a Wine prefix of their own, the checks,
# and the steps of a customer's machine (install, logon, uninstall).
# Sourced by a test after it set `top`; the test removes $work at its end.
work=$(mktemp -d)
export WINEPREFIX=$work/prefix
folder="$WINEPREFIX/drive_c/Program Files/Quillon/Brevant"
win_folder='C:\Program Files\Quillon\Brevant'
suite_key='HKLM\SOFTWARE\Quillon\Brevant'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
arp_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brevant'
active_setup_key='HKLM\Software\Microsoft\Active Setup\Installed Components\{8FC9B5E3-E6FC-4007-811A-1F7DF6C2BADD}'
zone_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\ZoneMap\Domains'
chrome_list='HKLM\SOFTWARE\Policies\Google\Chrome\LoopbackNetworkAllowedForUrls'
edge_list='HKLM\SOFTWARE\Policies\Microsoft\Edge\LoopbackNetworkAllowedForUrls'
organisation_site='https://intranet.example.org'
bank_sites=$(sed -n 's/^IDS_IESET_TRUST=//p' "$top/dist/RVControl.ini" | tr -d '\r' | tr ';' ' ')
port=20407
user=${USER:-$(id -un)}
user_folder="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Quillon"
failures=0
# The tool's trace of what it does with keys: every program of the prefix,
# those the desktop's shell starts too, inherits it from the first one.
trace=$work/trace.txt
export BREVANT_TRACE="Z:${trace//\//\\}"
# How many key arrivals the tools of this prefix have handled so far.
arrivals_handled() { grep -c '^[0-9]* arrival message end' "$trace" 2>/dev/null; }

cleanup() {
  wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM

wine() { "$top/scripts/wine" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
# The installer and uninstaller start and end programs that would hold a
# pipe open: they get no pipe.
wine_quiet() { "$top/scripts/wine" "$@" </dev/null >/dev/null 2>&1; }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
wait_for() {  # wait_for SECONDS COMMAND...
  local limit=$(($1 * 10)); shift
  for _ in $(seq "$limit"); do "$@" && return 0; sleep 0.1; done
  "$@"
}
port_open() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }
port_closed() { ! port_open; }
reg_value() { wine reg query "$1" /v "$2" | awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^  */, ""); print }'; }
reg_missing() { ! "$top/scripts/wine" reg query "$1" </dev/null >/dev/null 2>&1; }
# The values of a list policy, "NAME=VALUE" each, sorted.
policy_list() { wine reg query "$1" | awk '$2 == "REG_SZ" { print $1 "=" $3 }' | sort; }
lists_all_bank_sites() {  # KEY
  local values; values=$(policy_list "$1" | cut -d= -f2-)
  for site in $bank_sites; do grep -Fxq "$site" <<<"$values" || return 1; done
}
reg_has_key() { wine reg query "$1" >/dev/null 2>&1 && [ -n "$(wine reg query "$1")" ]; }
winepath_of() { echo "Z:${1//\//\\}"; }
suite_running() { pgrep -f 'Quillon/Brevant/(Brevant|Corvane)\.exe|Quillon\\Brevant\\(Brevant|Corvane)\.exe' >/dev/null; }
tool_running() { pgrep -f 'Quillon.Brevant.Brevant\.exe' >/dev/null; }
bridge_running() { pgrep -f 'Quillon.Brevant.Corvane\.exe' >/dev/null; }

# pack OUTPUT VERSION [VARIABLE=VALUE...]: an installer of this build with
# another version, or a bank's build (the variables of scripts/pack-installer).
pack() {
  local out=$1 version=$2; shift 2
  env "$@" BREVANT_BIN="$build/bin" bash "$top/scripts/pack-installer" "$version" "$out" "$work/stage-$(basename "$out")" \
    >"$work/pack.log" 2>&1 || { cat "$work/pack.log"; return 1; }
}
# install SETUP [ARGUMENTS]: silently; the installer's exit code.
install() { local setup=$1; shift; wine_quiet "$(winepath_of "$setup")" /S "$@"; }
# The uninstaller hands over to a copy of itself and returns at once: the
# uninstall is over once that copy has removed its own file.
uninstall() { wine_quiet "$win_folder\\uninstall.exe" /S; wait_for 60 test ! -e "$folder/uninstall.exe"; }
# A user's logon, as Windows runs it: Active Setup's command once per
# version (Windows then marks the user done), then the Run entries.
logon() {
  local wanted; wanted=$(reg_value "$active_setup_key" Version)
  if [ "$(reg_value "${active_setup_key/HKLM/HKCU}" Version)" != "$wanted" ]; then
    timeout 60 "$top/scripts/wine" cmd /c start "" "$win_folder\\Brevant.exe" install </dev/null >/dev/null 2>&1
    wine_quiet reg add "${active_setup_key/HKLM/HKCU}" /v Version /t REG_SZ /d "$wanted" /f
  fi
  "$top/scripts/wine" "$win_folder\\Brevant.exe" </dev/null >/dev/null 2>&1 &
  "$top/scripts/wine" "$win_folder\\Corvane.exe" </dev/null >/dev/null 2>&1 &
  wait_for 20 port_open && wait_for 20 tool_running
}
end_suite() {
  wine_quiet taskkill /F /IM Brevant.exe
  wine_quiet taskkill /F /IM Corvane.exe
  wait_for 10 eval '! suite_running && port_closed'
}
tokenctl() { wine_quiet "$win_folder\\tokenctl.exe" "$@"; }
# Whether the installed device library (FILE under the folder) is the
# stand-in for the maker's: a library with this mark after its end.
maker_mark="stand-in for the key maker's library"
is_maker_library() { [ "$(tail -c $((${#maker_mark} + 1)) "$folder/$1" 2>/dev/null)" = "$maker_mark" ]; }
# The user's certificate entries (Wine keeps a user's store in the registry).
user_store_entries() { wine reg query 'HKCU\Software\Microsoft\SystemCertificates\My\Certificates' | grep -c '\\Certificates\\'; }
