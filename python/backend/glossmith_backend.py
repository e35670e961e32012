"""The build backend: setuptools', able to build without the package index.

`pip install --no-build-isolation .` uses whatever the interpreter has. A
fresh virtual environment has setuptools but not wheel (and from Python 3.12
not setuptools either); Debian ships both as wheel files for exactly this
(python3-wheel-whl, python3-setuptools-whl), and a pure-Python wheel imports
from its file. They are used only for what the interpreter lacks.
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


_borrow_missing("setuptools", "setuptools")
_borrow_missing("wheel", "wheel")

from setuptools.build_meta import *  # noqa: E402,F401,F403  (the hooks themselves)
from setuptools.build_meta import __all__  # noqa: E402,F401
