// Fuzzes the translation engine against the reference rules: every input is
// turned into a Hardcore letter table, a Custom string list and a text, and
// both directions in both modes must give the same bytes from both engines.
// Pieces cut at the engine's split point must join to the whole as well.
//
// Now and then the text is a layout instead: a filler byte repeated up to a
// few megabytes, with runs of short tokens at positions that the input picks,
// often on the edges where the engine changes strategy (blocks, lanes,
// chunks, batch pieces). Every input starts from a cold engine.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/engine/engine.h"
#include "core/rules/custom_list.h"
#include "core/rules/hardcore_table.h"
#include "core/translate.h"
#include "tests/support/engine_comparison.h"
#include "tests/support/rule_store.h"
#include "tests/support/text_difference.h"

namespace {

using namespace glossmith;

// The whole text (the crash file holds it too) and where the outputs part.
[[noreturn]] void Mismatch(const char* what, const testing_support::EngineRun& run,
                           std::string_view text, std::string_view actual) {
  std::fprintf(stderr, "%s: %s\ntext (%zu bytes): %s\n%s\n", what, testing_support::RunName(run),
               text.size(), testing_support::Escaped(text, text.size()).c_str(),
               testing_support::Difference(actual, run.expected).c_str());
  std::abort();
}

void FillTable(FuzzedDataProvider& in, MemorySettings& store) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return;  // nothing stored: every letter reads empty
    case 1: WriteHardcoreDefaults(store); return;
    default: {
      WriteHardcoreDefaults(store);
      const int edits = in.ConsumeIntegralInRange(0, 26);
      for (int i = 0; i < edits; ++i) {
        const char letter = static_cast<char>('A' + in.ConsumeIntegralInRange(0, 25));
        store.Write(kApp, kSectionHardcore, LetterKey(letter), in.ConsumeRandomLengthString(6));
      }
    }
  }
}

void FillCustomList(FuzzedDataProvider& in, MemorySettings& store) {
  std::string search, replace;
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:  // stored values as they come
      search = in.ConsumeRandomLengthString(64);
      replace = in.ConsumeRandomLengthString(64);
      break;
    case 1: {  // a list short enough to be composed into the chain's machine
      std::vector<std::string> s, r;
      const int pairs = in.ConsumeIntegralInRange(0, 20);
      for (int i = 0; i < pairs; ++i) {
        s.push_back(in.ConsumeRandomLengthString(8));
        r.push_back(in.ConsumeRandomLengthString(8));
      }
      search = JoinList(s);
      replace = JoinList(r);
      break;
    }
    default: {  // a long list, run as a batch
      std::vector<std::string> s, r;
      const int pairs = in.ConsumeIntegralInRange(17, 400);
      for (int i = 0; i < pairs && in.remaining_bytes() > 0; ++i) {
        s.push_back(in.ConsumeRandomLengthString(5));
        r.push_back(in.ConsumeRandomLengthString(5));
      }
      search = JoinList(s);
      replace = JoinList(r);
    }
  }
  testing_support::WriteStoredList(store, search, replace);
}

// Sizes around which the engine changes strategy: blocks of 4 KiB, lanes of
// 16 KiB and more in chunks of 1 MiB, two-lane batch scans from 16 KiB,
// batch pieces of 4 MiB.
constexpr std::size_t kEdges[] = {4096, 16384, 3 * 16384, 1 << 20, 3 << 20, 4 << 20};

std::size_t LayoutSize(FuzzedDataProvider& in) {
  const std::size_t edge = kEdges[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kEdges) - 1)];
  // Most layouts stay small enough for many runs a second.
  const std::size_t size = in.ConsumeIntegralInRange(0, 7) == 0 ? edge : edge % (64 << 10) + 1024;
  return size + in.ConsumeIntegralInRange<std::size_t>(0, 4) - 2;
}

std::size_t LayoutPosition(FuzzedDataProvider& in, std::size_t size) {
  switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0: return size * in.ConsumeIntegralInRange<std::size_t>(0, 3) / 3;      // a third
    case 1: return size - in.ConsumeIntegralInRange<std::size_t>(0, 64) % size;  // the end
    case 2: {
      const std::size_t edge =
          kEdges[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kEdges) - 1)];
      return edge * in.ConsumeIntegralInRange<std::size_t>(1, 3);
    }
    default: return in.ConsumeIntegral<std::uint32_t>() % size;
  }
}

std::string Layout(FuzzedDataProvider& in) {
  const std::size_t size = LayoutSize(in);
  std::string text(size, static_cast<char>(in.ConsumeIntegral<std::uint8_t>()));
  const int runs = in.ConsumeIntegralInRange(0, 8);
  for (int r = 0; r < runs; ++r) {
    const std::string token = in.ConsumeRandomLengthString(8);
    if (token.empty()) continue;
    const std::size_t at = LayoutPosition(in, size);
    const std::size_t repeats = in.ConsumeIntegralInRange<std::size_t>(1, 2000);
    // Runs may start a little before the position, so that they cross it.
    const std::size_t from = at >= 8 ? at - in.ConsumeIntegralInRange<std::size_t>(0, 8) : at;
    for (std::size_t i = 0; i < repeats * token.size() && from + i < size; ++i)
      text[from + i] = token[i % token.size()];
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  MemorySettings store;
  // Now and then the text is repeated, line after line, to some 36 KB: long
  // texts run in interleaved lanes, short ones do not. Now and then it is a
  // layout. Mostly the rules are compiled at the first call; now and then a
  // short text's first call runs its steps uncompiled.
  const int shape = in.ConsumeIntegralInRange(0, 15);
  const bool repeat = shape == 0, layout = shape == 1 || shape == 2;
  const TranslatorOptions options{.uncompiledFirstCall = shape == 3};
  FillTable(in, store);
  FillCustomList(in, store);
  std::string text = layout ? Layout(in) : in.ConsumeRemainingBytesAsString();
  if (repeat && !text.empty()) {
    const std::string line = text + "\r\n";
    while (text.size() < 36000) text += line;
  }

  for (const testing_support::EngineRun& run :
       testing_support::RunEngineAndReference(text, store, text.size() / 2, options)) {
    if (run.whole != run.expected) Mismatch("engine differs", run, text, run.whole);
    if (run.joined != run.expected) Mismatch("pieces differ", run, text, run.joined);
    // The alignment, piece for piece: of the whole, and of the pieces joined.
    for (const auto* aligned : {&run.aligned, &run.joinedAligned})
      if (const std::string why = testing_support::AlignmentDifference(*aligned, run.expectedAligned);
          !why.empty())
        Mismatch(("alignment differs, " + why).c_str(), run, text, aligned->text);
  }
  return 0;
}
