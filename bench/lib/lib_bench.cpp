// libglossmith through its C API, English to L33T with the built-in rules,
// standard L33T, as a program linking the library sees it:
//   translate/100B     one gls_translate of a 100-byte text into a buffer of
//                      the caller's: the cost of a call;
//   translate/10MB     one gls_translate of 10 MB of prose;
//   many/jobs:N        gls_translate_many of 100,000 texts of 1 KB on N
//                      threads, the results released.
// The text is Debian's licence texts repeated (bench/support/english.h), or
// the file given as --text=FILE, which bench/python/bench.py uses to time the
// Python module on exactly the same bytes. Each call's output length is
// checked against the first call's.

#include <benchmark/benchmark.h>
#include <glossmith/glossmith.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/support/english.h"

namespace {

constexpr std::size_t kTextBytes = std::size_t{10} << 20;
constexpr std::size_t kManyTexts = 100000, kManyBytes = 1024;

std::string gTextFile;

const std::string& Text() {
  static const std::string text = [] {
    if (gTextFile.empty()) return glossmith::bench::LicenseProse(kTextBytes);
    std::ifstream in(gTextFile, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + gTextFile);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }();
  return text;
}

const gls_translator* Translator() {
  static gls_translator* const translator = [] {
    gls_rules* rules = gls_rules_new();
    gls_status status = GLS_OK;
    gls_translator* t = gls_translator_new(rules, 0, &status);
    gls_rules_free(rules);
    if (status != GLS_OK) throw std::runtime_error(gls_status_message(status));
    return t;
  }();
  return translator;
}

void Translate(benchmark::State& state, std::string_view text) {
  std::vector<char> out(2 * text.size() + 64);
  std::size_t expected = 0, len = 0;
  if (gls_translate(Translator(), text.data(), text.size(), out.data(), out.size(), &expected))
    return state.SkipWithError("gls_translate failed");
  for (auto _ : state) {
    gls_translate(Translator(), text.data(), text.size(), out.data(), out.size(), &len);
    benchmark::DoNotOptimize(out.data());
    if (len != expected) return state.SkipWithError("the output changed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Translate100B(benchmark::State& state) { Translate(state, Text().substr(0, 100)); }
void BM_Translate10MB(benchmark::State& state) { Translate(state, Text()); }

void BM_TranslateMany(benchmark::State& state) {
  const std::string& text = Text();
  std::vector<const char*> texts(kManyTexts);
  std::vector<std::size_t> lens(kManyTexts, kManyBytes);
  for (std::size_t i = 0; i < kManyTexts; ++i)
    texts[i] = text.data() + (i * kManyBytes) % (text.size() - kManyBytes);
  std::vector<char*> outs(kManyTexts);
  std::vector<std::size_t> outLens(kManyTexts);
  const auto jobs = static_cast<unsigned>(state.range(0));
  for (auto _ : state) {
    if (gls_translate_many(Translator(), kManyTexts, texts.data(), lens.data(), outs.data(),
                           outLens.data(), jobs) != GLS_OK)
      return state.SkipWithError("gls_translate_many failed");
    for (char* out : outs) gls_free(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kManyTexts * kManyBytes));
}

BENCHMARK(BM_Translate100B)->Name("translate/100B");
BENCHMARK(BM_Translate10MB)->Name("translate/10MB")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TranslateMany)
    ->Name("many")
    ->ArgName("jobs")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.substr(0, 7) == "--text=") {
      gTextFile = std::string(arg.substr(7));
    } else {
      std::fprintf(stderr, "lib_bench: unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
