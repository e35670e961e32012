// Fuzzes the translation engine against the reference rules: every input is
// turned into a Hardcore letter table, a Custom string list and a text, and
// both directions in both modes must give the same bytes from both engines.
// Pieces cut at the engine's split point must join to the whole as well.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/custom_list.h"
#include "core/engine.h"
#include "core/hardcore_table.h"
#include "core/translate.h"

namespace {

using namespace glossmith;

void Dump(const char* what, std::string_view bytes) {
  std::fprintf(stderr, "%s (%zu bytes):", what, bytes.size());
  for (unsigned char c : bytes) std::fprintf(stderr, " %02x", c);
  std::fprintf(stderr, "\n");
}

[[noreturn]] void Mismatch(const char* what, Direction direction, bool hardcore,
                           std::string_view text, std::string_view expected,
                           std::string_view actual) {
  std::fprintf(stderr, "%s: %s, %s\n", what,
               direction == Direction::kEnglishToL33t ? "EnglishToL33t" : "L33tToEnglish",
               hardcore ? "hardcore" : "standard");
  Dump("text", text);
  Dump("reference", expected);
  Dump("engine", actual);
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
  store.Write(kApp, kSectionChange, kKeySearch, search);
  store.Write(kApp, kSectionChange, kKeyReplace, replace);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  MemorySettings store;
  // Now and then the text is repeated, line after line, to some 36 KB: long
  // texts run in interleaved lanes, short ones do not.
  const bool repeat = in.ConsumeIntegralInRange(0, 15) == 0;
  FillTable(in, store);
  FillCustomList(in, store);
  std::string text = in.ConsumeRemainingBytesAsString();
  if (repeat && !text.empty()) {
    const std::string line = text + "\r\n";
    while (text.size() < 36000) text += line;
  }

  std::string fast, head, tail;
  for (Direction direction : {Direction::kEnglishToL33t, Direction::kL33tToEnglish}) {
    for (bool hardcore : {false, true}) {
      const std::string expected = direction == Direction::kEnglishToL33t
                                       ? reference::EnglishToL33t(text, hardcore, store)
                                       : reference::L33tToEnglish(text, hardcore, store);
      Translator translator(direction, hardcore, store);
      translator.Translate(text, fast);
      if (fast != expected) Mismatch("engine differs", direction, hardcore, text, expected, fast);

      const std::size_t split = translator.SplitPoint(std::string_view(text).substr(0, text.size() / 2));
      translator.Translate(std::string_view(text).substr(0, split), head);
      translator.Translate(std::string_view(text).substr(split), tail);
      if (head + tail != expected)
        Mismatch("pieces differ", direction, hardcore, text, expected, head + tail);
    }
  }
  return 0;
}
