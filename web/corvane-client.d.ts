// Type declarations of corvane-client.js, the browser-side client of Corvane
// (the local WebSocket bridge to the user's PKI key). Kept by hand beside the
// module: a change of its public members changes this file too.

/** The bridge's address: the loopback address only, port 20407. */
export declare const DEFAULT_BRIDGE_URL = 'ws://127.0.0.1:20407';
/** How long connect() and each request wait, in milliseconds. */
export declare const DEFAULT_TIMEOUT_MS = 10000;

/**
 * Why a call failed:
 * - `empty-reply`: the bridge sent an empty reply: it could not carry out
 *   the request. It does so when
 *   - the request cannot be read: a frame it cannot take, text that is not
 *     a JSON object, no FunName or one that is not a string, a `Param` of
 *     KeyInit or a PIN member of esKeyUnblockUsrPin that is not a string;
 *   - the operation is not offered: an unknown FunName (compared exactly),
 *     esKeyCheckUserPin, esKeyVerifyUserPin;
 *   - this page may not call it: KeyInit and esKeyUnblockUsrPin from a page
 *     that is not one of the bank's sites (reason `origin-not-allowed`);
 *   - the key control failed the call: no device library, no key, or the
 *     key could not be opened (GetUsbkeySN, esKeyGetPinRetryCount, KeyInit
 *     and the five certificate operations); the serial number could not be
 *     read (GetUsbkeySN, also for a key pulled out during the call); no
 *     certificate could be read (GetCertDN, GetCertSn, GetCertBeginDate,
 *     GetCertEndDate on a key without one; esKeyGetCertCN only when the key
 *     has containers and none holds a readable certificate: on a key without
 *     any container it answers CertCN "" as a success);
 *   - the reply would not fit in 2047 bytes.
 *
 *   GetUsbkeyState, GetDeviceCount, esgetErrorCode, HWGetKeyType and getCSP
 *   always get their reply, and so does esKeyUnblockUsrPin from a page that
 *   may call it. So it is not a key state: no key is one of its causes, and
 *   no key does not always give it; getUsbkeyState() tells whether a key is
 *   there;
 * - `origin-not-allowed`: the empty reply to KeyInit or esKeyUnblockUsrPin
 *   (keyInit(), unblockUserPin(), or call() with those names): this page is
 *   not one of the bank's sites; for KeyInit also no device library or no
 *   key (see `empty-reply` for every cause);
 * - `closed`: not connected, the socket closed, or close()/connect() gave up
 *   the call or the connection attempt;
 * - `timeout`: no answer within `timeoutMs` (the socket is then closed);
 * - `connect-failed`: the socket could not be created or the bridge is not
 *   running;
 * - `blocked-by-browser`: connect() failed and the browser holds this page
 *   back from the loopback address (its `loopback-network` permission is
 *   "prompt" or "denied"): the user allows the site to reach "apps and
 *   services on this device" in the browser's site settings, or the machine's
 *   policy lists the site;
 * - `bad-reply`: not JSON, not an object, without the expected member, or
 *   naming another operation (the socket is then closed);
 * - `too-long`: the request is over 2040 UTF-8 bytes and was not sent;
 * - `aborted`: the call's `signal` fired (its reason is the error's `cause`);
 *   a request already on the wire still holds back the next one until its
 *   reply comes or it times out.
 */
export type CorvaneErrorReason =
  | 'empty-reply'
  | 'origin-not-allowed'
  | 'closed'
  | 'timeout'
  | 'connect-failed'
  | 'blocked-by-browser'
  | 'bad-reply'
  | 'too-long'
  | 'aborted';

export interface CorvaneErrorOptions {
  /** The FunName of the call that failed. */
  operation?: string;
  /** What led to the failure (Error's own `cause`). */
  cause?: unknown;
}

/**
 * What a call of CorvaneClient rejects with when it fails on its way to the
 * bridge and back. Call options the page's code got wrong reject the call
 * with a TypeError instead (see CorvaneCallOptions).
 */
export declare class CorvaneError extends Error {
  constructor(reason: CorvaneErrorReason, message?: string, options?: CorvaneErrorOptions);
  readonly name: 'CorvaneError';
  readonly reason: CorvaneErrorReason;
  /** The FunName of the call that failed; undefined when connecting failed. */
  readonly operation: string | undefined;
  /**
   * The abort's reason for `aborted`, the exception for a socket that could
   * not be created, the parse error of a reply that is not JSON; absent
   * otherwise.
   */
  readonly cause?: unknown;
}

/**
 * Whether the browser lets this page reach the loopback address: its
 * `loopback-network` permission, "granted" for a page served from the
 * loopback address itself (never held back), "unknown" where the browser has
 * no such permission.
 */
export type LoopbackAccessState = 'granted' | 'prompt' | 'denied' | 'unknown';

/** GetUsbkeyState: 1 device library missing, 2 no key, 3 one key, 4 several keys. */
export type UsbkeyState = 1 | 2 | 3 | 4;

/** Any reply of the bridge: a JSON object naming the operation it answers. */
export interface CorvaneReply {
  FunName: string;
  [member: string]: unknown;
}

/** The reply to esKeyUnblockUsrPin when both PIN members were given. */
export interface UnblockUserPinReply {
  FunName: 'HCOMunlockpin';
  /**
   * "-1": the user PIN was reset; otherwise the administrator tries left
   * ("0" also with no device library, no key, or a key pulled out during the
   * call).
   */
  UnlockpinNum: string;
}

/** The reply to esKeyUnblockUsrPin when a PIN member was missing (nothing was done). */
export interface UnblockUserPinMissingReply {
  FunName: 'HCOMunlockpin';
  SOpintext: 'Param  is null';
  NewUserpintext: 'Param  is null';
}

/**
 * A request without members: `{}` alone would let any member through, and a
 * member the bridge ignores is a mistake of the page.
 */
export type NoMembers = { [member: string]: never };

/** The members each request takes beside FunName. */
export interface CorvaneRequests {
  GetUsbkeyState: NoMembers;
  GetDeviceCount: NoMembers;
  GetUsbkeySN: NoMembers;
  esKeyGetCertCN: NoMembers;
  GetCertDN: NoMembers;
  GetCertSn: NoMembers;
  GetCertBeginDate: NoMembers;
  GetCertEndDate: NoMembers;
  esKeyGetPinRetryCount: NoMembers;
  esgetErrorCode: NoMembers;
  HWGetKeyType: NoMembers;
  getCSP: NoMembers;
  /** Without Param the key's default password is used. */
  KeyInit: { Param?: string };
  esKeyUnblockUsrPin: { SOpintext?: string; NewUserpintext?: string };
}

/** The reply to each request. */
export interface CorvaneReplies {
  GetUsbkeyState: { FunName: 'GetUsbkeyState'; UsbkeyState: UsbkeyState };
  GetDeviceCount: { FunName: 'GetDeviceCount'; Count: number };
  GetUsbkeySN: { FunName: 'GetUsbkeySN'; UsbkeySN: string };
  esKeyGetCertCN: { FunName: 'esKeyGetCertCN'; CertCN: string };
  GetCertDN: { FunName: 'GetCertDN'; CertDN: string };
  GetCertSn: { FunName: 'GetCertSn'; CertSn: string };
  GetCertBeginDate: { FunName: 'GetCertBeginDate'; CertBeginDate: string };
  GetCertEndDate: { FunName: 'GetCertEndDate'; CertEndDate: string };
  esKeyGetPinRetryCount: { FunName: 'esKeyGetPinRetryCount'; RetryCount: number };
  esgetErrorCode: { FunName: 'esgetErrorCode'; ErrorCode: number };
  HWGetKeyType: { FunName: 'HWGetKeyType'; KeyType: number };
  getCSP: { FunName: 'getCSP'; CSPName: string };
  KeyInit: { FunName: 'KeyInit'; Init: boolean };
  esKeyUnblockUsrPin: UnblockUserPinReply | UnblockUserPinMissingReply;
}

/**
 * What the client needs of a socket: the browser's WebSocket fits. The client
 * sets `onopen`, `onmessage` (called with `{ data }`), `onclose` and `onerror`
 * on it, and reads `readyState` (1: open).
 */
export interface CorvaneSocket {
  readonly readyState: number;
  send(data: string): void;
  close(): void;
}

export interface CorvaneClientOptions {
  /** Default DEFAULT_BRIDGE_URL. */
  url?: string;
  /** For connect() and for each request; default DEFAULT_TIMEOUT_MS. */
  timeoutMs?: number;
  /**
   * Every call connects first when the client is not connected (the first
   * call, and the next after a time-out or a close). Default false: a call
   * while not connected rejects with `closed`.
   */
  autoConnect?: boolean;
  /** Default globalThis.WebSocket. */
  WebSocketImpl?: new (url: string) => CorvaneSocket;
}

/**
 * The options every call takes as its last argument. Options that are not an
 * object, a `timeoutMs` that is not a positive finite number, or a `signal`
 * that is not an AbortSignal reject the call with a TypeError (a rejection,
 * never a throw); nothing is sent.
 */
export interface CorvaneCallOptions {
  /** This call's wait for its reply, instead of the client's `timeoutMs`. */
  timeoutMs?: number;
  /** Rejects the call with `aborted`; a call not yet sent is never sent. */
  signal?: AbortSignal;
}

/** The events of CorvaneClient. */
export interface CorvaneClientEventMap {
  /**
   * An open connection ended: the bridge closed it, a time-out or a reply
   * out of step closed it, or close() was called. Not for an attempt that
   * never opened.
   */
  close: Event;
}

/**
 * One connection to the bridge. Requests go out one at a time (replies carry
 * no id) and wait their turn. A call that fails rejects (it never throws):
 * with a CorvaneError, or a TypeError for bad call options.
 */
export declare class CorvaneClient extends EventTarget {
  constructor(options?: CorvaneClientOptions);
  /** Used by the next connect(). */
  url: string;
  /** Used by the next connect() and request. */
  timeoutMs: number;
  /** Whether calls connect when not connected (the option of the same name). */
  autoConnect: boolean;
  /** True while the socket is open. */
  readonly connected: boolean;

  /**
   * Asks the browser whether this page may reach the bridge. A page connects
   * on load when "granted" or "unknown", else on the user's click.
   */
  accessState(): Promise<LoopbackAccessState>;
  /**
   * Resolves when the socket is open: at once when it already is, with the
   * attempt under way when there is one (every caller gets the same
   * promise), else with a new socket. Rejects with `blocked-by-browser` when
   * the browser held the page back, else `connect-failed`, `timeout`, or
   * `closed` when close() gave the attempt up.
   */
  connect(): Promise<void>;
  /**
   * Closes the socket or gives up the attempt under way; the request on the
   * wire and those waiting reject with `closed`.
   */
  close(): void;

  addEventListener<K extends keyof CorvaneClientEventMap>(
    type: K, listener: (this: CorvaneClient, event: CorvaneClientEventMap[K]) => unknown,
    options?: boolean | AddEventListenerOptions): void;
  addEventListener(type: string, listener: EventListenerOrEventListenerObject | null,
                   options?: boolean | AddEventListenerOptions): void;
  removeEventListener<K extends keyof CorvaneClientEventMap>(
    type: K, listener: (this: CorvaneClient, event: CorvaneClientEventMap[K]) => unknown,
    options?: boolean | EventListenerOptions): void;
  removeEventListener(type: string, listener: EventListenerOrEventListenerObject | null,
                      options?: boolean | EventListenerOptions): void;

  /** Sends `{FunName: funName, ...members}` after every earlier request; resolves with the reply. */
  call<F extends keyof CorvaneRequests>(funName: F, members?: CorvaneRequests[F],
                                        options?: CorvaneCallOptions): Promise<CorvaneReplies[F]>;

  getUsbkeyState(options?: CorvaneCallOptions): Promise<UsbkeyState>;
  /** The number of keys present. */
  getDeviceCount(options?: CorvaneCallOptions): Promise<number>;
  /** The serial number of the key listed first (the lowest reader number on the software key). */
  getUsbkeySN(options?: CorvaneCallOptions): Promise<string>;
  /** The certificate subject's display name (esKeyGetCertCN); "" on a key without any container. */
  getCertCN(options?: CorvaneCallOptions): Promise<string>;
  getCertDN(options?: CorvaneCallOptions): Promise<string>;
  /** The certificate's serial number, upper-case hex. */
  getCertSn(options?: CorvaneCallOptions): Promise<string>;
  /** Local date, e.g. "2019-1-5". */
  getCertBeginDate(options?: CorvaneCallOptions): Promise<string>;
  /** Local date, e.g. "2019-1-5". */
  getCertEndDate(options?: CorvaneCallOptions): Promise<string>;
  /** Remaining user-PIN tries; 0 also when the key was pulled out during the call. */
  getPinRetryCount(options?: CorvaneCallOptions): Promise<number>;
  /** 1001 device library not loaded, 1002 key not opened (of the last failure). */
  getErrorCode(options?: CorvaneCallOptions): Promise<number>;
  getKeyType(options?: CorvaneCallOptions): Promise<number>;
  /** The cryptographic provider's name. */
  getCSP(options?: CorvaneCallOptions): Promise<string>;
  /**
   * Formats the key (certificates are lost); without a password the key's
   * default is used. True when it was initialised, false when the key did
   * not take it. Only for the bank's sites: elsewhere, and with no device
   * library or no key, it rejects with `origin-not-allowed`.
   */
  keyInit(password?: string, options?: CorvaneCallOptions): Promise<boolean>;
  /**
   * Sets a new user PIN with the administrator PIN. Resolves with the reply:
   * UnlockpinNum "-1" done, else the administrator tries left. Only for the
   * bank's sites.
   */
  unblockUserPin(adminPin: string, newUserPin: string, options?: CorvaneCallOptions): Promise<UnblockUserPinReply>;
}
