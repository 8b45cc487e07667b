// Browser-side client of Corvane, the local bridge to the user's PKI key.
//
//   import { CorvaneClient } from './corvane-client.js';
//   const key = new CorvaneClient({ autoConnect: true });
//   const serial = await key.getUsbkeySN();
//
// The bridge answers each request with one reply and replies carry no request
// id, so the client sends one request at a time and queues the rest. Every
// call resolves with the parsed reply object (or, for the named helpers, the
// reply's value) and rejects with a CorvaneError when the bridge gives an
// empty reply (its way of saying the operation failed), when the socket
// closes, when no reply comes in time, or when the caller's AbortSignal
// fires; call options the page's code got wrong reject it with a TypeError
// before anything is sent (never a throw: a call always returns a promise).
// After a time-out the socket is closed: a late reply would otherwise
// be taken as the answer to the next request. connect() opens a new one, and
// with autoConnect the next call does so itself.
//
// connect() may be called by every part of a page that needs the key: while
// it is under way they share it, once open it resolves at once. The client
// is an EventTarget and says 'close' whenever an open connection ends.
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
  // 'connect-failed', 'blocked-by-browser', 'bad-reply', 'too-long' or
  // 'aborted'. options.operation: the FunName of the call that failed (none
  // when connecting failed); options.cause: what led to it, as Error's own.
  constructor(reason, message, options) {
    const extra = options !== null && typeof options === 'object' ? options : {};
    super(message, 'cause' in extra ? { cause: extra.cause } : undefined);
    this.name = 'CorvaneError';
    this.reason = reason;
    this.operation = typeof extra.operation === 'string' ? extra.operation : undefined;
  }
}

function emptyReplyError(funName) {
  if (!KEY_CHANGING.has(funName))
    return new CorvaneError('empty-reply', 'the bridge could not carry out the request', { operation: funName });
  const origin = globalThis.location?.origin ?? 'this page';
  const orNoKey = funName === 'KeyInit' ? ', or no key could be opened' : '';
  return new CorvaneError('origin-not-allowed',
    `the bridge refused ${funName}: ${origin} is not one of the bank's sites${orNoKey}`, { operation: funName });
}

const abortedError = (funName, signal) =>
  new CorvaneError('aborted', `${funName} was aborted`, { operation: funName, cause: signal.reason });

// Per-call options come from the page's own code: a mistake there is a
// TypeError of that call, not a silent default. Thrown inside the call's
// promise, so it arrives as the call's rejection.
function callOptions(options) {
  if (options === undefined || options === null) return {};
  if (typeof options !== 'object') throw new TypeError('the call options must be an object');
  const { timeoutMs, signal } = options;
  if (timeoutMs !== undefined && !(typeof timeoutMs === 'number' && timeoutMs > 0 && Number.isFinite(timeoutMs)))
    throw new TypeError(`timeoutMs must be a positive number of milliseconds, not ${String(timeoutMs)}`);
  if (signal !== undefined && (typeof signal?.aborted !== 'boolean' || typeof signal.addEventListener !== 'function'))
    throw new TypeError('signal must be an AbortSignal');
  return { timeoutMs, signal };
}

export class CorvaneClient extends EventTarget {
  #WebSocketImpl;
  #socket = null;
  #opened = false; // #socket has opened: its end is a 'close' event
  #attempt = null; // the connect() under way: { promise, resolve, reject, timer }
  #opening = null; // the connect() the waiting calls wait for (autoConnect)
  #waiting = []; // calls not yet sent, oldest first
  #pending = null; // { call, timer, expectedName } of the request on the wire

  constructor(options) {
    super();
    const { url = DEFAULT_BRIDGE_URL, timeoutMs = DEFAULT_TIMEOUT_MS, autoConnect = false, WebSocketImpl } =
      options ?? {};
    this.url = url;
    this.timeoutMs = timeoutMs;
    this.autoConnect = autoConnect === true;
    this.#WebSocketImpl = WebSocketImpl || globalThis.WebSocket;
  }

  // Whether the browser lets this page reach the bridge: 'granted',
  // 'prompt' (the browser would ask, or refuse where it cannot ask),
  // 'denied' or 'unknown'.
  accessState() {
    return loopbackAccessState();
  }

  get connected() {
    return this.#socket !== null && this.#socket.readyState === 1;
  }

  // Resolves when the bridge accepted the socket: at once when it is open,
  // with the attempt under way when there is one (two parts of a page, or a
  // framework mounting a component twice, must not end each other's),
  // otherwise with a new socket. close() ends an attempt ('closed').
  connect() {
    if (this.connected) return Promise.resolve();
    if (this.#attempt) return this.#attempt.promise;
    if (this.#socket) {
      // One the browser is still closing: its calls are lost with it, and a
      // 'close' listener may have connected again meanwhile.
      this.#end();
      return this.connect();
    }
    const url = this.url;
    const timeoutMs = this.timeoutMs;
    let socket;
    try {
      socket = new this.#WebSocketImpl(url);
    } catch (error) {
      return Promise.reject(new CorvaneError('connect-failed', `cannot open ${url}: ${error?.message ?? error}`,
                                             { cause: error }));
    }
    const attempt = {};
    attempt.promise = new Promise((resolve, reject) => Object.assign(attempt, { resolve, reject }));
    this.#socket = socket;
    this.#attempt = attempt;
    // Held back by the browser, or no bridge there: the browser knows. The
    // attempt stays the one connect() hands out until it says so.
    const failed = async (reason, message) => {
      const state = await loopbackAccessState();
      if (this.#attempt === attempt) this.#attempt = null;
      attempt.reject(state === 'prompt' || state === 'denied'
        ? new CorvaneError('blocked-by-browser', `${BLOCKED_ADVICE} (access to ${url}: ${state})`)
        : new CorvaneError(reason, message));
    };
    attempt.timer = setTimeout(() => {
      if (this.#socket === socket) this.#drop();
      // A browser that asks the user holds the connection meanwhile.
      failed('timeout', `no answer from ${url} within ${timeoutMs} ms`);
    }, timeoutMs);
    socket.onopen = () => {
      clearTimeout(attempt.timer);
      if (this.#attempt === attempt) this.#attempt = null;
      this.#opened = true;
      attempt.resolve();
    };
    socket.onmessage = (event) => this.#onReply(event.data);
    socket.onclose = () => {
      if (this.#socket !== socket) return;
      if (this.#opened) {
        this.#end();
        return;
      }
      clearTimeout(attempt.timer);
      this.#drop();
      failed('connect-failed', `the bridge at ${url} is not running`);
    };
    socket.onerror = () => {}; // a close event follows with what matters
    return attempt.promise;
  }

  // Ends the connection or the attempt under way; the request on the wire
  // and every waiting call reject with 'closed'.
  close() {
    const attempt = this.#attempt;
    this.#attempt = null;
    this.#opening = null;
    if (attempt) {
      clearTimeout(attempt.timer);
      attempt.reject(new CorvaneError('closed', 'the connection attempt was given up'));
    }
    this.#end();
  }

  // Sends {FunName: funName, ...members} once every earlier request has its
  // reply; resolves with the parsed reply object. options: { timeoutMs,
  // signal } for this call only.
  call(funName, members, options) {
    return new Promise((resolve, reject) => {
      const { timeoutMs, signal } = callOptions(options);
      const { FunName: ignored, ...others } = members ?? {};
      const call = { funName, request: JSON.stringify({ FunName: funName, ...others }), timeoutMs, signal,
                     resolve, reject, settled: false };
      if (signal?.aborted) {
        reject(abortedError(funName, signal));
        return;
      }
      if (signal) {
        call.onAbort = () => this.#settle(call, abortedError(funName, signal));
        signal.addEventListener('abort', call.onAbort, { once: true });
      }
      this.#waiting.push(call);
      this.#pump();
    });
  }

  // Sends the oldest waiting call when nothing is on the wire.
  #pump() {
    while (this.#pending === null && this.#opening === null && this.#waiting.length > 0) {
      const call = this.#waiting[0];
      if (call.settled) { // aborted before its turn: never sent
        this.#waiting.shift();
        continue;
      }
      if (!this.connected) {
        if (this.autoConnect) {
          this.#connectForWaiting();
          return;
        }
        this.#waiting.shift();
        this.#settle(call, new CorvaneError('closed', 'not connected to the bridge', { operation: call.funName }));
        continue;
      }
      this.#waiting.shift();
      // The bridge reads a frame in one receive of MAX_FRAME_BYTES: a longer
      // one would come back as two replies and shift every later answer.
      if (new TextEncoder().encode(call.request).length > MAX_REQUEST_BYTES) {
        this.#settle(call, new CorvaneError('too-long', 'the request is too long for the bridge',
                                            { operation: call.funName }));
        continue;
      }
      this.#send(call);
    }
  }

  // autoConnect: the waiting calls go out once connect() resolves and share
  // its failure otherwise; a page's many calls make one attempt, not one each.
  #connectForWaiting() {
    const opening = this.connect();
    this.#opening = opening;
    opening.then(() => {
      if (this.#opening !== opening) return; // close() came first
      this.#opening = null;
      this.#pump();
    }, (error) => {
      if (this.#opening !== opening) return;
      this.#opening = null;
      for (const call of this.#waiting.splice(0)) this.#settle(call, error);
    });
  }

  #send(call) {
    const timeoutMs = call.timeoutMs ?? this.timeoutMs;
    const pending = { call, expectedName: replyName(call.funName) };
    // Runs out for an aborted call too: until its reply comes, the next
    // request cannot go without taking that reply for its own.
    pending.timer = setTimeout(() => {
      if (this.#pending !== pending) return;
      this.#pending = null;
      this.#settle(call, new CorvaneError('timeout', `no reply from the bridge within ${timeoutMs} ms`,
                                          { operation: call.funName }));
      this.#end();
    }, timeoutMs);
    this.#pending = pending;
    this.#socket.send(call.request);
  }

  // The reply settles the call on the wire, unless that call was aborted:
  // then it is only taken off the wire.
  #onReply(data) {
    const pending = this.#pending;
    if (!pending) return; // nothing asked: not ours to interpret
    this.#pending = null;
    clearTimeout(pending.timer);
    const { call } = pending;
    const operation = call.funName;
    if (typeof data !== 'string' || data === '') {
      this.#settle(call, emptyReplyError(operation));
    } else {
      let reply;
      try {
        reply = JSON.parse(data);
      } catch (error) {
        reply = new CorvaneError('bad-reply', 'the bridge sent a reply that is not JSON', { operation, cause: error });
      }
      if (reply instanceof CorvaneError) {
        this.#settle(call, reply);
      } else if (reply === null || typeof reply !== 'object' || Array.isArray(reply)) {
        this.#settle(call, new CorvaneError('bad-reply', 'the bridge sent a reply that is not an object', { operation }));
      } else if (reply.FunName !== pending.expectedName) {
        // Replies and requests are out of step: nothing later can be trusted.
        this.#settle(call, new CorvaneError('bad-reply', `the bridge answered ${reply.FunName} to another request`,
                                            { operation }));
        this.#end();
        return;
      } else {
        this.#settle(call, null, reply);
      }
    }
    this.#pump();
  }

  #settle(call, error, reply) {
    if (call.settled) return;
    call.settled = true;
    if (call.onAbort) call.signal.removeEventListener('abort', call.onAbort);
    if (error) call.reject(error);
    else call.resolve(reply);
  }

  // Lets go of the socket; true when it had opened.
  #drop() {
    const socket = this.#socket;
    const opened = this.#opened;
    this.#socket = null;
    this.#opened = false;
    if (!socket) return false;
    socket.onopen = socket.onmessage = socket.onclose = socket.onerror = null;
    socket.close();
    return opened;
  }

  // The connection ends: the request on the wire and every waiting call
  // reject with 'closed', then the listeners hear of it (the state they see
  // is the closed one, so one may connect() again at once).
  #end() {
    const opened = this.#drop();
    const pending = this.#pending;
    this.#pending = null;
    const calls = this.#waiting.splice(0);
    if (pending) {
      clearTimeout(pending.timer);
      calls.unshift(pending.call);
    }
    for (const call of calls)
      this.#settle(call, new CorvaneError('closed', 'the connection to the bridge closed', { operation: call.funName }));
    if (opened) this.dispatchEvent(new Event('close'));
  }

  async #value(funName, member, members, options) {
    const reply = await this.call(funName, members, options);
    if (!(member in reply))
      throw new CorvaneError('bad-reply', `the reply to ${funName} has no ${member}`, { operation: funName });
    return reply[member];
  }

  // options of every helper: { timeoutMs, signal }, as for call().
  // 1: device library missing, 2: no key, 3: one key, 4: several keys.
  getUsbkeyState(options) { return this.#value('GetUsbkeyState', 'UsbkeyState', undefined, options); }
  getDeviceCount(options) { return this.#value('GetDeviceCount', 'Count', undefined, options); }
  getUsbkeySN(options) { return this.#value('GetUsbkeySN', 'UsbkeySN', undefined, options); }
  getCertCN(options) { return this.#value('esKeyGetCertCN', 'CertCN', undefined, options); }
  getCertDN(options) { return this.#value('GetCertDN', 'CertDN', undefined, options); }
  getCertSn(options) { return this.#value('GetCertSn', 'CertSn', undefined, options); }
  getCertBeginDate(options) { return this.#value('GetCertBeginDate', 'CertBeginDate', undefined, options); }
  getCertEndDate(options) { return this.#value('GetCertEndDate', 'CertEndDate', undefined, options); }
  getPinRetryCount(options) { return this.#value('esKeyGetPinRetryCount', 'RetryCount', undefined, options); }
  getErrorCode(options) { return this.#value('esgetErrorCode', 'ErrorCode', undefined, options); }
  getKeyType(options) { return this.#value('HWGetKeyType', 'KeyType', undefined, options); }
  getCSP(options) { return this.#value('getCSP', 'CSPName', undefined, options); }
  // true when the key was initialised; without a password the key's default
  // is used.
  keyInit(password, options) {
    return this.#value('KeyInit', 'Init', password === undefined ? {} : { Param: password }, options);
  }
  // Resolves with the reply object: UnlockpinNum "-1" when the user PIN was
  // reset, otherwise the administrator tries left. Both this and keyInit()
  // reject with 'origin-not-allowed' on pages outside the bank's sites.
  unblockUserPin(adminPin, newUserPin, options) {
    return this.call('esKeyUnblockUsrPin', { SOpintext: adminPin, NewUserpintext: newUserPin }, options);
  }
}
