import os
import pathlib
import subprocess

import pytest

import glossmith
from conftest import DEFAULT_LETTERS, rules_with

PAIRS = [("dude", "d00d"), ("rock", "r0x0r"), ("caf\u00e9", "k4ff33")]


@pytest.mark.parametrize("content, same_as", [
    ({}, {"blank_letters": True}),
    ({"pairs": PAIRS}, {"pairs": PAIRS, "blank_letters": True}),
    ({"letters": DEFAULT_LETTERS}, {}),
    ({"letters": {"H": "|-|"}}, {"letters": {"H": "|-|"}, "blank_letters": True}),
    ({"letters": DEFAULT_LETTERS, "usehard": "yes"}, {"stored": True}),
    ({"letters": DEFAULT_LETTERS, "usehard": "Yes"}, {}),
    ({"pairs": PAIRS, "letters": DEFAULT_LETTERS, "usehard": "yes"}, {"pairs": PAIRS, "stored": True}),
], ids=["empty", "pairs", "alphabet", "one-letter", "usehard-yes", "usehard-Yes", "everything"])
def test_file_holds_the_same_rules_as_code(settings_file, content, same_as):
    loaded = glossmith.Rules.from_settings(settings_file(**content))
    expected = rules_with(**same_as)
    assert loaded.digest == expected.digest
    assert loaded.stored_hardcore == expected.stored_hardcore
    assert loaded.pair_count == len(content.get("pairs", ()))


def test_translates_with_the_file(settings_file):
    path = settings_file(pairs=[("dude", "d00d")], letters=DEFAULT_LETTERS, usehard="yes")
    t = glossmith.Translator(glossmith.Rules.from_settings(path))
    assert t.hardcore
    assert t.translate("hello dude") == "|-| 3 1 1 0  |) 00|) "
    # Without hardcore, the helpers follow the stored switch, as Translator does.
    assert glossmith.to_l33t("hello dude", settings=path) == "|-| 3 1 1 0  |) 00|) "
    assert glossmith.to_l33t(b"dude", hardcore=False, settings=pathlib.Path(path)) == b"d00d"
    assert glossmith.to_english("|) 00|) ", settings=path) == "dude"


@pytest.mark.parametrize("environment", ["xdg", "home"])
def test_per_user_file(tmp_path, monkeypatch, settings_file, environment):
    if environment == "xdg":
        monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))
        folder = tmp_path / "config" / "glossmith"
    else:
        monkeypatch.delenv("XDG_CONFIG_HOME", raising=False)
        monkeypatch.setenv("HOME", str(tmp_path))
        folder = tmp_path / ".config" / "glossmith"
    # A missing per-user file holds no settings.
    assert glossmith.Rules.from_settings().digest == rules_with(blank_letters=True).digest
    folder.mkdir(parents=True)
    path = settings_file(pairs=PAIRS, usehard="yes")
    path.rename(folder / "l33t.ini")
    assert glossmith.Rules.from_settings(None).digest == rules_with(
        pairs=PAIRS, blank_letters=True, stored=True).digest


@pytest.mark.parametrize("path, error", [
    ("missing.ini", FileNotFoundError),
    (".", IsADirectoryError),
    (3.5, TypeError),
], ids=["missing", "folder", "float"])
def test_unreadable_settings(tmp_path, monkeypatch, path, error):
    monkeypatch.chdir(tmp_path)
    with pytest.raises(error):
        glossmith.Rules.from_settings(path)


@pytest.mark.skipif("GLOSSMITH_CLI" not in os.environ, reason="needs GLOSSMITH_CLI")
@pytest.mark.parametrize("arguments, to_english, hardcore", [
    ([], False, None), (["--standard"], False, False), (["-r"], True, None),
    (["-r", "--hardcore"], True, True),
])
def test_same_as_glossmith_cli(settings_file, arguments, to_english, hardcore):
    path = settings_file(pairs=PAIRS, letters=DEFAULT_LETTERS, usehard="yes")
    text = "Hello dude, the caf\u00e9 rocks!\r\n|-| 3 1 1 0 d00d 7h3 ".encode() * 50
    cli = subprocess.run([os.environ["GLOSSMITH_CLI"], "--settings", str(path), *arguments],
                         input=text, capture_output=True, check=True)
    t = glossmith.Translator(glossmith.Rules.from_settings(path), to_english, hardcore)
    assert t.translate(text) == cli.stdout
