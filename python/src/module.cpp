// glossmith._glossmith: the compiled part of the glossmith package. The
// package's __init__.py re-exports these classes under the name glossmith,
// which is also the module they pickle as.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <glossmith/glossmith.hpp>

#include <new>

#include "alignment.h"
#include "args.h"
#include "live.h"
#include "rules.h"
#include "text.h"
#include "translator.h"

namespace py = pybind11;
using glossmith_python::AlignedPartResult;
using glossmith_python::BoolArgument;
using glossmith_python::JobsParam;
using glossmith_python::LetterParam;
using glossmith_python::Live;
using glossmith_python::OptionalBoolParam;
using glossmith_python::PathParam;
using glossmith_python::TextParam;
using glossmith_python::TextResult;
using glossmith_python::TextsParam;
using glossmith_python::TextsResult;
using glossmith_python::BoolParam;
using glossmith_python::Restore;
using glossmith_python::Rules;
using glossmith_python::RulesRecipe;
using glossmith_python::Stream;
using glossmith_python::Translator;

namespace {

std::string Repr(const Rules& rules) {
  return "<glossmith.Rules pairs=" + std::to_string(rules.PairCount()) + " digest=" +
         rules.Digest().substr(0, 12) + ">";
}

std::string Repr(const Translator& translator) {
  return std::string("<glossmith.Translator ") +
         (translator.ToEnglish() ? "L33T to English" : "English to L33T") +
         (translator.Hardcore() ? ", Hardcore" : ", standard") +
         " digest=" + translator.Digest().substr(0, 12) + ">";
}

// Pickles call glossmith._rebuild(cls, state), a plain function, which every
// protocol can name; it calls cls._from_state(state).
template <typename T>
py::tuple Reduce(const T* self, py::object state) {
  const py::object instance = py::cast(self, py::return_value_policy::reference);
  return py::make_tuple(py::module_::import("glossmith").attr("_rebuild"),
                        py::make_tuple(py::type::handle_of(instance), std::move(state)));
}

py::tuple RulesState(const Rules& rules) { return py::make_tuple(rules.recipe()->ToTuple()); }

std::unique_ptr<Rules> RulesFromState(const py::tuple& state) {
  if (state.size() != 1 || !py::isinstance<py::tuple>(state[0]))
    throw py::value_error("not the pickled state of glossmith rules");
  return std::make_unique<Rules>(RulesRecipe::FromTuple(state[0].cast<py::tuple>()));
}

py::tuple State(const py::object& state) {
  if (!py::isinstance<py::tuple>(state))
    throw py::type_error("state must be a tuple, not " + glossmith_python::TypeName(state));
  return state;
}

// __setstate__, for pickles made before __reduce__. pybind11 runs a function
// of that name as a constructor and skips it silently on a live instance;
// under another name it runs, and Restore() refuses the live instance.
template <typename Class, typename Body>
void SetState(Class& cls, Body&& body) {
  cls.attr("__setstate__") = py::cpp_function(std::forward<Body>(body), py::name("_setstate"),
                                              py::is_method(cls), py::arg("state"));
}

}  // namespace

PYBIND11_MODULE(_glossmith, m) {
  m.doc() = "The compiled part of glossmith; use the glossmith package instead.";
  m.attr("__version__") = std::string(gls::Version());
  m.attr("MAX_PAIRS") = gls::kMaxPairs;
  // The library's failures as Python's exceptions, and out of memory in the
  // library's words, wherever it happens.
  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
      PyErr_SetString(PyExc_MemoryError, gls::StatusMessage(GLS_E_NOMEM));
    } catch (const gls::Error& error) {
      PyErr_SetString(glossmith_python::ExceptionType(error.status()), error.what());
    }
  });

  py::class_<Rules> rules(m, "Rules", R"doc(
A rule set: the Custom string list, the Hardcore alphabet and the stored
Hardcore switch, from which translators are compiled.

Rules() holds the built-in chains, an empty Custom list, the default Hardcore
alphabet and the switch off. Strings may be str (taken as UTF-8) or
bytes-like. A rule set is not meant to be changed from two threads at once.
Rules pickle, so that they can be sent to other processes.)doc");
  // The classes pickle, show and appear in signatures as members of the
  // package; signatures are written as each function is defined.
  rules.attr("__module__") = "glossmith";
  rules.def(py::init<>(), "The built-in rules: no Custom pairs, the default alphabet, the switch off.")
      .def_static("from_settings", [](PathParam path) { return Rules::FromSettings(path.object); },
                  py::arg("path") = py::none(), R"doc(
The rules of a settings file, read as the window and glossmith-cli read it:
the Custom string list, the 26 letters (a letter the file does not hold is
empty) and the Hardcore switch ("usehard" exactly "yes").

path: a str, bytes or os.PathLike; None reads the per-user file
($XDG_CONFIG_HOME/glossmith/l33t.ini, by default ~/.config/glossmith/l33t.ini),
which holds no settings when it is missing. A named file that cannot be read
raises OSError (FileNotFoundError when missing).)doc")
      .def("add_pair", [](Live<Rules> self, TextParam find, TextParam replacement) {
             self->AddPair(find.object, replacement.object);
           }, py::arg("find"), py::arg("replacement"), R"doc(
Appends a Custom pair: from English to L33T `find` is replaced by
`replacement` before the chain runs, and from L33T to English the other way
back. Pairs apply in the order added, at most MAX_PAIRS, as in the window.
An empty `find`, or a pair past MAX_PAIRS, raises ValueError.)doc")
      .def("set_letter", [](Live<Rules> self, LetterParam letter, TextParam symbol) {
             self->SetLetter(letter.object, symbol.object);
           }, py::arg("letter"), py::arg("symbol"), R"doc(
Sets the Hardcore symbol of a letter: `letter` is one character from A to Z
(either case names the same letter), `symbol` any string, empty included.
Anything else as `letter` raises ValueError.)doc")
      .def_property("stored_hardcore", [](Live<Rules> self) { return self->StoredHardcore(); },
                    [](Live<Rules> self, BoolParam on) {
                      self->SetStoredHardcore(BoolArgument(on.object, "stored_hardcore"));
                    },
                    "The stored Hardcore switch, which Translator(..., hardcore=None) follows.")
      .def_property_readonly("pair_count", [](Live<Rules> self) { return self->PairCount(); },
                             "The number of Custom pairs that apply (at most MAX_PAIRS).")
      .def_property_readonly("digest", [](Live<Rules> self) { return self->Digest(); },
                             "SHA-256 of the whole rule set (every pair, the alphabet, the "
                             "switch), as 64 lowercase hex digits.")
      .def("__repr__", [](Live<Rules> self) { return Repr(*self); })
      .def("__reduce__", [](Live<Rules> self) { return Reduce(self.object, RulesState(*self)); })
      .def("__getstate__", [](Live<Rules> self) { return RulesState(*self); })
      .def_static("_from_state", &RulesFromState);
  SetState(rules, [](glossmith_python::RulesSelf self, glossmith_python::StateParam state) {
    Restore(self.object, RulesFromState(State(state.object)));
  });

  // Declared before Translator, so that Translator.stream's signature names it.
  py::class_<Stream> stream(m, "Stream", R"doc(
A text fed in pieces, from Translator.stream(). feed(piece) returns what is
final so far, finish() the rest; joined, they equal translate() of the
joined pieces, however the text is cut. The first piece makes it a str or a
bytes stream; a str stream never returns part of a character. A stream
belongs to one thread at a time. finish() on a stream fed nothing returns "".
feed_aligned() and finish_aligned() return the alignment's pieces of what
they pass on too. A stream does not pickle.)doc");
  stream.attr("__module__") = "glossmith";

  py::class_<Translator> translator(m, "Translator", R"doc(
Rules compiled for one direction and mode. Immutable: any number of threads
may translate through one translator at once, and long texts and batches are
translated with the GIL released. Later changes to the rules do not reach it.

Translator(rules, to_english=False, hardcore=None)
  to_english: False for English to L33T, True for L33T to English.
  hardcore: True for Hardcore L33T, False for standard L33T, None to follow
  the rules' stored switch.

Text is str or bytes-like: a str is translated as UTF-8 and the result
decoded back (a lone surrogate raises UnicodeEncodeError; a translation that
is not UTF-8, which only a Custom pair or a letter given as bytes can cause,
raises UnicodeDecodeError), a bytes-like text gives bytes. Translators pickle
with their rules, so multiprocessing, Dask and Ray can ship them to workers.)doc");
  translator.attr("__module__") = "glossmith";
  translator
      .def(py::init([](Live<Rules> r, BoolParam toEnglish, OptionalBoolParam hardcore) {
             std::optional<bool> mode;
             if (!hardcore.object.is_none()) mode = BoolArgument(hardcore.object, "hardcore");
             return std::make_unique<Translator>(*r, BoolArgument(toEnglish.object, "to_english"),
                                                 mode);
           }),
           py::arg("rules"), py::arg("to_english") = false, py::arg("hardcore") = py::none())
      .def("translate", [](Live<Translator> self, TextParam text) {
             return TextResult{self->Translate(text.object)};
           }, py::arg("text"), R"doc(
The translation of `text`: a str for a str, bytes for bytes, bytearray,
memoryview or any other contiguous buffer. Anything else raises TypeError.)doc")
      .def("translate_many", [](Live<Translator> self, TextsParam texts, JobsParam jobs) {
             return TextsResult{self->TranslateMany(texts.object, jobs.object)};
           }, py::arg("texts"),
           py::arg("jobs") = py::none(), R"doc(
The translations of a list (or other iterable) of texts, in order, as a list;
the same as [translate(t) for t in texts], computed on up to `jobs` threads
(None, or more than there are online processors: one per processor) with the
GIL released, except while the calling thread makes the results. The texts must be
all str or all bytes-like (TypeError otherwise); jobs < 1 raises ValueError.)doc")
      .def("stream", [](Live<Translator> self) {
             return std::make_unique<Stream>(py::cast(self.object), *self);
           }, R"doc(
A new Stream for a text that arrives in pieces.)doc")
      .def("split_point", [](Live<Translator> self, TextParam text) {
             return self->SplitPoint(text.object);
           }, py::arg("text"), R"doc(
The length of the longest prefix of `text` (in UTF-8 bytes for a str) that
ends right after one of split_bytes; 0 when there is none.)doc")
      .def_property_readonly("split_bytes", [](Live<Translator> self) { return self->SplitBytes(); }, R"doc(
The bytes that no step of this translator looks for, in ascending order: a
text may be cut right after any of them, and translating the pieces one by
one gives the translation of the whole.)doc")
      .def_property_readonly("digest", [](Live<Translator> self) { return self->Digest(); }, R"doc(
SHA-256, as 64 lowercase hex digits, of everything the output depends on:
two translators with the same digest translate every text alike.)doc")
      .def_property_readonly("to_english", [](Live<Translator> self) { return self->ToEnglish(); },
                             "True for L33T to English, False for English to L33T.")
      .def_property_readonly("hardcore", [](Live<Translator> self) { return self->Hardcore(); },
                             "Whether this translator runs Hardcore L33T (after following the "
                             "stored switch, when asked to).")
      .def("__repr__", [](Live<Translator> self) { return Repr(*self); })
      .def("__reduce__", [](Live<Translator> self) { return Reduce(self.object, self->State()); })
      .def("__getstate__", [](Live<Translator> self) { return self->State(); })
      .def_static("_from_state", &Translator::FromState);
  SetState(translator, [](glossmith_python::TranslatorSelf self,
                          glossmith_python::StateParam state) {
    Restore(self.object, Translator::FromState(State(state.object)));
  });

  stream
      .def("feed", [](Live<Stream> self, TextParam piece) {
             return TextResult{self->Feed(piece.object)};
           }, py::arg("piece"), R"doc(
Adds `piece` and returns the translation of everything up to the last point
where the text may be cut (possibly empty). After finish() it raises
ValueError.)doc")
      .def("finish", [](Live<Stream> self) { return TextResult{self->Finish()}; }, R"doc(
Returns the translation of what is left; the stream then takes no more text
(ValueError).)doc")
      .def("feed_aligned", [](Live<Stream> self, TextParam piece) {
             return AlignedPartResult{self->FeedAligned(piece.object)};
           }, py::arg("piece"), R"doc(
As feed(), returning (translation, pieces): the pieces of what this call
passes on, each (source start, source end, target start, target end) as an
Alignment gives them, from the start of the whole text (the source counted
over everything fed, the target over everything returned), in characters
for a str stream and in bytes for a bytes stream. Joined over a text fed
all this way, the pieces equal list(alignment) of translate_aligned() on the
whole text, however it is cut; a piece may come a call after its text when
the text was cut inside a character.)doc")
      .def("finish_aligned", [](Live<Stream> self) {
             return AlignedPartResult{self->FinishAligned()};
           }, R"doc(
As finish(), returning (translation, pieces) as feed_aligned() does.)doc")
      .def_property_readonly("pending", [](Live<Stream> self) { return self->Pending(); },
                             "The number of bytes fed but not yet translated.")
      .def("__reduce__", [](Live<Stream>) -> py::tuple {
        throw py::type_error("a glossmith.Stream cannot be pickled or copied: finish it, or "
                             "pickle its Translator and start a new stream");
      });

  glossmith_python::RegisterAlignment(m, translator);
  m.attr("Alignment").attr("__module__") = "glossmith";
}
