#!/usr/bin/env bash
# The demo page in headless Chromium, reading a simulated key through
# Corvane.exe under Wine: what the page shows with a key (its certificate
# name in Chinese), that a page from a site not in the bank's list may read
# the key but not initialise it, without a key, and without a bridge.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
certs="$top/build/win/testdata/certs"
port=${BROWSER_TEST_PORT:-20471}
keys=$(mktemp -d "${TMPDIR:-/tmp}/browser-demo.XXXXXX")
export RVA_SIM_DIR="Z:${keys//\//\\}"
win() { echo "Z:${1//\//\\}"; }
control=$(win "$top/build/win/bin/Kestrine.dll")
bridge=
cleanup() {
  if [ -n "$bridge" ]; then kill "$bridge" 2>/dev/null || true; wait "$bridge" 2>/dev/null || true; fi
  "$top/scripts/wine" regsvr32 /s /u "$control" || true
  rm -rf "$keys" "$keys.corvane.log"
}
trap cleanup EXIT
ctl() { "$top/scripts/wine" tokenctl "$@" >/dev/null; }
failures=0
expect_line() {  # REPORT LINE
  if grep -Fxq -- "$2" <<<"$1"; then return; fi
  echo "FAILED: the page does not show \"$2\"; it shows:"; echo "$1"
  failures=$((failures + 1))
}
expect_match() {  # REPORT REGEX
  if grep -Exq -- "$2" <<<"$1"; then return; fi
  echo "FAILED: no line of the page matches /$2/; it shows:"; echo "$1"
  failures=$((failures + 1))
}

"$top/scripts/wine" regsvr32 /s "$control"
ctl create zh --serial VB2026000099
ctl import-cert zh --container ZH-01 --spec sig --file "$(win "$certs/cn-zh.der")"
ctl insert zh
. "$top/scripts/bridge.sh"
start_bridge "$port" "$keys.corvane.log" || { echo "FAILED: the bridge did not start"; exit 1; }

echo "== a key with a certificate"
report=$("$top/scripts/browser-check" "$port")
echo "$report"
expect_line "$report" "Status: Key read."
expect_line "$report" "Key state: 3 (one key)"
expect_line "$report" "Keys plugged in: 1"
expect_line "$report" "Key serial number: VB2026000099"
expect_line "$report" "Certificate holder: 张三"
expect_line "$report" "Certificate serial: 100E"
expect_match "$report" "Valid from: [0-9]{4}-[0-9]{1,2}-[0-9]{1,2}"
expect_match "$report" "Valid until: [0-9]{4}-[0-9]{1,2}-[0-9]{1,2}"
expect_line "$report" "PIN tries left: 8"

echo "== the page, served from the loopback address, asks to initialise the key"
report=$("$top/scripts/browser-check" "$port" "&try-init=1")
echo "$report"
expect_line "$report" "Certificate holder: 张三"
expect_match "$report" "Initialisation: refused: the bridge refused KeyInit: http://127\.0\.0\.1:[0-9]+ is not one of the bank's sites, or no key could be opened"
report=$("$top/scripts/browser-check" "$port")
expect_line "$report" "Certificate holder: 张三"
grep -Eq "refused KeyInit to page http://127\.0\.0\.1:[0-9]+: not one of the bank's sites" "$keys.corvane.log" ||
  { echo "FAILED: the bridge's trace has no refusal:"; iconv -f GBK -t UTF-8 "$keys.corvane.log"; failures=$((failures + 1)); }

echo "== the key pulled out"
ctl remove zh
report=$("$top/scripts/browser-check" "$port")
echo "$report"
expect_line "$report" "Status: Plug in your key and read again."
expect_line "$report" "Key state: 2 (no key plugged in)"
expect_line "$report" "Keys plugged in: 0"
expect_line "$report" "Key serial number: –"

echo "== no bridge running"
kill "$bridge"; wait "$bridge" 2>/dev/null || true
bridge=
report=$("$top/scripts/browser-check" "$port")
echo "$report"
expect_line "$report" "Status: Cannot reach your key: the bridge at ws://127.0.0.1:$port is not running"

[ "$failures" -eq 0 ] && echo "browser demo: all checks passed"
[ "$failures" -eq 0 ]
