import concurrent.futures
import copy
import multiprocessing
import pickle

import pytest

import glossmith
from conftest import DEFAULT_LETTERS, rules_with, write_settings

TEXT = "Hello dude, the elite hacker rocks!\n|-| 3 1 1 0 \u00e9"


def made_in_code():
    return rules_with(pairs=[("dude", "d00d"), ("\u00e9", b"\xc3\xa8")], letters={"h": "#"},
                      stored=True)


def from_file(tmp_path):
    path = write_settings(tmp_path / "s.ini", pairs=[("hello", "howdy")],
                          letters=DEFAULT_LETTERS, usehard="yes")
    rules = glossmith.Rules.from_settings(path)
    rules.add_pair("rock", "r0x")  # changes after loading travel too
    rules.set_letter("E", "[-")
    return rules


RULES = {"builtin": lambda tmp: glossmith.Rules(), "in-code": lambda tmp: made_in_code(),
         "from-file": from_file}


@pytest.mark.parametrize("name", RULES)
@pytest.mark.parametrize("to_english", [False, True])
@pytest.mark.parametrize("hardcore", [None, False, True])
def test_translator_round_trip(tmp_path, name, to_english, hardcore):
    t = glossmith.Translator(RULES[name](tmp_path), to_english=to_english, hardcore=hardcore)
    for copied in (pickle.loads(pickle.dumps(t)), copy.deepcopy(t)):
        assert type(copied) is glossmith.Translator
        assert copied.digest == t.digest and copied.hardcore == t.hardcore
        assert copied.translate(TEXT) == t.translate(TEXT)


@pytest.mark.parametrize("name", RULES)
def test_rules_round_trip(tmp_path, name):
    rules = RULES[name](tmp_path)
    copied = pickle.loads(pickle.dumps(rules))
    assert copied.digest == rules.digest
    assert copied.stored_hardcore == rules.stored_hardcore
    # The copy is a rule set of its own.
    copied.add_pair("x", "y")
    assert copied.digest != rules.digest


def test_bad_state_is_refused():
    t = glossmith.Translator.__new__(glossmith.Translator)
    with pytest.raises(ValueError, match="pickled state"):
        t.__setstate__((2, None, False, None))


def test_worker_processes(tmp_path):
    t = glossmith.Translator(from_file(tmp_path))
    texts = [TEXT * i for i in range(20)]
    context = multiprocessing.get_context("spawn")
    with concurrent.futures.ProcessPoolExecutor(2, mp_context=context) as pool:
        assert list(pool.map(t.translate, texts)) == [t.translate(x) for x in texts]


def test_a_pair_past_the_limit_is_refused():
    rules = glossmith.Rules()
    for i in range(glossmith.MAX_PAIRS):
        rules.add_pair(f"w{i}", "x")
    with pytest.raises(ValueError, match="most pairs"):
        rules.add_pair("one more", "x")
    assert rules.pair_count == glossmith.MAX_PAIRS
    assert pickle.loads(pickle.dumps(rules)).digest == rules.digest


def test_rules_from_a_file_pickle_without_it(tmp_path):
    rules = from_file(tmp_path)
    (tmp_path / "s.ini").unlink()
    copied = pickle.loads(pickle.dumps(rules))
    assert copied.digest == rules.digest
    assert copied.stored_hardcore
