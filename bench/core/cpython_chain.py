#!/usr/bin/python3
"""What a user would otherwise run: a translation's steps as a CPython loop of
replace calls, one call per step in order. bytes.replace runs the same search
as str.replace on ASCII text, and works on any bytes.

  cpython_chain.py STEPS TEXT OUT REPEATS

STEPS holds the steps as (find, replacement) pairs, each string as its length
(8 bytes, little-endian) then its bytes. Writes the result to OUT and prints
the median thread CPU seconds of REPEATS runs.
"""

import statistics
import struct
import sys
import time


def read_steps(path):
    data = open(path, "rb").read()
    steps, at = [], 0
    while at < len(data):
        pair = []
        for _ in range(2):
            (size,) = struct.unpack_from("<Q", data, at)
            pair.append(data[at + 8:at + 8 + size])
            at += 8 + size
        steps.append(tuple(pair))
    return steps


def main():
    steps_path, text_path, out_path, repeats = sys.argv[1:5]
    # An empty find string changes nothing in the rules; replace() would
    # insert between every byte.
    steps = [(find, replacement) for find, replacement in read_steps(steps_path) if find]
    text = open(text_path, "rb").read()
    times = []
    for _ in range(int(repeats)):
        start = time.thread_time()
        result = text
        for find, replacement in steps:
            result = result.replace(find, replacement)
        times.append(time.thread_time() - start)
    open(out_path, "wb").write(result)
    print(statistics.median(times))


if __name__ == "__main__":
    main()
