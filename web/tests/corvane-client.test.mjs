// The bridge client against a scripted socket: one request on the wire at a
// time, and every way a call can fail ends in a rejection that says why.
import { test } from 'node:test';
import assert from 'node:assert/strict';

import { CorvaneClient, CorvaneError } from '../corvane-client.js';

// A WebSocket stand-in whose far end the test plays.
class FakeSocket {
  static last = null;
  static mode = 'open'; // 'open', 'refuse' or 'silent' (never answers)
  constructor(url) {
    this.url = url;
    this.readyState = 0;
    this.sent = [];
    FakeSocket.last = this;
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

test('a second connect gives up the first attempt and keeps its own socket', async () => {
  FakeSocket.mode = 'silent';
  const client = new CorvaneClient({ url: 'ws://127.0.0.1:1', WebSocketImpl: FakeSocket, timeoutMs: 30 });
  const first = client.connect();
  FakeSocket.mode = 'open';
  const second = client.connect();
  await rejectsWith(first, 'closed');
  await second;
  await new Promise((resolve) => setTimeout(resolve, 60)); // past the first attempt's time-out
  assert.equal(client.connected, true);
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
