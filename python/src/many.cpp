#include "many.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace glossmith_python {

namespace {

// A batch ends after this many texts or this much input, whichever comes
// first: small enough that the threads share the work evenly and the results
// are still in the cache when they become objects, large enough that the
// hand-over costs nothing next to the translation.
constexpr std::size_t kBatchTexts = 256;
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;

// Only the calling thread may make Python objects, so it does that alone
// while the other threads translate the batches ahead of it; when the next
// batch is not ready yet it translates one itself. A batch's results wait in
// one of a ring of slots, so at most that many batches are translated ahead
// of the objects made: memory does not grow with the number of texts.
class Pipeline {
 public:
  Pipeline(const gls_translator* translator, const std::vector<TextArg>& texts, unsigned threads)
      : translator_(translator), texts_(texts) {
    starts_.push_back(0);
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      bytes += texts[i].size();
      if (i + 1 - starts_.back() == kBatchTexts || bytes >= kBatchBytes) {
        starts_.push_back(i + 1);
        bytes = 0;
      }
    }
    if (starts_.back() != texts.size()) starts_.push_back(texts.size());
    const std::size_t batches = starts_.size() - 1;
    workers_ = std::min<std::size_t>(threads - 1, batches ? batches - 1 : 0);
    slots_.resize(2 * workers_ + 2);
  }

  ~Pipeline() {
    {
      const std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  py::list Run() {
    py::list results(static_cast<py::ssize_t>(texts_.size()));
    StartWorkers();
    for (std::size_t batch = 0; batch + 1 < starts_.size(); ++batch) {
      Slot& slot = WaitFor(batch);
      Check(slot.status);
      for (std::size_t i = starts_[batch], at = 0, n = 0; i < starts_[batch + 1]; ++i, ++n) {
        const std::size_t end = slot.ends[n];
        PyList_SET_ITEM(results.ptr(), static_cast<Py_ssize_t>(i),
                        MakeText(texts_[i].kind(), slot.out.data() + at, end - at).release().ptr());
        at = end;
      }
      {
        const std::lock_guard lock(mutex_);
        slot.ready = false;
        ++made_;
      }
      changed_.notify_all();
    }
    return results;
  }

 private:
  struct Slot {
    std::string out;                // the batch's translations, one after another
    std::vector<std::size_t> ends;  // where each ends in `out`
    gls_status status = GLS_OK;
    bool ready = false;
  };

  std::size_t Batches() const { return starts_.size() - 1; }

  void StartWorkers() {
    try {
      for (std::size_t i = 0; i < workers_; ++i) threads_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      // Fewer threads: the calling one translates what they would have.
    }
  }

  // A batch that may be translated now: one is left and its slot is free.
  bool Claim(std::size_t& batch) {
    if (failed_ || next_ == Batches() || next_ >= made_ + slots_.size()) return false;
    batch = next_++;
    return true;
  }

  void Work() {
    for (;;) {
      std::size_t batch;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
          return stopped_ || failed_ || next_ == Batches() || next_ < made_ + slots_.size();
        });
        if (stopped_ || !Claim(batch)) return;
      }
      Translate(batch);
    }
  }

  // The slot of `batch`, once its translations are in; translates other
  // batches meanwhile, and waits without the GIL.
  Slot& WaitFor(std::size_t batch) {
    Slot& slot = slots_[batch % slots_.size()];
    {
      const std::lock_guard lock(mutex_);
      if (slot.ready) return slot;
    }
    const py::gil_scoped_release release;
    std::unique_lock lock(mutex_);
    while (!slot.ready) {
      std::size_t other;
      if (Claim(other)) {
        lock.unlock();
        Translate(other);
        lock.lock();
      } else {
        changed_.wait(lock);
      }
    }
    return slot;
  }

  // Runs without the GIL and without the lock.
  void Translate(std::size_t batch) {
    Slot& slot = slots_[batch % slots_.size()];
    slot.out.clear();
    slot.ends.clear();
    gls_status status = GLS_OK;
    try {
      slot.ends.reserve(starts_[batch + 1] - starts_[batch]);
      for (std::size_t i = starts_[batch]; i < starts_[batch + 1] && status == GLS_OK; ++i) {
        status = gls_translate_to_sink(translator_, texts_[i].data(), texts_[i].size(),
                                       &AppendToString, &slot.out);
        slot.ends.push_back(slot.out.size());
      }
    } catch (const std::bad_alloc&) {
      status = GLS_E_NOMEM;
    }
    // The sink fails only when appending runs out of memory.
    if (status == GLS_E_SINK) status = GLS_E_NOMEM;
    {
      const std::lock_guard lock(mutex_);
      slot.status = status;
      slot.ready = true;
      if (status != GLS_OK) failed_ = true;
    }
    changed_.notify_all();
  }

  const gls_translator* translator_;
  const std::vector<TextArg>& texts_;
  std::vector<std::size_t> starts_;  // batch b holds texts starts_[b] to starts_[b + 1]
  std::size_t workers_ = 0;
  std::vector<Slot> slots_;
  std::vector<std::thread> threads_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;  // the first batch nobody has claimed
  std::size_t made_ = 0;  // batches whose objects are made; their slots are free
  bool failed_ = false;
  bool stopped_ = false;
};

}  // namespace

py::list TranslateMany(const gls_translator* translator, const std::vector<TextArg>& texts,
                       unsigned threads) {
  // More threads than processors would only wait for each other.
  const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  if (threads == 0 || threads > processors) threads = processors;
  return Pipeline(translator, texts, threads).Run();
}

}  // namespace glossmith_python
