import re
import threading

import pytest

import glossmith


def translator(to_english=False, hardcore=False, pairs=()):
    rules = glossmith.Rules()
    for find, replacement in pairs:
        rules.add_pair(find, replacement)
    return glossmith.Translator(rules, to_english=to_english, hardcore=hardcore)


def mask(post, banned, to_english=True, pairs=()):
    """The moderation example: de-leet a post, find banned words in the
    English, and mask them in the post as written, right to left."""
    english, alignment = translator(to_english, pairs=pairs).translate_aligned(post)
    binary = not isinstance(post, str)
    pattern = re.compile(rb"\b(%s)\b" % banned if binary else r"\b(%s)\b" % banned)
    masked = post
    for match in reversed(list(pattern.finditer(english))):
        start, end = alignment.to_source(match.start(), match.end())
        masked = masked[:start] + (b"#" if binary else "#") * (end - start) + masked[end:]
    return masked


@pytest.mark.parametrize("post, banned, expected", [
    ("u r 4 n00b, h4x0r", "newbie", "u r 4 ####, h4x0r"),
    ("teh n00b 15 h3r3", "newbie|the", "######## 15 h3r3"),  # "teh " is one piece
    ("c4f\u00e9 n00b \U0001f600 n00b!", "newbie", "c4f\u00e9 #### \U0001f600 ####!"),
    ("\u00e9\u00e9 j00 5uck", "you|suck", "\u00e9\u00e9 ### ####"),
    ("n0 b4d w0rdz h3r3", "newbie", "n0 b4d w0rdz h3r3"),
], ids=["word", "two-words", "non-ascii", "non-ascii-before", "nothing"])
def test_moderation_example_for_str(post, banned, expected):
    assert mask(post, banned) == expected


def test_moderation_example_for_bytes():
    post = "caf\u00e9 n00b \u00e0 teh d00d".encode()
    masked = mask(post, b"newbie|dude")
    assert masked == "caf\u00e9 #### \u00e0 teh ####".encode()
    assert mask(bytearray(post), b"newbie") == bytearray("caf\u00e9 #### \u00e0 teh d00d".encode())


@pytest.mark.parametrize("to_english, hardcore, pairs, text", [
    (False, False, (), "hack the planet, dude"),
    (False, True, (), "Hi there"),
    (True, False, (), "teh n00b 15 1337 \u00e9 h4x0r"),
    (True, True, (), "|-| 3 1 1 0 "),
    (False, False, [("caf\u00e9", "kafe"), ("x", "")], "un caf\u00e9 \u00e0 x \U0001f600"),
], ids=["standard", "hardcore", "reverse", "reverse-hardcore", "non-ascii-pairs"])
def test_pieces_cover_both_texts(to_english, hardcore, pairs, text):
    t = translator(to_english, hardcore, pairs)
    for source in (text, text.encode()):
        target, alignment = t.translate_aligned(source)
        assert target == t.translate(source)
        pieces = list(alignment)
        assert len(pieces) == len(alignment)
        joined_source = type(source)().join(source[a:b] for a, b, _, _ in pieces)
        joined_target = type(target)().join(target[c:d] for _, _, c, d in pieces)
        assert (joined_source, joined_target) == (source, target)
        assert all(a < b for a, b, _, _ in pieces)
        assert all(p[1] == q[0] and p[3] == q[2] for p, q in zip(pieces, pieces[1:]))


@pytest.mark.parametrize("text, query, source, target", [
    ("hack the planet", (1, 2), (0, 4), (0, 5)),
    ("hack the planet", (6, 10), (5, 9), (6, 11)),
    ("caf\u00e9 hack", (4, 5), (4, 5), (4, 5)),
    ("caf\u00e9 hack", (5, 9), (5, 9), (5, 10)),
    ("\U0001f600the ", (1, 3), (1, 5), (1, 5)),
], ids=["hax0r", "teh", "accent", "after-accent", "after-emoji"])
def test_queries_in_characters(text, query, source, target):
    _, alignment = translator().translate_aligned(text)
    assert alignment.to_source(*query) == source
    assert alignment.to_target(*query) == target


def test_bad_arguments():
    _, alignment = translator().translate_aligned("hack")
    with pytest.raises(ValueError):
        alignment.to_source(3, 2)
    with pytest.raises(TypeError):
        translator().translate_aligned(42)
    assert alignment.to_target(0, 99) == (0, 5)


def test_threads_share_one_translator():
    t = translator(pairs=[("dude", "d00d")])
    texts = ["dude, hack the planet \u00e9 " * (200 + i) for i in range(4)]
    results = [None] * len(texts)

    def work(i):
        for _ in range(3):
            results[i] = list(t.translate_aligned(texts[i])[1])

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(texts))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for text, pieces in zip(texts, results):
        assert pieces == list(t.translate_aligned(text)[1])
