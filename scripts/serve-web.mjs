#!/usr/bin/env node
// Serves pages on the loopback address: the demo pages (web/) by default, or
// a web developer's folder.
//   node scripts/serve-web.mjs [--port N] [--root DIR] [--once] [--timeout SECONDS]
//                              [--tls-cert PEM --tls-key PEM] [--index NAME]
//                              [--also /PATH=FILE]...
// With a certificate and its key the pages are served over HTTPS, as a
// bank's site serves them. "/" is NAME (default demo.html); each --also
// serves FILE at /PATH unless the root holds a file of that name.
// The first line printed is the address. POST /report prints what a page
// reports; with --once the server then ends (exit 0), or ends with exit 1
// when no report came within the time-out (default 60 s).
//
// The folder is served by sirv (web/node_modules, scripts/web-deps): GET and
// HEAD, a folder's index.html, ETag and ranges, and the usual types by name.
// Files are looked up at each request, so a page saved a moment ago is what
// the browser gets. Names starting with "." (.git, .env) are never served.
import { createServer as createHttpServer } from 'node:http';
import { createServer as createHttpsServer } from 'node:https';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { extname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const top = join(fileURLToPath(new URL('.', import.meta.url)), '..');
let sirv, lookupType;
try {
  const require = createRequire(join(top, 'web', 'package.json'));
  sirv = require('sirv');
  ({ lookup: lookupType } = require('mrmime'));
} catch {
  console.error('serve-web: the page server\'s library is missing: run scripts/web-deps');
  process.exit(2);
}

const args = process.argv.slice(2);
const option = (name, fallback) => {
  const at = args.indexOf(name);
  return at >= 0 && at + 1 < args.length ? args[at + 1] : fallback;
};
const root = resolve(option('--root', join(top, 'web')));
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

// Text goes out as UTF-8; a name of no known type as plain bytes; ".ts" is
// a declarations file here, not an MPEG stream.
function typeOf(path) {
  if (extname(path) === '.ts') return 'text/plain; charset=utf-8';
  return withCharset(lookupType(path));
}
function withCharset(type) {
  const bare = (type ?? '').split(';')[0].trim();
  if (!bare) return 'application/octet-stream';
  return /^text\/|^application\/json$|\+xml$/.test(bare) ? `${bare}; charset=utf-8` : bare;
}

const serveFolder = sirv(root, {
  dev: true,
  etag: true,
  setHeaders: (response, path) => {
    if (extname(path) === '.ts') response.setHeader('Content-Type', typeOf(path));
  },
});
// sirv names the type by the file it found (a folder's index.html too).
function servedWithCharset(response) {
  const writeHead = response.writeHead.bind(response);
  response.writeHead = (code, headers) => {
    if (headers && 'Content-Type' in headers) headers['Content-Type'] = withCharset(headers['Content-Type']);
    return writeHead(code, headers);
  };
  return response;
}

// What --also lends the page, when the folder has no such file.
function serveExtra(request, response, path) {
  let body;
  try {
    body = readFileSync(extras.get(path));
  } catch {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { 'Content-Type': typeOf(path), 'Content-Length': body.length });
  response.end(request.method === 'HEAD' ? undefined : body);
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
  if (request.method !== 'GET' && request.method !== 'HEAD') {
    response.writeHead(405, { Allow: 'GET, HEAD' }).end();
    return;
  }
  if (path.split('/').some((part) => part.startsWith('.') && part !== '.well-known') || path.includes('\0')) {
    response.writeHead(404).end();
    return;
  }
  if (path === '/' && index !== 'index.html') request.url = `/${index}`;
  serveFolder(request, servedWithCharset(response), () => {
    if (extras.has(path)) serveExtra(request, response, path);
    else response.writeHead(404).end();
  });
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
