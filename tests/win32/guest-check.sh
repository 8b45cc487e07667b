#!/bin/sh
# Runs inside the emulated machine (scripts/win32-vm check), where 32-bit
# Windows code runs: the 64-bit installer as a customer's silent install, then
# both controls through both script hosts and both containers on one
# software key, then the uninstaller. One line per check; exits non-zero when
# one fails.
set -u
failed=0
pass() { printf "ok    %s\n" "$1"; }
fail() { printf "FAIL  %s\n" "$1"; failed=1; }
step() { echo "== $1 ($(($(date +%s) - started)) s)"; }
started=$(date +%s)

program='C:\Program Files\Quillon\Brevant'
clsid='{4B2E7C10-5A3D-4F61-9C82-7E0D3A6B1F24}'
reg32='C:\windows\syswow64\reg.exe'
reg64='C:\windows\system32\reg.exe'
# Debian's "wine" starts the 32-bit loader, which sees system32 as syswow64:
# 64-bit programs are started by the 64-bit one.
wine64=/usr/lib/wine/wine64
export RVA_SIM_DIR='C:\keys'

# The tray tool the installer starts wants a screen.
Xvfb :7 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:7

step "32-bit code runs here"
if [ "$($wine64 'C:\windows\syswow64\cmd.exe' /c echo 32 2>/dev/null | tr -d '\r')" = 32 ]; then
  pass "a 32-bit program runs"
else
  fail "a 32-bit program runs"
fi

step "silent install"
$wine64 'Z:\src\build\win\BrevantSetup.exe' /S
status=$?
[ "$status" = 0 ] && pass "the installer ends with 0" || fail "the installer ends with $status"
inproc() { $wine64 "$1" query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve 2>/dev/null | tr -d '\r' | grep -i 'REG_SZ'; }
case "$(inproc "$reg64")" in
  *'Brevant\Kestrine.dll'*) pass "64-bit view: the 64-bit control" ;;
  *) fail "64-bit view: $(inproc "$reg64")" ;;
esac
case "$(inproc "$reg32")" in
  *'Brevant\x86\Kestrine.dll'*) pass "32-bit view: the 32-bit control" ;;
  *) fail "32-bit view: $(inproc "$reg32")" ;;
esac

step "one software key"
tokenctl() { $wine64 "$program\\tokenctl.exe" "$@" >/dev/null; }
tokenctl create vm --serial VM2026000001 --user-pin 111111 --user-retries 6
tokenctl import-cert vm --container c1 --spec sig --file 'Z:\src\build\win\testdata\certs\serial-01a20f.der'
tokenctl insert vm

step "both script hosts"
query() {
  $wine64 "$1" //nologo 'Z:\src\tests\win32\architecture.js' 2>&1 | tr -d '\r' | sed 's/^/process /'
  $wine64 "$1" //nologo 'Z:\src\control\examples\query-key.js' 2>&1 | tr -d '\r'
}
out32=$(query 'C:\windows\syswow64\cscript.exe')
out64=$(query 'C:\windows\system32\cscript.exe')
echo "$out32" | sed 's/^/  32-bit: /'
echo "$out64" | sed 's/^/  64-bit: /'
case "$out32" in *"process x86"*) pass "the 32-bit script host runs as x86" ;; *) fail "32-bit host not x86" ;; esac
case "$out64" in *"process AMD64"*) pass "the 64-bit script host runs as AMD64" ;; *) fail "64-bit host not AMD64" ;; esac
for line in "key state       3 (one key)" "serial number   VM2026000001" "PIN tries left  6" \
            "certificate     Test User Serial"; do
  case "$out32" in *"$line"*) pass "32-bit cscript: $line" ;; *) fail "32-bit cscript: $line" ;; esac
done
[ -n "$out64" ] && [ "$(echo "$out32" | grep -v '^process')" = "$(echo "$out64" | grep -v '^process')" ] &&
  pass "64-bit cscript answers the same" ||
  fail "64-bit cscript answers the same"

step "a foreign page in a 32-bit and a 64-bit container"
for tree in win32 win; do
  probe=$($wine64 "Z:\\src\\build\\$tree\\tests\\site_probe.exe" https://evil.example/x.html 2>&1 | tr -d '\r')
  case "$probe" in
    "KeyInit refused"*) pass "$tree container: $probe" ;;
    *) fail "$tree container: $probe" ;;
  esac
done
case "$($wine64 "$program\\tokenctl.exe" show vm 2>&1 | tr -d '\r')" in
  *"containers   1"*) pass "the key kept its certificate" ;;
  *) fail "the key kept its certificate" ;;
esac

step "uninstall"
$wine64 "$program\\uninstall.exe" /S
# The uninstaller hands over to a copy of itself: wait for the files to go.
for _ in $(seq 120); do
  [ -e "/root/wine/drive_c/Program Files/Quillon/Brevant/Kestrine.dll" ] || break
  sleep 1
done
for view in "$reg32" "$reg64"; do
  if [ -z "$(inproc "$view")" ]; then pass "not registered: $view"; else fail "still registered: $view"; fi
done
[ -e "/root/wine/drive_c/Program Files/Quillon/Brevant/x86" ] && fail "the x86 folder is left" ||
  pass "both folders removed"

step "done"
exit $failed
