#!/usr/bin/env bash
# A bank's build, which packs the key maker's device libraries instead of
# the software key (a stand-in here: our software key's libraries with a
# mark after their end, which Windows does not load), and a maker's library put in the folder by
# hand: no installer replaces or removes a device library it did not put
# there. And an uninstall whose removal of the browsers' policy fails.
#   bank_build_test.sh SETUP_EXE VERSION
set -uo pipefail
setup=$(realpath "$1") version=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(dirname "$setup")
source "$top/installer/tests/lib.sh"
IFS=. read -r major minor patch <<<"$version"
next_version=$major.$minor.$((patch + 1))
key_state() { wine cscript //nologo "$(winepath_of "$top/control/examples/query-key.js")" | grep '^key state'; }
makers_libraries_in_place() { is_maker_library RVA.dll && is_maker_library x86/RVA.dll; }

cat "$build/bin/RVA.dll" - <<<"$maker_mark" >"$work/maker64.dll"
cat "$top/build/win32/bin/RVA.dll" - <<<"$maker_mark" >"$work/maker32.dll"
makers=(BREVANT_DEVICE_LIBRARY="$work/maker64.dll" BREVANT_DEVICE_LIBRARY_X86="$work/maker32.dll")
echo "== packing"
check "a bank's build needs both libraries" eval '! pack "$work/x.exe" "$version" BREVANT_DEVICE_LIBRARY="$work/maker64.dll" >/dev/null'
check "  each of its own kind" eval '! pack "$work/x.exe" "$version" BREVANT_DEVICE_LIBRARY="$work/maker32.dll" \
  BREVANT_DEVICE_LIBRARY_X86="$work/maker64.dll" >/dev/null'
check "the bank's build $version" pack "$work/bank.exe" "$version" "${makers[@]}"
check "the bank's build $next_version" pack "$work/bank-next.exe" "$next_version" "${makers[@]}"
check "the software key's build $next_version" pack "$work/next.exe" "$next_version"

wine_quiet cmd /c exit 0
echo "== the software key's build, the maker's libraries put in the folder by hand"
mkdir -p "$folder/x86"
cp "$work/maker64.dll" "$folder/RVA.dll"
cp "$work/maker32.dll" "$folder/x86/RVA.dll"
install "$setup"
check "installed" test -f "$folder/Brevant.exe"
check "  the maker's libraries kept" makers_libraries_in_place
check "  and no tokenctl.exe beside them" test ! -e "$folder/tokenctl.exe"
echo "== an uninstall whose removal of the browsers' policy fails"
# A Corvane.exe that fails every command (Wine's reg.exe).
end_suite
cp "$WINEPREFIX/drive_c/windows/system32/reg.exe" "$folder/Corvane.exe"
uninstall
check "Corvane.exe kept to take the policy out again" test -f "$folder/Corvane.exe"
check "  the bank's sites still listed" lists_all_bank_sites "$edge_list"
cp "$build/bin/Corvane.exe" "$folder/Corvane.exe"
wine_quiet "$win_folder\\Corvane.exe" --ie-mode-policy remove
wine_quiet "$win_folder\\Corvane.exe" --loopback-policy remove
check "  run again, it takes them out" reg_missing 'HKLM\SOFTWARE\Policies\Microsoft\Edge'
check "the maker's libraries kept by the uninstall" makers_libraries_in_place
rm -rf "$folder"

echo "== the bank's build $version"
install "$work/bank.exe"
check "exit code 0" test $? -eq 0
check "the maker's libraries installed as packed" \
  eval 'cmp -s "$folder/RVA.dll" "$work/maker64.dll" && cmp -s "$folder/x86/RVA.dll" "$work/maker32.dll"'
check "no software key: no tokenctl.exe" test ! -e "$folder/tokenctl.exe"
check "the control loads the maker's library" test "$(key_state)" = "key state       2 (no key)"
echo "== the software key's build $next_version over it"
install "$work/next.exe"
check "exit code 0" test $? -eq 0
check "the maker's libraries kept" makers_libraries_in_place
uninstall
check "and kept by that build's uninstall" makers_libraries_in_place
echo "== the bank's build $next_version, then its own uninstall"
install "$work/bank-next.exe"
check "exit code 0" test $? -eq 0
check "the maker's libraries in place" makers_libraries_in_place
uninstall
check "the bank's uninstall removed them, and the folder" wait_for 20 test ! -e "$folder"

echo "bank build test: $failures failed"
[ "$failures" -eq 0 ]
