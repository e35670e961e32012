"""Glossmith's translations between plain English and L33T, for Python.

The same engine as the Glossmith window and glossmith-cli: every call gives
exactly their bytes for the same rules.

    >>> import glossmith
    >>> glossmith.to_l33t("hack the planet")
    'hax0r teh p14n37'
    >>> rules = glossmith.Rules()
    >>> rules.add_pair("dude", "d00d")
    >>> t = glossmith.Translator(rules)
    >>> t.translate("dude, hack the planet")
    'd00d, hax0r teh p14n37'
    >>> t.translate(b"dude")
    b'd00d'

A Rules object is a rule set (the Custom string list, the Hardcore alphabet,
the stored Hardcore switch); a Translator is compiled from it for one
direction and mode, is immutable, may be shared by threads and pickles with
its rules, so multiprocessing, Dask and Ray can ship it to workers.
"""

from __future__ import annotations

import functools
import os
from typing import Optional

from ._glossmith import MAX_PAIRS, Alignment, Rules, Stream, Translator, __version__

__all__ = [
    "MAX_PAIRS",
    "Alignment",
    "Rules",
    "Stream",
    "Translator",
    "__version__",
    "to_english",
    "to_l33t",
]


def _rebuild(cls, state):
    # What a pickled Rules or Translator calls to come back: a function of the
    # package, which every pickle protocol can name.
    return cls._from_state(state)


@functools.lru_cache(maxsize=8)
def _builtin_translator(to_english: bool, hardcore: bool) -> Translator:
    # The built-in rules never change, so their translators are compiled once.
    return Translator(Rules(), to_english=to_english, hardcore=hardcore)


def _translator(to_english: bool, hardcore: Optional[bool], settings) -> Translator:
    if settings is None:
        # The built-in rules' stored switch is off.
        return _builtin_translator(to_english, bool(hardcore))
    if isinstance(settings, Rules):
        rules = settings
    elif isinstance(settings, (str, bytes, os.PathLike)):
        rules = Rules.from_settings(settings)
    else:
        raise TypeError(
            "settings must be None, a Rules or the path of a settings file, not "
            + type(settings).__name__
        )
    return Translator(rules, to_english=to_english, hardcore=hardcore)


def to_l33t(text, hardcore: Optional[bool] = None, settings=None):
    """Translates English `text` (str, or bytes-like for bytes) to L33T.

    hardcore: True for Hardcore L33T, False for standard L33T; None (the
    default, as for Translator) follows the stored switch of the settings, as
    the window and glossmith-cli do. settings: None for the built-in rules (the
    default alphabet, no Custom pairs, the switch off), a Rules, or the path of
    a settings file, read at each call.
    """
    return _translator(False, hardcore, settings).translate(text)


def to_english(text, hardcore: Optional[bool] = None, settings=None):
    """Translates L33T `text` (str, or bytes-like for bytes) back to English.

    The arguments are those of to_l33t().
    """
    return _translator(True, hardcore, settings).translate(text)

