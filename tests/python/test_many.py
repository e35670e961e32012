import random

import pytest

import glossmith

rng = random.Random(11)
WORDS = ["hack", "the", "planet", "dude", "\u00e9t\u00e9", "rocks!", "n00b", "\n", "7h3", ""]
TEXTS = [" ".join(rng.choices(WORDS, k=rng.randrange(0, 60))) for _ in range(3000)]


@pytest.fixture(scope="module")
def translator():
    rules = glossmith.Rules()
    rules.add_pair("planet", "world")
    return glossmith.Translator(rules, hardcore=True)


@pytest.mark.parametrize("jobs", [None, 1, 2, 7])
@pytest.mark.parametrize("kind", ["str", "bytes", "bytearray", "memoryview"])
def test_equals_a_loop(translator, jobs, kind):
    make = {"str": str, "bytes": str.encode, "bytearray": lambda s: bytearray(s.encode()),
            "memoryview": lambda s: memoryview(s.encode())}[kind]
    texts = [make(t) for t in TEXTS]
    expected = [translator.translate(t) for t in texts]
    assert translator.translate_many(texts, jobs=jobs) == expected
    assert all(type(r) is (str if kind == "str" else bytes) for r in expected)


@pytest.mark.parametrize("texts", [[], (), iter(TEXTS[:5]), [TEXTS[0] * 5000]],
                         ids=["empty-list", "empty-tuple", "iterator", "one-long"])
def test_any_iterable(translator, texts):
    texts = list(texts)
    assert translator.translate_many(iter(texts), jobs=2) == [translator.translate(t) for t in texts]


def test_a_result_that_is_no_str_stops_every_thread():
    rules = glossmith.Rules()
    rules.add_pair(b"x", b"\xff")
    t = glossmith.Translator(rules, hardcore=False)
    texts = TEXTS * 3
    texts[len(texts) // 2] = "x"
    with pytest.raises(UnicodeDecodeError):
        t.translate_many(texts, jobs=2)
    assert t.translate_many(TEXTS, jobs=2) == [t.translate(x) for x in TEXTS]
