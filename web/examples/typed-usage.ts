// What a bank page written in TypeScript does with the client: show the key
// and its certificate, and tell the user why when it cannot. Checked with
// `tsc --noEmit -p web` against corvane-client.d.ts; never run by the tests.
import { CorvaneClient, CorvaneError, type LoopbackAccessState, type UsbkeyState } from '../corvane-client.js';

const stateText: Record<UsbkeyState, string> = {
  1: 'the key software is not installed',
  2: 'no key is plugged in',
  3: 'one key',
  4: 'several keys: keep only one plugged in',
};

// A bridge on another port (as the tests start one), with the browser's own socket.
export const testBridge = (port: number) =>
  new CorvaneClient({ url: `ws://127.0.0.1:${port}`, WebSocketImpl: WebSocket });

export interface KeySummary {
  state: string;
  serial?: string;
  holder?: string;
  validUntil?: string;
  pinTriesLeft?: number;
}

// The page's one client: it connects on the first call and again after a
// time-out; a component that reads the key passes its own signal, so that
// leaving the view takes back what it asked for.
export const key = new CorvaneClient({ timeoutMs: 5000, autoConnect: true });

export async function readKey(client = key, signal = AbortSignal.timeout(15000)): Promise<KeySummary> {
  const state = await client.getUsbkeyState({ signal });
  if (state !== 3) return { state: stateText[state] };
  const [serial, holder, validUntil, pinTriesLeft] = await Promise.all([
    client.getUsbkeySN({ signal }), client.getCertCN({ signal }), client.getCertEndDate({ signal }),
    client.getPinRetryCount({ signal }),
  ]);
  return { state: stateText[state], serial, holder, validUntil, pinTriesLeft };
}

// A component's life: what it still waits for when it goes is aborted.
export function mountKeyView(show: (summary: KeySummary | string) => void): () => void {
  const leaving = new AbortController();
  readKey(key, leaving.signal).then(show, (error: unknown) => {
    if (!(error instanceof CorvaneError && error.reason === 'aborted')) show(explain(error));
  });
  // autoConnect reconnects on the next read; until then the view says so.
  const onClose = (event: Event) => show(`the key service went away (${event.type}): read again to reconnect`);
  key.addEventListener('close', onClose);
  return () => {
    leaving.abort();
    key.removeEventListener('close', onClose);
  };
}

export function explain(error: unknown): string {
  if (!(error instanceof CorvaneError)) throw error;
  switch (error.reason) {
    case 'connect-failed': return 'start the key service (Corvane) and reload the page';
    case 'blocked-by-browser': return error.message; // how to allow the site
    case 'empty-reply': return 'the key has no certificate, or could not be read';
    case 'origin-not-allowed': return 'this page may not change the key';
    case 'timeout':
    case 'closed': return 'the key service did not answer: try again';
    case 'aborted': // AbortSignal.timeout() gives a TimeoutError as the reason
      return error.cause instanceof DOMException && error.cause.name === 'TimeoutError'
        ? 'the key took too long to read: try again' : 'cancelled';
    case 'bad-reply':
    case 'too-long': return `internal error in ${error.operation ?? 'connecting'} (${error.message})`;
  }
}

// Connect at once where the browser lets the page through; otherwise wait for
// the user's click, which lets the browser ask.
export async function connectWhenAllowed(key: CorvaneClient, userClick: Promise<void>): Promise<void> {
  const state: LoopbackAccessState = await key.accessState();
  if (state !== 'granted' && state !== 'unknown') await userClick;
  await key.connect();
}

// The whole reply, typed by its operation name.
export async function unlock(key: CorvaneClient, adminPin: string, newPin: string): Promise<boolean> {
  const reply = await key.unblockUserPin(adminPin, newPin);
  const direct = await key.call('GetCertSn', {}, { timeoutMs: 2000 });
  const serial: string = direct.CertSn;
  void serial;
  return reply.UnlockpinNum === '-1';
}

// Mistakes the declarations must catch: each line below is an error, and tsc
// fails when one is not (an `any` declaration would accept them all).
export async function misuse(key: CorvaneClient): Promise<void> {
  // @ts-expect-error the PINs are strings
  await key.unblockUserPin(739264, '24681357');
  // @ts-expect-error the serial number is a string
  const serial: number = await key.getUsbkeySN();
  // @ts-expect-error the option is timeoutMs
  new CorvaneClient({ timeout: 5000 });
  // @ts-expect-error not one of CorvaneError's reasons
  new CorvaneError('timed-out', 'no reply');
  // @ts-expect-error not one of the access states
  if ((await key.accessState()) === 'allowed') return;
  // @ts-expect-error KeyInit's reply has Init, not Count
  const count: number = (await key.call('KeyInit')).Count;
  // @ts-expect-error a misspelt operation
  await key.call('GetUsbKeySN');
  // @ts-expect-error KeyInit takes Param, not Password
  await key.call('KeyInit', { Password: '135790' });
  // @ts-expect-error GetCertSn takes no members
  await key.call('GetCertSn', { Index: 1 });
  // @ts-expect-error Param is a string
  await key.call('KeyInit', { Param: 135790 });
  // @ts-expect-error the per-call option is timeoutMs
  await key.getCertCN({ timeout: 5000 });
  // @ts-expect-error a close event is a plain Event, not a message
  key.addEventListener('close', (event: MessageEvent) => void event.data);
  // @ts-expect-error the inner workings are private
  key.send('{"FunName":"GetUsbkeySN"}');
  void serial, count;
}
