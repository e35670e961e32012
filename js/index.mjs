// The ES module entry: the same module as the CommonJS one.
import glossmith from './index.js';

export const {
  createTranslator, readSettings, writeSettings, defaultLetters, GlossmithError, Translator, Stream,
  Alignment, version,
} = glossmith;
export default glossmith;
