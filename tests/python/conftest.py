import pathlib

import pytest

import glossmith

# Debian's default Hardcore alphabet, as the Hardcore L33T Editor first writes it.
DEFAULT_LETTERS = dict(zip(
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
    ["4", "8", "(", "|)", "3", "|=", "6", "|-|", "!", "_|", "|<", "1", "|\\/|", "|\\|", "0",
     "|>", "().", ".-", "5", "7", "|_|", "\\/", "\\|/", "><", "9", "2"],
))


def pytest_report_header(config):
    # Says which build of the package ran, so a stale installed copy shows.
    return f"glossmith {glossmith.__version__} from {pathlib.Path(glossmith.__file__).parent}"


def ini_value(text):
    """A value as QSettings writes it in an INI file: quoted, with escapes."""
    escaped = text.replace("\\", "\\\\").replace('"', '\\"')
    return '"' + escaped.replace("\r", "\\r").replace("\n", "\\n") + '"'


def write_settings(path, pairs=(), letters=None, usehard=None):
    """A settings file laid out as the window's store lays it out."""
    lines = []
    if usehard is not None:
        lines += ["[General]", f"usehard={ini_value(usehard)}", ""]
    if pairs:
        lines += ["[change]",
                  "search=" + ini_value("".join(f + "\r\n" for f, _ in pairs)),
                  "replace=" + ini_value("".join(r + "\r\n" for _, r in pairs)), ""]
    if letters:
        lines += ["[hardcore]"] + [f"{k}={ini_value(v)}" for k, v in letters.items()] + [""]
    path.write_text("\n".join(lines), encoding="utf-8")
    return path


@pytest.fixture
def settings_file(tmp_path):
    return lambda **kwargs: write_settings(tmp_path / "settings.ini", **kwargs)


def rules_with(pairs=(), letters=None, stored=False, blank_letters=False):
    """Built in code, the rules that a settings file of the same content holds."""
    rules = glossmith.Rules()
    for find, replacement in pairs:
        rules.add_pair(find, replacement)
    if blank_letters:  # a letter the file does not hold is empty
        for letter in DEFAULT_LETTERS:
            rules.set_letter(letter, "")
    for letter, symbol in (letters or {}).items():
        rules.set_letter(letter, symbol)
    rules.stored_hardcore = stored
    return rules
