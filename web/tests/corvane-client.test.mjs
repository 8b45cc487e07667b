// The bridge client against a scripted socket: one request on the wire at a
// time, and every way a call can fail ends in a rejection that says why.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { CorvaneClient, CorvaneError } from '../corvane-client.js';

// A WebSocket stand-in whose far end the test plays.
class FakeSocket {
  static last = null;
  static made = 0;
  static mode = 'open'; // 'open', 'refuse', 'silent' (never answers) or 'throw'
  constructor(url) {
    if (FakeSocket.mode === 'throw') throw new SyntaxError(`bad URL ${url}`);
    this.url = url;
    this.readyState = 0;
    this.sent = [];
    FakeSocket.last = this;
    FakeSocket.made += 1;
    if (FakeSocket.mode !== 'silent')
      setTimeout(() => (FakeSocket.mode === 'refuse' ? this.serverClose() : this.open()), 0);
  }
  open() {
    this.readyState = 1;
    this.onopen?.();
  }
  send(text) {
    this.sent.push(text);
  }
  close() {
    this.readyState = 3;
  }
  reply(text) {
    this.onmessage?.({ data: text });
  }
  serverClose() {
    this.readyState = 3;
    this.onclose?.({});
  }
}

const tick = () => new Promise((resolve) => setTimeout(resolve, 5));

async function connected(options = {}) {
  FakeSocket.mode = 'open';
  const client = new CorvaneClient({ url: 'ws://127.0.0.1:1', WebSocketImpl: FakeSocket, ...options });
  await client.connect();
  return { client, socket: FakeSocket.last };
}

const rejectsWith = (promise, reason) =>
  assert.rejects(promise, (error) => error instanceof CorvaneError && error.reason === reason);

test('requests go out one at a time, each resolved with its own reply', async () => {
  const { client, socket } = await connected();
  const state = client.getUsbkeyState();
  const serial = client.getUsbkeySN();
  await tick();
  assert.deepEqual(socket.sent, ['{"FunName":"GetUsbkeyState"}'], 'the second waits for the first reply');
  socket.reply('{\n\t"FunName":\t"GetUsbkeyState",\n\t"UsbkeyState":\t3\n}');
  assert.equal(await state, 3);
  await tick();
  assert.equal(socket.sent[1], '{"FunName":"GetUsbkeySN"}');
  socket.reply('{"FunName":"GetUsbkeySN","UsbkeySN":"VB2026000001"}');
  assert.equal(await serial, 'VB2026000001');
});

test('an empty reply rejects that call only; the next one goes on', async () => {
  const { client, socket } = await connected();
  const failing = client.getCertSn();
  const next = client.getDeviceCount();
  await tick();
  socket.reply('');
  await rejectsWith(failing, 'empty-reply');
  await tick();
  assert.equal(socket.sent[1], '{"FunName":"GetDeviceCount"}');
  socket.reply('{"FunName":"GetDeviceCount","Count":2}');
  assert.equal(await next, 2);
});

test('a reply that is not JSON, or lacks its value, is refused', async () => {
  const { client, socket } = await connected();
  const garbled = client.call('GetCertSn');
  await tick();
  socket.reply('{"FunName":');
  await rejectsWith(garbled, 'bad-reply');
  const wrong = client.getCertSn();
  await tick();
  socket.reply('{"FunName":"GetCertSn"}');
  await rejectsWith(wrong, 'bad-reply');
});

test('a closed socket rejects the call on the wire and every later one', async () => {
  const { client, socket } = await connected();
  const waiting = client.getCertCN();
  const queued = client.getCertSn();
  await tick();
  socket.serverClose();
  await rejectsWith(waiting, 'closed');
  await rejectsWith(queued, 'closed');
  assert.equal(socket.sent.length, 1);
  assert.equal(client.connected, false);
});

test('no reply in time rejects and closes, so a late reply cannot answer a later call', async () => {
  const { client, socket: first } = await connected({ timeoutMs: 20 });
  const slow = client.getPinRetryCount();
  await rejectsWith(slow, 'timeout');
  assert.equal(client.connected, false);
  await rejectsWith(client.getPinRetryCount(), 'closed');
  await client.connect();
  const next = client.getPinRetryCount();
  await tick();
  first.reply('{"FunName":"esKeyGetPinRetryCount","RetryCount":8}'); // the late one, on the old socket
  FakeSocket.last.reply('{"FunName":"esKeyGetPinRetryCount","RetryCount":7}');
  assert.equal(await next, 7);
});

test('a reply to another request puts the client out of step: rejected and closed', async () => {
  const { client, socket } = await connected();
  const serial = client.getCertSn();
  await tick();
  socket.reply('{"FunName":"GetUsbkeyState","UsbkeyState":3}');
  await rejectsWith(serial, 'bad-reply');
  assert.equal(client.connected, false);
  const notObject = await connected();
  const call = notObject.client.getCertSn();
  await tick();
  notObject.socket.reply('null');
  await rejectsWith(call, 'bad-reply');
});

test('a request too long for one frame of the bridge is refused unsent', async () => {
  const { client, socket } = await connected();
  // 2040 bytes in all is the most one receive of the bridge takes.
  const fits = 'x'.repeat(2040 - JSON.stringify({ FunName: 'KeyInit', Param: '' }).length);
  await rejectsWith(client.keyInit(fits + 'x'), 'too-long');
  await rejectsWith(client.keyInit('密'.repeat(700)), 'too-long'); // counted in UTF-8 bytes
  assert.equal(socket.sent.length, 0);
  const accepted = client.keyInit(fits);
  await tick();
  assert.equal(new TextEncoder().encode(socket.sent[0]).length, 2040);
  socket.reply('{"FunName":"KeyInit","Init":true}');
  assert.equal(await accepted, true);
});

test('connect() is shared while under way, resolves at once when open, reopens once closed', async () => {
  FakeSocket.mode = 'open';
  const client = new CorvaneClient({ url: 'ws://127.0.0.1:1', WebSocketImpl: FakeSocket });
  const before = FakeSocket.made;
  const first = client.connect();
  assert.equal(client.connect(), first, 'a second part of the page joins the attempt');
  await first;
  await client.connect();
  assert.equal(FakeSocket.made - before, 1);
  assert.equal(client.connected, true);
  FakeSocket.last.serverClose();
  await client.connect();
  assert.equal(FakeSocket.made - before, 2);
});

test('a bridge that never answers the opening times out', async () => {
  FakeSocket.mode = 'silent';
  const client = new CorvaneClient({ url: 'ws://127.0.0.1:1', WebSocketImpl: FakeSocket, timeoutMs: 20 });
  await rejectsWith(client.connect(), 'timeout');
  assert.equal(client.connected, false);
});

test('PIN unblocking and initialisation send the bridge member names', async () => {
  const { client, socket } = await connected();
  const unblocked = client.unblockUserPin('739264', '24681357');
  await tick();
  assert.deepEqual(JSON.parse(socket.sent[0]),
                   { FunName: 'esKeyUnblockUsrPin', SOpintext: '739264', NewUserpintext: '24681357' });
  socket.reply('{"FunName":"HCOMunlockpin","UnlockpinNum":"-1"}');
  assert.equal((await unblocked).UnlockpinNum, '-1');
  const initialised = client.keyInit();
  await tick();
  assert.deepEqual(JSON.parse(socket.sent[1]), { FunName: 'KeyInit' }, 'no password: the key default');
  socket.reply('{"FunName":"KeyInit","Init":true}');
  assert.equal(await initialised, true);
});

test('an empty reply to an operation that changes the key says the page may not', async () => {
  const { client, socket } = await connected();
  for (const [call, reason] of [[() => client.keyInit('135790'), 'origin-not-allowed'],
                                [() => client.unblockUserPin('739264', '24681357'), 'origin-not-allowed'],
                                [() => client.getCertSn(), 'empty-reply']]) {
    const refused = call();
    await tick();
    socket.reply('');
    await rejectsWith(refused, reason);
  }
});

// The page's browser as the client sees it: navigator.permissions and the
// page's own address, put in place for one test and taken away after.
async function inBrowser({ permissions, hostname }, body) {
  const saved = ['navigator', 'location'].map((name) => [name, Object.getOwnPropertyDescriptor(globalThis, name)]);
  const define = (name, value) => Object.defineProperty(globalThis, name, { value, configurable: true, writable: true });
  define('navigator', permissions === undefined ? {} : { permissions });
  define('location', { hostname, origin: `https://${hostname}` });
  try {
    await body();
  } finally {
    for (const [name, descriptor] of saved) {
      if (descriptor) Object.defineProperty(globalThis, name, descriptor);
      else delete globalThis[name];
    }
  }
}

const answering = (state) => ({ query: async ({ name }) => (name === 'loopback-network' ? { state } : {}) });
const unknownName = { query: async () => { throw new TypeError('not a valid PermissionName'); } };

test('a refused connection says whether the browser held the page back', async () => {
  const cases = [
    // permissions, page host, accessState(), connect() rejects with
    [answering('granted'), 'ebank.vesbank.example', 'granted', 'connect-failed'],
    [answering('prompt'), 'ebank.vesbank.example', 'prompt', 'blocked-by-browser'],
    [answering('denied'), 'ebank.vesbank.example', 'denied', 'blocked-by-browser'],
    [unknownName, 'ebank.vesbank.example', 'unknown', 'connect-failed'],
    [undefined, 'ebank.vesbank.example', 'unknown', 'connect-failed'],
    [answering('prompt'), '127.0.0.1', 'granted', 'connect-failed'],
    [answering('prompt'), 'localhost', 'granted', 'connect-failed'],
  ];
  for (const [permissions, hostname, state, reason] of cases) {
    await inBrowser({ permissions, hostname }, async () => {
      FakeSocket.mode = 'refuse';
      const client = new CorvaneClient({ url: 'ws://127.0.0.1:1', WebSocketImpl: FakeSocket });
      assert.equal(await client.accessState(), state, `${hostname}, ${state}`);
      await rejectsWith(client.connect(), reason);
    });
  }
});

test('a connection held while the browser asks times out as blocked', async () => {
  await inBrowser({ permissions: answering('prompt'), hostname: 'ebank.vesbank.example' }, async () => {
    FakeSocket.mode = 'silent';
    const client = new CorvaneClient({ url: 'ws://127.0.0.1:1', WebSocketImpl: FakeSocket, timeoutMs: 20 });
    await assert.rejects(client.connect(), (error) => error.reason === 'blocked-by-browser' &&
      error.message.includes('apps and services on this device'));
  });
});

const autoClient = (options = {}) =>
  new CorvaneClient({ url: 'ws://127.0.0.1:1', WebSocketImpl: FakeSocket, autoConnect: true, ...options });

test('autoConnect connects for the first call, and again after a time-out', async () => {
  FakeSocket.mode = 'open';
  const client = autoClient({ timeoutMs: 20 });
  const state = client.getUsbkeyState();
  const count = client.getDeviceCount();
  await tick();
  const first = FakeSocket.last;
  assert.deepEqual(first.sent, ['{"FunName":"GetUsbkeyState"}']);
  first.reply('{"FunName":"GetUsbkeyState","UsbkeyState":3}');
  assert.equal(await state, 3);
  await rejectsWith(count, 'timeout');
  assert.equal(client.connected, false);
  const serial = client.getUsbkeySN();
  await tick();
  assert.notEqual(FakeSocket.last, first);
  FakeSocket.last.reply('{"FunName":"GetUsbkeySN","UsbkeySN":"VB2026000001"}');
  assert.equal(await serial, 'VB2026000001');
});

test('autoConnect against a bridge that is not running: one attempt, every waiting call told why', async () => {
  FakeSocket.mode = 'refuse';
  const client = autoClient();
  const before = FakeSocket.made;
  const calls = [client.getUsbkeyState(), client.getCertCN(), client.call('GetCertSn')];
  for (const call of calls) await rejectsWith(call, 'connect-failed');
  assert.equal(FakeSocket.made - before, 1);
});

test('an aborted call rejects at once and never shifts the replies of later ones', async () => {
  const { client, socket } = await connected();
  // Already aborted: rejected, never sent.
  const reason = new Error('the user left the page');
  await assert.rejects(client.getCertDN({ signal: AbortSignal.abort(reason) }),
                       (error) => error.reason === 'aborted' && error.cause === reason && error.operation === 'GetCertDN');
  // Aborted on the wire; a call queued behind it aborted before its turn.
  const onWire = new AbortController();
  const queued = new AbortController();
  const sent = client.getCertSn({ signal: onWire.signal });
  const skipped = client.getCertCN({ signal: queued.signal });
  const next = client.getUsbkeySN();
  await tick();
  onWire.abort();
  queued.abort();
  await rejectsWith(sent, 'aborted');
  await rejectsWith(skipped, 'aborted');
  await tick();
  assert.deepEqual(socket.sent, ['{"FunName":"GetCertSn"}'], 'the next request waits for the late reply');
  socket.reply('{"FunName":"GetCertSn","CertSn":"1A2B"}');
  await tick();
  assert.deepEqual(socket.sent, ['{"FunName":"GetCertSn"}', '{"FunName":"GetUsbkeySN"}']);
  socket.reply('{"FunName":"GetUsbkeySN","UsbkeySN":"VB2026000001"}');
  assert.equal(await next, 'VB2026000001');
});

test('a call of its own time-out gives up and closes', async () => {
  const { client, socket } = await connected({ timeoutMs: 60000 });
  const started = Date.now();
  await assert.rejects(client.getKeyType({ timeoutMs: 20 }),
                       (error) => error.reason === 'timeout' && error.operation === 'HWGetKeyType');
  assert.ok(Date.now() - started < 1000, 'not the client\'s minute');
  assert.equal(client.connected, false);
  assert.equal(socket.sent.length, 1);
});

test('bad call options reject the call with a TypeError, never throw, and send nothing', async () => {
  const { client, socket } = await connected();
  const calls = {
    call: (options) => client.call('GetCertSn', {}, options),
    getCertSn: (options) => client.getCertSn(options),
    keyInit: (options) => client.keyInit('135790', options),
    unblockUserPin: (options) => client.unblockUserPin('739264', '13572468', options),
  };
  for (const options of ['5000', { timeoutMs: 0 }, { timeoutMs: Infinity }, { timeoutMs: '5' }, { signal: {} }]) {
    for (const [name, make] of Object.entries(calls)) {
      let made;
      assert.doesNotThrow(() => { made = make(options); }, name);
      await assert.rejects(made, TypeError, `${name} ${JSON.stringify(options)}`);
    }
  }
  assert.deepEqual(socket.sent, []);
});

test("'close' is heard once for every connection that opened, never for a refused attempt", async () => {
  const cases = [
    ['the bridge closes', async (client, socket) => socket.serverClose(), 1],
    ['close() on an open socket', async (client) => { client.close(); client.close(); }, 1],
    ['a time-out', async (client) => rejectsWith(client.getCertSn({ timeoutMs: 10 }), 'timeout'), 1],
    ['a reply out of step', async (client, socket) => {
      const call = client.getCertSn();
      socket.reply('{"FunName":"GetCertDN","CertDN":"CN=x"}');
      await rejectsWith(call, 'bad-reply');
    }, 1],
    ['a refused attempt', async (client) => {
      client.close();
      FakeSocket.mode = 'refuse';
      await rejectsWith(client.connect(), 'connect-failed');
    }, 1],
  ];
  for (const [name, end, heard] of cases) {
    const { client, socket } = await connected();
    let closes = 0;
    client.addEventListener('close', () => { closes += 1; });
    await end(client, socket);
    await tick();
    assert.equal(closes, heard, name);
  }
  FakeSocket.mode = 'silent';
  const attempt = new CorvaneClient({ url: 'ws://127.0.0.1:1', WebSocketImpl: FakeSocket });
  let closes = 0;
  attempt.addEventListener('close', () => { closes += 1; });
  const given = attempt.connect();
  attempt.close();
  await rejectsWith(given, 'closed');
  assert.equal(closes, 0, 'an attempt given up never opened');
});

test('errors name the failed operation and what caused them', async () => {
  FakeSocket.mode = 'throw';
  const client = new CorvaneClient({ url: 'wss://bad', WebSocketImpl: FakeSocket });
  await assert.rejects(client.connect(), (error) => error.reason === 'connect-failed' &&
    error.operation === undefined && error.cause instanceof SyntaxError);
  const { client: open, socket } = await connected();
  const garbled = open.getCertEndDate();
  socket.reply('{"FunName":');
  await assert.rejects(garbled, (error) => error.reason === 'bad-reply' &&
    error.operation === 'GetCertEndDate' && error.cause instanceof SyntaxError);
  const old = new CorvaneError('timeout', 'no reply');
  assert.deepEqual([old.reason, old.message, old.operation, 'cause' in old], ['timeout', 'no reply', undefined, false]);
});

test('every helper still sends its operation and gives its member; the inner workings are out of reach', async () => {
  const { client, socket } = await connected();
  const helpers = [
    ['getUsbkeyState', 'GetUsbkeyState', 'UsbkeyState', 3],
    ['getDeviceCount', 'GetDeviceCount', 'Count', 1],
    ['getUsbkeySN', 'GetUsbkeySN', 'UsbkeySN', 'VB2026000001'],
    ['getCertCN', 'esKeyGetCertCN', 'CertCN', '张三'],
    ['getCertDN', 'GetCertDN', 'CertDN', 'CN=张三'],
    ['getCertSn', 'GetCertSn', 'CertSn', '1A2B'],
    ['getCertBeginDate', 'GetCertBeginDate', 'CertBeginDate', '2019-1-5'],
    ['getCertEndDate', 'GetCertEndDate', 'CertEndDate', '2029-1-5'],
    ['getPinRetryCount', 'esKeyGetPinRetryCount', 'RetryCount', 8],
    ['getErrorCode', 'esgetErrorCode', 'ErrorCode', 1002],
    ['getKeyType', 'HWGetKeyType', 'KeyType', 2],
    ['getCSP', 'getCSP', 'CSPName', 'Vesbank CSP'],
  ];
  for (const [helper, funName, member, value] of helpers) {
    const result = client[helper]();
    assert.deepEqual(JSON.parse(socket.sent.at(-1)), { FunName: funName }, helper);
    socket.reply(JSON.stringify({ FunName: funName, [member]: value }));
    assert.equal(await result, value, helper);
  }
  for (const name of ['send', 'socket', 'pending', 'connecting', 'queue', 'onReply', 'failPending', 'value'])
    assert.equal(name in client, false, name);
  assert.ok(client instanceof EventTarget);
});
