#include "lib/src/many.h"

#include <algorithm>
#include <exception>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "lib/src/ordered_map.h"

namespace glossmith::lib {
namespace {

// A run ends after this many texts or this much input, whichever comes
// first: small enough that the threads share the work evenly and the
// translations are still in the cache when the sink takes them, large enough
// that handing a run over costs nothing next to translating it.
constexpr std::size_t kRunTexts = 256;
constexpr std::size_t kRunBytes = std::size_t{1} << 20;

// A slot's translations, one after another, of a room that is not kept when
// a run of long texts made it large.
constexpr std::size_t kKeptRoom = std::size_t{8} << 20;

class Runs final : public OrderedWork {
 public:
  Runs(const Translator& engine, const char* const* texts, const std::size_t* lens,
       gls_each_sink sink, void* context, std::size_t slots)
      : engine_(engine), texts_(texts), lens_(lens), sink_(sink), context_(context),
        slots_(slots) {}

  void Put(std::size_t slot, std::size_t first, std::size_t end) {
    slots_[slot].first = first;
    slots_[slot].end = end;
  }

  void Map(std::size_t slot) override {
    Slot& s = slots_[slot];
    s.out.clear();
    s.ends.clear();
    Translator::Lease lease(engine_);
    for (std::size_t i = s.first; i < s.end; ++i) {
      lease.Translate(lens_[i] == 0 ? std::string_view() : std::string_view(texts_[i], lens_[i]),
                      s.scratch);
      s.out += s.scratch;
      s.ends.push_back(s.out.size());
    }
    if (s.scratch.capacity() > kKeptRoom) std::string().swap(s.scratch);
  }

  int Deliver(std::size_t slot) override {
    Slot& s = slots_[slot];
    s.pointers.clear();
    s.lens.clear();
    for (std::size_t i = 0, at = 0; i < s.ends.size(); at = s.ends[i++]) {
      s.pointers.push_back(s.out.data() + at);
      s.lens.push_back(s.ends[i] - at);
    }
    const int code = sink_(context_, s.first, s.end - s.first, s.pointers.data(), s.lens.data());
    if (s.out.capacity() > kKeptRoom) std::string().swap(s.out);
    return code == 0 ? 0 : 1;
  }

 private:
  struct Slot {
    std::size_t first = 0, end = 0;  // texts [first, end)
    std::string out, scratch;
    std::vector<std::size_t> ends;  // where each translation ends in `out`
    std::vector<const char*> pointers;
    std::vector<std::size_t> lens;
  };

  const Translator& engine_;
  const char* const* texts_;
  const std::size_t* lens_;
  gls_each_sink sink_;
  void* context_;
  std::vector<Slot> slots_;
};

// The end of the run from text `first` on: kRunTexts texts, or fewer that
// hold `runBytes`.
std::size_t RunEnd(const std::size_t* lens, std::size_t count, std::size_t first,
                   std::size_t runBytes) {
  std::size_t end = first, bytes = 0;
  while (end < count && end - first < kRunTexts && bytes < runBytes) bytes += lens[end++];
  return end;
}

}  // namespace

unsigned UsableJobs(unsigned jobs, std::size_t count) {
  const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  if (jobs == 0 || jobs > processors) jobs = processors;
  return static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(jobs, count)));
}

gls_status TranslateEach(const Translator& engine, std::size_t count,
                         const char* const* texts, const std::size_t* lens, unsigned jobs,
                         gls_each_sink sink, void* context) {
  // Runs of at most a quarter of each job's share, so that a few long texts
  // still spread over the jobs; and no more jobs than runs.
  std::size_t total = 0;
  for (std::size_t i = 0; i < count; ++i) total += lens[i];
  const std::size_t runBytes = std::clamp<std::size_t>(total / (4 * std::size_t{jobs}), 1, kRunBytes);
  std::size_t runs = 0;
  for (std::size_t first = 0; first < count && runs < jobs; ++runs)
    first = RunEnd(lens, count, first, runBytes);
  jobs = static_cast<unsigned>(std::max<std::size_t>(1, runs));

  Runs work(engine, texts, lens, sink, context, 2 * std::size_t{jobs});
  OrderedMap map(work, jobs);
  // The sink runs on the caller's thread, where Python makes its objects.
  map.Start(jobs - 1, Delivery::kByProducer);
  for (std::size_t first = 0; first < count;) {
    const auto slot = map.NextSlot();
    if (!slot) break;
    const std::size_t end = RunEnd(lens, count, first, runBytes);
    work.Put(*slot, first, end);
    map.Submit();
    first = end;
  }
  map.Finish();
  if (const std::exception_ptr failure = map.failure()) std::rethrow_exception(failure);
  return map.stopCode() != 0 ? GLS_E_SINK : GLS_OK;
}

}  // namespace glossmith::lib
