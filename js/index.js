// glossmith: Glossmith's translations between plain English and L33T, by the
// same engine as the native library, compiled to WebAssembly.
//
// In Node this file is a CommonJS module; in a browser, loaded as a plain
// script after glossmith-wasm.js, it defines the global `glossmith`.
(function (root, factory) {
  if (typeof module === 'object' && module.exports) {
    module.exports = factory(require('./glossmith-wasm.js'), require('buffer'));
  } else {
    root.glossmith = factory(root.createGlossmithModule, null);
  }
})(typeof globalThis !== 'undefined' ? globalThis : this, function (createModule, nodeBuffer) {
  'use strict';

  // The module compiles at once (no fetch, no await): it is passed an object
  // that becomes the module itself.
  const wasm = {};
  createModule(wasm);

  const STATUS_NAMES = [
    'GLS_OK', 'GLS_E_BUFFER', 'GLS_E_NULL', 'GLS_E_ARGUMENT', 'GLS_E_EMPTY_FIND',
    'GLS_E_LETTER', 'GLS_E_SETTINGS', 'GLS_E_NOMEM', 'GLS_E_THREAD', 'GLS_E_SINK',
    'GLS_E_STATE', 'GLS_E_INTERNAL',
  ];
  const GLS_E_NOMEM = 7;
  const TO_ENGLISH = 1;
  const HARDCORE = 2;
  const STORED_MODE = 4;

  const encoder = new TextEncoder();
  // ignoreBOM keeps a leading U+FEFF: the text comes back whole.
  const newDecoder = () => new TextDecoder('utf-8', { ignoreBOM: true });
  const decoder = newDecoder();

  // Node's TextDecoder makes a string of 10 MB in tens of milliseconds; for
  // ASCII, which is most of what comes out, a Latin-1 Buffer gives the same
  // string a hundred times faster.
  const decode = nodeBuffer && typeof nodeBuffer.isAscii === 'function'
    ? (view) => (nodeBuffer.isAscii(view)
      ? nodeBuffer.Buffer.from(view.buffer, view.byteOffset, view.length).toString('latin1')
      : decoder.decode(view))
    : (view) => decoder.decode(view);

  // A failure of the library: `code` is the status's name ("GLS_E_EMPTY_FIND"),
  // the message the library's own.
  class GlossmithError extends Error {
    constructor(status) {
      super(wasm.UTF8ToString(wasm._gls_status_message(status)));
      this.name = 'GlossmithError';
      this.code = STATUS_NAMES[status] || 'GLS_E_INTERNAL';
    }
  }

  function check(status) {
    if (status !== 0) throw new GlossmithError(status);
  }

  function allocate(size) {
    const pointer = wasm._malloc(size === 0 ? 1 : size);
    if (pointer === 0) throw new GlossmithError(GLS_E_NOMEM);
    return pointer;
  }

  // Room for up to four 32-bit results (pointers, lengths, a status).
  const results = allocate(16);

  // Copies a string (as UTF-8; a lone surrogate becomes U+FFFD, as
  // TextEncoder writes it) or a Uint8Array into the module's memory, runs
  // `body(pointer, length)` and frees the copy.
  function withBytes(text, body) {
    let pointer, length;
    if (typeof text === 'string') {
      const room = text.length * 3;
      pointer = allocate(room);
      length = encoder.encodeInto(text, wasm.HEAPU8.subarray(pointer, pointer + room)).written;
    } else if (text instanceof Uint8Array) {
      length = text.length;
      pointer = allocate(length);
      wasm.HEAPU8.set(text, pointer);
    } else {
      throw new TypeError('glossmith: a text is a string or a Uint8Array');
    }
    try {
      return body(pointer, length);
    } finally {
      wasm._free(pointer);
    }
  }

  function viewOf(pointer, length) {
    return wasm.HEAPU8.subarray(pointer, pointer + length);
  }

  function readResults() {
    const words = wasm.HEAPU32;
    return [words[results >> 2], words[(results >> 2) + 1]];
  }

  // --- rules ---------------------------------------------------------------

  function buildRules(options) {
    const rules = wasm._gls_rules_new();
    if (rules === 0) throw new GlossmithError(GLS_E_NOMEM);
    try {
      if (options.settings !== undefined) {
        withBytes(options.settings, (pointer, length) =>
          check(wasm._gls_rules_load_settings_bytes(rules, pointer, length)));
      }
      for (const pair of options.pairs || []) addPair(rules, pair);
      for (const [letter, symbol] of Object.entries(options.letters || {})) {
        // One character from U+0000 to U+00FF goes to the library, which
        // takes A to Z in either case; anything else it refuses as it is.
        const code = letter.length === 1 && letter.charCodeAt(0) < 256 ? letter.charCodeAt(0) : 0;
        withBytes(symbol, (pointer, length) =>
          check(wasm._gls_rules_set_letter(rules, code, pointer, length)));
      }
      return rules;
    } catch (error) {
      wasm._gls_rules_free(rules);
      throw error;
    }
  }

  function addPair(rules, pair) {
    const [find, replacement] = Array.isArray(pair) ? pair : [pair.find, pair.replacement];
    withBytes(find, (findPointer, findLength) =>
      withBytes(replacement, (pointer, length) =>
        check(wasm._gls_rules_add_pair(rules, findPointer, findLength, pointer, length))));
  }

  function flagsOf(options) {
    let flags;
    switch (options.direction === undefined ? 'toL33t' : options.direction) {
      case 'toL33t': flags = 0; break;
      case 'toEnglish': flags = TO_ENGLISH; break;
      default: throw new TypeError("glossmith: direction is 'toL33t' or 'toEnglish'");
    }
    switch (options.hardcore === undefined ? 'stored' : options.hardcore) {
      case true: return flags | HARDCORE;
      case false: return flags;
      case 'stored': return flags | STORED_MODE;
      default: throw new TypeError("glossmith: hardcore is true, false or 'stored'");
    }
  }

  // --- offsets: UTF-8 bytes and UTF-16 units ----------------------------------

  // Where each character of a text starts, in bytes and in UTF-16 units, with
  // the totals last. Offsets inside a character round down for a range's
  // begin and up for its end.
  class Offsets {
    constructor(bytes, units) {
      this.bytes = bytes;
      this.units = units;
    }

    // Of a string, as TextEncoder writes it (a lone surrogate: U+FFFD).
    static ofString(text) {
      const bytes = new Uint32Array(text.length + 1);
      const units = new Uint32Array(text.length + 1);
      let count = 0, byte = 0, unit = 0;
      while (unit < text.length) {
        bytes[count] = byte;
        units[count++] = unit;
        const c = text.charCodeAt(unit);
        const pair = c >= 0xd800 && c <= 0xdbff && unit + 1 < text.length &&
          (text.charCodeAt(unit + 1) & 0xfc00) === 0xdc00;
        byte += c < 0x80 ? 1 : c < 0x800 ? 2 : pair ? 4 : 3;
        unit += pair ? 2 : 1;
      }
      bytes[count] = byte;
      units[count++] = unit;
      return new Offsets(bytes.subarray(0, count), units.subarray(0, count));
    }

    // Of UTF-8 bytes, as TextDecoder reads them: each maximal part of a
    // sequence that is not UTF-8 is one U+FFFD.
    static ofBytes(view) {
      const bytes = new Uint32Array(view.length + 1);
      const units = new Uint32Array(view.length + 1);
      let count = 0, at = 0, unit = 0;
      while (at < view.length) {
        bytes[count] = at;
        units[count++] = unit;
        const b = view[at];
        let need = 0, lower = 0x80, upper = 0xbf;
        if (b >= 0xc2 && b <= 0xdf) need = 1;
        else if (b >= 0xe0 && b <= 0xef) {
          need = 2;
          if (b === 0xe0) lower = 0xa0;
          if (b === 0xed) upper = 0x9f;
        } else if (b >= 0xf0 && b <= 0xf4) {
          need = 3;
          if (b === 0xf0) lower = 0x90;
          if (b === 0xf4) upper = 0x8f;
        }
        let next = at + 1, whole = true;
        for (let k = 0; k < need; ++k, ++next) {
          if (next >= view.length || view[next] < lower || view[next] > upper) {
            whole = false;
            break;
          }
          lower = 0x80;
          upper = 0xbf;
        }
        unit += whole && need === 3 ? 2 : 1;
        at = next;
      }
      bytes[count] = at;
      units[count++] = unit;
      return new Offsets(bytes.subarray(0, count), units.subarray(0, count));
    }

    toUnit(byte, roundUp) {
      return Offsets.convert(this.bytes, this.units, byte, roundUp);
    }

    toByte(unit, roundUp) {
      return Offsets.convert(this.units, this.bytes, unit, roundUp);
    }

    // The offset in `to` of the character that holds `offset` in `from`.
    static convert(from, to, offset, roundUp) {
      const last = from.length - 1;
      if (offset >= from[last]) return to[last];
      let low = 0, high = last;  // from[low] <= offset < from[high]
      while (high - low > 1) {
        const middle = (low + high) >>> 1;
        if (from[middle] <= offset) low = middle;
        else high = middle;
      }
      return from[low] === offset || !roundUp ? to[low] : to[high];
    }
  }

  // --- translators and streams ----------------------------------------------

  // A translator left without free() gives its memory back when collected.
  const collected = typeof FinalizationRegistry === 'function'
    ? new FinalizationRegistry((handle) => wasm._gls_translator_free(handle))
    : { register() {}, unregister() {} };

  class Translator {
    constructor(handle) {
      this._handle = handle;
      this._streams = new Set();
      collected.register(this, handle, this);
    }

    // Whether this translator runs Hardcore L33T.
    get hardcore() {
      return wasm._gls_translator_hardcore(this._live()) !== 0;
    }

    // SHA-256 of everything the output depends on, as 64 hex digits.
    get digest() {
      const handle = this._live();
      const digest = allocate(65);
      try {
        check(wasm._gls_translator_digest(handle, digest));
        return wasm.UTF8ToString(digest);
      } finally {
        wasm._free(digest);
      }
    }

    // A string comes back as a string, a Uint8Array as a new Uint8Array.
    translate(text) {
      const handle = this._live();
      return withBytes(text, (pointer, length) => {
        check(wasm._gls_translate_alloc(handle, pointer, length, results, results + 4));
        const [out, outLength] = readResults();
        try {
          const view = viewOf(out, outLength);
          return typeof text === 'string' ? decode(view) : view.slice();
        } finally {
          wasm._gls_free(out);
        }
      });
    }

    // The translation and where each of its parts came from: { output,
    // alignment }. For a string the alignment's offsets count UTF-16 units,
    // for a Uint8Array bytes.
    translateAligned(text) {
      const handle = this._live();
      return withBytes(text, (pointer, length) => {
        check(wasm._gls_translate_aligned(handle, pointer, length, results, results + 4,
          results + 8));
        const [out, outLength] = readResults();
        const alignmentHandle = wasm.HEAPU32[(results >> 2) + 2];
        try {
          const view = viewOf(out, outLength);
          if (typeof text !== 'string')
            return { output: view.slice(), alignment: new Alignment(alignmentHandle, null, null) };
          const output = decode(view);
          return {
            output,
            alignment: new Alignment(alignmentHandle, Offsets.ofString(text), Offsets.ofBytes(view)),
          };
        } catch (error) {
          wasm._gls_alignment_free(alignmentHandle);
          throw error;
        } finally {
          wasm._gls_free(out);
        }
      });
    }

    stream() {
      const stream = new Stream(this, this._live());
      this._streams.add(stream);
      return stream;
    }

    // Frees the translator and its streams; later calls throw.
    free() {
      if (this._handle === 0) return;
      for (const stream of this._streams) stream.free();
      collected.unregister(this);
      wasm._gls_translator_free(this._handle);
      this._handle = 0;
    }

    _live() {
      if (this._handle === 0) throw new TypeError('glossmith: the translator has been freed');
      return this._handle;
    }
  }

  const alignmentsCollected = typeof FinalizationRegistry === 'function'
    ? new FinalizationRegistry((handle) => wasm._gls_alignment_free(handle))
    : { register() {}, unregister() {} };
  const PIECE_BYTES = 16;  // gls_piece: four 32-bit offsets
  const PIECES_AT_ONCE = 4096;

  // Where every part of a translation came from: pieces of the source (the
  // text translated) and the target (its translation) that became one
  // another; every replaced occurrence stays whole in one piece. Offsets
  // count UTF-16 units for strings (a piece never ends inside a character),
  // bytes for Uint8Arrays.
  class Alignment {
    constructor(handle, source, target) {
      this._handle = handle;
      this._source = source;  // Offsets of a string, or null for bytes
      this._target = target;
      alignmentsCollected.register(this, handle, this);
    }

    // Every piece, in order: { sourceBegin, sourceEnd, targetBegin, targetEnd }.
    pieces() {
      const handle = this._live();
      const pieces = [];
      const room = allocate(PIECE_BYTES * PIECES_AT_ONCE);
      try {
        for (let first = 0; ; first += PIECES_AT_ONCE) {
          check(wasm._gls_alignment_pieces(handle, first, room, PIECES_AT_ONCE, results));
          const written = wasm.HEAPU32[results >> 2];
          const words = wasm.HEAPU32;
          for (let i = 0, at = room >> 2; i < written; ++i, at += 4)
            this._addPiece(pieces, words[at], words[at + 1], words[at + 2], words[at + 3]);
          if (written < PIECES_AT_ONCE) return pieces;
        }
      } finally {
        wasm._free(room);
      }
    }

    // The smallest range of the source whose pieces cover target [begin, end).
    toSource(begin, end) {
      return this._query(wasm._gls_alignment_to_source, this._target, this._source, begin, end);
    }

    // The smallest range of the target whose pieces cover source [begin, end).
    toTarget(begin, end) {
      return this._query(wasm._gls_alignment_to_target, this._source, this._target, begin, end);
    }

    free() {
      if (this._handle === 0) return;
      alignmentsCollected.unregister(this);
      wasm._gls_alignment_free(this._handle);
      this._handle = 0;
    }

    // Pieces of bytes inside one character join into one piece of it.
    _addPiece(pieces, sourceBegin, sourceEnd, targetBegin, targetEnd) {
      if (this._source) {
        sourceBegin = this._source.toUnit(sourceBegin, false);
        sourceEnd = this._source.toUnit(sourceEnd, true);
        targetBegin = this._target.toUnit(targetBegin, false);
        targetEnd = this._target.toUnit(targetEnd, true);
        const last = pieces[pieces.length - 1];
        if (last && (sourceBegin < last.sourceEnd || targetBegin < last.targetEnd)) {
          last.sourceEnd = Math.max(last.sourceEnd, sourceEnd);
          last.targetEnd = Math.max(last.targetEnd, targetEnd);
          return;
        }
      }
      pieces.push({ sourceBegin, sourceEnd, targetBegin, targetEnd });
    }

    _query(query, from, to, begin, end) {
      const handle = this._live();
      if (!Number.isInteger(begin) || !Number.isInteger(end) || begin < 0 || end < 0)
        throw new TypeError('glossmith: a range is two offsets from 0 on');
      if (from && end >= begin) {
        begin = from.toByte(begin, false);
        end = from.toByte(end, true);
      }
      check(query(handle, Math.min(begin, 0xffffffff), Math.min(end, 0xffffffff), results,
        results + 4));
      const [resultBegin, resultEnd] = readResults();
      if (!to) return { begin: resultBegin, end: resultEnd };
      return { begin: to.toUnit(resultBegin, false), end: to.toUnit(resultEnd, true) };
    }

    _live() {
      if (this._handle === 0) throw new TypeError('glossmith: the alignment has been freed');
      return this._handle;
    }
  }

  // A text that arrives in pieces. Each feed gives what is final so far;
  // joined with finish(), it is the translation of the joined pieces. A
  // stream takes either strings or Uint8Arrays; strings are never cut inside
  // a character, even where a piece ends between the two halves of a
  // surrogate pair.
  class Stream {
    constructor(translator, translatorHandle) {
      this._translator = translator;
      wasm.HEAPU32[results >> 2] = 0;
      this._handle = wasm._gls_stream_new(translatorHandle, results);
      if (this._handle === 0) throw new GlossmithError(wasm.HEAPU32[results >> 2] || GLS_E_NOMEM);
      this._buffer = wasm._glsjs_buffer_new();
      if (this._buffer === 0) {
        wasm._gls_stream_free(this._handle);
        throw new GlossmithError(GLS_E_NOMEM);
      }
      this._strings = undefined;  // set by the first piece
      this._decoder = newDecoder();
      this._highSurrogate = '';
    }

    feed(piece) {
      const handle = this._live();
      const asString = this._kind(piece);
      if (asString) {
        piece = this._highSurrogate + piece;
        const last = piece.charCodeAt(piece.length - 1);
        this._highSurrogate = last >= 0xd800 && last <= 0xdbff ? piece.slice(-1) : '';
        if (this._highSurrogate) piece = piece.slice(0, -1);
      }
      return withBytes(piece, (pointer, length) => {
        check(wasm._glsjs_stream_feed(handle, pointer, length, this._buffer));
        return this._taken(asString);
      });
    }

    finish() {
      const handle = this._live();
      const asString = this._strings !== false;
      let head = '';
      if (this._highSurrogate) {  // a lone surrogate at the end, written as U+FFFD
        const carry = this._highSurrogate;
        this._highSurrogate = '';
        head = withBytes(carry, (pointer, length) => {
          check(wasm._glsjs_stream_feed(handle, pointer, length, this._buffer));
          return this._taken(true);
        });
      }
      check(wasm._glsjs_stream_finish(handle, this._buffer));
      const tail = this._taken(asString);
      return asString ? head + tail + this._decoder.decode() : tail;
    }

    // Bytes fed but not yet translated.
    get pending() {
      return wasm._gls_stream_pending(this._live());
    }

    free() {
      if (this._handle === 0) return;
      wasm._gls_stream_free(this._handle);
      wasm._glsjs_buffer_free(this._buffer);
      this._handle = 0;
      this._translator._streams.delete(this);
    }

    _kind(piece) {
      const asString = typeof piece === 'string';
      if (!asString && !(piece instanceof Uint8Array))
        throw new TypeError('glossmith: a text is a string or a Uint8Array');
      if (this._strings === undefined) this._strings = asString;
      if (this._strings !== asString)
        throw new TypeError('glossmith: a stream takes either strings or Uint8Arrays, not both');
      return asString;
    }

    // What the last call put in the buffer; a character cut at its end waits
    // in the decoder for the next piece.
    _taken(asString) {
      const view = viewOf(wasm._glsjs_buffer_data(this._buffer), wasm._glsjs_buffer_size(this._buffer));
      return asString ? this._decoder.decode(view, { stream: true }) : view.slice();
    }

    _live() {
      if (this._handle === 0) throw new TypeError('glossmith: the stream has been freed');
      return this._handle;
    }
  }

  if (typeof Symbol.dispose === 'symbol') {
    Translator.prototype[Symbol.dispose] = Translator.prototype.free;
    Stream.prototype[Symbol.dispose] = Stream.prototype.free;
    Alignment.prototype[Symbol.dispose] = Alignment.prototype.free;
  }

  // --- settings text --------------------------------------------------------

  // The rules of settings text as the library reads them: { hardcore, letters,
  // pairs }, the stored Hardcore switch, the 26 letters by capital and the
  // Custom pairs that apply. Strings for a string, Uint8Arrays for bytes.
  function readSettings(text) {
    const asString = typeof text === 'string';
    const fields = fieldsOf((buffer) => withBytes(text, (pointer, length) =>
      check(wasm._glsjs_read_settings(pointer, length, buffer))), asString);
    const pairs = [];
    for (let i = 27; i < fields.length; i += 2) pairs.push([fields[i], fields[i + 1]]);
    const on = fields[0];
    return {
      hardcore: asString ? on === '1' : on[0] === 0x31,
      letters: byLetter(fields.slice(1, 27)),
      pairs,
    };
  }

  // The built-in Hardcore alphabet, { A: '4', B: '8', ... }.
  function defaultLetters() {
    return byLetter(fieldsOf((buffer) => check(wasm._glsjs_default_letters(buffer)), true));
  }

  function byLetter(symbols) {
    const letters = {};
    symbols.forEach((symbol, i) => { letters[String.fromCharCode(65 + i)] = symbol; });
    return letters;
  }

  // The fields that `fill(buffer)` writes, each a 32-bit little-endian length
  // and its bytes.
  function fieldsOf(fill, asString) {
    const buffer = wasm._glsjs_buffer_new();
    if (buffer === 0) throw new GlossmithError(GLS_E_NOMEM);
    try {
      fill(buffer);
      const view = viewOf(wasm._glsjs_buffer_data(buffer), wasm._glsjs_buffer_size(buffer));
      const fields = [];
      for (let at = 0; at < view.length;) {
        const size = (view[at] | view[at + 1] << 8 | view[at + 2] << 16 | view[at + 3] << 24) >>> 0;
        const field = view.subarray(at + 4, at + 4 + size);
        fields.push(asString ? decode(field) : field.slice());
        at += 4 + size;
      }
      return fields;
    } finally {
      wasm._glsjs_buffer_free(buffer);
    }
  }

  // Settings text as the window writes it, for { hardcore, letters, pairs }
  // (strings): every value escaped as QSettings escapes it, so that the window,
  // glossmith-cli and readSettings read the same rules back. A Custom string
  // may not hold CR LF, which ends an entry of the stored list.
  function writeSettings(rules) {
    const pairs = Array.from(rules.pairs || [], (pair) =>
      Array.isArray(pair) ? pair : [pair.find, pair.replacement]);
    for (const pair of pairs) {
      for (const entry of pair) {
        if (typeof entry !== 'string') throw new TypeError('glossmith: settings hold strings');
        if (entry.includes('\r\n'))
          throw new TypeError('glossmith: a Custom string may not hold CR LF');
      }
    }
    const search = pairs.map(([find]) => find + '\r\n').join('');
    const replace = pairs.map(([, replacement]) => replacement + '\r\n').join('');
    const lines = [
      '[General]', 'usehard=' + (rules.hardcore ? 'yes' : 'no'), '',
      '[change]', 'replace=' + settingsValue(replace), 'search=' + settingsValue(search), '',
      '[hardcore]',
    ];
    const letters = rules.letters || {};
    for (let i = 0; i < 26; ++i) {
      const letter = String.fromCharCode(65 + i);
      const symbol = letters[letter] !== undefined ? letters[letter] : letters[letter.toLowerCase()];
      if (symbol !== undefined) lines.push(letter + '=' + settingsValue(String(symbol)));
    }
    lines.push('custom=yes');
    return lines.join('\n') + '\n';
  }

  const SETTINGS_ESCAPES = {
    '\0': '\\0', '\x07': '\\a', '\b': '\\b', '\f': '\\f', '\n': '\\n', '\r': '\\r',
    '\t': '\\t', '\v': '\\v', '"': '\\"', '\\': '\\\\',
  };

  // One value as QSettings writes a string: a leading "@" doubled, C escapes
  // (a hex digit right after a \0 or \x escape escaped too, so that it does
  // not join it), and double quotes around a value that holds ";", "," or "="
  // or begins or ends with a space.
  function settingsValue(value) {
    let out = value.startsWith('@') ? '@' : '';
    let afterNumericEscape = false;
    for (const ch of value) {
      const code = ch.codePointAt(0);
      if (afterNumericEscape && /[0-9a-fA-F]/.test(ch)) {
        out += '\\x' + code.toString(16);
        continue;
      }
      afterNumericEscape = false;
      if (SETTINGS_ESCAPES[ch] !== undefined) {
        out += SETTINGS_ESCAPES[ch];
        afterNumericEscape = ch === '\0';
      } else if (code <= 0x1f) {
        out += '\\x' + code.toString(16);
        afterNumericEscape = true;
      } else {
        out += ch;
      }
    }
    const quote = /[;,=]/.test(value) || out.startsWith(' ') || out.endsWith(' ');
    return quote ? '"' + out + '"' : out;
  }

  // Compiles a translator from options, or from settings text as the window
  // writes it (the same as { settings: text }).
  function createTranslator(options) {
    if (options === undefined) options = {};
    if (typeof options === 'string' || options instanceof Uint8Array) options = { settings: options };
    const flags = flagsOf(options);
    const rules = buildRules(options);
    try {
      wasm.HEAPU32[results >> 2] = 0;
      const handle = wasm._gls_translator_new(rules, flags, results);
      if (handle === 0) throw new GlossmithError(wasm.HEAPU32[results >> 2] || GLS_E_NOMEM);
      return new Translator(handle);
    } finally {
      wasm._gls_rules_free(rules);
    }
  }

  const glossmith = {
    createTranslator,
    readSettings,
    writeSettings,
    defaultLetters,
    GlossmithError,
    Translator,
    Stream,
    Alignment,
    version: wasm.UTF8ToString(wasm._gls_version()),
  };
  // `import glossmith from 'glossmith'` through a bundler or TypeScript.
  glossmith.default = glossmith;
  return glossmith;
});
