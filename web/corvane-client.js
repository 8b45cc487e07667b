// Browser-side client of Corvane, the local bridge to the user's PKI key.
//
//   import { CorvaneClient } from './corvane-client.js';
//   const key = new CorvaneClient();
//   await key.connect();
//   const serial = await key.getUsbkeySN();
//
// The bridge answers each request with one reply and replies carry no request
// id, so the client sends one request at a time and queues the rest. Every
// call resolves with the parsed reply object (or, for the named helpers, the
// reply's value) and rejects with a CorvaneError when the bridge gives an
// empty reply (its way of saying the operation failed), when the socket
// closes, or when no reply comes in time. After a time-out the socket is
// closed: a late reply would otherwise be taken as the answer to the next
// request. Call connect() again to go on.
//
// Chromium-based browsers (Chrome and Edge 147 and later) hold back a public
// site's connection to the loopback address unless the user or the machine's
// policy allows that site to reach "apps and services on this device". When
// connect() fails, the client asks the browser whether that is why, so that
// the page can tell "blocked by the browser" from "the bridge is not
// running"; accessState() asks the same beforehand.

export const DEFAULT_BRIDGE_URL = 'ws://127.0.0.1:20407';
export const DEFAULT_TIMEOUT_MS = 10000;

// What one frame may carry: the bridge reads 2048 bytes at a time and a
// browser's frame header for this size takes 8 of them.
const MAX_FRAME_BYTES = 2048;
const MAX_REQUEST_BYTES = MAX_FRAME_BYTES - 8;

// The reply's "FunName" for each request's: the same, except for unblocking.
const replyName = (funName) => (funName === 'esKeyUnblockUsrPin' ? 'HCOMunlockpin' : funName);

// The operations that wipe the key or spend its administrator PIN's tries.
// The bridge serves them only to programs and to the pages of the bank's
// sites (the list in RVControl.ini beside it); any other page gets an empty
// reply.
const KEY_CHANGING = new Set(['KeyInit', 'esKeyUnblockUsrPin']);

// What a page shown in a browser tab is told when the browser keeps it from
// the bridge.
const BLOCKED_ADVICE = 'the browser does not let this site reach the key software on this computer: ' +
  'allow the site to reach "apps and services on this device" in the browser\'s site settings ' +
  '(the lock or settings icon left of the address), then reload the page';

// A page served from the loopback address itself is not held back (Chromium
// 156 still answers "prompt" for it).
function servedFromLoopback() {
  const host = globalThis.location?.hostname;
  if (typeof host !== 'string') return false;
  return host === 'localhost' || host === '[::1]' || host === '::1' || /^127\.\d+\.\d+\.\d+$/.test(host);
}

// 'granted', 'prompt', 'denied', or 'unknown' where the browser has no such
// permission (it does not hold the loopback address back, or cannot say).
async function loopbackAccessState() {
  if (servedFromLoopback()) return 'granted';
  const permissions = globalThis.navigator?.permissions;
  if (typeof permissions?.query !== 'function') return 'unknown';
  try {
    const { state } = await permissions.query({ name: 'loopback-network' });
    return ['granted', 'prompt', 'denied'].includes(state) ? state : 'unknown';
  } catch {
    return 'unknown'; // a browser that does not know the permission's name
  }
}

export class CorvaneError extends Error {
  // reason: 'empty-reply', 'origin-not-allowed', 'closed', 'timeout',
  // 'connect-failed', 'blocked-by-browser', 'bad-reply' or 'too-long'
  constructor(reason, message) {
    super(message);
    this.name = 'CorvaneError';
    this.reason = reason;
  }
}

function emptyReplyError(funName) {
  if (!KEY_CHANGING.has(funName))
    return new CorvaneError('empty-reply', 'the bridge could not carry out the request');
  const origin = globalThis.location?.origin ?? 'this page';
  const orNoKey = funName === 'KeyInit' ? ', or no key could be opened' : '';
  return new CorvaneError('origin-not-allowed',
    `the bridge refused ${funName}: ${origin} is not one of the bank's sites${orNoKey}`);
}

export class CorvaneClient {
  constructor({ url = DEFAULT_BRIDGE_URL, timeoutMs = DEFAULT_TIMEOUT_MS, WebSocketImpl } = {}) {
    this.url = url;
    this.timeoutMs = timeoutMs;
    this.WebSocketImpl = WebSocketImpl || globalThis.WebSocket;
    this.socket = null;
    this.pending = null; // { resolve, reject, timer, funName, expectedName } of the request on the wire
    this.connecting = null; // { reject, timer } of a connect() under way
    this.queue = Promise.resolve();
  }

  // Whether the browser lets this page reach the bridge: 'granted',
  // 'prompt' (the browser would ask, or refuse where it cannot ask),
  // 'denied' or 'unknown'.
  accessState() {
    return loopbackAccessState();
  }

  get connected() {
    return this.socket !== null && this.socket.readyState === 1;
  }

  // Opens the socket; resolves when the bridge accepted it. A new connect()
  // or close() ends an attempt still under way (rejected as 'closed').
  connect() {
    this.close();
    return new Promise((resolve, reject) => {
      let socket;
      try {
        socket = new this.WebSocketImpl(this.url);
      } catch (error) {
        reject(new CorvaneError('connect-failed', `cannot open ${this.url}: ${error.message}`));
        return;
      }
      this.socket = socket;
      // Held back by the browser, or no bridge there: the browser knows.
      const failed = async (reason, message) => {
        const state = await loopbackAccessState();
        reject(state === 'prompt' || state === 'denied'
          ? new CorvaneError('blocked-by-browser', `${BLOCKED_ADVICE} (access to ${this.url}: ${state})`)
          : new CorvaneError(reason, message));
      };
      const attempt = {
        reject,
        timer: setTimeout(() => {
          if (this.connecting === attempt) this.connecting = null;
          if (this.socket === socket) this.close();
          // A browser that asks the user holds the connection meanwhile.
          failed('timeout', `no answer from ${this.url} within ${this.timeoutMs} ms`);
        }, this.timeoutMs),
      };
      this.connecting = attempt;
      const settle = () => {
        clearTimeout(attempt.timer);
        if (this.connecting === attempt) this.connecting = null;
      };
      socket.onopen = () => {
        settle();
        resolve();
      };
      socket.onmessage = (event) => this.onReply(event.data);
      socket.onclose = () => {
        const opening = this.connecting === attempt;
        settle();
        if (this.socket === socket) this.socket = null;
        if (opening) failed('connect-failed', `the bridge at ${this.url} is not running`);
        this.failPending(new CorvaneError('closed', 'the connection to the bridge closed'));
      };
      socket.onerror = () => {}; // a close event follows with what matters
    });
  }

  close() {
    const socket = this.socket;
    this.socket = null;
    if (socket) {
      socket.onopen = socket.onmessage = socket.onclose = socket.onerror = null;
      socket.close();
    }
    const attempt = this.connecting;
    this.connecting = null;
    if (attempt) {
      clearTimeout(attempt.timer);
      attempt.reject(new CorvaneError('closed', 'the connection attempt was given up'));
    }
    this.failPending(new CorvaneError('closed', 'the connection to the bridge closed'));
  }

  // Sends {FunName: funName, ...members} once every earlier request has its
  // reply; resolves with the parsed reply object.
  call(funName, members = {}) {
    const { FunName: ignored, ...others } = members;
    const request = JSON.stringify({ FunName: funName, ...others });
    const result = this.queue.then(() => this.send(request, funName));
    this.queue = result.catch(() => {}); // one failure does not stop the queue
    return result;
  }

  send(request, funName) {
    return new Promise((resolve, reject) => {
      if (!this.connected) {
        reject(new CorvaneError('closed', 'not connected to the bridge'));
        return;
      }
      // The bridge reads a frame in one receive of MAX_FRAME_BYTES: a longer
      // one would come back as two replies and shift every later answer.
      if (new TextEncoder().encode(request).length > MAX_REQUEST_BYTES) {
        reject(new CorvaneError('too-long', 'the request is too long for the bridge'));
        return;
      }
      const timer = setTimeout(() => {
        const error = new CorvaneError('timeout', `no reply from the bridge within ${this.timeoutMs} ms`);
        this.failPending(error);
        this.close();
      }, this.timeoutMs);
      this.pending = { resolve, reject, timer, funName, expectedName: replyName(funName) };
      this.socket.send(request);
    });
  }

  onReply(data) {
    const pending = this.pending;
    if (!pending) return; // nothing asked: not ours to interpret
    this.pending = null;
    clearTimeout(pending.timer);
    if (typeof data !== 'string' || data === '') {
      pending.reject(emptyReplyError(pending.funName));
      return;
    }
    let reply;
    try {
      reply = JSON.parse(data);
    } catch {
      pending.reject(new CorvaneError('bad-reply', 'the bridge sent a reply that is not JSON'));
      return;
    }
    if (reply === null || typeof reply !== 'object' || Array.isArray(reply)) {
      pending.reject(new CorvaneError('bad-reply', 'the bridge sent a reply that is not an object'));
      return;
    }
    if (reply.FunName !== pending.expectedName) {
      // Replies and requests are out of step: nothing later can be trusted.
      pending.reject(new CorvaneError('bad-reply', `the bridge answered ${reply.FunName} to another request`));
      this.close();
      return;
    }
    pending.resolve(reply);
  }

  failPending(error) {
    const pending = this.pending;
    if (!pending) return;
    this.pending = null;
    clearTimeout(pending.timer);
    pending.reject(error);
  }

  async value(funName, member, members) {
    const reply = await this.call(funName, members);
    if (!(member in reply)) throw new CorvaneError('bad-reply', `the reply to ${funName} has no ${member}`);
    return reply[member];
  }

  // 1: device library missing, 2: no key, 3: one key, 4: several keys.
  getUsbkeyState() { return this.value('GetUsbkeyState', 'UsbkeyState'); }
  getDeviceCount() { return this.value('GetDeviceCount', 'Count'); }
  getUsbkeySN() { return this.value('GetUsbkeySN', 'UsbkeySN'); }
  getCertCN() { return this.value('esKeyGetCertCN', 'CertCN'); }
  getCertDN() { return this.value('GetCertDN', 'CertDN'); }
  getCertSn() { return this.value('GetCertSn', 'CertSn'); }
  getCertBeginDate() { return this.value('GetCertBeginDate', 'CertBeginDate'); }
  getCertEndDate() { return this.value('GetCertEndDate', 'CertEndDate'); }
  getPinRetryCount() { return this.value('esKeyGetPinRetryCount', 'RetryCount'); }
  getErrorCode() { return this.value('esgetErrorCode', 'ErrorCode'); }
  getKeyType() { return this.value('HWGetKeyType', 'KeyType'); }
  getCSP() { return this.value('getCSP', 'CSPName'); }
  // true when the key was initialised; without a password the key's default
  // is used.
  keyInit(password) {
    return this.value('KeyInit', 'Init', password === undefined ? {} : { Param: password });
  }
  // Resolves with the reply object: UnlockpinNum "-1" when the user PIN was
  // reset, otherwise the administrator tries left. Both this and keyInit()
  // reject with 'origin-not-allowed' on pages outside the bank's sites.
  unblockUserPin(adminPin, newUserPin) {
    return this.call('esKeyUnblockUsrPin', { SOpintext: adminPin, NewUserpintext: newUserPin });
  }
}
