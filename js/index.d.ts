// Glossmith's translations between plain English and L33T, by the native
// library's engine compiled to WebAssembly.

declare global {
  // As Node's own types declare it, for TypeScript before 5.2.
  interface SymbolConstructor {
    readonly dispose: unique symbol;
  }
}

/** A string is translated as UTF-8 and comes back as a string; a Uint8Array
 * is translated as bytes and comes back as a new Uint8Array. */
export type Text = string | Uint8Array;

export type Pair = readonly [find: Text, replacement: Text] | { find: Text; replacement: Text };

export interface TranslatorOptions {
  /** English to L33T (the default) or L33T to English. */
  direction?: 'toL33t' | 'toEnglish';
  /** Hardcore L33T on or off; 'stored' (the default) follows the settings'
   * `usehard` switch, which is off without settings. */
  hardcore?: boolean | 'stored';
  /** Settings text in the window's INI format, read first. */
  settings?: Text;
  /** Custom pairs, applied in order after those of the settings (at most
   * 32,768 apply). */
  pairs?: Iterable<Pair>;
  /** Hardcore symbols by letter, "A" to "Z" in either case; they replace
   * those of the settings and the defaults. */
  letters?: Readonly<Record<string, Text>>;
}

/** A failure reported by the library, with its message. */
export class GlossmithError extends Error {
  readonly name: 'GlossmithError';
  /** The status, such as "GLS_E_EMPTY_FIND" or "GLS_E_STATE". */
  readonly code: string;
}

export class Translator {
  private constructor();
  /** Whether the translator runs Hardcore L33T. */
  readonly hardcore: boolean;
  /** SHA-256, in hex, of everything the output depends on. */
  readonly digest: string;
  translate(text: string): string;
  translate(text: Uint8Array): Uint8Array;
  /** The translation and where each of its parts came from; offsets count
   * UTF-16 units for a string, bytes for a Uint8Array. */
  translateAligned(text: string): { output: string; alignment: Alignment };
  translateAligned(text: Uint8Array): { output: Uint8Array; alignment: Alignment };
  /** A text that arrives in pieces. */
  stream(): Stream;
  /** Frees the translator and its streams; using them afterwards throws. */
  free(): void;
  [Symbol.dispose](): void;
}

/** Source [sourceBegin, sourceEnd) became target [targetBegin, targetEnd). */
export interface Piece {
  sourceBegin: number;
  sourceEnd: number;
  targetBegin: number;
  targetEnd: number;
}

/** Where every part of a translation came from: pieces of the source (the
 * text translated) and of the target (its translation) that became one
 * another, in order, covering both; every replaced occurrence stays whole in
 * one piece. A string's pieces never end inside a character. */
export class Alignment {
  private constructor();
  pieces(): Piece[];
  /** The smallest range of the source whose pieces cover target [begin, end). */
  toSource(begin: number, end: number): { begin: number; end: number };
  /** The smallest range of the target whose pieces cover source [begin, end). */
  toTarget(begin: number, end: number): { begin: number; end: number };
  free(): void;
  [Symbol.dispose](): void;
}

/** Each feed gives what is final so far; everything fed, joined with
 * finish(), is the translation of the joined pieces. A stream takes either
 * strings or Uint8Arrays. */
export class Stream {
  private constructor();
  feed(piece: string): string;
  feed(piece: Uint8Array): Uint8Array;
  /** The rest of the translation; afterwards the stream takes no more. A
   * stream fed nothing returns "". */
  finish(): string | Uint8Array;
  /** Bytes fed but not yet translated. */
  readonly pending: number;
  free(): void;
  [Symbol.dispose](): void;
}

/** Compiles a translator from options, or from settings text as the window
 * writes it (the same as `{ settings: text }`). */
export function createTranslator(options?: TranslatorOptions | Text): Translator;

/** Rules as settings hold them. */
export interface SettingsRules<T extends Text = string> {
  /** The stored Hardcore switch (`usehard` exactly "yes"). */
  hardcore: boolean;
  /** The Hardcore symbol of each capital letter, "A" to "Z". */
  letters: Record<string, T>;
  /** The Custom pairs that apply, in order. */
  pairs: Array<[find: T, replacement: T]>;
}

/** The rules of settings text, read as glossmith-cli reads its file:
 * strings for a string, Uint8Arrays for bytes. */
export function readSettings(text: string): SettingsRules<string>;
export function readSettings(text: Uint8Array): SettingsRules<Uint8Array>;

/** Settings text as the window writes it. A Custom string may not hold CR LF
 * (TypeError). Letters left out are not written, and read back empty. */
export function writeSettings(rules: {
  hardcore?: boolean;
  letters?: Readonly<Record<string, string>>;
  pairs?: Iterable<Pair>;
}): string;

/** The built-in Hardcore alphabet by capital letter, { A: "4", B: "8", ... }. */
export function defaultLetters(): Record<string, string>;

/** The library's version, "1.2.3". */
export const version: string;

declare const glossmith: {
  createTranslator: typeof createTranslator;
  readSettings: typeof readSettings;
  writeSettings: typeof writeSettings;
  defaultLetters: typeof defaultLetters;
  GlossmithError: typeof GlossmithError;
  Translator: typeof Translator;
  Stream: typeof Stream;
  Alignment: typeof Alignment;
  version: string;
};
export default glossmith;
