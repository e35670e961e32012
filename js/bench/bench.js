// English to L33T (standard) on 10 MB of prose, one thread, three ways in one
// run: the package's translate (WebAssembly), the native C API (a small C
// program over libglossmith), and a JavaScript chain of replaceAll over the
// same steps (the standard chain of core/rules/rules.cpp), which gives the
// same result. The prose is the one bench/python/bench.py reads: the licence
// texts of /usr/share/common-licenses in name order, repeated.
//
//   node js/bench/bench.js [build] [wasm build]   (defaults: build, build-wasm)
// The native program is compiled here with cc against the build's library.
'use strict';

const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const root = path.join(__dirname, '../..');
const build = path.resolve(process.argv[2] || path.join(root, 'build'));
const wasmBuild = path.resolve(process.argv[3] || path.join(root, 'build-wasm'));
const { createTranslator } = require(path.join(wasmBuild, 'package'));
const ROUNDS = 15;

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'glossmith-bench-'));
const licences = '/usr/share/common-licenses';
const whole = fs.readdirSync(licences).sort().map((name) => path.join(licences, name))
  .filter((file) => fs.lstatSync(file).isFile()).map((file) => fs.readFileSync(file)).reduce(
    (joined, next) => Buffer.concat([joined, next]), Buffer.alloc(0));
const text = Buffer.concat(Array(Math.ceil((10 << 20) / whole.length)).fill(whole))
  .subarray(0, 10 << 20).toString('latin1');
const input = path.join(work, 'prose.txt');
fs.writeFileSync(input, text);
const megabytes = Buffer.byteLength(text) / 1e6;

function best(run, rounds = ROUNDS) {
  let fastest = Infinity;
  for (let i = 0; i < rounds; ++i) {
    const start = process.hrtime.bigint();
    run();
    fastest = Math.min(fastest, Number(process.hrtime.bigint() - start) / 1e9);
  }
  return fastest;
}

// The native C API.
const helper = path.join(work, 'native_translate');
execFileSync('cc', ['-O2', '-o', helper, path.join(__dirname, 'native_translate.c'),
  '-I', path.join(root, 'lib/include'), '-L', path.join(build, 'lib'), '-lglossmith']);
const nativeSeconds = Number(execFileSync(helper, [input, String(ROUNDS)],
  { env: { ...process.env, LD_LIBRARY_PATH: path.join(build, 'lib') } }).toString());

// The package, on a string and on bytes.
const translator = createTranslator({ hardcore: false });
const bytes = new TextEncoder().encode(text);
const stringSeconds = best(() => translator.translate(text));
const bytesSeconds = best(() => translator.translate(bytes));

// The same steps as a chain of replaceAll.
const rulesSource = fs.readFileSync(path.join(root, 'core/rules/rules.cpp'), 'utf8');
const chainSource = /kStandardChain = \{\{(.*?)\}\};/s.exec(rulesSource)[1];
const literal = '"((?:[^"\\\\]|\\\\.)*)"';
const unescape = (c) => c.replace(/\\(.)/g, '$1');
const steps = [...chainSource.matchAll(new RegExp('\\{' + literal + ',\\s*' + literal + '\\}', 'g'))]
  .map((m) => [unescape(m[1]), unescape(m[2])]);
const chain = () => steps.reduce((t, [find, replacement]) => t.replaceAll(find, replacement), text);
const chained = best(chain, 3);  // some ten seconds a round
const chainOut = chain();

fs.rmSync(work, { recursive: true, force: true });
const rate = (seconds) => (megabytes / seconds).toFixed(0).padStart(5) + ' MB/s';
console.log(`10 MB of prose, English to L33T, standard, best of ${ROUNDS} (the chain: of 3):`);
console.log(`native C API                 ${rate(nativeSeconds)}`);
console.log(`package, string              ${rate(stringSeconds)}  ${(100 * nativeSeconds / stringSeconds).toFixed(0)} % of native`);
console.log(`package, Uint8Array          ${rate(bytesSeconds)}  ${(100 * nativeSeconds / bytesSeconds).toFixed(0)} % of native`);
console.log(`replaceAll chain, ${steps.length} steps  ${rate(chained)}  package string ${(chained / stringSeconds).toFixed(1)} times as fast`);
console.log(`replaceAll chain gives the package's result: ${chainOut === translator.translate(text)}`);
