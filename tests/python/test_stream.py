import random

import pytest

import glossmith


def translators():
    rules = glossmith.Rules()
    rules.add_pair("dude", "d00d")
    # A continuation byte that a step looks for: the engine may then cut the
    # text inside a character, which a str stream must not pass on.
    rules.add_pair(b"\xa9!", b"\xa9!")
    return {
        "to-l33t": glossmith.Translator(rules),
        "to-l33t-hardcore": glossmith.Translator(rules, hardcore=True),
        "to-english": glossmith.Translator(rules, to_english=True),
        "to-english-hardcore": glossmith.Translator(rules, to_english=True, hardcore=True),
    }


TRANSLATORS = translators()
SMALL = ["hack the\nplanet, dude", "caf\u00e9!\n\u00e9t\u00e9 \U0001f600 s!\n", "|-| 3 1 1 0 \n7h3 "]


def run(stream, pieces):
    out = [stream.feed(p) for p in pieces]
    out.append(stream.finish())
    return out


@pytest.mark.parametrize("name", TRANSLATORS)
@pytest.mark.parametrize("text", SMALL)
def test_every_cut_in_two_and_three(name, text):
    t = TRANSLATORS[name]
    whole = t.translate(text)
    for i in range(len(text) + 1):
        for j in range(i, len(text) + 1):
            pieces = run(t.stream(), [text[:i], text[i:j], text[j:]])
            assert all(type(p) is str for p in pieces)
            assert "".join(pieces) == whole, (i, j)


@pytest.mark.parametrize("name", TRANSLATORS)
@pytest.mark.parametrize("text", SMALL)
def test_every_byte_cut(name, text):
    t = TRANSLATORS[name]
    data = text.encode()
    whole = t.translate(data)
    for i in range(len(data) + 1):
        assert b"".join(run(t.stream(), [data[:i], data[i:]])) == whole
    assert b"".join(run(t.stream(), [data[i:i + 1] for i in range(len(data))])) == whole


@pytest.mark.parametrize("name", TRANSLATORS)
def test_random_cuts_of_a_long_text(name):
    t = TRANSLATORS[name]
    rng = random.Random(7)
    text = "".join(rng.choice(SMALL) + rng.choice([" ", "\n", "\u00e9", "s"]) for _ in range(20000))
    cuts = sorted(rng.sample(range(len(text)), 200)) + [len(text)]
    # Some pieces are long enough to be fed with the GIL released.
    cuts[50:60] = [cuts[49] + 40000 * k for k in range(1, 11)]
    cuts = sorted(c for c in set(cuts) if c <= len(text))
    pieces, start = [], 0
    for cut in cuts:
        pieces.append(text[start:cut])
        start = cut
    assert "".join(run(t.stream(), pieces)) == t.translate(text)
    assert b"".join(run(t.stream(), [p.encode() for p in pieces])) == t.translate(text.encode())


def test_stream_holds_back_a_cut_character():
    t = TRANSLATORS["to-l33t"]
    s = t.stream()
    assert s.feed("caf\u00e9") == "c4f"  # the engine gave the first byte of é
    assert s.feed("!") + s.finish() == "\u00e9!"


@pytest.mark.parametrize("first, second, message", [
    ("a", b"b", "translates str, not bytes"),
    (b"a", "b", "translates bytes, not str"),
    (b"a", 3, "piece must be str or a bytes-like object"),
])
def test_stream_refuses_other_types(first, second, message):
    s = TRANSLATORS["to-l33t"].stream()
    s.feed(first)
    with pytest.raises(TypeError, match=message):
        s.feed(second)


def test_finished_stream_takes_nothing():
    s = TRANSLATORS["to-l33t"].stream()
    assert s.feed("hack") == "" and s.pending == 4
    assert s.finish() == "hax0r"
    with pytest.raises(ValueError):
        s.feed("more")
    with pytest.raises(ValueError):
        s.finish()


def test_stream_keeps_its_translator():
    s = glossmith.Translator(glossmith.Rules()).stream()  # the only reference to it
    assert s.feed("hack\n") == "hax0r\n"


def aligned_run(stream, pieces):
    """What feed_aligned and finish_aligned return, joined."""
    texts, aligned = [], []
    for part in [stream.feed_aligned(p) for p in pieces] + [stream.finish_aligned()]:
        texts.append(part[0])
        aligned += part[1]
    return texts, aligned


def cuttings(text, rng):
    """One unit at a time, random sizes, and pieces long enough to release the GIL."""
    yield [text[i:i + 1] for i in range(len(text))]
    for limit in (7, 40000):
        pieces, at = [], 0
        while at < len(text):
            step = rng.randint(0, limit)
            pieces.append(text[at:at + step])
            at += step
        yield pieces


ALIGNED_TEXTS = SMALL + ["the\r\nelite\r\n\r\nhackers dude\r\n"]


@pytest.mark.parametrize("name", TRANSLATORS)
@pytest.mark.parametrize("as_bytes", [False, True], ids=["str", "bytes"])
def test_aligned_stream_gives_the_whole_texts_pieces(name, as_bytes):
    t = TRANSLATORS[name]
    rng = random.Random(11)
    long_text = "".join(rng.choice(SMALL) + rng.choice([" ", "\r\n", "\u00e9"]) for _ in range(3000))
    for text in ALIGNED_TEXTS + [long_text]:
        if as_bytes:
            text = text.encode()
        whole, alignment = t.translate_aligned(text)
        expected = list(alignment)
        for pieces in cuttings(text, rng):
            texts, aligned = aligned_run(t.stream(), pieces)
            assert all(type(x) is type(whole) for x in texts)
            assert type(whole)().join(texts) == whole
            assert aligned == expected, (text[:40], len(pieces))


@pytest.mark.parametrize("first, rest, expected", [
    # Plain feeds count too: offsets are from the start of the whole text.
    ("hack\nha", "ck\nthe", ("hax0r\n", [(5, 9, 6, 11), (9, 10, 11, 12)])),
    ("\u00e9\n", "hack\nthe", ("hax0r\n", [(2, 6, 2, 7), (6, 7, 7, 8)])),
    (b"\xc3\xa9\n", b"hack\nthe", (b"hax0r\n", [(3, 7, 3, 8), (7, 8, 8, 9)])),
    # Cut inside the \u00e9, whose piece the plain feed passed on.
    ("caf\u00e9", "!\n", ("\u00e9!\n", [(4, 5, 4, 5), (5, 6, 5, 6)])),
])
def test_aligned_offsets_count_from_the_start(first, rest, expected):
    s = TRANSLATORS["to-l33t"].stream()
    s.feed(first)
    assert s.feed_aligned(rest) == expected


def test_aligned_calls_refuse_as_the_plain_ones():
    s = TRANSLATORS["to-l33t"].stream()
    s.feed_aligned("a")
    with pytest.raises(TypeError, match="translates str, not bytes"):
        s.feed_aligned(b"b")
    assert s.finish_aligned() == ("4", [(0, 1, 0, 1)])
    with pytest.raises(ValueError):
        s.feed_aligned("more")
    with pytest.raises(ValueError):
        s.finish_aligned()
    assert TRANSLATORS["to-l33t"].stream().finish_aligned() == ("", [])
