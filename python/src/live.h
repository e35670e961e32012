#pragma once

// The instance a method runs on, once it is known to hold its C++ object.
// Cls.__new__(Cls) makes an instance whose object was never constructed;
// pybind11 would hand a method uninitialised memory for it. A method takes
// Live<Cls> as `self` instead, which refuses such an instance with TypeError.
// Restore() fills a never-initialised instance once (unpickling), and refuses
// a live one: its object is shared with threads that may be using it.

#include <pybind11/pybind11.h>

#include <memory>
#include <string>

namespace glossmith_python {

class Rules;
class Translator;
class Stream;
class Alignment;

template <typename T>
struct Live {
  T* operator->() const { return object; }
  T& operator*() const { return *object; }
  T* object = nullptr;
};

// The name a class has in messages and signatures.
template <typename T>
struct PythonName;
template <>
struct PythonName<Rules> {
  static constexpr auto name = pybind11::detail::const_name("glossmith.Rules");
  static constexpr const char* text = "Rules";
};
template <>
struct PythonName<Translator> {
  static constexpr auto name = pybind11::detail::const_name("glossmith.Translator");
  static constexpr const char* text = "Translator";
};
template <>
struct PythonName<Alignment> {
  static constexpr auto name = pybind11::detail::const_name("glossmith.Alignment");
  static constexpr const char* text = "Alignment";
};
template <>
struct PythonName<Stream> {
  static constexpr auto name = pybind11::detail::const_name("glossmith.Stream");
  static constexpr const char* text = "Stream";
};

namespace detail {

// The holder slot of `self`, an instance of T or of a subclass; false when
// `self` is something else.
template <typename T>
bool Slot(pybind11::handle self, pybind11::detail::value_and_holder& slot) {
  static const pybind11::detail::type_info* info = pybind11::detail::get_type_info(typeid(T));
  if (!PyObject_TypeCheck(self.ptr(), info->type)) return false;
  slot = reinterpret_cast<pybind11::detail::instance*>(self.ptr())->get_value_and_holder(info);
  return true;
}

}  // namespace detail

// The object of `self`; null when `self` is no T. Refuses an instance that
// was never initialised.
template <typename T>
T* Initialised(pybind11::handle self) {
  pybind11::detail::value_and_holder slot;
  if (!detail::Slot<T>(self, slot)) return nullptr;
  if (!slot.holder_constructed())
    throw pybind11::type_error(std::string("this ") + PythonName<T>::text +
                               " was never initialised: make one by calling glossmith." +
                               PythonName<T>::text + "(...)");
  return slot.template value_ptr<T>();
}

// Makes `self`, never initialised, hold `made`.
template <typename T>
void Restore(pybind11::handle self, std::unique_ptr<T> made) {
  pybind11::detail::value_and_holder slot;
  if (!detail::Slot<T>(self, slot))
    throw pybind11::type_error(std::string("__setstate__ needs a glossmith.") +
                               PythonName<T>::text);
  if (slot.holder_constructed())
    throw pybind11::type_error(std::string("this ") + PythonName<T>::text +
                               " is already initialised; unpickle into a new one");
  // Storage that pybind11 may have allocated, unconstructed, for the value.
  if (slot.value_ptr()) ::operator delete(slot.value_ptr());
  slot.value_ptr() = made.get();
  slot.type->init_instance(slot.inst, &made);
  made.release();
}

}  // namespace glossmith_python

namespace pybind11::detail {

template <typename T>
class type_caster<glossmith_python::Live<T>> {
 public:
  PYBIND11_TYPE_CASTER(glossmith_python::Live<T>, glossmith_python::PythonName<T>::name);

  bool load(handle self, bool) {
    value.object = glossmith_python::Initialised<T>(self);
    return value.object != nullptr;
  }

  static handle cast(const glossmith_python::Live<T>& live, return_value_policy, handle) {
    return type_caster_base<T>::cast(live.object, return_value_policy::reference, {});
  }
};

}  // namespace pybind11::detail
