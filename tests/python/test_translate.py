import threading

import pytest

import glossmith


def translator(to_english=False, hardcore=False, pairs=()):
    rules = glossmith.Rules()
    for find, replacement in pairs:
        rules.add_pair(find, replacement)
    return glossmith.Translator(rules, to_english=to_english, hardcore=hardcore)


@pytest.mark.parametrize("to_english, hardcore, pairs, text, expected", [
    (False, False, (), "hack the planet", "hax0r teh p14n37"),
    (False, True, (), "Hi", "|-| ! "),
    (True, False, (), "teh d00d ", "the dude "),
    (True, True, (), "|-| 3 1 1 0 ", "hello"),
    (False, False, [("hello", "howdy")], "hello dude", "h0wdy d00d"),
    (False, True, [("dude", "d00d")], "hello dude", "|-| 3 1 1 0  |) 00|) "),
    (True, False, [("cat", "kitty")], "kitty", "cat"),
    (False, False, (), "", ""),
    (False, False, (), "a\r\nb\rc\n\n\r", "4\r\nb\rc\n\n\r"),
    (False, False, (), "caf\u00e9 \u00e0 la cr\u00e8me \U0001f600", "c4f\u00e9 \u00e0 14 cr\u00e8m3 \U0001f600"),
    (False, False, (), "a\0b", "4\0b"),
], ids=["standard", "hardcore", "reverse", "reverse-hardcore", "pairs", "pairs-hardcore",
        "pairs-reverse", "empty", "line-breaks", "non-ascii", "nul"])
def test_translations(to_english, hardcore, pairs, text, expected):
    t = translator(to_english, hardcore, pairs)
    assert t.translate(text) == expected
    assert t.translate(text.encode()) == expected.encode()


@pytest.mark.parametrize("make", [bytes, bytearray, memoryview, lambda b: memoryview(b"xx" + b)[2:]],
                         ids=["bytes", "bytearray", "memoryview", "memoryview-slice"])
def test_bytes_like_in_gives_bytes_out(make):
    t = translator()
    result = t.translate(make(b"hello\xff\xfe"))
    assert type(result) is bytes and result == b"h3110\xff\xfe"


# 20,000 copies (600 KB) go through a buffer; 600,000 (18 MB) straight into
# the result. Over a megabyte, the library's first pieces fit the guess.
@pytest.mark.parametrize("hardcore, pairs, copies", [
    (False, (), 20000),
    (False, (), 600000),
    (True, [("e", "\u00e9")], 20000),
    (True, [("e", "\u00e9")], 600000),
    (False, [("e", "e" * 40)], 20000),
    (False, [("e", "e" * 6)], 100000),
    (False, [("e", "e" * 6)], 600000),
    (False, [("the elite hacker rocks, dude!", "")], 600000),
], ids=["standard", "standard-direct", "non-ascii-out", "non-ascii-out-direct",
        "far-past-the-guess", "past-the-guess", "past-the-guess-direct", "shrinks-direct"])
def test_long_texts_match_short_ones(hardcore, pairs, copies):
    # Long texts take the path that writes into the result and releases the
    # GIL; a text cut after a line feed translates piece by piece.
    t = translator(hardcore=hardcore, pairs=pairs)
    piece = "the elite hacker rocks, dude!\n"
    for _ in range(2):  # the second time with the length learnt from the first
        expected = t.translate(piece) * copies
        assert t.translate(piece * copies) == expected
        assert t.translate((piece * copies).encode()) == expected.encode()
        assert t.translate("\u00fc" + piece * copies) == t.translate("\u00fc") + expected


def test_threads_share_a_translator():
    t = translator()
    texts = [f"hack {i} " * 5000 for i in range(8)]
    results = [None] * len(texts)

    def work(i):
        results[i] = t.translate(texts[i])

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(texts))]
    for th in threads:
        th.start()
    for th in threads:
        th.join()
    assert results == [t.translate(x) for x in texts]


@pytest.mark.parametrize("call, error, message", [
    (lambda r: r.add_pair("", "x"), ValueError, "must not be empty"),
    (lambda r: r.add_pair(b"", "x"), ValueError, "must not be empty"),
    (lambda r: r.add_pair(1, "x"), TypeError, "find must be str or a bytes-like"),
    (lambda r: r.add_pair("x", None), TypeError, "replacement must be str"),
    (lambda r: r.set_letter("1", "x"), ValueError, "A to Z"),
    (lambda r: r.set_letter("AB", "x"), ValueError, "A to Z"),
    (lambda r: r.set_letter("\u00e9", "x"), ValueError, "A to Z"),
    (lambda r: r.set_letter("", "x"), ValueError, "A to Z"),
    (lambda r: r.set_letter(65, "x"), TypeError, "letter must be str"),
    (lambda r: r.add_pair("\ud800", "x"), UnicodeEncodeError, "surrogates"),
], ids=["empty-find", "empty-find-bytes", "find-int", "replacement-none", "letter-digit",
        "letter-two", "letter-accented", "letter-empty", "letter-int", "lone-surrogate"])
def test_rules_refuse_wrong_arguments(call, error, message):
    rules = glossmith.Rules()
    before = rules.digest
    with pytest.raises(error, match=message):
        call(rules)
    assert rules.digest == before


@pytest.mark.parametrize("call, error, message", [
    (lambda t: t.translate(None), TypeError, "text must be str or a bytes-like object, not NoneType"),
    (lambda t: t.translate(["hack"]), TypeError, "not list"),
    (lambda t: t.translate("\udcff"), UnicodeEncodeError, "surrogates not allowed"),
    (lambda t: t.translate(memoryview(b"abcd")[::2]), ValueError, "contiguous"),
    (lambda t: t.translate_many(["a", b"b"]), TypeError, "all str or all bytes-like: item 1"),
    (lambda t: t.translate_many([b"a", "b"]), TypeError, "item 1 is str"),
    (lambda t: t.translate_many(["a"], jobs=0), ValueError, "at least 1"),
    (lambda t: t.translate_many(["a"], jobs=-3), ValueError, "at least 1"),
    (lambda t: t.translate_many(["a"], jobs=2.0), TypeError, "jobs must be an int"),
    (lambda t: t.translate_many(5), TypeError, "iterable of texts"),
    (lambda t: t.translate_many(["a", 5]), TypeError, "each text must be str"),
], ids=["none", "list", "surrogate", "strided", "mix-str-bytes", "mix-bytes-str", "jobs-0",
        "jobs-negative", "jobs-float", "not-iterable", "item-int"])
def test_translator_refuses_wrong_arguments(call, error, message):
    with pytest.raises(error, match=message):
        call(translator())


def test_translation_that_is_not_utf8_raises_for_str_only():
    t = translator(pairs=[(b"x", b"\xff")])
    assert t.translate(b"x") == b"\xff"
    with pytest.raises(UnicodeDecodeError):
        t.translate("x")


@pytest.mark.parametrize("hardcore, stored, expected", [
    (None, False, False), (None, True, True), (False, True, False), (True, False, True),
])
def test_hardcore_none_follows_the_stored_switch(hardcore, stored, expected):
    rules = glossmith.Rules()
    rules.stored_hardcore = stored
    t = glossmith.Translator(rules, hardcore=hardcore)
    assert t.hardcore is expected
    assert t.digest == glossmith.Translator(glossmith.Rules(), hardcore=expected).digest


def test_digests():
    base, changed = glossmith.Rules(), glossmith.Rules()
    changed.set_letter("h", "#")
    assert base.digest != changed.digest and len(base.digest) == 64
    # The standard chain does not read the alphabet; Hardcore does.
    assert glossmith.Translator(base).digest == glossmith.Translator(changed).digest
    assert (glossmith.Translator(base, hardcore=True).digest
            != glossmith.Translator(changed, hardcore=True).digest)


def test_translator_keeps_the_rules_it_was_compiled_from():
    rules = glossmith.Rules()
    t = glossmith.Translator(rules)
    rules.add_pair("hack", "crack")
    assert t.translate("hack") == "hax0r"
    assert glossmith.Translator(rules).translate("hack") == "cr4ck"


def test_split_bytes_and_point():
    t = translator()
    assert b"\n" in t.split_bytes and b"a" not in t.split_bytes
    assert list(t.split_bytes) == sorted(t.split_bytes)
    assert t.split_point("hack\nthe") == 5
    assert t.split_point("\u00e9") == len("\u00e9".encode())


@pytest.mark.parametrize("function, text, kwargs, expected", [
    (glossmith.to_l33t, "hack the planet", {}, "hax0r teh p14n37"),
    (glossmith.to_l33t, b"Hi", {"hardcore": True}, b"|-| ! "),
    (glossmith.to_english, "teh d00d ", {}, "the dude "),
    (glossmith.to_english, "|-| 3 1 1 0 ", {"hardcore": True}, "hello"),
])
def test_functions(function, text, kwargs, expected):
    assert function(text, **kwargs) == expected


def test_functions_take_rules():
    rules = glossmith.Rules()
    rules.add_pair("dude", "d00d")
    assert glossmith.to_l33t("dude", settings=rules) == "d00d"
    with pytest.raises(TypeError, match="settings must be"):
        glossmith.to_l33t("dude", settings=3)


def test_version_and_names():
    assert glossmith.__version__.count(".") == 2
    assert repr(glossmith.Translator(glossmith.Rules())).startswith("<glossmith.Translator")
    assert glossmith.Rules.__module__ == "glossmith"
