// translateAligned against the native C API's alignments: for each rule set,
// direction, mode and input, the pieces and the answers to queries of bytes
// are the C API's; those of strings count UTF-16 units, cover both texts in
// order, and fall only where the C API's pieces do.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { createTranslator } = require(process.env.GLOSSMITH_PACKAGE || '..');
const { settingsFile, randomWords, randomBytes, generator } = require('./tables');

const ROOT = path.join(__dirname, '../..');
const CLI = process.env.GLOSSMITH_CLI || path.join(ROOT, 'build/bin/glossmith-cli');
const LIB = path.join(path.dirname(path.dirname(CLI)), 'lib');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'glossmith-align-'));
test.after(() => fs.rmSync(work, { recursive: true, force: true }));

const helper = path.join(work, 'native_alignment');
execFileSync('cc', ['-O1', '-o', helper, path.join(__dirname, 'native_alignment.c'),
  '-I', path.join(ROOT, 'lib/include'), '-L', LIB, '-lglossmith']);

function native(settings, flags, input, queries) {
  fs.writeFileSync(path.join(work, 'settings.ini'), settings);
  fs.writeFileSync(path.join(work, 'input'), input);
  return JSON.parse(execFileSync(helper, [path.join(work, 'settings.ini'), String(flags),
    path.join(work, 'input'), ...queries.flat().map(String)],
  { env: { ...process.env, LD_LIBRARY_PATH: LIB }, maxBuffer: 1 << 28 }).toString());
}

const ruleSets = {
  'built-in': settingsFile(),
  'odd pairs': settingsFile({
    pairs: [['dude', 'd00d'], ['x', ''], ['hack', 'h4x\nh4x'], ['\u00e9', 'e\u0301'],
      ['\u{1F600}', ':)'], ['\n', '<br>']],
  }),
  '3000 pairs': settingsFile({ pairs: randomWords(3000, 4) }),
};
const inputs = {
  'empty': Buffer.alloc(0),
  'ascii': Buffer.from('Hack the planet, dude!\r\nYou rock the elite hackers, x.'),
  'non-ascii': Buffer.from('caf\u00e9 h\u00e4x0rs \u2713 rock \u{1F600} dude \u00e9\u00e9\r\nthe end'),
  'random bytes': randomBytes(3000, 5),
};

// Random ranges, empty and past the end ones too, as [kind, begin, end].
function queries(sourceSize, targetSize, seed) {
  const next = generator(seed);
  return Array.from({ length: 24 }, (_, i) => {
    const kind = i % 2 ? 's' : 't';
    const size = (kind === 't' ? sourceSize : targetSize) + 2;
    const begin = next() % size;
    return [kind, begin, i % 6 === 0 ? begin : begin + next() % (size - begin)];
  });
}

for (const [name, settings] of Object.entries(ruleSets)) {
  test(`${name}: alignments as the native library's`, () => {
    for (const flags of [0, 1, 2, 3]) {
      const translator = createTranslator({ settings, direction: flags & 1 ? 'toEnglish' : 'toL33t',
        hardcore: Boolean(flags & 2) });
      for (const [inputName, input] of Object.entries(inputs)) {
        const cell = `flags ${flags}, ${inputName}`;
        const { output, alignment } = translator.translateAligned(new Uint8Array(input));
        assert.ok(Buffer.from(output).equals(Buffer.from(translator.translate(new Uint8Array(input)))), cell);
        const asked = queries(input.length, output.length, flags + input.length);
        const expected = native(settings, flags, input, asked);
        assert.deepStrictEqual(alignment.pieces().map((p) =>
          [p.sourceBegin, p.sourceEnd, p.targetBegin, p.targetEnd]), expected.pieces, cell);
        assert.deepStrictEqual(asked.map(([kind, begin, end]) => {
          const r = kind === 's' ? alignment.toSource(begin, end) : alignment.toTarget(begin, end);
          return [r.begin, r.end];
        }), expected.queries, cell);
        alignment.free();

        if (inputName !== 'random bytes') checkStrings(translator, input.toString(), expected.pieces, cell);
      }
      translator.free();
    }
  });
}

// The pieces of a string: in order, covering both strings, each boundary one
// of the byte pieces' boundaries; of ASCII, the byte pieces themselves.
function checkStrings(translator, text, bytePieces, cell) {
  const { output, alignment } = translator.translateAligned(text);
  assert.strictEqual(output, translator.translate(text), cell);
  const pieces = alignment.pieces();
  const bytesBefore = (string, units) => Buffer.byteLength(string.slice(0, units));
  const sourceCuts = new Set(bytePieces.map((p) => p[0]));
  const targetCuts = new Set(bytePieces.map((p) => p[2]));
  let source = 0, target = 0;
  for (const p of pieces) {
    assert.deepStrictEqual([p.sourceBegin, p.targetBegin], [source, target], cell);
    assert.ok(p.sourceEnd > p.sourceBegin, cell);
    assert.ok(sourceCuts.has(bytesBefore(text, p.sourceBegin)), cell);
    assert.ok(targetCuts.has(bytesBefore(output, p.targetBegin)), cell);
    source = p.sourceEnd;
    target = p.targetEnd;
  }
  assert.deepStrictEqual([source, target], [text.length, output.length], cell);
  if (/^[\x00-\x7f]*$/.test(text + output)) {
    assert.deepStrictEqual(pieces.map((p) => [p.sourceBegin, p.sourceEnd, p.targetBegin, p.targetEnd]),
      bytePieces, cell);
  }
  // A selection inside a surrogate pair marks the whole character.
  const emoji = text.indexOf('\u{1F600}');
  if (emoji >= 0) {
    const whole = alignment.toTarget(emoji, emoji + 2);
    assert.deepStrictEqual(alignment.toTarget(emoji + 1, emoji + 1), whole, cell);
  }
  assert.throws(() => alignment.toTarget(2, 1), { code: 'GLS_E_ARGUMENT' }, cell);
  alignment.free();
  assert.throws(() => alignment.pieces(), TypeError, cell);
}
