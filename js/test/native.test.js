// The package against the native library, cell by cell: for each rule set (a
// settings file), direction, mode and input, translate gives the bytes of
// glossmith-cli, which runs the native C API, on the same settings file.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { createTranslator, defaultLetters } = require(process.env.GLOSSMITH_PACKAGE || '..');
const { settingsFile, randomWords, randomBytes } = require('./tables');

const CLI = process.env.GLOSSMITH_CLI || path.join(__dirname, '../../build/bin/glossmith-cli');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'glossmith-js-'));
test.after(() => fs.rmSync(work, { recursive: true, force: true }));

const edited = { A: 'b', B: 'aa', E: '', H: '|-|' };
const ruleSets = {
  'built-in': { text: settingsFile(), randomSize: 1 << 18 },
  'edited alphabet': { text: settingsFile({ letters: edited }), randomSize: 1 << 18 },
  'odd pairs': {
    text: settingsFile({
      pairs: [['dude', 'd00d'], ['x', ''], ['hack', 'h4x\nh4x'], ['line\n', '|'],
        ['é', 'e\u0301'], ['\u{1F600}', ':)']],
    }),
    randomSize: 1 << 18,
  },
  'self-feeding pairs': {
    text: settingsFile({
      pairs: Array.from({ length: 24 }, (_, i) => [`a${i % 7}`, `a${(i + 1) % 7}a${i % 7}`]),
    }),
    randomSize: 1 << 18,
  },
  '30000 pairs': { text: settingsFile({ pairs: randomWords(30000, 7) }), randomSize: 1 << 16 },
  'stored Hardcore on': {
    text: '[General]\r\nusehard=yes\r\n' + settingsFile({ pairs: [['planet', 'w0rld']] }),
    randomSize: 1 << 12,
  },
};

const prose = 'Hack the planet, dude: \u00e9lite h\u00e4x0rs \u2713 rock \u{1F600} the elite hackers';
const inputs = {
  'empty': Buffer.alloc(0),
  'utf-8': Buffer.from(prose),
  'nul bytes': Buffer.from('the\0dude\0a\0b rocks\0'),
  'cr lf': Buffer.from('you rock\r\nthe elite hackers\r\nline\r\nline\n'),
  'byte order mark': Buffer.from('\uFEFFthe hacker'),
};

function native(settingsPath, toEnglish, hardcore, input) {
  const inputPath = path.join(work, 'input');
  fs.writeFileSync(inputPath, input);
  const flags = [...(toEnglish ? ['-r'] : []), ...(hardcore === 'stored' ? [] :
    [hardcore ? '--hardcore' : '--standard'])];
  const run = spawnSync(CLI, [...flags, '-j', '1', '--settings', settingsPath, inputPath],
    { maxBuffer: 1 << 30 });
  assert.strictEqual(run.status, 0, run.stderr.toString());
  return run.stdout;
}

for (const [name, { text, randomSize }] of Object.entries(ruleSets)) {
  test(`${name}: every direction, mode and input as the native library`, () => {
    const settingsPath = path.join(work, 'settings.ini');
    fs.writeFileSync(settingsPath, text);
    const cells = { ...inputs, 'random bytes': randomBytes(randomSize, 11) };
    for (const direction of ['toL33t', 'toEnglish']) {
      for (const hardcore of [false, true, 'stored']) {
        const translator = createTranslator({ settings: text, direction, hardcore });
        for (const [inputName, input] of Object.entries(cells)) {
          const cell = `${direction}, hardcore ${hardcore}, ${inputName}`;
          const expected = native(settingsPath, direction === 'toEnglish', hardcore, input);
          const bytes = translator.translate(new Uint8Array(input));
          assert.ok(bytes instanceof Uint8Array, cell);
          assert.ok(Buffer.from(bytes).equals(expected), cell);
          if (inputName !== 'random bytes')
            assert.strictEqual(translator.translate(input.toString()), expected.toString(), cell);
        }
        translator.free();
      }
    }
  });
}

test('rules given as options compile to the rules of the same settings', () => {
  const pairs = randomWords(3000, 5);
  const letters = { a: '/-\\', Q: '0_', z: '' };
  const settings = settingsFile({ pairs, letters: { A: '/-\\', Q: '0_', Z: '' } });
  for (const direction of ['toL33t', 'toEnglish']) {
    const fromOptions = createTranslator({ pairs, letters, direction, hardcore: true });
    const fromObjects = createTranslator({
      pairs: pairs.map(([find, replacement]) => ({ find, replacement })), letters, direction,
      hardcore: true,
    });
    const fromSettings = createTranslator({ settings, direction, hardcore: true });
    assert.strictEqual(fromOptions.digest, fromSettings.digest, direction);
    assert.strictEqual(fromObjects.digest, fromSettings.digest, direction);
  }
  // Letters the settings leave out are empty, as in the window; options
  // start from the built-in alphabet.
  const bare = createTranslator({ settings: '[General]\n', hardcore: true });
  const empty = Object.fromEntries(Object.keys(defaultLetters()).map((letter) => [letter, '']));
  assert.strictEqual(bare.digest, createTranslator({ letters: empty, hardcore: true }).digest);
  assert.strictEqual(createTranslator({ hardcore: true }).translate('hi'), '|-| ! ');
});
