"""Every public name of the module explains itself in pydoc."""
import inspect

import pytest

import glossmith

CLASSES = [glossmith.Rules, glossmith.Translator, glossmith.Stream, glossmith.Alignment]


def described(obj):
    """The docstring without the signature line that pybind11 puts first."""
    lines = (inspect.getdoc(obj) or "").splitlines()
    if lines and "(" in lines[0] and "->" in lines[0]:
        lines = lines[1:]
    return "\n".join(lines).strip()


@pytest.mark.parametrize("name", [n for n in dir(glossmith)
                                  if not n.startswith("_") and callable(getattr(glossmith, n))])
def test_every_public_name_has_a_docstring(name):
    assert described(getattr(glossmith, name))


@pytest.mark.parametrize("member", [(cls, name) for cls in CLASSES for name in vars(cls)
                                    if not name.startswith("_")],
                         ids=lambda m: f"{m[0].__name__}.{m[1]}")
def test_every_public_member_has_a_docstring(member):
    cls, name = member
    assert described(getattr(cls, name)), f"{cls.__name__}.{name}"
