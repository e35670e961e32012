// The JavaScript side of the package: streams against one-shot translation
// for every kind of cut, settings text read and written, errors as
// exceptions, and handles that cannot be used once freed.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const glossmith = require(process.env.GLOSSMITH_PACKAGE || '..');
const { createTranslator, readSettings, writeSettings, defaultLetters, GlossmithError } = glossmith;
const { settingsFile, randomWords, randomBytes, prose, generator } = require('./tables');

const translators = () => [
  ['standard', createTranslator({ hardcore: false })],
  ['hardcore', createTranslator({ hardcore: true })],
  ['to English', createTranslator({ direction: 'toEnglish' })],
  ['pairs across a line break', createTranslator({ pairs: [['a\nb', 'X'], ['\u00e9', '\u{1F600}']] })],
];

// Cuts `text` at `count` random places (of a string: any UTF-16 unit,
// between the halves of a surrogate pair too; of bytes: inside characters).
function pieces(text, count, seed) {
  const next = generator(seed);
  const cuts = Array.from({ length: count }, () => next() % (text.length + 1)).sort((a, b) => a - b);
  const out = [];
  let from = 0;
  for (const cut of [...cuts, text.length]) {
    out.push(text.slice(from, cut));
    from = cut;
  }
  return out;
}

test('streams give the one-shot translation however the text is cut', () => {
  const english = prose(20000, 3) + 'caf\u00e9 \u{1F600}\u{1F600} a\nb \uD800';
  const bytes = Buffer.concat([Buffer.from(english), randomBytes(5000, 9)]);
  for (const [name, translator] of translators()) {
    const whole = translator.translate(english);
    const wholeBytes = Buffer.from(translator.translate(new Uint8Array(bytes)));
    for (const count of [0, 1, 7, 300]) {
      const stream = translator.stream();
      const joined = pieces(english, count, count + 1).map((piece) => stream.feed(piece)).join('');
      assert.strictEqual(joined + stream.finish(), whole, `${name}, ${count} cuts`);

      const byteStream = translator.stream();
      const parts = pieces(new Uint8Array(bytes), count, count + 2).map((p) => byteStream.feed(p));
      parts.push(byteStream.finish());
      assert.ok(Buffer.concat(parts).equals(wholeBytes), `${name}, ${count} cuts of bytes`);
    }
    // One UTF-16 unit at a time: every surrogate pair is cut.
    const tail = english.slice(-40);
    const stream = translator.stream();
    let joined = '';
    for (let i = 0; i < tail.length; ++i) joined += stream.feed(tail[i]);
    assert.strictEqual(joined + stream.finish(), translator.translate(tail), name);
    translator.free();
  }
});

test('settings text read back as written, by the library\'s reader', () => {
  const awkward = [
    ['a;b', 'x, y'], ['  padded  ', '"quoted"'], ['@at', 'back\\slash'], ['key=value', '#'],
    ['nul\0' + '1f', 'tab\tbell\x07'], ['\x01' + 'abc', '\u00e9\u{1F600}'], ['[section]', ';'],
  ];
  const letters = { ...defaultLetters(), M: '|\\/|', Q: '', W: '"w"', X: ' x ' };
  for (const hardcore of [false, true]) {
    const rules = { hardcore, letters, pairs: [...awkward, ...randomWords(100, 2)] };
    assert.deepStrictEqual(readSettings(writeSettings(rules)), rules);
  }
  const window = '[General]\r\nusehard=yes\r\n[change]\r\nsearch=dude\\r\\nhello\\r\\n\r\n' +
    'replace=d00d\\r\\nhowdy\\r\\n\r\n[hardcore]\r\ncustom=yes\r\nH=|-|\r\n';
  const read = readSettings(window);
  assert.deepStrictEqual(read.pairs, [['dude', 'd00d'], ['hello', 'howdy']]);
  assert.strictEqual(read.hardcore, true);
  assert.strictEqual(read.letters.H, '|-|');
  assert.strictEqual(read.letters.A, '');  // not in the file: empty, as in the window
  const bytes = readSettings(Buffer.from(settingsFile({ pairs: [['\u00e9', 'e']] })));
  assert.ok(Buffer.from(bytes.pairs[0][0]).equals(Buffer.from('\u00e9')));
  assert.throws(() => writeSettings({ pairs: [['a\r\nb', 'c']] }), TypeError);
});

test('failures are exceptions with the library\'s messages', () => {
  const cases = [
    ['empty find', () => createTranslator({ pairs: [['', 'x']] }), 'GLS_E_EMPTY_FIND',
      'a find string may not be empty'],
    ['digit as letter', () => createTranslator({ letters: { 1: 'x' } }), 'GLS_E_LETTER',
      'not a letter from A to Z'],
    ['two characters as letter', () => createTranslator({ letters: { AB: 'x' } }), 'GLS_E_LETTER',
      'not a letter from A to Z'],
    ['settings past 64 MiB', () => createTranslator(new Uint8Array((64 << 20) + 1)),
      'GLS_E_SETTINGS', 'the settings file cannot be read'],
    ['feed after finish', () => { const s = createTranslator().stream(); s.finish(); s.feed('x'); },
      'GLS_E_STATE', 'the stream has finished'],
  ];
  for (const [name, run, code, message] of cases) {
    assert.throws(run, (error) => error instanceof GlossmithError && error.code === code &&
      error.message === message, name);
  }
  const typeErrors = [
    ['number as text', () => createTranslator().translate(42)],
    ['unknown direction', () => createTranslator({ direction: 'sideways' })],
    ['unknown mode', () => createTranslator({ hardcore: 'yes' })],
    ['strings and bytes in one stream', () => { const s = createTranslator().stream(); s.feed('a'); s.feed(new Uint8Array(1)); }],
  ];
  for (const [name, run] of typeErrors) assert.throws(run, TypeError, name);
});

test('freed handles refuse to run, and failures leave the module whole', () => {
  const translator = createTranslator();
  const stream = translator.stream();
  translator.free();
  translator.free();
  for (const run of [() => translator.translate('a'), () => translator.stream(),
    () => stream.feed('a'), () => stream.finish(), () => translator.digest]) {
    assert.throws(run, TypeError);
  }
  // Many refused rule sets and texts, then a translation as before.
  for (let i = 0; i < 200; ++i) {
    assert.throws(() => createTranslator({ pairs: [['ok', 'x'], ['', 'y']] }), GlossmithError);
    assert.throws(() => createTranslator().translate({ length: 1e9 }), TypeError);
  }
  using_(createTranslator(), (t) => assert.strictEqual(t.translate('hack the planet'), 'hax0r teh p14n37'));
  assert.match(glossmith.version, /^\d+\.\d+\.\d+$/);
});

// `using` where the language has it; free() through Symbol.dispose either way.
function using_(translator, body) {
  try {
    body(translator);
  } finally {
    (Symbol.dispose ? translator[Symbol.dispose] : translator.free).call(translator);
  }
}
