// Sends one request to a WebSocket server on the loopback address, as a
// program on this machine does (no Origin header), and prints the reply's
// text. Exits 1 when no reply frame arrives in time.
//   node ws_request.mjs PORT '{"FunName":"GetUsbkeyState"}'
import net from "node:net";
import crypto from "node:crypto";

const [port, request] = process.argv.slice(2);
const key = crypto.randomBytes(16).toString("base64");
const socket = net.connect(Number(port), "127.0.0.1");
const timer = setTimeout(() => fail("no reply in time"), 10000);
let received = Buffer.alloc(0);
let upgraded = false;

function fail(why) {
  console.error(why);
  process.exit(1);
}

function maskedTextFrame(text) {
  const payload = Buffer.from(text, "utf8");
  if (payload.length > 125) fail("request too long for this client");
  const mask = crypto.randomBytes(4);
  const masked = Buffer.from(payload.map((byte, i) => byte ^ mask[i % 4]));
  return Buffer.concat([Buffer.from([0x81, 0x80 | payload.length]), mask, masked]);
}

socket.on("connect", () => {
  socket.write(`GET / HTTP/1.1\r\nHost: 127.0.0.1:${port}\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n` +
               `Sec-WebSocket-Key: ${key}\r\nSec-WebSocket-Version: 13\r\n\r\n`);
});
socket.on("data", (chunk) => {
  received = Buffer.concat([received, chunk]);
  if (!upgraded) {
    const end = received.indexOf("\r\n\r\n");
    if (end < 0) return;
    if (!received.subarray(0, end).toString("latin1").startsWith("HTTP/1.1 101")) fail("handshake refused");
    upgraded = true;
    received = received.subarray(end + 4);
    socket.write(maskedTextFrame(request));
  }
  if (received.length < 2) return;
  let length = received[1] & 0x7f, offset = 2;
  if (length === 126) {
    if (received.length < 4) return;
    length = received.readUInt16BE(2);
    offset = 4;
  } else if (length === 127) {
    fail("reply too long");
  }
  if (received.length < offset + length) return;
  clearTimeout(timer);
  process.stdout.write(received.subarray(offset, offset + length).toString("utf8") + "\n");
  socket.destroy();
});
socket.on("error", (error) => fail(error.message));
