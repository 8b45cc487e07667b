// The page server as a browser meets a web developer's folder.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdtempSync, mkdirSync, writeFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { once } from 'node:events';

const script = new URL('../serve-web.mjs', import.meta.url).pathname;
const folder = mkdtempSync(join(tmpdir(), 'serve-web-'));
const lent = join(folder, '..', `${folder.split('/').pop()}-lent.js`);
let server, address;

before(async () => {
  const files = {
    'index.html': '<p>top</p>',
    'app/index.html': '<p>app</p>',
    'app/main.mjs': 'export const x = 1;',
    'data.json': '{"a":"张"}',
    'logo.svg': '<svg xmlns="http://www.w3.org/2000/svg"/>',
    'mod.wasm': '\0asm',
    'font.woff2': 'wOF2',
    'style.css': 'p{}',
    'main.js.map': '{}',
    'blob.unknownext': 'x',
    'own-client.js': 'mine',
    '.env': 'SECRET=1',
    '.git/config': '[core]',
  };
  for (const [name, body] of Object.entries(files)) {
    mkdirSync(join(folder, name, '..'), { recursive: true });
    writeFileSync(join(folder, name), body);
  }
  writeFileSync(lent, 'lent');
  server = spawn(process.execPath, [script, '--root', folder, '--index', 'index.html',
    '--also', `/client.js=${lent}`, '--also', `/own-client.js=${lent}`], { stdio: ['ignore', 'pipe', 'inherit'] });
  const [line] = await once(server.stdout, 'data');
  address = /^serving (\S+)\//.exec(line.toString())[1];
});
after(() => {
  server.kill();
  rmSync(folder, { recursive: true, force: true });
  rmSync(lent, { force: true });
});

test('answers what a browser asks of the folder', async () => {
  const cases = [
    // method, path, status, type, body
    ['GET', '/', 200, 'text/html; charset=utf-8', '<p>top</p>'],
    ['GET', '/app/', 200, 'text/html; charset=utf-8', '<p>app</p>'],
    ['GET', '/app', 200, 'text/html; charset=utf-8', '<p>app</p>'],
    ['GET', '/app/main.mjs', 200, 'text/javascript; charset=utf-8', 'export const x = 1;'],
    ['GET', '/data.json', 200, 'application/json; charset=utf-8', '{"a":"张"}'],
    ['GET', '/logo.svg', 200, 'image/svg+xml; charset=utf-8'],
    ['GET', '/mod.wasm', 200, 'application/wasm'],
    ['GET', '/font.woff2', 200, 'font/woff2'],
    ['GET', '/style.css', 200, 'text/css; charset=utf-8'],
    ['GET', '/main.js.map', 200, 'application/json; charset=utf-8'],
    ['GET', '/blob.unknownext', 200, 'application/octet-stream'],
    ['HEAD', '/app/main.mjs', 200, 'text/javascript; charset=utf-8', ''],
    // lent files only where the folder has none of its own
    ['GET', '/client.js', 200, 'text/javascript; charset=utf-8', 'lent'],
    ['HEAD', '/client.js', 200, 'text/javascript; charset=utf-8', ''],
    ['GET', '/own-client.js', 200, 'text/javascript; charset=utf-8', 'mine'],
    // nothing outside the folder, nothing hidden, nothing but reading
    ['GET', '/.env', 404],
    ['GET', '/.git/config', 404],
    ['GET', '/app/../.env', 404],
    ['GET', '/%2e%2e/%2e%2e/etc/passwd', 404],
    ['GET', '/missing.js', 404],
    ['GET', '/%E0%A4%A', 400],
    ['POST', '/index.html', 405],
    ['PUT', '/data.json', 405],
  ];
  for (const [method, path, status, type, body] of cases) {
    const response = await fetch(address + path, { method });
    const label = `${method} ${path}`;
    assert.equal(response.status, status, label);
    if (type) assert.equal(response.headers.get('content-type'), type, label);
    const text = await response.text();
    if (body !== undefined) assert.equal(text, body, label);
  }
});

test('serves a file as it is now, not as it was at start', async () => {
  writeFileSync(join(folder, 'later.html'), 'first');
  assert.equal(await (await fetch(`${address}/later.html`)).text(), 'first');
  writeFileSync(join(folder, 'later.html'), 'second');
  assert.equal(await (await fetch(`${address}/later.html`)).text(), 'second');
});
