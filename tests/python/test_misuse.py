"""What a careless or hostile caller can do must end in a result or a clean
exception: never a crash, a hang or memory read after it was freed."""

import copy
import os
import pickle
import subprocess
import sys
import threading

import pytest

import glossmith

TEXT = "Hello dude, the elite hacker rocks! \u00e9t\u00e9"


@pytest.mark.parametrize("make", [lambda i: "h\u00e9llo w\u00f6rld %d " % i * 20,
                                  lambda i: "hello world %d " % i * 20,
                                  lambda i: (b"hello w\xc3\xb6rld %d " % i) * 20],
                         ids=["str", "ascii-str", "bytes"])
def test_list_emptied_by_another_thread_while_translating(make):
    t = glossmith.Translator(glossmith.Rules())
    box, stop = [], threading.Event()

    def clearer():
        while not stop.is_set():
            if box:
                box[0].clear()

    thread = threading.Thread(target=clearer)
    thread.start()
    try:
        for _ in range(6):
            texts = [make(i) for i in range(4000)]
            expected = [t.translate(x) for x in texts]
            box[:] = [texts]
            # The call reads the texts it was given, or none if the list was
            # emptied before it started.
            assert t.translate_many(texts, jobs=2) in (expected, [])
    finally:
        stop.set()
        thread.join()


@pytest.mark.parametrize("protocol", range(pickle.HIGHEST_PROTOCOL + 1))
def test_every_protocol_and_copy(protocol):
    rules = glossmith.Rules()
    rules.add_pair("dude", "d00d")
    rules.stored_hardcore = True
    t = glossmith.Translator(rules, hardcore=None)
    for copied in [pickle.loads(pickle.dumps(rules, protocol)), copy.copy(rules),
                   copy.deepcopy(rules)]:
        assert type(copied) is glossmith.Rules and copied.digest == rules.digest
    for copied in [pickle.loads(pickle.dumps(t, protocol)), copy.copy(t), copy.deepcopy(t)]:
        assert type(copied) is glossmith.Translator and copied.digest == t.digest
        assert copied.translate(TEXT) == t.translate(TEXT)


@pytest.mark.parametrize("copier", [copy.copy, copy.deepcopy] + [
    lambda s, p=p: pickle.dumps(s, protocol=p) for p in range(pickle.HIGHEST_PROTOCOL + 1)])
def test_a_stream_refuses_to_be_copied(copier):
    stream = glossmith.Translator(glossmith.Rules()).stream()
    stream.feed("hack the pla")
    with pytest.raises(TypeError, match="Stream cannot be pickled"):
        copier(stream)
    assert stream.feed("net\n") + stream.finish() == "hax0r teh p14n37\n"
    _, alignment = glossmith.Translator(glossmith.Rules()).translate_aligned("hack")
    with pytest.raises(TypeError, match="Alignment cannot be pickled"):
        copier(alignment)
    assert list(alignment) == [(0, 4, 0, 5)]


def blank(cls):
    return cls.__new__(cls)


@pytest.mark.parametrize("use", [
    lambda: blank(glossmith.Translator).translate("hack"),
    lambda: blank(glossmith.Translator).translate_many(["hack"]),
    lambda: blank(glossmith.Translator).stream(),
    lambda: blank(glossmith.Translator).digest,
    lambda: repr(blank(glossmith.Translator)),
    lambda: pickle.dumps(blank(glossmith.Translator), protocol=0),
    lambda: copy.deepcopy(blank(glossmith.Translator)),
    lambda: blank(glossmith.Rules).pair_count,
    lambda: blank(glossmith.Rules).add_pair("a", "b"),
    lambda: setattr(blank(glossmith.Rules), "stored_hardcore", True),
    lambda: pickle.dumps(blank(glossmith.Rules)),
    lambda: glossmith.Translator(blank(glossmith.Rules)),
    lambda: blank(glossmith.Stream).feed("x"),
    lambda: blank(glossmith.Stream).pending,
    lambda: len(blank(glossmith.Alignment)),
    lambda: list(blank(glossmith.Alignment)),
    lambda: blank(glossmith.Alignment).to_source(0, 1),
])
def test_never_initialised_objects_are_refused(use):
    with pytest.raises(TypeError, match="never initialised"):
        use()


@pytest.mark.parametrize("cls", [glossmith.Rules, glossmith.Translator])
def test_setstate_fills_only_a_new_object(cls):
    rules = glossmith.Rules()
    rules.add_pair("hack", "h4x")
    made = rules if cls is glossmith.Rules else glossmith.Translator(rules)
    live = cls(glossmith.Rules()) if cls is glossmith.Translator else cls()
    digest = live.digest
    with pytest.raises(TypeError, match="already initialised"):
        live.__setstate__(made.__getstate__())
    assert live.digest == digest
    fresh = blank(cls)
    fresh.__setstate__(made.__getstate__())
    assert fresh.digest == made.digest


@pytest.mark.parametrize("value", ["no", 1, None])
def test_stored_switch_takes_only_a_bool(value):
    rules = glossmith.Rules()
    with pytest.raises(TypeError, match="stored_hardcore must be True or False, not "
                                        + type(value).__name__):
        rules.stored_hardcore = value


@pytest.mark.parametrize("call, message", [
    (lambda: glossmith.Translator(glossmith.Rules(), to_english="yes"),
     "to_english must be True or False, not str"),
    (lambda: glossmith.Translator(glossmith.Rules(), hardcore=1),
     "hardcore must be True or False, not int"),
    (lambda: glossmith.Translator(glossmith.Rules()).translate_many(5),
     "texts must be a list or another iterable of texts, not int"),
    (lambda: glossmith.Translator(glossmith.Rules()).__setstate__([1]),
     "state must be a tuple, not list"),
])
def test_wrong_arguments_are_named(call, message):
    with pytest.raises(TypeError, match=message):
        call()


FUNCTIONS = [getattr(cls, name) for cls in (glossmith.Rules, glossmith.Translator,
                                            glossmith.Stream)
             for name, value in vars(cls).items()
             if callable(value) and getattr(value, "__doc__", None) and "(" in value.__doc__
             and not name.startswith("__") or name in ("__init__", "__reduce__")]


@pytest.mark.parametrize("function", FUNCTIONS, ids=lambda f: f.__qualname__)
def test_signatures_speak_python(function):
    signature = function.__doc__.splitlines()[0]
    for internal in ("handle", "object", "::", "_glossmith", "glossmith_python"):
        assert internal not in signature


MEMORY_SCRIPT = """
import resource, sys, glossmith
t = glossmith.Translator(glossmith.Rules(), hardcore=True)
text = "\\u00e9" * (24 << 20)
with open("/proc/self/statm") as f:
    size = int(f.read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (size + (80 << 20), resource.RLIM_INFINITY))
try:
    t.translate(text)
except MemoryError as e:
    print(e)
"""


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizer reserves more address space than any limit")
def test_out_of_memory_says_so():
    run = subprocess.run([sys.executable, "-c", MEMORY_SCRIPT], capture_output=True, text=True,
                         timeout=120)
    assert run.stdout.strip() == "out of memory", run.stderr
