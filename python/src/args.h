#pragma once

// Arguments and results that signatures name in Python's words, as the stubs
// (glossmith/__init__.pyi) do. An argument is taken as it comes; the function
// checks it itself, so that a wrong one gets a message about that argument
// rather than pybind11's list of the C++ types it could have taken.

#include <pybind11/pybind11.h>

#include <string>

namespace glossmith_python {

template <typename Name>
struct Named {
  pybind11::object object;
};

#define GLOSSMITH_PYTHON_NAME(Type, text)                                 \
  struct Type##Name {                                                     \
    static constexpr auto name = pybind11::detail::const_name(text);      \
  };                                                                      \
  using Type = Named<Type##Name>

GLOSSMITH_PYTHON_NAME(TextParam, "str | bytes | bytearray | memoryview");
GLOSSMITH_PYTHON_NAME(TextResult, "str | bytes");
GLOSSMITH_PYTHON_NAME(AlignedPartResult, "tuple[str | bytes, list[tuple[int, int, int, int]]]");
GLOSSMITH_PYTHON_NAME(TextsParam, "Iterable[str | bytes | bytearray | memoryview]");
GLOSSMITH_PYTHON_NAME(TextsResult, "list[str] | list[bytes]");
GLOSSMITH_PYTHON_NAME(LetterParam, "str | bytes");
GLOSSMITH_PYTHON_NAME(JobsParam, "Optional[int]");
GLOSSMITH_PYTHON_NAME(PathParam, "Optional[str | bytes | os.PathLike]");
GLOSSMITH_PYTHON_NAME(BoolParam, "bool");
GLOSSMITH_PYTHON_NAME(OptionalBoolParam, "Optional[bool]");
GLOSSMITH_PYTHON_NAME(StateParam, "tuple");
// `self` of a method that takes an instance whether or not it was initialised.
GLOSSMITH_PYTHON_NAME(RulesSelf, "glossmith.Rules");
GLOSSMITH_PYTHON_NAME(TranslatorSelf, "glossmith.Translator");

#undef GLOSSMITH_PYTHON_NAME

// True or False, or TypeError naming `what`.
inline bool BoolArgument(pybind11::handle value, const char* what) {
  if (!PyBool_Check(value.ptr()))
    throw pybind11::type_error(std::string(what) + " must be True or False, not " +
                               Py_TYPE(value.ptr())->tp_name);
  return value.ptr() == Py_True;
}

}  // namespace glossmith_python

namespace pybind11::detail {

template <typename Name>
class type_caster<glossmith_python::Named<Name>> {
 public:
  PYBIND11_TYPE_CASTER(glossmith_python::Named<Name>, Name::name);

  bool load(handle src, bool) {
    value.object = reinterpret_borrow<object>(src);
    return true;
  }

  static handle cast(const glossmith_python::Named<Name>& named, return_value_policy, handle) {
    return named.object.inc_ref();
  }
};

}  // namespace pybind11::detail
