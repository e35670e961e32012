// The package as a user gets it: `npm pack`, installed from the tarball into
// a fresh project with no network, then used with require, with import and
// from TypeScript.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const PACKAGE = process.env.GLOSSMITH_PACKAGE || path.join(__dirname, '..');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'glossmith-pack-'));
test.after(() => fs.rmSync(work, { recursive: true, force: true }));

const run = (command, args, options = {}) =>
  execFileSync(command, args, { cwd: path.join(work, 'project'), encoding: 'utf8', ...options });

test('npm pack gives a package that a fresh project installs and uses', async (t) => {
  const npmEnv = { ...process.env, npm_config_cache: path.join(work, 'cache'),
    npm_config_update_notifier: 'false', npm_config_fund: 'false', npm_config_audit: 'false' };
  const tarball = execFileSync('npm', ['pack', '--silent', '--pack-destination', work, PACKAGE],
    { encoding: 'utf8', env: npmEnv }).trim().split('\n').pop();
  fs.mkdirSync(path.join(work, 'project'));
  fs.writeFileSync(path.join(work, 'project/package.json'), '{ "name": "fresh", "version": "1.0.0" }');
  run('npm', ['install', '--offline', '--silent', path.join(work, tarball)], { env: npmEnv });

  const ways = [
    ['require', ['-e', "const { createTranslator } = require('glossmith'); process.stdout.write(createTranslator().translate('hack the planet'))"]],
    ['import', ['--input-type=module', '-e', "import { createTranslator } from 'glossmith'; process.stdout.write(createTranslator().translate('hack the planet'))"]],
    ['default import', ['--input-type=module', '-e', "import glossmith from 'glossmith'; process.stdout.write(glossmith.createTranslator({ direction: 'toEnglish' }).translate('hax0r teh p14n37'))"]],
  ];
  const expected = {
    require: 'hax0r teh p14n37', import: 'hax0r teh p14n37', 'default import': 'hack the planet',
  };
  for (const [name, args] of ways) assert.strictEqual(run(process.execPath, args), expected[name], name);

  const tsc = ['/usr/bin/tsc', path.join(__dirname, '../node_modules/.bin/tsc')].find(fs.existsSync);
  if (!tsc) return t.skip('no TypeScript compiler');
  fs.writeFileSync(path.join(work, 'project/use.ts'), `
import { createTranslator, readSettings, writeSettings, GlossmithError, Translator } from 'glossmith';
const t: Translator = createTranslator({ direction: 'toEnglish', hardcore: 'stored', pairs: [['a', 'b']], letters: { H: '#' } });
const text: string = t.translate('h4x0r');
const bytes: Uint8Array = t.translate(new Uint8Array([104]));
const s = t.stream();
const piece: string = s.feed('x') + s.finish();
const rules = readSettings(writeSettings({ hardcore: true, pairs: [{ find: 'x', replacement: 'y' }] }));
const on: boolean = rules.hardcore;
const { output, alignment } = t.translateAligned('hack');
const span: number = alignment.toTarget(0, 4).end - alignment.pieces()[0].targetBegin;
alignment.free();
try { createTranslator('[General]'); } catch (e) { if (e instanceof GlossmithError) console.log(e.code); }
// @ts-expect-error: a number is no text
t.translate(42);
// @ts-expect-error: no such direction
createTranslator({ direction: 'sideways' });
t.free();
console.log(text, bytes, piece, on, output, span);
`);
  run(tsc, ['--noEmit', '--strict', '--target', 'es2020', '--module', 'commonjs',
    '--moduleResolution', 'node', 'use.ts']);
});
