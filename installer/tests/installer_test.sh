#!/usr/bin/env bash
# The installer as an administrator uses it: BrevantSetup.exe /S in a fresh
# Wine prefix, then uninstall.exe /S. Checks what each leaves behind.
#   installer_test.sh SETUP_EXE VERSION VERIFY_TRUST_EXE
set -uo pipefail
setup=$(realpath "$1") version=$2 verify_trust=$3
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
export WINEPREFIX=$work/prefix
folder="$WINEPREFIX/drive_c/Program Files/Quillon/Brevant"
win_folder='C:\Program Files\Quillon\Brevant'
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
failures=0

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
# The values of a list policy, "NAME=VALUE" each, sorted.
policy_list() { wine reg query "$1" | awk '$2 == "REG_SZ" { print $1 "=" $3 }' | sort; }
lists_all_bank_sites() {  # KEY
  local values; values=$(policy_list "$1" | cut -d= -f2-)
  for site in $bank_sites; do grep -Fxq "$site" <<<"$values" || return 1; done
}
reg_has_key() { wine reg query "$1" >/dev/null 2>&1 && [ -n "$(wine reg query "$1")" ]; }
key_state() { wine cscript //nologo "$(winepath_of "$top/control/examples/query-key.js")" | grep '^key state'; }
winepath_of() { echo "Z:${1//\//\\}"; }
bridge_reply() { node "$top/installer/tests/ws_request.mjs" "$port" "$1"; }
suite_running() { pgrep -f 'Quillon/Brevant/(Brevant|Corvane)\.exe|Quillon\\Brevant\\(Brevant|Corvane)\.exe' >/dev/null; }

[ -f "$setup" ] || { echo "no installer at $setup (scripts/build win)"; exit 1; }
if port_open; then echo "port $port is taken: stop the bridge that holds it"; exit 1; fi

echo "== fresh prefix"
wine_quiet cmd /c exit 0
# An organisation's own entry, which the installer must keep as it is.
wine_quiet reg add "$chrome_list" /v 1 /t REG_SZ /d "$organisation_site" /f
echo "== install"
wine_quiet "$(winepath_of "$setup")" /S
for f in Brevant.exe Kestrine.dll Corvane.exe RVControl.ini TKLN0804.ini Brevant.ico QZR_logo.bmp RVA.dll \
         tokenctl.exe uninstall.exe; do
  check "installed $f" test -f "$folder/$f"
done
# Both start at every logon: neither may open a console window, which the
# user could close and so stop the program.
windowless() { x86_64-w64-mingw32-objdump -p "$1" | grep '^Subsystem.*(Windows GUI)' >/dev/null; }
for f in Brevant.exe Corvane.exe; do
  check "installed $f opens no console window (Windows subsystem)" windowless "$folder/$f"
done
echo "== signatures"
for f in Brevant.exe Kestrine.dll Corvane.exe RVA.dll tokenctl.exe uninstall.exe; do
  check "installed $f signed (chain to the test CA, digest)" bash "$top/scripts/codesign" verify "$folder/$f"
done
# Windows' own answer (WinVerifyTrust, Authenticode policy): Wine's accepts
# a chain to an unknown root and reports it only in the chain's status,
# which the checker counts as a refusal, as Windows itself refuses.
openssl x509 -in "$(bash "$top/scripts/codesign" ca)" -outform DER -out "$work/ca.der"
trust() { wine "$(winepath_of "$verify_trust")" "$@"; }
trusted='trust 0x00000000 chain 0x00000000'
check "WinVerifyTrust: a chain to the test CA is untrusted before the CA is a root ($(trust "$win_folder\\Brevant.exe"))" \
  test "$(trust "$win_folder\\Brevant.exe")" != "$trusted"
check "WinVerifyTrust: Brevant.exe trusted once the test CA is a root" \
  test "$(trust --trust-root "$(winepath_of "$work/ca.der")" "$win_folder\\Brevant.exe")" = "$trusted"
check "WinVerifyTrust: uninstall.exe trusted" test "$(trust "$win_folder\\uninstall.exe")" = "$trusted"
# Wine judges a signature without a time-stamp as of the file's time, which
# the installer keeps to two seconds: a program signed in the second its
# certificate was made may be dated from before that moment.
cp "$folder/Brevant.exe" "$work/early.exe"
touch -d "@$(( $(stat -c %Y "$(bash "$top/scripts/codesign" ca)") - 2 ))" "$work/early.exe"
check "WinVerifyTrust: a program dated from just before its certificate was made trusted" \
  test "$(trust "$(winepath_of "$work/early.exe")")" = "$trusted"
cp "$folder/Corvane.exe" "$work/changed.exe"
printf 'X' | dd of="$work/changed.exe" bs=1 seek=4096 conv=notrunc 2>/dev/null
check "WinVerifyTrust: a changed copy refused, bad digest ($(trust "$(winepath_of "$work/changed.exe")"))" \
  test "$(trust "$(winepath_of "$work/changed.exe")" | cut -d' ' -f2)" = 0x80096010

check "autostart Brevant" test "$(reg_value "$run_key" Brevant)" = "\"$win_folder\\Brevant.exe\""
check "autostart Corvane" test "$(reg_value "$run_key" Corvane)" = "\"$win_folder\\Corvane.exe\""
check "programs entry version $version" test "$(reg_value "$arp_key" DisplayVersion)" = "$version"
check "programs entry publisher" test "$(reg_value "$arp_key" Publisher)" = Quillon
check "programs entry name" test -n "$(reg_value "$arp_key" DisplayName)"
check "programs entry icon" test "$(reg_value "$arp_key" DisplayIcon)" = "$win_folder\\Brevant.ico"
check "programs entry uninstall command" test "$(reg_value "$arp_key" UninstallString)" = "\"$win_folder\\uninstall.exe\""
size=$(reg_value "$arp_key" EstimatedSize)
check "programs entry size ($size KiB)" test $((size)) -gt 100
clsid=$(reg_value 'HKCR\Kestrine.Kestrine.1\CLSID' '(Default)')
[ -n "$clsid" ] || clsid=$(wine reg query 'HKCR\Kestrine.Kestrine.1\CLSID' | grep -o '{[0-9A-Fa-f-]*}' | head -1)
server=$(wine reg query "HKCR\\CLSID\\$clsid\\InprocServer32" | grep -o 'C:\\.*Kestrine\.dll' | head -1)
check "control registered from the installed folder ($server)" test "$server" = "$win_folder\\Kestrine.dll"
# The 32-bit control: packed, signed and registered where 32-bit programs
# run. This Wine runs none: the installer must say so, and go on; a
# registration that failed where they run ends the install instead.
is_32bit() { [[ $(LC_ALL=C x86_64-w64-mingw32-objdump -f "$1") == *"file format pei-i386"* ]]; }
for f in Kestrine.dll RVA.dll; do
  check "installed x86\\$f, a 32-bit file" is_32bit "$folder/x86/$f"
  check "installed x86\\$f signed" bash "$top/scripts/codesign" verify "$folder/x86/$f"
done
control32=$(reg_value 'HKLM\SOFTWARE\Quillon\Brevant' Control32)
check "32-bit control: no 32-bit programs here, said as such ($control32)" \
  test "$control32" = "not registered: this system runs no 32-bit programs"
check "Chrome's policy: the organisation's entry 1 kept" test "$(policy_list "$chrome_list" | grep '^1=')" = "1=$organisation_site"
check "Chrome's policy lists the bank's sites ($(policy_list "$chrome_list" | paste -sd' '))" lists_all_bank_sites "$chrome_list"
check "Edge's policy lists the bank's sites ($(policy_list "$edge_list" | paste -sd' '))" lists_all_bank_sites "$edge_list"
check "the shipped list names no IE-mode page: Edge's IE mode policy left alone" \
  test -z "$(reg_value 'HKLM\SOFTWARE\Policies\Microsoft\Edge' InternetExplorerIntegrationLevel)"
check "the tool's install run wrote the trusted sites" wait_for 20 reg_has_key "$zone_key\\vesbank.example"
check "the tool runs and made its settings copy" \
  wait_for 20 test -f "$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Quillon/RVControl.ini"
check "script client: device library loaded, no key" test "$(key_state)" = "key state       2 (no key)"
wine_quiet "$win_folder\\tokenctl.exe" create installer-test
wine_quiet "$win_folder\\tokenctl.exe" insert installer-test
check "script client: the key plugged in" test "$(key_state)" = "key state       3 (one key)"
check "the bridge answers from the installed folder" wait_for 20 port_open
reply=$(bridge_reply '{"FunName":"GetDeviceCount"}')
check "bridge: one key ($(tr -d '\n\t' <<<"$reply"))" grep -q '"Count":[[:space:]]*1' <<<"$reply"
wine_quiet "$win_folder\\tokenctl.exe" remove installer-test

echo "== every user's logon: Active Setup runs the tool's install run once per version"
stub_path="\"C:\\windows\\system32\\cmd.exe\" /c start \"\" \"$win_folder\\Brevant.exe\" install"
check "Active Setup version ${version//./,}" test "$(reg_value "$active_setup_key" Version)" = "${version//./,}"
check "Active Setup entry installed" test "$(reg_value "$active_setup_key" IsInstalled)" = 0x1
check "Active Setup command ($(reg_value "$active_setup_key" StubPath))" \
  test "$(reg_value "$active_setup_key" StubPath | tr '[:upper:]' '[:lower:]')" = "${stub_path,,}"
check "the installing account counts as done" \
  test "$(reg_value "${active_setup_key/HKLM/HKCU}" Version)" = "${version//./,}"
# A user whose logon has not run it yet: no trusted sites, no tool running.
# The logon waits for the command: it must end while the tool goes on.
tool_running() { pgrep -f 'Quillon.Brevant.Brevant\.exe' >/dev/null; }
logon_command() { timeout 60 "$top/scripts/wine" cmd /c start "" "$win_folder\\Brevant.exe" install </dev/null >/dev/null 2>&1; }
wine_quiet taskkill /F /IM Brevant.exe
wait_for 10 eval '! tool_running'
wine_quiet reg delete "$zone_key\\vesbank.example" /f
check "the logon command ends at once" logon_command
check "it wrote the trusted sites for that user" wait_for 20 reg_has_key "$zone_key\\vesbank.example"
check "and goes on as the tray tool" wait_for 20 tool_running

echo "== uninstall"
wine_quiet "$win_folder\\uninstall.exe" /S
# The uninstaller hands over to a copy of itself and returns at once.
check "installed folder removed" wait_for 60 test ! -e "$folder"
check "maker's folder removed when empty" test ! -e "$(dirname "$folder")"
check "tool and bridge ended" wait_for 10 eval '! suite_running && port_closed'
check "autostart entries removed" test -z "$(reg_value "$run_key" Brevant)$(reg_value "$run_key" Corvane)"
check "Active Setup entry removed" bash -c "! '$top/scripts/wine' reg query '$active_setup_key' >/dev/null 2>&1"
check "programs entry removed" bash -c "! '$top/scripts/wine' reg query '$arp_key' >/dev/null 2>&1"
check "control unregistered" bash -c "! '$top/scripts/wine' reg query 'HKCR\\Kestrine.Kestrine.1' >/dev/null 2>&1"
check "Chrome's policy: only the organisation's entry left" test "$(policy_list "$chrome_list")" = "1=$organisation_site"
check "Edge's policy key, which the installer made, removed" bash -c "! '$top/scripts/wine' reg query 'HKLM\SOFTWARE\Policies\Microsoft\Edge' >/dev/null 2>&1"
check "the record of added entries removed" bash -c "! '$top/scripts/wine' reg query 'HKLM\SOFTWARE\Quillon' >/dev/null 2>&1"
check "user's settings copy kept" test -f "$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Quillon/RVControl.ini"
check "user's trusted sites kept" reg_has_key "$zone_key\\vesbank.example"
check "user's simulated key kept" test -f "$WINEPREFIX/drive_c/users/$user/AppData/Local/RVASim/keys/installer-test.json"

echo "installer test: $failures failed"
[ "$failures" -eq 0 ]
