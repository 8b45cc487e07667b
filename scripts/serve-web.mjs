#!/usr/bin/env node
// Serves the demo pages (web/) on the loopback address.
//   node scripts/serve-web.mjs [--port N] [--root DIR] [--once] [--timeout SECONDS]
//                              [--tls-cert PEM --tls-key PEM] [--index NAME]
//                              [--also /PATH=FILE]...
// With a certificate and its key the pages are served over HTTPS, as a
// bank's site serves them. "/" is NAME (default demo.html); each --also
// serves FILE at /PATH unless the root holds a file of that name.
// The first line printed is the address. POST /report prints what a page
// reports; with --once the server then ends (exit 0), or ends with exit 1
// when no report came within the time-out (default 60 s).
import { createServer as createHttpServer } from 'node:http';
import { createServer as createHttpsServer } from 'node:https';
import { readFileSync } from 'node:fs';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

const args = process.argv.slice(2);
const option = (name, fallback) => {
  const at = args.indexOf(name);
  return at >= 0 && at + 1 < args.length ? args[at + 1] : fallback;
};
const root = resolve(option('--root', join(fileURLToPath(new URL('.', import.meta.url)), '..', 'web')));
const port = Number(option('--port', '0'));
const once = args.includes('--once');
const timeoutSeconds = Number(option('--timeout', '60'));
const tlsCert = option('--tls-cert', null);
const tlsKey = option('--tls-key', null);
const index = option('--index', 'demo.html');
const extras = new Map();
args.forEach((arg, at) => {
  if (arg !== '--also' || at + 1 >= args.length) return;
  const [path, file] = args[at + 1].split(/=(.*)/s);
  if (!path.startsWith('/') || !file) {
    console.error(`serve-web: --also takes /PATH=FILE, not ${args[at + 1]}`);
    process.exit(2);
  }
  extras.set(path, resolve(file));
});
if ((tlsCert === null) !== (tlsKey === null)) {
  console.error('serve-web: --tls-cert and --tls-key go together');
  process.exit(2);
}
const scheme = tlsCert ? 'https' : 'http';
const createServer = (handler) =>
  tlsCert ? createHttpsServer({ cert: readFileSync(tlsCert), key: readFileSync(tlsKey) }, handler)
    : createHttpServer(handler);

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.json': 'application/json; charset=utf-8',
  '.ts': 'text/plain; charset=utf-8',
};

// The page's own file first, then what --also lends it.
async function readServed(file, path) {
  try {
    return await readFile(file);
  } catch (error) {
    if (!extras.has(path)) throw error;
    return readFile(extras.get(path));
  }
}

const server = createServer(async (request, response) => {
  let path;
  try {
    path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
  } catch {
    response.writeHead(400).end();
    return;
  }
  if (request.method === 'POST' && path === '/report') {
    const chunks = [];
    for await (const chunk of request) chunks.push(chunk);
    process.stdout.write(Buffer.concat(chunks).toString('utf8'));
    // The browser keeps its connection open: end at once, not on close.
    response.writeHead(204).end(() => {
      if (once) process.exit(0);
    });
    return;
  }
  const file = normalize(join(root, path === '/' ? index : path));
  if (request.method !== 'GET' || !(file === root || file.startsWith(root + sep))) {
    response.writeHead(404).end();
    return;
  }
  try {
    const body = await readServed(file, path);
    response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream' }).end(body);
  } catch {
    response.writeHead(404).end();
  }
});

server.listen(port, '127.0.0.1', () => {
  console.log(`serving ${scheme}://127.0.0.1:${server.address().port}/`);
  if (once) {
    setTimeout(() => {
      console.error(`serve-web: no report within ${timeoutSeconds} s`);
      process.exit(1);
    }, timeoutSeconds * 1000).unref();
  }
});
