#!/usr/bin/env bash
# The installer through a release's life, as an administrator uses it, in a
# fresh Wine prefix: BrevantSetup.exe /S, the user's logon, an upgrade to
# the next version over the running suite with a key plugged in, a refused
# downgrade, uninstall.exe /S. Checks what each step leaves behind.
#   installer_test.sh SETUP_EXE VERSION VERIFY_TRUST_EXE
set -uo pipefail
setup=$(realpath "$1") version=$2 verify_trust=$3
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(dirname "$setup")
source "$top/installer/tests/lib.sh"
IFS=. read -r major minor patch <<<"$version"
next_version=$major.$minor.$((patch + 1))
key_state() { wine cscript //nologo "$(winepath_of "$top/control/examples/query-key.js")" | grep '^key state'; }
bridge_reply() { node "$top/installer/tests/ws_request.mjs" "$port" "$1"; }
setting() { tr -d '\r' <"$user_folder/RVControl.ini" | sed -n "s/^$1=//p"; }

[ -f "$setup" ] || { echo "no installer at $setup (scripts/build win)"; exit 1; }
if port_open; then echo "port $port is taken: stop the bridge that holds it"; exit 1; fi

# The next version: the same programs, a settings file that changed one
# value, and gained a key.
mkdir -p "$work/dist-next"
cp "$top"/dist/* "$work/dist-next/"
sed -i -e 's|^IDS_KEY_INSRT_URL=.*|IDS_KEY_INSRT_URL=https://ebank.vesbank.example/next/\r|' \
  -e 's|^\[TOOL\]\r*$|[TOOL]\r\nIDS_NEXT_SETTING=1\r|' "$work/dist-next/RVControl.ini"
check "the next version ($next_version) packed" pack "$work/next.exe" "$next_version" BREVANT_DIST="$work/dist-next"

echo "== fresh prefix"
wine_quiet cmd /c exit 0
# An organisation's own entry, which the installer must keep as it is.
wine_quiet reg add "$chrome_list" /v 1 /t REG_SZ /d "$organisation_site" /f
echo "== a folder outside Program Files is refused"
install "$setup" '/D=C:\Brevant'
check "exit code 4" test $? -eq 4
check "  nothing installed" eval 'test ! -e "$WINEPREFIX/drive_c/Brevant" && reg_missing "$arp_key"'

echo "== install"
install "$setup"
check "exit code 0" test $? -eq 0
for f in Brevant.exe Kestrine.dll Corvane.exe RVControl.ini TKLN0804.ini Brevant.ico QZR_logo.bmp \
         QZR_logo_125.bmp QZR_logo_150.bmp QZR_logo_200.bmp RVA.dll tokenctl.exe uninstall.exe; do
  check "installed $f" test -f "$folder/$f"
done
check "the installer's own helper not installed" test ! -e "$folder/StartAsUser.exe"
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
control_server() {
  local clsid
  clsid=$(wine reg query 'HKCR\Kestrine.Kestrine.1\CLSID' | grep -o '{[0-9A-Fa-f-]*}' | head -1)
  wine reg query "HKCR\\CLSID\\$clsid\\InprocServer32" | grep -o 'C:\\.*Kestrine\.dll' | head -1
}
check "control registered from the installed folder ($(control_server))" test "$(control_server)" = "$win_folder\\Kestrine.dll"
# The 32-bit control: packed, signed and registered where 32-bit programs
# run. This Wine runs none: the installer must say so, and go on; a
# registration that failed where they run ends the install instead.
is_32bit() { [[ $(LC_ALL=C x86_64-w64-mingw32-objdump -f "$1") == *"file format pei-i386"* ]]; }
for f in Kestrine.dll RVA.dll; do
  check "installed x86\\$f, a 32-bit file" is_32bit "$folder/x86/$f"
  check "installed x86\\$f signed" bash "$top/scripts/codesign" verify "$folder/x86/$f"
done
control32=$(reg_value "$suite_key" Control32)
check "32-bit control: no 32-bit programs here, said as such ($control32)" \
  test "$control32" = "not registered: this system runs no 32-bit programs"
check "Chrome's policy: the organisation's entry 1 kept" test "$(policy_list "$chrome_list" | grep '^1=')" = "1=$organisation_site"
check "Chrome's policy lists the bank's sites ($(policy_list "$chrome_list" | paste -sd' '))" lists_all_bank_sites "$chrome_list"
check "Edge's policy lists the bank's sites ($(policy_list "$edge_list" | paste -sd' '))" lists_all_bank_sites "$edge_list"
check "the shipped list names no IE-mode page: Edge's IE mode policy left alone" \
  test -z "$(reg_value 'HKLM\SOFTWARE\Policies\Microsoft\Edge' InternetExplorerIntegrationLevel)"
# The installer's token is never the tool's: it has the desktop's shell
# (Wine's explorer answers as Windows' does) start the programs as the
# signed-in user.
started=$(reg_value "$suite_key" Started)
check "the programs started through the desktop's shell ($started)" \
  test "$started" = "as the signed-in user, through the desktop's shell"
check "  both run" wait_for 20 eval 'tool_running && port_open'

echo "== the user's logon"
check "the tool and the bridge run" logon
check "the tool's install run wrote the trusted sites" wait_for 20 reg_has_key "$zone_key\\vesbank.example"
check "the tool made its settings copy, and its base" \
  wait_for 20 test -f "$user_folder/RVControl.ini" -a -f "$user_folder/RVControl.base.ini"
check "script client: device library loaded, no key" test "$(key_state)" = "key state       2 (no key)"
check "the bridge answers from the installed folder" wait_for 20 port_open
tokenctl create installer-test --pin-change-tag 1
tokenctl import-cert installer-test --container C1 --spec sig --file "$(winepath_of "$build/testdata/certs/ku-sig.der")"
echo "== the user turns the bank site's opening off in the settings copy, plugs the key in, logs on again"
end_suite
sed -i 's/^IS_KEY_INSRT_URL=1/IS_KEY_INSRT_URL=0/' "$user_folder/RVControl.ini"
tokenctl insert installer-test
logon
check "script client: the key plugged in" test "$(key_state)" = "key state       3 (one key)"
reply=$(bridge_reply '{"FunName":"GetDeviceCount"}')
check "bridge: one key ($(tr -d '\n\t' <<<"$reply"))" grep -q '"Count":[[:space:]]*1' <<<"$reply"
check "the tool registered the key's certificate in the user's store" wait_for 20 eval '[ "$(user_store_entries)" -ge 1 ]'

echo "== every user's logon: Active Setup runs the tool's install run once per version"
stub_path="\"C:\\windows\\system32\\cmd.exe\" /c start \"\" \"$win_folder\\Brevant.exe\" install"
check "Active Setup version ${version//./,}" test "$(reg_value "$active_setup_key" Version)" = "${version//./,}"
check "Active Setup entry installed" test "$(reg_value "$active_setup_key" IsInstalled)" = 0x1
check "Active Setup command ($(reg_value "$active_setup_key" StubPath))" \
  test "$(reg_value "$active_setup_key" StubPath | tr '[:upper:]' '[:lower:]')" = "${stub_path,,}"
# A user whose logon has not run it yet: no trusted sites, no tool running.
# The logon waits for the command: it must end while the tool goes on.
logon_command() { timeout 60 "$top/scripts/wine" cmd /c start "" "$win_folder\\Brevant.exe" install </dev/null >/dev/null 2>&1; }
wine_quiet taskkill /F /IM Brevant.exe
wait_for 10 eval '! tool_running'
wine_quiet reg delete "$zone_key\\vesbank.example" /f
wine_quiet reg delete "${active_setup_key/HKLM/HKCU}" /v Version /f
check "the logon command ends at once" logon_command
check "it wrote the trusted sites for that user" wait_for 20 reg_has_key "$zone_key\\vesbank.example"
check "and marked that user done (${version//./,})" \
  wait_for 20 eval '[ "$(reg_value "${active_setup_key/HKLM/HKCU}" Version)" = "${version//./,}" ]'
check "and goes on as the tray tool" wait_for 20 tool_running

echo "== upgrade to $next_version over the running suite, the key plugged in"
entries_before=$(user_store_entries) arrivals_before=$(arrivals_handled)
install "$work/next.exe"
check "exit code 0" test $? -eq 0
check "the tool and the bridge were asked to end, and did ($(reg_value "$suite_key" ProgramsEnded))" \
  test "$(reg_value "$suite_key" ProgramsEnded)" = "when asked, or none was running"
programs_entries() { wine reg query "${arp_key%\\*}" /s | grep -cF 'Brevant\uninstall.exe" /S'; }
check "one programs entry ($(programs_entries)), version $next_version" \
  test "$(programs_entries) $(reg_value "$arp_key" DisplayVersion)" = "1 $next_version"
check "the installed settings are the next version's" grep -q '^IDS_NEXT_SETTING=1' "$folder/RVControl.ini"
check "the control registered again from the folder" test "$(control_server)" = "$win_folder\\Kestrine.dll"
check "Chrome's policy: the organisation's entry and each bank site once" \
  test "$(policy_list "$chrome_list" | cut -d= -f2- | sort | uniq -d)" = ""
check "  and both lists as after a clean install" eval \
  'lists_all_bank_sites "$chrome_list" && lists_all_bank_sites "$edge_list" &&
   [ "$(policy_list "$chrome_list" | wc -l)" -eq $(( $(wc -w <<<"$bank_sites") + 1 )) ]'
check "Active Setup version raised to ${next_version//./,}" \
  test "$(reg_value "$active_setup_key" Version)" = "${next_version//./,}"
check "the key's certificate still in the user's store" test "$(user_store_entries)" -eq "$entries_before"
check "both programs started again, the install run of the new version first" \
  eval 'wait_for 20 port_open && tool_running &&
        [ "$(reg_value "${active_setup_key/HKLM/HKCU}" Version)" = "${next_version//./,}" ]'
check "  the settings copy took the new key" wait_for 20 eval '[ "$(setting IDS_NEXT_SETTING)" = 1 ]'
check "  and the value the user left alone changed with the version" \
  test "$(setting IDS_KEY_INSRT_URL)" = "https://ebank.vesbank.example/next/"
check "  and the value the user changed kept" test "$(setting IS_KEY_INSRT_URL)" = 0
check "the control sees the key" test "$(key_state)" = "key state       3 (one key)"
reply=$(bridge_reply '{"FunName":"GetDeviceCount"}')
check "the bridge answers: one key" grep -q '"Count":[[:space:]]*1' <<<"$reply"
check "the new tool took the plugged-in key" wait_for 20 eval '[ "$(arrivals_handled)" -gt "$arrivals_before" ]'
tokenctl remove installer-test
check "  pulled out, its certificate taken out" wait_for 20 eval '[ "$(user_store_entries)" -eq 0 ]'
tokenctl insert installer-test
check "  plugged in again, registered again" wait_for 20 eval '[ "$(user_store_entries)" -ge 1 ]'

echo "== downgrade to $version"
cp "$folder/Brevant.exe" "$work/before-downgrade.exe"
install "$setup"
check "refused: exit code 3" test $? -eq 3
check "  nothing changed" eval \
  '[ "$(reg_value "$arp_key" DisplayVersion)" = "$next_version" ] && cmp -s "$folder/Brevant.exe" "$work/before-downgrade.exe" &&
   tool_running'

echo "== uninstall, the key still plugged in"
uninstall
check "installed folder removed" wait_for 60 test ! -e "$folder"
check "maker's folder removed when empty" test ! -e "$(dirname "$folder")"
check "tool and bridge ended" wait_for 10 eval '! suite_running && port_closed'
check "the key's certificate taken out of the user's store" test "$(user_store_entries)" -eq 0
check "autostart entries removed" test -z "$(reg_value "$run_key" Brevant)$(reg_value "$run_key" Corvane)"
check "Active Setup entry removed" reg_missing "$active_setup_key"
check "programs entry removed" reg_missing "$arp_key"
check "control unregistered" reg_missing 'HKCR\Kestrine.Kestrine.1'
check "Chrome's policy: only the organisation's entry left" test "$(policy_list "$chrome_list")" = "1=$organisation_site"
check "Edge's policy key, which the installer made, removed" reg_missing 'HKLM\SOFTWARE\Policies\Microsoft\Edge'
check "the suite's records removed" reg_missing 'HKLM\SOFTWARE\Quillon'
check "user's settings copy kept" test -f "$user_folder/RVControl.ini"
check "user's trusted sites kept" reg_has_key "$zone_key\\vesbank.example"
check "user's simulated key kept" test -f "$WINEPREFIX/drive_c/users/$user/AppData/Local/RVASim/keys/installer-test.json"

echo "installer test: $failures failed"
[ "$failures" -eq 0 ]
