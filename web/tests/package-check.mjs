// The npm package that scripts/web-package leaves in build/web: its version is
// VERSION's, it holds the current client, and a project of its own installs it
// offline, imports it under Node and gets its types.
//   node web/tests/package-check.mjs
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

import { CorvaneClient } from '../corvane-client.js';

const top = fileURLToPath(new URL('../..', import.meta.url));
const web = join(top, 'web');
const out = join(top, 'build', 'web');
class Failure extends Error {}
const fail = (message) => {
  throw new Failure(message);
};
const run = (command, args, cwd) => {
  try {
    return execFileSync(command, args, { cwd, encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
  } catch (error) {
    fail(`${command} ${args.join(' ')} failed:\n${error.stdout ?? ''}${error.stderr ?? error.message}`);
  }
};

// The declarations name every member of the client's prototype (its inner
// workings are private: not on the prototype at all).
const inner = new Set(['constructor']);
const declarations = readFileSync(join(web, 'corvane-client.d.ts'), 'utf8')
  .split('export declare class CorvaneClient')[1] ?? '';
const undeclared = Object.getOwnPropertyNames(CorvaneClient.prototype)
  .filter((name) => !inner.has(name) && !new RegExp(`^\\s*(readonly\\s+)?${name}\\s*[<(:]`, 'm').test(declarations));

const version = readFileSync(join(top, 'VERSION'), 'utf8').trim();
const tarballs = existsSync(out) ? readdirSync(out).filter((name) => /^corvane-client-.*\.tgz$/.test(name)) : [];
tarballs.sort((a, b) => statSync(join(out, b)).mtimeMs - statSync(join(out, a)).mtimeMs);
const tarball = join(out, tarballs[0] ?? 'none');

let work;
try {
  if (undeclared.length > 0) fail(`corvane-client.d.ts does not declare ${undeclared.join(', ')}`);
  if (tarballs.length === 0) fail(`no corvane-client-*.tgz in ${out}: run scripts/build web`);
  work = mkdtempSync(join(tmpdir(), 'corvane-package-'));
  // What the tarball holds.
  const unpacked = join(work, 'unpacked');
  run('mkdir', [unpacked]);
  run('tar', ['-xzf', tarball, '-C', unpacked]);
  const manifest = JSON.parse(readFileSync(join(unpacked, 'package', 'package.json'), 'utf8'));
  if (manifest.version !== version)
    fail(`${tarballs[0]} has version ${manifest.version}, VERSION ${version}: run scripts/build web`);
  const files = run('tar', ['-tzf', tarball]).split('\n').filter(Boolean).sort();
  const expected = ['package/README.md', 'package/corvane-client.d.ts', 'package/corvane-client.js',
                    'package/package.json'];
  if (JSON.stringify(files) !== JSON.stringify(expected)) fail(`${tarballs[0]} holds ${files.join(', ')}`);
  for (const file of ['corvane-client.js', 'corvane-client.d.ts', 'README.md'])
    if (readFileSync(join(unpacked, 'package', file), 'utf8') !== readFileSync(join(web, file), 'utf8'))
      fail(`${file} in ${tarballs[0]} is not web/${file}: run scripts/build web`);

  // A bank's project: installs the tarball without a registry, imports it.
  const consumer = join(work, 'consumer');
  run('mkdir', [consumer]);
  writeFileSync(join(consumer, 'package.json'), JSON.stringify({ name: 'bank-page', private: true, type: 'module' }));
  run('npm', ['install', '--offline', '--no-audit', '--no-fund', '--loglevel=error', tarball], consumer);
  writeFileSync(join(consumer, 'use.mjs'), [
    "import { CorvaneClient, CorvaneError } from 'corvane-client';",
    "const key = new CorvaneClient();",
    "const error = new CorvaneError('timeout', 'no reply');",
    "if (key.url !== 'ws://127.0.0.1:20407' || key.connected || !(error instanceof Error) || error.reason !== 'timeout' ||",
    "    !(key instanceof EventTarget) || 'send' in key)",
    "  throw new Error('the installed package does not behave as the client');",
    "console.log('imported');",
  ].join('\n'));
  if (run(process.execPath, ['use.mjs'], consumer).trim() !== 'imported') fail('use.mjs printed nothing');

  // Its TypeScript finds the declarations through "exports" (strict: an
  // untyped module would be an error), and they are not `any`.
  const tsc = join(web, 'node_modules', 'typescript', 'bin', 'tsc');
  if (!existsSync(tsc)) fail(`no TypeScript in ${join(web, 'node_modules')}: run scripts/build web`);
  writeFileSync(join(consumer, 'use.ts'), [
    "import { CorvaneClient, CorvaneError } from 'corvane-client';",
    "export const serial: Promise<string> = new CorvaneClient({ timeoutMs: 5000 }).getUsbkeySN();",
    "new CorvaneClient({ autoConnect: true }).addEventListener('close', (event: Event) => void event.type);",
    "// @ts-expect-error not an operation of the bridge",
    "export const misspelt = new CorvaneClient().call('GetUsbKeySN');",
    "// @ts-expect-error not a reason",
    "export const error = new CorvaneError('late', 'x');",
  ].join('\n'));
  writeFileSync(join(consumer, 'tsconfig.json'), JSON.stringify({
    compilerOptions: { strict: true, noEmit: true, module: 'NodeNext', moduleResolution: 'NodeNext',
                       target: 'ES2022', lib: ['ES2022', 'DOM'], types: [] },
    files: ['use.ts'],
  }));
  run(process.execPath, [tsc, '-p', consumer], consumer);
  console.log(`web package: ${tarballs[0]} (version ${version}) installs offline, imports and type-checks`);
} catch (error) {
  if (!(error instanceof Failure)) throw error;
  console.error(`web package: ${error.message}`);
  process.exitCode = 1;
} finally {
  if (work) rmSync(work, { recursive: true, force: true });
}
