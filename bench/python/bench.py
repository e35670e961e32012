#!/usr/bin/python3
"""The Python module's speed, next to libglossmith's C API and plain CPython.

English to L33T, standard L33T, built-in rules, on 10 MB of real prose
(Debian's /usr/share/common-licenses files joined and repeated, the text that
bench/lib and bench/core use), measured in one run:

  - translate on a 100-byte str and bytes: the cost of a call (median);
  - translate on the 10 MB text, as str and as bytes, in MB/s (median);
  - translate_many on 100,000 texts of 1 KB cut from it, jobs=1 and jobs=2;
  - the same through the C API: build/bin/lib_bench (Google Benchmark, a C++
    program linking libglossmith), run here on the same bytes; and for the
    10 MB rows also gls_translate called through ctypes in this process,
    alternating with the module's calls, so that both see the same load of
    a shared machine;
  - what a user would otherwise write: the chain of str.replace calls of the
    standard rules (read from core/rules/rules.cpp; its output is checked to
    be the module's), and a per-character dict loop over the single-letter
    steps (not the same output: it leaves the words alone).

One-thread rows are CPU time of the calling thread (time.thread_time and
Google Benchmark's CPU time), which a machine shared with other work leaves
comparable; translate_many rows are wall-clock. MB are 2^20 bytes. Build first:
  cmake --build build -j2 --target _glossmith lib_bench
  /usr/bin/python3 bench/python/bench.py [--build DIR] [--quick]
"""

import argparse
import ast
import ctypes
import json
import os
import pathlib
import platform
import re
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
MB = float(1 << 20)
TEXT_BYTES = 10 << 20
MANY_TEXTS, MANY_BYTES = 100_000, 1024


def license_prose(size, folder="/usr/share/common-licenses"):
    """The licence texts in name order, joined and repeated to `size` bytes."""
    files = sorted(p for p in pathlib.Path(folder).iterdir() if p.is_file() and not p.is_symlink())
    whole = b"".join(p.read_bytes() for p in files)
    return (whole * (size // len(whole) + 1))[:size], len(files)


def standard_chain():
    """The English to L33T standard chain, as (find, replacement) steps."""
    source = (ROOT / "core/rules/rules.cpp").read_text()
    block = re.search(r"kStandardChain = \{\{(.*?)\}\};", source, re.S).group(1)
    literal = r'"((?:[^"\\]|\\.)*)"'
    return [(ast.literal_eval(f'"{f}"'), ast.literal_eval(f'"{r}"'))
            for f, r in re.findall(r"\{" + literal + r",\s*" + literal + r"\}", block)]


def replace_chain(steps):
    def run(text):
        for find, replacement in steps:
            text = text.replace(find, replacement)
        return text
    return run


def dict_loop(steps):
    table = {f: r for f, r in steps if len(f) == 1}

    def run(text):
        return "".join([table.get(c, c) for c in text])
    return run


def median_seconds(function, argument, repeats, warm=3, clock=time.thread_time):
    # The engine fills its tables in the first calls on a text.
    for _ in range(warm):
        function(argument)
    times = []
    for _ in range(repeats):
        start = clock()
        function(argument)
        times.append(clock() - start)
    return statistics.median(times)


def per_call(function, argument, calls, samples):
    """Median over samples of the mean time of one call in a run of `calls`."""
    for _ in range(calls):
        function(argument)
    times = []
    for _ in range(samples):
        start = time.thread_time()
        for _ in range(calls):
            function(argument)
        times.append((time.thread_time() - start) / calls)
    return statistics.median(times)


class CApi:
    """gls_translate through ctypes, English to L33T standard, built-in rules."""

    def __init__(self, build):
        lib = ctypes.CDLL(str(build / "lib" / "libglossmith.so.1"))
        lib.gls_rules_new.restype = ctypes.c_void_p
        lib.gls_translator_new.restype = ctypes.c_void_p
        lib.gls_translator_new.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_void_p]
        lib.gls_translate.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t,
                                      ctypes.c_void_p, ctypes.c_size_t,
                                      ctypes.POINTER(ctypes.c_size_t)]
        self.lib = lib
        self.translator = lib.gls_translator_new(lib.gls_rules_new(), 0, None)
        self.out = ctypes.create_string_buffer(32 << 20)
        self.size = ctypes.c_size_t()

    def translate(self, data):
        if self.lib.gls_translate(self.translator, data, len(data), self.out, len(self.out),
                                  ctypes.byref(self.size)):
            raise RuntimeError("gls_translate failed")
        return self.size.value


def alternating(first, second, argument, repeats, warm=3):
    """Median seconds of each of two calls timed in turn."""
    for _ in range(warm):
        first(argument)
        second(argument)
    a, b = [], []
    for _ in range(repeats):
        for function, times in ((first, a), (second, b)):
            start = time.thread_time()
            function(argument)
            times.append(time.thread_time() - start)
    return statistics.median(a), statistics.median(b)


def run_lib_bench(binary, text, repetitions):
    """lib_bench's medians on `text`: {name: (seconds per iteration, bytes per second)},
    in CPU time, or wall-clock for the rows it times so."""
    with tempfile.NamedTemporaryFile(suffix=".txt") as file:
        file.write(text)
        file.flush()
        out = subprocess.run([str(binary), f"--text={file.name}", "--benchmark_format=json",
                              f"--benchmark_repetitions={repetitions}",
                              "--benchmark_report_aggregates_only=true"],
                             check=True, capture_output=True, text=True).stdout
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    figures = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            figures[b["run_name"]] = (b["cpu_time"] * scale[b["time_unit"]],
                                      b.get("bytes_per_second", 0.0))
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build"), help="the build folder")
    parser.add_argument("--quick", action="store_true", help="fewer repetitions")
    args = parser.parse_args()
    build = pathlib.Path(args.build)
    sys.path.insert(0, str(build / "python"))
    import glossmith

    repeats = 3 if args.quick else 7
    data, files = license_prose(TEXT_BYTES)
    text = data.decode("utf-8")
    t = glossmith.Translator(glossmith.Rules(), to_english=False, hardcore=False)
    expected = t.translate(text)

    rows = []  # (measure, python figure, C API figure, unit)

    def add(measure, python, c_api, unit):
        rows.append((measure, python, c_api, unit))

    lib = run_lib_bench(build / "bin" / "lib_bench", data, repeats)

    s100, b100 = text[:100], data[:100]
    add("translate, 100-byte str, per call", per_call(t.translate, s100, 2000, 200) * 1e6,
        lib["translate/100B"][0] * 1e6, "us")
    add("translate, 100-byte bytes, per call", per_call(t.translate, b100, 2000, 200) * 1e6,
        lib["translate/100B"][0] * 1e6, "us")
    c_api = CApi(build)
    if c_api.translate(data) != len(expected):
        sys.exit("the C API through ctypes gives another length than the module")
    for kind, argument in (("str", text), ("bytes", data)):
        python, c = alternating(t.translate, lambda _: c_api.translate(data), argument, repeats)
        add(f"translate, 10 MB {kind}", TEXT_BYTES / MB / python, lib["translate/10MB"][1] / MB,
            "MB/s")
        add(f"translate, 10 MB {kind}, against ctypes in turn *", TEXT_BYTES / MB / python,
            TEXT_BYTES / MB / c, "MB/s")

    offsets = [(i * MANY_BYTES) % (len(text) - MANY_BYTES) for i in range(MANY_TEXTS)]
    many = [text[o:o + MANY_BYTES] for o in offsets]
    assert t.translate_many(many[:1000], jobs=2) == [t.translate(x) for x in many[:1000]]
    for jobs in (1, 2):
        seconds = median_seconds(lambda texts: t.translate_many(texts, jobs=jobs), many, repeats,
                                 1, time.perf_counter)
        add(f"translate_many, 100,000 x 1 KB str, jobs={jobs}", MANY_TEXTS * MANY_BYTES / MB / seconds,
            lib[f"many/jobs:{jobs}/real_time"][1] / MB, "MB/s")

    steps = standard_chain()
    chain, loop = replace_chain(steps), dict_loop(steps)
    same = chain(text) == expected
    if not same:
        sys.exit("the str.replace chain does not give the module's output: the steps are wrong")
    alternatives = [
        (f"str.replace chain ({len(steps)} steps), 100-byte str, per call",
         per_call(chain, s100, 200, 50) * 1e6, "us"),
        (f"str.replace chain ({len(steps)} steps), 10 MB str",
         TEXT_BYTES / MB / median_seconds(chain, text, max(1, repeats // 2), warm=0), "MB/s"),
        ("dict loop per character (letters only), 10 MB str",
         TEXT_BYTES / MB / median_seconds(loop, text, max(1, repeats // 2), warm=0), "MB/s"),
    ]

    print(f"glossmith {glossmith.__version__} ({pathlib.Path(glossmith.__file__).parent}), "
          f"Python {platform.python_version()}, {os.cpu_count()} processors")
    print(f"text: {files} licence files of /usr/share/common-licenses, repeated to "
          f"{TEXT_BYTES / MB:.0f} MB; English to L33T, standard, built-in rules; "
          f"medians of {repeats}")
    print()
    width = max(len(r[0]) for r in rows + alternatives)
    print(f"{'measure':<{width}}  {'Python':>10}  {'C API':>10}  {'Python/C':>8}  unit")
    for measure, python, c_api, unit in rows:
        ratio = python / c_api if unit == "us" else c_api / python
        print(f"{measure:<{width}}  {python:>10.2f}  {c_api:>10.2f}  {ratio:>8.2f}  {unit}")
    print()
    print(f"{'plain CPython, for comparison':<{width}}  {'figure':>10}")
    for measure, figure, unit in alternatives:
        print(f"{measure:<{width}}  {figure:>10.2f}  {unit}")
    print()
    print("Python/C: time of the module over time of the C API (1.00: no overhead). C API: "
          "lib_bench's medians, or (*) gls_translate through ctypes timed in turn with the "
          "module in this process. The str.replace chain gives the module's output exactly.")


if __name__ == "__main__":
    main()
