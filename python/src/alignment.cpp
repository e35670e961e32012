#include "alignment.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <utility>

#include "args.h"
#include "live.h"
#include "rules.h"

namespace glossmith_python {

namespace {

bool Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

CodePoints::CodePoints(std::string_view utf8) : bytes_(utf8.size()), count_(0) {
  starts_.assign(utf8.size() / 64 + 1, 0);
  before_.assign(starts_.size(), 0);
  for (std::size_t i = 0; i < utf8.size(); ++i)
    if (!Continuation(utf8[i])) starts_[i / 64] |= std::uint64_t{1} << (i % 64);
  for (std::size_t w = 0; w < starts_.size(); ++w) {
    before_[w] = count_;
    count_ += static_cast<std::size_t>(std::popcount(starts_[w]));
  }
}

std::size_t CodePoints::StartsBefore(std::size_t byte) const {
  if (starts_.empty()) return std::min(byte, bytes_);
  byte = std::min(byte, bytes_);
  const std::uint64_t below = (std::uint64_t{1} << (byte % 64)) - 1;
  return before_[byte / 64] + static_cast<std::size_t>(std::popcount(starts_[byte / 64] & below));
}

std::size_t CodePoints::ToByte(std::size_t index) const {
  if (starts_.empty()) return std::min(index, bytes_);
  if (index >= count_) return bytes_;
  // The last word with fewer characters before it than `index` + 1, then
  // the (index - before)-th set bit in it.
  const auto word = static_cast<std::size_t>(
      std::upper_bound(before_.begin(), before_.end(), index) - before_.begin() - 1);
  std::uint64_t bits = starts_[word];
  for (std::size_t skip = index - before_[word]; skip > 0; --skip) bits &= bits - 1;
  return word * 64 + static_cast<std::size_t>(std::countr_zero(bits));
}

std::size_t CodePoints::Down(std::size_t byte) const {
  return byte >= bytes_ ? count_ : StartsBefore(byte + 1) - 1;
}

std::size_t CodePoints::Up(std::size_t byte) const { return StartsBefore(byte); }

Alignment::Alignment(gls::Alignment alignment, CodePoints source, CodePoints target)
    : alignment_(std::move(alignment)), source_(std::move(source)), target_(std::move(target)) {}

Alignment::Range Alignment::ToSource(std::size_t start, std::size_t end) const {
  if (end < start) throw py::value_error("end must not be less than start");
  const auto [begin, finish] = alignment_.ToSource(target_.ToByte(start), target_.ToByte(end));
  return {begin == finish ? source_.Up(begin) : source_.Down(begin), source_.Up(finish)};
}

Alignment::Range Alignment::ToTarget(std::size_t start, std::size_t end) const {
  if (end < start) throw py::value_error("end must not be less than start");
  const auto [begin, finish] = alignment_.ToTarget(source_.ToByte(start), source_.ToByte(end));
  return {begin == finish ? target_.Up(begin) : target_.Down(begin), target_.Up(finish)};
}

std::size_t Alignment::Size() const {
  if (source_.IsBytes()) return RawSize();
  if (size_ == ~std::size_t{0}) {
    std::size_t size = 0;
    for (std::size_t first = 0;;) {
      const std::vector<gls::Alignment::Piece> pieces = alignment_.Pieces(first, 4096);
      if (pieces.empty()) break;
      first += pieces.size();
      for (const gls::Alignment::Piece& piece : pieces)
        if (source_.Up(piece.source_begin) != source_.Up(piece.source_end)) ++size;
    }
    size_ = size;
  }
  return size_;
}

py::list Alignment::Pieces(std::size_t first, std::size_t count) const {
  const std::vector<gls::Alignment::Piece> pieces = alignment_.Pieces(first, count);
  py::list list(pieces.size());
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const gls::Alignment::Piece& p = pieces[k];
    list[k] = py::make_tuple(source_.Up(p.source_begin), source_.Up(p.source_end),
                             target_.Up(p.target_begin), target_.Up(p.target_end));
  }
  return list;
}

namespace {

py::tuple TranslateAligned(Live<Translator> self, TextParam param) {
  const Translator& translator = *self;
  const TextArg text(param.object, "text");
  const auto run = [&] { return translator.engine().TranslateAligned(text.view()); };
  gls::Aligned aligned = text.size() >= kReleaseGilBytes ? [&] {
    py::gil_scoped_release release;
    return run();
  }() : run();
  const std::string& out = aligned.text;
  py::object translation = MakeText(text.kind(), out);
  const bool plain = text.kind() == Kind::kBytes || text.ascii();
  CodePoints source = plain ? CodePoints(text.size()) : CodePoints(text.view());
  CodePoints target = text.kind() == Kind::kBytes || IsAscii(out.data(), out.size())
                          ? CodePoints(out.size())
                          : CodePoints(std::string_view(out));
  auto result = std::make_unique<Alignment>(std::move(aligned.alignment), std::move(source),
                                            std::move(target));
  return py::make_tuple(std::move(translation), py::cast(std::move(result)));
}

// Iterates over an Alignment's pieces, a slice at a time; for a str, a
// piece inside one character joins the piece before.
struct PieceIterator {
  explicit PieceIterator(py::object of) : alignment(std::move(of)) {}
  py::object alignment;  // keeps it alive
  std::size_t next = 0;
  py::list slice;
  std::size_t inSlice = 0;
  py::object pending;  // the piece to give next, while later ones may join it
};

constexpr std::size_t kIterSlice = 4096;

}  // namespace

void RegisterAlignment(py::module_& module, py::class_<Translator>& translator) {
  py::class_<PieceIterator>(module, "_PieceIterator")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", [](PieceIterator& it) -> py::object {
        const Alignment& alignment = it.alignment.cast<const Alignment&>();
        for (;;) {
          if (it.inSlice == it.slice.size()) {
            it.slice = alignment.Pieces(it.next, kIterSlice);
            it.inSlice = 0;
            if (it.slice.size() == 0) {
              if (!it.pending) throw py::stop_iteration();
              return std::exchange(it.pending, py::object());
            }
          }
          ++it.next;
          py::tuple piece = it.slice[it.inSlice++];
          if (!it.pending) {
            it.pending = piece;
            continue;
          }
          if (!alignment.SourceIsBytes() && piece[0].equal(piece[1])) {
            const py::tuple before = it.pending;
            it.pending = py::make_tuple(before[0], before[1], before[2], piece[3]);
            continue;
          }
          return std::exchange(it.pending, piece);
        }
      });

  py::class_<Alignment>(module, "Alignment", R"doc(
Where every part of a translation came from, from Translator.translate_aligned().

Its pieces, in order, cover both texts: each is (source start, source end,
target start, target end), the source being the text translated and the
target its translation. Every occurrence that a step of the rules replaced
stays whole in one piece ("hack" -> "hax0r" is one piece); every other
character is a piece of its own; a piece's target may be empty. Offsets are
in characters for str and in bytes for bytes-like texts. len() is the number
of pieces; iterating gives them in order. Immutable; threads may share it.)doc")
      .def("to_source",
           [](Live<Alignment> self, std::size_t start, std::size_t end) {
             return self->ToSource(start, end);
           },
           py::arg("start"), py::arg("end"), R"doc(
The smallest (start, end) of the source whose pieces cover target[start:end].
An empty range gives an empty one between pieces, or its piece inside one;
offsets past the end count as the end; end < start raises ValueError.)doc")
      .def("to_target",
           [](Live<Alignment> self, std::size_t start, std::size_t end) {
             return self->ToTarget(start, end);
           },
           py::arg("start"), py::arg("end"), R"doc(
The smallest (start, end) of the target whose pieces cover source[start:end];
as to_source() the other way.)doc")
      .def("__len__", [](Live<Alignment> self) { return self->Size(); })
      .def("__iter__", [](py::object self) {
        Initialised<Alignment>(self);  // refuses one never initialised
        return PieceIterator(std::move(self));
      })
      .def("__repr__", [](Live<Alignment> a) {
        return "<glossmith.Alignment of " + std::to_string(a->Size()) + " pieces>";
      })
      // Its offsets mean something only beside the two texts it came with.
      .def("__reduce__", [](Live<Alignment>) -> py::tuple {
        throw py::type_error("a glossmith.Alignment cannot be pickled or copied: translate the "
                             "text again where it is needed");
      });

  translator.def("translate_aligned", &TranslateAligned, py::arg("text"), R"doc(
Translates `text` and returns (translation, Alignment): where every part of
the translation came from in `text`. Takes str (offsets in characters) or
bytes-like (offsets in bytes), as translate() does.)doc");
}

}  // namespace glossmith_python
