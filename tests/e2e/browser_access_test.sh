#!/usr/bin/env bash
# The demo page as a bank's page meets today's Chromium: served over HTTPS
# under the bank's name from an address the browser treats as a public site
# (scripts/browser-check --public), so its WebSocket to
# the bridge on the loopback address is held back unless the browser's
# policy "LoopbackNetworkAllowedForUrls" lists the page's origin.
#
# The policy is what the installer's command writes into the Windows
# registry ("Corvane.exe --loopback-policy add", run here in the test prefix
# with the page's origin among the bank's sites), read back and handed to
# Chromium the way Linux builds take machine policy: a JSON file in
# /etc/chromium/policies/managed/. That file changes every Chromium run on
# the machine: it is removed on every way out.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
certs="$top/build/win/testdata/certs"
bridge_port=${ACCESS_TEST_BRIDGE_PORT:-20473}
page_port=${ACCESS_TEST_PAGE_PORT:-20474}
# The page's own name: Chromium alone resolves it to 127.0.0.1.
page_host=ebank.vesbank.example
page_origin="https://$page_host:$page_port"
policy_dir=/etc/chromium/policies/managed
policy_file="$policy_dir/brevant-test-access.json"
list_key='HKLM\SOFTWARE\Policies\Google\Chrome\LoopbackNetworkAllowedForUrls'
work=$(mktemp -d "${TMPDIR:-/tmp}/browser-access.XXXXXX")
export RVA_SIM_DIR="Z:${work//\//\\}\\keys"
win() { echo "Z:${1//\//\\}"; }
control=$(win "$top/build/win/bin/Kestrine.dll")
corvane="$work/bin/Corvane.exe"
bridge=
cleanup() {
  rm -f "$policy_file"
  if [ -n "$bridge" ]; then kill "$bridge" 2>/dev/null || true; wait "$bridge" 2>/dev/null || true; fi
  if [ -f "$corvane" ]; then "$top/scripts/wine" "$corvane" --loopback-policy remove >/dev/null 2>&1 || true; fi
  "$top/scripts/wine" regsvr32 /s /u "$control" || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
ctl() { "$top/scripts/wine" tokenctl "$@" >/dev/null; }
failures=0
fail() { echo "FAILED: $1"; failures=$((failures + 1)); }
expect_line() {  # REPORT LINE
  grep -Fxq -- "$2" <<<"$1" && return
  fail "the page does not show \"$2\"; it shows:"; echo "$1"
}
# policy_json ORIGIN...: the policy file's text.
policy_json() {
  local list
  list=$(printf '"%s",' "$@")
  printf '{"LoopbackNetworkAllowedForUrls": [%s]}\n' "${list%,}"
}
page() { "$top/scripts/browser-check" --public "$page_host:$page_port" "$bridge_port" "${1:-}"; }

mkdir -p "$policy_dir" 2>/dev/null && [ -w "$policy_dir" ] ||
  { echo "FAILED: $policy_dir is not writable: run as root"; exit 1; }
rm -f "$policy_dir"/brevant-test-*.json  # left by a run that was killed

# The bridge as installed, with the page's origin among the bank's sites.
mkdir -p "$work/bin" "$work/keys"
cp "$top/build/win/bin/Corvane.exe" "$work/bin/"
sed "s|^IDS_IESET_TRUST=|IDS_IESET_TRUST=$page_origin;|" "$top/dist/RVControl.ini" >"$work/bin/RVControl.ini"
bank_sites=$(sed -n 's/^IDS_IESET_TRUST=//p' "$top/dist/RVControl.ini" | tr -d '\r')

echo "== the installer's command lists the bank's sites in the browsers' policy"
"$top/scripts/wine" "$corvane" --loopback-policy add | tr -d '\r'
mapfile -t listed < <("$top/scripts/wine" reg query "$list_key" | tr -d '\r' |
  awk '$2 == "REG_SZ" { print $3 }')
echo "Chrome's list in the registry: ${listed[*]:-none}"
printf '%s\n' "${listed[@]}" | grep -Fxq "$page_origin" || fail "the page's origin is not in Chrome's list"
printf '%s\n' "${listed[@]}" | grep -Fxq "${bank_sites%%;*}" || fail "the bank's first site is not in Chrome's list"

"$top/scripts/wine" regsvr32 /s "$control"
ctl create zh --serial VB2026000099
ctl import-cert zh --container ZH-01 --spec sig --file "$(win "$certs/cn-zh.der")"
ctl insert zh
. "$top/scripts/bridge.sh"
start_bridge "$bridge_port" "$work/corvane.log" "$corvane" || { echo "FAILED: the bridge did not start"; exit 1; }

echo "== the registry's list as the browser's policy: the page reads the key without a click"
policy_json "${listed[@]}" >"$policy_file"
report=$(page)
echo "$report"
expect_line "$report" "Access: granted"
expect_line "$report" "Connect button: hidden"
expect_line "$report" "Status: Key read."
expect_line "$report" "Certificate holder: 张三"

echo "== no policy: the page waits for a click, then the browser refuses"
rm -f "$policy_file"
report=$(page "&press-connect=1")
echo "$report"
expect_line "$report" "Access: prompt"
expect_line "$report" "Connect button: shown"
expect_line "$report" "Error: blocked-by-browser"
expect_line "$report" "Key serial number: –"

echo "== a policy for the bank's other site only"
# Chromium's pattern without a port matches the host on every port: the
# other origin is the one of another host.
others=()
for origin in "${listed[@]}"; do [[ $origin == "https://$page_host"* ]] || others+=("$origin"); done
policy_json "${others[@]}" >"$policy_file"
report=$(page "&press-connect=1")
echo "$report"
expect_line "$report" "Access: prompt"
expect_line "$report" "Error: blocked-by-browser"

echo "== the policy, and no bridge running"
kill "$bridge"; wait "$bridge" 2>/dev/null || true
bridge=
policy_json "${listed[@]}" >"$policy_file"
report=$(page)
echo "$report"
expect_line "$report" "Access: granted"
expect_line "$report" "Error: connect-failed"
expect_line "$report" "Status: Cannot reach your key: the bridge at ws://127.0.0.1:$bridge_port is not running"

echo "== the uninstaller's command takes the sites out"
"$top/scripts/wine" "$corvane" --loopback-policy remove | tr -d '\r'
if "$top/scripts/wine" reg query "$list_key" >/dev/null 2>&1; then fail "Chrome's list key is left behind"; fi

[ "$failures" -eq 0 ] && echo "browser access: all checks passed"
[ "$failures" -eq 0 ]
