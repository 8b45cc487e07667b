#!/usr/bin/env bash
# scripts/try-pages as a web developer uses it: a folder with one page of
# theirs, the command started, the page opened in headless Chromium, a script
# run with the key control, the key pulled out with the command's tokenctl,
# Enter to stop; then their page checked as a public site, and a session for
# a dev server of their own. scripts/test runs this last, after its own Wine
# server has ended and the tests have unregistered the control in their
# prefix. The check with the browsers' policy needs root, as the browser
# access test does.
#   try_pages_test.sh [PAGE_PORT BRIDGE_PORT]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
page_port=${1:-20481} bridge_port=${2:-20482}
work=$(mktemp -d "${TMPDIR:-/tmp}/try-pages-test.XXXXXX")
session= browser=
failures=0
fail() { echo "FAILED: $1"; failures=$((failures + 1)); }

end_browser() {
  [ -n "$browser" ] || return 0
  # Chromium's helpers share its process group.
  kill -- "-$browser" 2>/dev/null || true
  for _ in $(seq 50); do pgrep -g "$browser" >/dev/null || break; sleep 0.1; done
  kill -9 -- "-$browser" 2>/dev/null || true
  browser=
}
cleanup() {
  end_browser
  if [ -n "$session" ]; then kill "$session" 2>/dev/null || true; wait "$session" 2>/dev/null || true; fi
  WINEPREFIX="$work/state/prefix" wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# wait_for SECONDS COMMAND...: what the test depends on, never a fixed time.
wait_for() {
  local limit=$(($1 * 10)); shift
  for _ in $(seq "$limit"); do "$@" && return 0; sleep 0.1; done
  "$@"
}
. "$top/scripts/bridge.sh"   # port_open
report_of() { sed -n "s/^run $1: //p" "$work/state/web.log"; }
has_report() { grep -q "^run $1: done" "$work/state/web.log" 2>/dev/null; }

# The developer's page: the client from where the command serves it.
mkdir -p "$work/pages"
cat >"$work/pages/index.html" <<'EOF'
<!doctype html>
<meta charset="utf-8">
<script type="module">
import { CorvaneClient } from '/corvane-client.js';
const query = new URLSearchParams(location.search);
const run = query.get('run');
const lines = [];
const read = async (name, call) => {
  try { lines.push(`${name} ${await call()}`); } catch (error) { lines.push(`${name} ${error.reason ?? error.message}`); }
};
const key = new CorvaneClient({ url: query.get('bridge') });
try {
  await key.connect();
  await read('state', () => key.getUsbkeyState());
  if (query.has('read')) {
    await read('serial', () => key.getUsbkeySN());
    await read('holder', () => key.getCertCN());
    await read('tries', () => key.getPinRetryCount());
    await read('init', () => key.keyInit());
  }
} catch (error) {
  lines.push(`connect ${error.reason ?? error.message}`);
}
lines.push('done');
await fetch('/report', { method: 'POST', body: lines.map((line) => `run ${run}: ${line}\n`).join('') });
</script>
EOF
open_page() {  # RUN QUERY
  setsid chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$work/profile-$1" \
    "http://127.0.0.1:$page_port/?run=$1&bridge=ws://127.0.0.1:$bridge_port$2" >"$work/chromium-$1.log" 2>&1 &
  browser=$!
  wait_for 60 has_report "$1" || { fail "the page of run $1 reported nothing"; tail -5 "$work/chromium-$1.log"; }
  end_browser
}
expect() {  # RUN LINE
  report_of "$1" | grep -Fxq -- "$2" || { fail "run $1 does not report \"$2\"; it reports:"; report_of "$1"; }
}

"$top/scripts/try-pages" --help | head -n 1 | grep -q '^  scripts/try-pages ' || fail "--help does not begin with the usage"

settings_before=$(sha256sum "$top/dist/RVControl.ini" "$top/build/win/bin/RVControl.ini")

echo "== scripts/try-pages started on the developer's folder"
mkfifo "$work/enter"
"$top/scripts/try-pages" "$work/pages" --no-build --state "$work/state" --port "$page_port" \
  --bridge-port "$bridge_port" --origin https://dev.vesbank.example:9443 <"$work/enter" >"$work/session.log" 2>&1 &
session=$!
exec 3>"$work/enter"   # the developer's terminal: Enter comes through here
ready() { grep -q '^try-pages: ready' "$work/session.log"; }
if ! wait_for 180 ready; then
  cat "$work/session.log"
  echo "FAILED: try-pages did not come up"
  exit 1
fi
tr -d '\r' <"$work/session.log"
grep -Fq "try-pages: page     http://127.0.0.1:$page_port/" "$work/session.log" || fail "no page address printed"
grep -Eq "^try-pages: bridge .*http://127\.0\.0\.1:$page_port .*https://dev\.vesbank\.example:9443" "$work/session.log" ||
  fail "the page's origin and --origin are not among the bridge's sites"
grep -q "VB2026000001" "$work/session.log" || fail "the sample key's state is not printed"
grep -q "^corvane: 等待连接" "$work/session.log" || fail "the bridge's trace is not on the terminal in UTF-8"

echo "== a script with the key control, on the same key"
scripts_out=$("$top/scripts/try-pages" --state "$work/state" cscript "$top/control/examples/query-key.js")
echo "$scripts_out"
grep -Fxq "serial number   VB2026000001" <<<"$scripts_out" || fail "the control does not read the session's key"
grep -Fxq "certificate     张三" <<<"$scripts_out" || fail "the control's answer is not in UTF-8"

echo "== the page reads the key, and may initialise it (its origin was added)"
open_page 1 "&read=1"
report_of 1
expect 1 "state 3"
expect 1 "serial VB2026000001"
expect 1 "holder 张三"
expect 1 "tries 8"
expect 1 "init true"

echo "== the key pulled out with the command's tokenctl"
"$top/scripts/try-pages" --state "$work/state" tokenctl remove sample || fail "tokenctl remove failed"
open_page 2 ""
expect 2 "state 2"

echo "== Enter stops it, and nothing of it stays"
echo >&3
if wait_for 60 eval '! kill -0 "$session" 2>/dev/null'; then
  status=0
  wait "$session" || status=$?
  session=
  [ "$status" -eq 0 ] || fail "try-pages ended with $status"
else
  fail "try-pages did not stop on Enter"
fi
grep -q '^try-pages: stopped' "$work/session.log" || fail "no 'stopped' line"
port_open "$page_port" && fail "the page server still runs"
port_open "$bridge_port" && fail "the bridge still runs"
[ "$(sha256sum "$top/dist/RVControl.ini" "$top/build/win/bin/RVControl.ini")" = "$settings_before" ] ||
  fail "the build's or dist's settings file changed"

echo "== --check: the starter page, with a console error of the developer's, as a public site"
mkdir -p "$work/checked"
sed 's|</html>|<script>console.error("the page says: checked")</script>\n</html>|' "$top/web/starter/index.html" \
  >"$work/checked/index.html"
status=0
"$top/scripts/try-pages" --check "$work/checked" --no-build --state "$work/state" --port "$page_port" \
  --bridge-port "$bridge_port" >"$work/check.log" 2>&1 || status=$?
cat "$work/check.log"
[ "$status" -eq 0 ] || fail "--check ended with $status"
with_policy=$(sed -n '/^== with the/,/^== without/p' "$work/check.log")
without_policy=$(sed -n '/^== without/,$p' "$work/check.log")
for line in "access state: granted" "  the page says: checked" "  Serial number: VB2026000001" "  Certificate holder: 张三"; do
  grep -Fxq -- "$line" <<<"$with_policy" || fail "with the policy, --check does not print \"$line\""
done
for line in "access state: prompt" "  Serial number: –"; do
  grep -Fxq -- "$line" <<<"$without_policy" || fail "without the policy, --check does not print \"$line\""
done
ls /etc/chromium/policies/managed/brevant-try-pages-check.json 2>/dev/null && fail "--check left its policy file"

echo "== a dev server of the developer's own: --origin alone serves nothing"
"$top/scripts/try-pages" --no-build --state "$work/state" --port "$page_port" --bridge-port "$bridge_port" \
  --origin http://localhost:5173 <"$work/enter" >"$work/own-server.log" 2>&1 &
session=$!
exec 3>"$work/enter"
wait_for 180 grep -q '^try-pages: ready' "$work/own-server.log" || fail "try-pages --origin did not come up"
tr -d '\r' <"$work/own-server.log" | grep '^try-pages: \(page\|client\|bridge\)'
grep -q "^try-pages: page .*none served here: your own server at http://localhost:5173" "$work/own-server.log" ||
  fail "no line says the developer's server serves the pages"
grep -q "^try-pages: client   npm install .*corvane-client-.*\.tgz" "$work/own-server.log" || fail "no package named for the dev server"
grep -Eq "^try-pages: bridge .* http://localhost:5173 " "$work/own-server.log" || fail "the dev server's origin is not a bank's site"
port_open "$page_port" && fail "a page server runs though --origin came alone"
echo >&3
wait_for 60 eval '! kill -0 "$session" 2>/dev/null' || fail "try-pages --origin did not stop on Enter"
session=

[ "$failures" -eq 0 ] && echo "try-pages: all checks passed"
[ "$failures" -eq 0 ]
