#include "cli/stream.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

namespace glossmith::cli {
namespace {

// A piece is this share of the input's length as far as it is known, from
// kSmallestPiece up to the read size. The buffers a piece passes through (its
// text, its translation, the library's scratch) are reused from piece to
// piece, but each page of them costs a page fault when first touched, on a
// virtual machine about as long as translating 2 KB: with pieces of a
// megabyte a 10 MB input would pay for some 15 MB of fresh buffers, as long
// as translating 7 MB, where a long input pays that once.
constexpr std::uint64_t kPiecesPerInput = 64;
constexpr std::size_t kSmallestPiece = std::size_t{64} << 10;

// With one job a thread starts only for an input this many read sizes long:
// it translates while the reader reads, which pays on a long input only.
constexpr std::uint64_t kLongInput = 32;

// How long a job with nothing to do spins before it sleeps: about a read of a
// piece, so that the next one usually comes first.
constexpr std::chrono::microseconds kSpin{100};

// Bytes of a piece; room is not zero-filled before a read.
class Buffer {
 public:
  char* data() { return data_.get(); }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  std::string_view view() const { return {data_.get(), size_}; }
  void SetSize(std::size_t size) { size_ = size; }

  // Room for `capacity` bytes; the contents stay.
  void Reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
  }

  void Release() {
    data_.reset();
    size_ = capacity_ = 0;
  }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0, capacity_ = 0;
};

// A piece on its way: filled by the reader, translated by one job, written by
// the writer, then reused.
struct Slot {
  Buffer text;
  Buffer translation;
  bool translated = false;
};

// A gls_sink that appends to the Buffer at `context`. The room is reserved
// before the translation, so growing here is rare: by half again, not double.
int AppendTo(void* context, const char* bytes, std::size_t len) noexcept {
  auto& out = *static_cast<Buffer*>(context);
  try {
    if (len > out.capacity() - out.size())
      out.Reserve(std::max(out.size() + len, out.capacity() + out.capacity() / 2));
  } catch (const std::bad_alloc&) {
    return 1;
  }
  std::memcpy(out.data() + out.size(), bytes, len);
  out.SetSize(out.size() + len);
  return 0;
}

// A gls_sink that writes to the output at once, for the reader's own pieces:
// no copy of the translation and no buffer of its own.
struct DirectOutput {
  int fd;
  std::size_t written = 0;
  int error = 0;  // errno of the failed write; 0 if none
};

int WriteOut(void* context, const char* bytes, std::size_t len) noexcept {
  auto& out = *static_cast<DirectOutput*>(context);
  out.error = WriteAll(out.fd, {bytes, len});
  out.written += len;
  return out.error == 0 ? 0 : 1;
}

class Pipeline {
 public:
  Pipeline(int out, const gls::Translator& translator, const StreamOptions& options)
      : out_(out),
        translator_(translator),
        options_(options),
        slots_(2 * std::size_t{options.jobs}) {
    for (const char byte : translator.SplitBytes()) split_[static_cast<unsigned char>(byte)] = true;
  }

  StreamResult Run(const std::vector<Input>& inputs);

 private:
  // The reader, on the calling thread. ReadInput and Dispatch return false
  // once the run has stopped.
  void Read(const std::vector<Input>& inputs);
  bool ReadInput(const Input& input);
  // `full`: the piece goes out because a read filled up, so more input is
  // likely on its way.
  bool Dispatch(std::size_t cut, bool full);
  bool TranslateHere(std::size_t cut);
  void StartThreads();
  // Counts `got` more bytes read and sizes the pieces from the length so far.
  void Count(std::size_t got);
  std::uint64_t Length() const { return std::max(read_, known_); }
  // Replaces `out` with the translation of `text`.
  void TranslatePiece(std::string_view text, Buffer& out);
  void Grown(std::size_t text, std::size_t translation);

  void Translate();  // each job's thread
  // Waits, spinning a little first, until a piece is there to take or the
  // input has ended. False once the run has stopped or nothing is left.
  bool AwaitPiece(std::unique_lock<std::mutex>& lock);
  // Translates the oldest piece not taken yet; the lock is held on entry and
  // on return.
  void TranslateNext(std::unique_lock<std::mutex>& lock);
  // Writes the translated pieces at the head, in order, unless another
  // thread is at it; under the lock.
  void WriteReady(std::unique_lock<std::mutex>& lock);
  void Write();  // the writer's thread, with one job only
  void Stop(int writeError, int error);
  void StopOn(const std::exception& e);

  const int out_;
  const gls::Translator& translator_;
  const StreamOptions options_;
  std::array<bool, 256> split_{};

  // The reader's own: bytes read and not yet handed over, and where they may
  // be cut (0: nowhere yet).
  Buffer pending_;
  std::size_t cut_ = 0;
  bool readFailed_ = false;
  // How long the input is: the bytes read so far, or the size of its files
  // when that is more. A piece goes out at `piece_` bytes.
  std::uint64_t read_ = 0, known_ = 0;
  std::size_t piece_ = 0;
  // With more than one job, all jobs but one start with the first full read
  // of an input that holds at least one read size: a short input, or a line
  // typed, is translated and written by the reader itself, without the cost
  // of starting threads. After that the reader is the remaining job: it
  // leaves two pieces waiting for each job thread, so that a job that
  // finishes one finds the next without sleeping (the reader may be in the
  // middle of a piece of its own), and translates the others itself.
  // Whichever thread finishes the piece at the head writes it and whatever
  // follows it ready: there is no writer thread to wake. With one job, see
  // kLongInput.
  std::vector<std::thread> threads_;
  bool threaded_ = false;
  bool triedThreads_ = false;
  bool translatedHere_ = false;  // the reader has translated a piece on its own
  // Whether the reader counts as one of the jobs once they run: not with one
  // job, whose thread then translates while the reader reads.
  bool readerTranslates_ = true;
  // With one job, a writer thread too, so that reading, translating and
  // writing all overlap.
  bool writerThread_ = false;
  // The largest ratio of translation to text so far, for the room a
  // translation gets before it starts.
  std::atomic<double> growth_ = 1.0;

  // Pieces are numbered in input order; piece n lives in slots_[n % size].
  std::mutex mutex_;
  std::condition_variable slotFree_, pieceFilled_, headTranslated_;
  std::vector<Slot> slots_;
  // filled_ is written under the lock and read without it by a job spinning
  // for the next piece.
  std::atomic<std::uint64_t> filled_ = 0;
  std::uint64_t taken_ = 0, written_ = 0;
  unsigned idle_ = 0;     // jobs asleep waiting for a piece
  bool writing_ = false;  // a thread is writing the head pieces
  std::atomic<bool> inputEnded_ = false;
  std::atomic<bool> stopped_ = false;
  int writeError_ = 0, error_ = 0;
  int wake_[2] = {-1, -1};  // a byte here wakes a reader waiting for input after a stop
};

StreamResult Pipeline::Run(const std::vector<Input>& inputs) {
  if (pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;  // poll() skips -1
  try {
    Read(inputs);
  } catch (const std::exception& e) {
    StopOn(e);
  }
  {
    std::unique_lock lock(mutex_);
    inputEnded_ = true;
    // The pieces still waiting are the reader's too, rather than wait for the jobs.
    try {
      while (readerTranslates_ && !stopped_ && taken_ < filled_) TranslateNext(lock);
    } catch (const std::exception& e) {
      if (lock.owns_lock()) lock.unlock();
      StopOn(e);
    }
  }
  pieceFilled_.notify_all();
  headTranslated_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  for (const int fd : wake_)
    if (fd >= 0) close(fd);
  return {readFailed_, writeError_, error_};
}

void Pipeline::Read(const std::vector<Input>& inputs) {
  for (const Input& input : inputs) {
    struct stat info {};
    if (fstat(input.fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
      known_ += static_cast<std::uint64_t>(info.st_size);
  }
  Count(0);
  // Room for the largest piece; only the pages that pieces reach are touched.
  pending_.Reserve(options_.readSize);
  for (const Input& input : inputs)
    if (!ReadInput(input)) return;
  if (pending_.size() > 0) Dispatch(pending_.size(), false);
}

void Pipeline::Count(std::size_t got) {
  read_ += got;
  piece_ = static_cast<std::size_t>(std::min<std::uint64_t>(
      options_.readSize, std::max<std::uint64_t>(kSmallestPiece, Length() / kPiecesPerInput)));
}

void Pipeline::StartThreads() {
  triedThreads_ = true;
  try {
    if (options_.jobs == 1) {
      threads_.emplace_back(&Pipeline::Write, this);
      writerThread_ = true;
    }
    for (unsigned job = options_.jobs > 1 ? 1 : 0; job < options_.jobs; ++job)
      threads_.emplace_back(&Pipeline::Translate, this);
  } catch (const std::system_error&) {
    // Fewer jobs still give the same output; without any the reader goes on
    // translating everything itself (a writer alone finds nothing to write
    // and ends with the input).
  }
  const std::size_t jobThreads = threads_.size() - (writerThread_ ? 1 : 0);
  threaded_ = jobThreads > 0;
  readerTranslates_ = jobThreads < options_.jobs;
}

bool Pipeline::ReadInput(const Input& input) {
  struct stat info {};
  const bool mayWait = fstat(input.fd, &info) != 0 || !S_ISREG(info.st_mode);
  const std::size_t readSize = options_.readSize;
  // A pipe that holds a whole read wakes its writer and this reader far less often
  // than the default 64 KiB; where the system refuses, the pipe stays as it is.
  if (const int room = static_cast<int>(std::min<std::size_t>(readSize, 1 << 20));
      S_ISFIFO(info.st_mode) && fcntl(input.fd, F_GETPIPE_SZ) < room)
    fcntl(input.fd, F_SETPIPE_SZ, room);
  for (;;) {
    if (mayWait) {
      // A pipe or terminal: while it has nothing more to give right now, the
      // text up to the last split byte goes out, so that a line typed comes
      // back at once.
      pollfd fds[2] = {{input.fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      const int ready = poll(fds, 2, cut_ > 0 ? 0 : -1);
      if (ready < 0 && errno != EINTR) {
        ReportError(input.name, errno);
        readFailed_ = true;
        return true;
      }
      if (stopped_) return false;
      if (ready == 0) {
        if (!Dispatch(cut_, false)) return false;
        continue;
      }
      if (ready < 0) continue;
    } else if (stopped_) {
      return false;
    }

    if (pending_.size() == pending_.capacity())
      pending_.Reserve(std::max(readSize, 2 * pending_.capacity()));
    const std::size_t used = pending_.size();
    const ssize_t got =
        read(input.fd, pending_.data() + used, std::min(piece_, pending_.capacity() - used));
    if (got == 0) return true;
    if (got < 0) {
      // EAGAIN: a descriptor left non-blocking by whoever gave it; wait in poll().
      if (errno == EINTR || (mayWait && errno == EAGAIN)) continue;
      ReportError(input.name, errno);
      readFailed_ = true;
      return true;
    }
    const std::size_t end = used + static_cast<std::size_t>(got);
    pending_.SetSize(end);
    Count(static_cast<std::size_t>(got));
    // Only the new bytes: a long stretch without a split byte is searched once.
    for (std::size_t i = end; i > used; --i) {
      if (split_[static_cast<unsigned char>(pending_.data()[i - 1])]) {
        cut_ = i;
        break;
      }
    }
    if (cut_ > 0 && end >= piece_ && !Dispatch(cut_, true)) return false;
  }
}

bool Pipeline::Dispatch(std::size_t cut, bool full) {
  if (full && !triedThreads_ &&
      Length() >= (options_.jobs > 1 ? options_.readSize : kLongInput * options_.readSize))
    StartThreads();
  // The reader's first piece fills most of the machine's table, alone:
  // threads that fill it at once mostly wait for each other.
  if (!threaded_ || !translatedHere_) return TranslateHere(cut);
  std::unique_lock lock(mutex_);
  // With every slot in use, a piece that no job has taken yet is translated
  // here rather than waited for.
  while (!stopped_ && filled_ - written_ >= slots_.size()) {
    if (readerTranslates_ && taken_ < filled_)
      TranslateNext(lock);
    else
      slotFree_.wait(lock);
  }
  if (stopped_) return false;
  Slot& slot = slots_[filled_ % slots_.size()];
  lock.unlock();  // the slot is the reader's until it counts as filled

  // The piece goes out in the reader's buffer; the slot's old one takes the
  // rest, which holds no split byte.
  std::swap(slot.text, pending_);
  const std::size_t rest = slot.text.size() - cut;
  const std::size_t room = std::max(options_.readSize, rest);
  if (pending_.capacity() > 4 * room) pending_.Release();  // grown by a long stretch
  pending_.SetSize(0);
  pending_.Reserve(room);
  if (rest > 0) std::memcpy(pending_.data(), slot.text.data() + cut, rest);
  pending_.SetSize(rest);
  slot.text.SetSize(cut);
  cut_ = 0;

  lock.lock();
  ++filled_;
  if (readerTranslates_ && filled_ - taken_ > 2 * threads_.size()) {
    TranslateNext(lock);
  } else if (idle_ > 0) {
    lock.unlock();
    pieceFilled_.notify_one();
  }
  return true;
}

void Pipeline::TranslateNext(std::unique_lock<std::mutex>& lock) {
  Slot& slot = slots_[taken_++ % slots_.size()];
  lock.unlock();
  TranslatePiece(slot.text.view(), slot.translation);
  lock.lock();
  slot.translated = true;
  if (!writerThread_) {
    WriteReady(lock);
    return;
  }
  lock.unlock();
  headTranslated_.notify_one();
  lock.lock();
}

void Pipeline::Write() {
  std::unique_lock lock(mutex_);
  for (;;) {
    headTranslated_.wait(lock, [&] {
      return stopped_ || (written_ < filled_ && slots_[written_ % slots_.size()].translated) ||
             (inputEnded_ && written_ == filled_);
    });
    if (stopped_ || written_ == filled_) return;
    WriteReady(lock);
  }
}

void Pipeline::WriteReady(std::unique_lock<std::mutex>& lock) {
  if (writing_) return;  // that thread finds this piece before it stops
  writing_ = true;
  // A translation this much larger than a read came from a long stretch: its
  // room is not kept.
  const std::size_t keep = 8 * options_.readSize;
  while (!stopped_ && written_ < filled_) {
    Slot& slot = slots_[written_ % slots_.size()];
    if (!slot.translated) break;
    lock.unlock();
    const int error = WriteAll(out_, slot.translation.view());
    if (slot.translation.capacity() > keep) slot.translation.Release();
    lock.lock();
    if (error) {
      lock.unlock();
      Stop(error, 0);
      lock.lock();
      break;
    }
    slot.translated = false;
    ++written_;
    slotFree_.notify_one();
  }
  writing_ = false;
}

bool Pipeline::TranslateHere(std::size_t cut) {
  if (stopped_) return false;
  DirectOutput out{out_};
  const gls_status status =
      gls_translate_to_sink(translator_.get(), pending_.data(), cut, &WriteOut, &out);
  if (out.error) {
    Stop(out.error, 0);
    return false;
  }
  gls::Check(status);
  Grown(cut, out.written);
  translatedHere_ = true;
  const std::size_t rest = pending_.size() - cut;
  if (rest > 0) std::memmove(pending_.data(), pending_.data() + cut, rest);
  pending_.SetSize(rest);
  cut_ = 0;
  return true;
}

void Pipeline::TranslatePiece(std::string_view text, Buffer& out) {
  // Room for the most the text is likely to become, reserved at once: pages
  // that the translation leaves unwritten cost nothing, while growing by
  // copies would write the same bytes into fresh memory again and again.
  const double growth = growth_.load(std::memory_order_relaxed);
  const auto likely = static_cast<std::size_t>(static_cast<double>(text.size()) * growth);
  out.SetSize(0);
  if (out.capacity() < likely) out.Reserve(likely + likely / 8 + 4096);
  gls::Check(gls_translate_to_sink(translator_.get(), text.data(), text.size(), &AppendTo, &out));
  Grown(text.size(), out.size());
}

// Keeps the largest ratio of translation to text seen.
void Pipeline::Grown(std::size_t text, std::size_t translation) {
  if (text == 0) return;
  const double seen = static_cast<double>(translation) / static_cast<double>(text);
  const double growth = growth_.load(std::memory_order_relaxed);
  for (double known = growth; seen > known;)
    if (growth_.compare_exchange_weak(known, seen, std::memory_order_relaxed)) break;
}

bool Pipeline::AwaitPiece(std::unique_lock<std::mutex>& lock) {
  // The reader hands the next piece over within a read, in the steady state:
  // a short spin spares this thread a sleep, and the reader a wake-up that
  // would take its processor.
  if (taken_ == filled_ && !inputEnded_ && !stopped_) {
    const std::uint64_t seen = filled_;
    lock.unlock();
    const auto start = std::chrono::steady_clock::now();
    for (unsigned spin = 1;
         filled_.load(std::memory_order_relaxed) == seen && !inputEnded_ && !stopped_; ++spin) {
      if (spin % 64 == 0) {
        if (std::chrono::steady_clock::now() - start > kSpin) break;
        // The processor goes to the reader if it waits for this one.
        std::this_thread::yield();
      }
#if defined(__SSE2__)
      _mm_pause();
#endif
    }
    lock.lock();
  }
  ++idle_;
  pieceFilled_.wait(lock, [&] { return stopped_ || taken_ < filled_ || inputEnded_; });
  --idle_;
  return !stopped_ && taken_ < filled_;
}

void Pipeline::Translate() {
  try {
    // The library makes this thread's copy of the rules on its first
    // translation: here, while the reader is at its first piece.
    Buffer none;
    gls::Check(gls_translate_to_sink(translator_.get(), nullptr, 0, &AppendTo, &none));
    std::unique_lock lock(mutex_);
    while (AwaitPiece(lock)) TranslateNext(lock);
  } catch (const std::exception& e) {
    StopOn(e);
  }
}

void Pipeline::StopOn(const std::exception& e) {
  const auto* error = dynamic_cast<const gls::Error*>(&e);
  Stop(0, error && error->status() == GLS_E_THREAD ? EAGAIN : ENOMEM);
}

void Pipeline::Stop(int writeError, int error) {
  {
    const std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
    writeError_ = writeError;
    error_ = error;
  }
  slotFree_.notify_all();
  pieceFilled_.notify_all();
  headTranslated_.notify_all();
  if (wake_[1] >= 0) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = write(wake_[1], &byte, 1);
  }
}

}  // namespace

StreamResult TranslateStream(const std::vector<Input>& inputs, int out,
                             const gls::Translator& translator, const StreamOptions& options) {
  StreamOptions checked = options;
  checked.jobs = std::max(1u, options.jobs);
  checked.readSize = std::max<std::size_t>(1, options.readSize);
  Pipeline pipeline(out, translator, checked);
  return pipeline.Run(inputs);
}

std::string SplitBytesReport(const gls::Translator& translator, bool toEnglish) {
  std::array<bool, 256> split{};
  for (const char byte : translator.SplitBytes()) split[static_cast<unsigned char>(byte)] = true;
  std::string report = "split bytes for ";
  report += toEnglish ? "L33T to English" : "English to L33T";
  report += translator.Hardcore() ? ", Hardcore L33T:" : ", standard L33T:";
  const auto hex = [](int byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string{'0', 'x', kDigits[byte >> 4], kDigits[byte & 0xF]};
  };
  bool any = false;
  for (int first = 0; first < 256;) {
    if (!split[first]) {
      ++first;
      continue;
    }
    int last = first;
    while (last + 1 < 256 && split[last + 1]) ++last;
    report += " " + hex(first);
    if (last > first) report += "-" + hex(last);
    any = true;
    first = last + 1;
  }
  if (!any) report += " none";
  report += split['\n']
                ? "\nline feed: yes, the input may be cut after any line feed\n"
                : "\nline feed: no, cutting the input at line feeds may change the translation\n";
  return report;
}

}  // namespace glossmith::cli
