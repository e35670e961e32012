// Rule sets and inputs the tests share, made the same way each run.
'use strict';

const DEFAULT_ALPHABET = {
  A: '4', B: '8', C: '(', D: '|)', E: '3', F: '|=', G: '6', H: '|-|', I: '!', J: '_|', K: '|<',
  L: '1', M: '|\\/|', N: '|\\|', O: '0', P: '|>', Q: '().', R: '.-', S: '5', T: '7', U: '|_|',
  V: '\\/', W: '\\|/', X: '><', Y: '9', Z: '2',
};

// A value as a settings file holds it: quoted, with C escapes.
function quoted(value) {
  return '"' + value.replace(/\\/g, '\\\\').replace(/"/g, '\\"').replace(/\r/g, '\\r')
    .replace(/\n/g, '\\n') + '"';
}

// Settings text with a Custom list and an alphabet (the defaults, changed
// by `letters`).
function settingsFile({ pairs = [], letters = {} } = {}) {
  const search = pairs.map(([find]) => find + '\r\n').join('');
  const replace = pairs.map(([, replacement]) => replacement + '\r\n').join('');
  const lines = ['[change]', 'search=' + quoted(search), 'replace=' + quoted(replace), '[hardcore]'];
  for (const [letter, symbol] of Object.entries({ ...DEFAULT_ALPHABET, ...letters }))
    lines.push(letter + '=' + quoted(symbol));
  return lines.join('\n') + '\n';
}

// A small fixed generator, so that every run sees the same tables.
function generator(seed) {
  let state = seed >>> 0 || 1;
  return () => {
    state ^= state << 13; state >>>= 0;
    state ^= state >>> 17;
    state ^= state << 5; state >>>= 0;
    return state;
  };
}

// Words to digits: no replacement spells a find string.
function randomWords(count, seed) {
  const next = generator(seed);
  const word = (from, to, alphabet) => Array.from({ length: from + next() % (to - from + 1) },
    () => alphabet[next() % alphabet.length]).join('');
  return Array.from({ length: count },
    () => [word(3, 8, 'abcdefghijklmnop'), word(1, 4, '0123456789')]);
}

function randomBytes(size, seed) {
  const next = generator(seed);
  const bytes = Buffer.alloc(size);
  for (let i = 0; i < size; ++i) bytes[i] = next() & 0xff;
  return bytes;
}

// English prose of about `size` bytes, with line breaks.
function prose(size, seed) {
  const next = generator(seed);
  const words = ['the', 'hacker', 'planet', 'elite', 'you', 'rock', 'dude', 'and', 'a',
    'quick', 'brown', 'fox', 'jumps', 'over', 'lazy', 'dog', 'cool', 'are', 'what', 'is'];
  const parts = [];
  let length = 0;
  while (length < size) {
    const word = words[next() % words.length] + (next() % 9 === 0 ? '.\n' : ' ');
    parts.push(word);
    length += word.length;
  }
  return parts.join('');
}

module.exports = { DEFAULT_ALPHABET, quoted, settingsFile, randomWords, randomBytes, prose, generator };
