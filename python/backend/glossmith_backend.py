"""The build backend: setuptools', able to build without the package index.

`pip install --no-build-isolation .` uses whatever the interpreter has, and
a fresh virtual environment has setuptools but no wheel. Debian ships wheel
as a wheel file for exactly this (python3-wheel-whl), and a pure-Python wheel
imports from its file; it is used only when the interpreter has none.
(setuptools cannot be lent that way: wheel asks pkg_resources for its
distribution, which a wheel file on sys.path does not provide.)
"""

import glob
import importlib.util
import sys

DEBIAN_WHEELS = "/usr/share/python-wheels"


def _borrow_missing(module, distribution):
    if importlib.util.find_spec(module) is not None:
        return
    found = sorted(glob.glob(f"{DEBIAN_WHEELS}/{distribution}-*-py3-none-any.whl"))
    if found:
        sys.path.append(found[-1])


_borrow_missing("wheel", "wheel")

from setuptools.build_meta import *  # noqa: E402,F401,F403  (the hooks themselves)
from setuptools.build_meta import __all__  # noqa: E402,F401
