"""Every layer against the step-by-step rules, cell by cell: for each rule
set (a settings file), direction, mode and input, the Python module,
glossmith-cli (which runs the C API) and the reference rules give the same
bytes. The C API and the C++ wrapper are held against the same reference in
lib_tests."""

import os
import random
import subprocess

import pytest

import glossmith

CLI = os.environ["GLOSSMITH_CLI"]
PROBE = os.environ["GLOSSMITH_REFERENCE_PROBE"]

DEFAULT_ALPHABET = {
    "A": "4", "B": "8", "C": "(", "D": "|)", "E": "3", "F": "|=", "G": "6", "H": "|-|",
    "I": "!", "J": "_|", "K": "|<", "L": "1", "M": "|\\/|", "N": "|\\|", "O": "0", "P": "|>",
    "Q": "().", "R": ".-", "S": "5", "T": "7", "U": "|_|", "V": "\\/", "W": "\\|/", "X": "><",
    "Y": "9", "Z": "2",
}


def quoted(value):
    """A value as the settings file writes it: quoted, with C escapes."""
    escaped = (value.replace("\\", "\\\\").replace('"', '\\"')
               .replace("\r", "\\r").replace("\n", "\\n"))
    return '"' + escaped + '"'


def settings_file(pairs=(), alphabet=DEFAULT_ALPHABET):
    search = "".join(find + "\r\n" for find, _ in pairs)
    replace = "".join(replacement + "\r\n" for _, replacement in pairs)
    lines = ["[change]", "search=" + quoted(search), "replace=" + quoted(replace), "[hardcore]"]
    lines += [letter + "=" + quoted(symbol) for letter, symbol in alphabet.items()]
    return "\n".join(lines) + "\n"


def rule_sets():
    edited = dict(DEFAULT_ALPHABET, A="b", B="aa", E="", H="|-|")
    feeding = [("a%d" % (i % 7), "a%da%d" % ((i + 1) % 7, i % 7)) for i in range(24)]
    rng = random.Random(7)
    words = [("".join(rng.choice("abcdefghijklmnop") for _ in range(rng.randint(3, 8))),
              "".join(rng.choice("0123456789") for _ in range(rng.randint(1, 4))))
             for _ in range(glossmith.MAX_PAIRS)]
    return {
        "built-in": (settings_file(), 1 << 20),
        "edited alphabet": (settings_file(alphabet=edited), 1 << 20),
        "odd pairs": (settings_file([("dude", "d00d"), ("x", ""), ("hack", "h4x\nh4x"),
                                     ("line\n", "|")]), 1 << 20),
        "self-feeding pairs": (settings_file(feeding), 1 << 20),
        "32768 pairs": (settings_file(words), 1 << 16),
    }


def inputs(random_bytes):
    rng = random.Random(11)
    return {
        "empty": b"",
        "utf-8": "Hack the planet, dude: élite häx0rs ✓ rock".encode(),
        "nul bytes": b"the\0dude\0a\0b rocks\0",
        "cr lf": b"you rock\r\nthe elite hackers\r\n",
        "no final break": b"the elite\nhackers",
        "random bytes": bytes(rng.getrandbits(8) for _ in range(random_bytes)),
    }


@pytest.mark.parametrize("name", list(rule_sets()))
def test_every_layer_gives_the_reference_bytes(tmp_path, name):
    text, random_bytes = rule_sets()[name]
    path = tmp_path / "settings.ini"
    path.write_text(text, encoding="utf-8")
    rules = glossmith.Rules.from_settings(str(path))
    for to_english in (False, True):
        for hardcore in (False, True):
            translator = glossmith.Translator(rules, to_english=to_english, hardcore=hardcore)
            cli_flags = (["-r"] if to_english else []) + (["--hardcore"] if hardcore else ["--standard"])
            probe_flags = ["to-english" if to_english else "to-l33t",
                           "hardcore" if hardcore else "standard"]
            for input_name, data in inputs(random_bytes).items():
                cell = f"{name}, {'to English' if to_english else 'to L33T'}, " \
                       f"{'Hardcore' if hardcore else 'standard'}, {input_name}"
                expected = subprocess.run([PROBE, str(path), *probe_flags], input=data,
                                          capture_output=True, check=True).stdout
                cli = subprocess.run([CLI, "--settings", str(path), *cli_flags], input=data,
                                     capture_output=True, check=True).stdout
                assert translator.translate(data) == expected, cell + ": Python"
                assert cli == expected, cell + ": glossmith-cli"
