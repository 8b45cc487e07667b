#!/usr/bin/env node
// Loads one page in headless Chromium and prints what a developer needs to
// see of it: the client's access state, the console's errors and what the
// page shows once it has settled.
//   node scripts/page-check.mjs URL [CHROMIUM_SWITCH]...
// The switches come after Chromium's own (a fresh profile, nothing that
// reaches beyond this machine). Chromium is driven through the DevTools
// protocol on a pipe (--remote-debugging-pipe: fd 3 in, fd 4 out, messages
// ended by NUL), so no port is opened.
//
// Settled: the load event came, no request is under way (HTTP, a WebSocket
// handshake, a frame sent to a WebSocket without one received since), and
// the page's text has not changed for a second. A page that never settles
// is printed as it is after 30 s, with a line that says so.
// Exit status: 0 when the page loaded, 1 when it did not.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const [url, ...switches] = process.argv.slice(2);
if (!url) {
  console.error('usage: page-check.mjs URL [CHROMIUM_SWITCH]...');
  process.exit(2);
}
const QUIET_MS = 1000;
const LIMIT_MS = 30000;
const profile = mkdtempSync(join(tmpdir(), 'page-check-'));
const browser = spawn('chromium', [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', `--user-data-dir=${profile}`, '--remote-debugging-pipe',
  ...switches, 'about:blank',
], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'], detached: true });
let browserLog = '';
browser.stderr.on('data', (chunk) => { browserLog = (browserLog + chunk).slice(-4000); });

function finish(status) {
  try { process.kill(-browser.pid, 'SIGKILL'); } catch { /* already gone */ }
  rmSync(profile, { recursive: true, force: true });
  process.exit(status);
}
browser.on('exit', (code) => {
  console.error(`page-check: Chromium ended (${code}) before the check was done:\n${browserLog}`);
  finish(1);
});

// The protocol: commands by id, events to whoever listens.
let nextId = 1;
const replies = new Map();
const listeners = [];
let incoming = '';
browser.stdio[4].on('data', (chunk) => {
  incoming += chunk.toString('utf8');
  let end;
  while ((end = incoming.indexOf('\0')) >= 0) {
    const message = JSON.parse(incoming.slice(0, end));
    incoming = incoming.slice(end + 1);
    if (message.id && replies.has(message.id)) {
      const { resolve, reject } = replies.get(message.id);
      replies.delete(message.id);
      if (message.error) reject(new Error(message.error.message));
      else resolve(message.result);
    } else if (message.method) {
      for (const listener of listeners) listener(message);
    }
  }
});
function send(method, params = {}, sessionId) {
  const id = nextId++;
  browser.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + '\0');
  return new Promise((resolve, reject) => replies.set(id, { resolve, reject }));
}

const errors = [];
const pendingRequests = new Set();
const handshaking = new Set();
const unanswered = new Map(); // WebSocket request id: frames sent since the last one received
let loaded = false;
listeners.push(({ method, params }) => {
  switch (method) {
    case 'Page.loadEventFired': loaded = true; break;
    case 'Network.requestWillBeSent': pendingRequests.add(params.requestId); break;
    case 'Network.loadingFinished': pendingRequests.delete(params.requestId); break;
    case 'Network.loadingFailed':
      pendingRequests.delete(params.requestId);
      handshaking.delete(params.requestId);
      break;
    case 'Network.webSocketCreated': handshaking.add(params.requestId); break;
    case 'Network.webSocketHandshakeResponseReceived': handshaking.delete(params.requestId); break;
    case 'Network.webSocketFrameSent':
      unanswered.set(params.requestId, (unanswered.get(params.requestId) ?? 0) + 1);
      break;
    case 'Network.webSocketFrameReceived': unanswered.set(params.requestId, 0); break;
    case 'Network.webSocketClosed':
      handshaking.delete(params.requestId);
      unanswered.delete(params.requestId);
      break;
    case 'Runtime.consoleAPICalled':
      if (params.type === 'error' || params.type === 'assert')
        errors.push(params.args.map((arg) => arg.value ?? arg.description ?? '').join(' '));
      break;
    case 'Runtime.exceptionThrown': {
      const details = params.exceptionDetails;
      errors.push(details.exception?.description?.split('\n')[0] ?? details.text);
      break;
    }
    case 'Log.entryAdded':
      if (params.entry.level === 'error') errors.push(params.entry.text + (params.entry.url ? ` (${params.entry.url})` : ''));
      break;
  }
});
const busy = () => !loaded || pendingRequests.size > 0 || handshaking.size > 0 ||
  [...unanswered.values()].some((count) => count > 0);

const { targetInfos } = await send('Target.getTargets');
const page = targetInfos.find((target) => target.type === 'page');
const { sessionId } = await send('Target.attachToTarget', { targetId: page.targetId, flatten: true });
const inPage = (method, params) => send(method, params, sessionId);
await Promise.all(['Page.enable', 'Runtime.enable', 'Log.enable', 'Network.enable'].map((method) => inPage(method)));
const navigation = await inPage('Page.navigate', { url });
if (navigation.errorText) {
  console.log(`page-check: ${url} did not load: ${navigation.errorText}`);
  finish(1);
}

const evaluate = async (expression) =>
  (await inPage('Runtime.evaluate', { expression, awaitPromise: true, returnByValue: true })).result.value;
const pageText = () => evaluate('document.body ? document.body.innerText : ""');
const started = Date.now();
let text = '';
let sameSince = Date.now();
for (;;) {
  await new Promise((resolve) => setTimeout(resolve, 200));
  const now = loaded ? await pageText() : '';
  if (now !== text || busy()) {
    if (now !== text) text = now;
    sameSince = Date.now();
  }
  if (Date.now() - sameSince >= QUIET_MS) break;
  if (Date.now() - started > LIMIT_MS) {
    console.log(`(the page had not settled after ${LIMIT_MS / 1000} s: ${loaded ? 'a request is still under way' : 'no load event'})`);
    break;
  }
}

const access = await evaluate(`import('/corvane-client.js')
  .then((client) => new client.CorvaneClient().accessState())
  .catch((error) => 'not known: /corvane-client.js did not load (' + error.message + ')')`);
console.log(`access state: ${access}`);
console.log(`console errors: ${errors.length === 0 ? 'none' : ''}`);
for (const error of errors) console.log(`  ${error}`);
console.log('the page shows:');
for (const line of text.split('\n').filter((line) => line.trim() !== '')) console.log(`  ${line}`);
browser.removeAllListeners('exit');
await send('Browser.close').catch(() => {});
finish(0);
