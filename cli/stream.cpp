#include "cli/stream.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "lib/src/ordered_map.h"

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

// A piece on its way through the map: filled by the reader, translated by
// one job, written in its turn, then reused.
struct Slot {
  Buffer text;
  Buffer translation;
};

// A gls_sink that appends to the Buffer at `context`. The room is reserved
// before the translation, so growing here is rare: by half again, not double.
int AppendTo(void* context, const char* bytes, std::size_t len) noexcept {
  auto& out = *static_cast<Buffer*>(context);
  try {
    if (len > out.capacity() - out.size())
      out.Reserve(std::max(out.size() + len, out.capacity() + out.capacity() / 2));
  } catch (const std::bad_alloc&) {
    return ENOMEM;
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
  return out.error;
}

// Where the reader's pieces go. A short input, or a line typed, is translated
// and written by the reader itself, without the cost of starting threads;
// the jobs start with the first full read of an input that holds at least
// one read size (kLongInput of them with one job). The first piece, which
// fills most of the machine's table, is the reader's alone in any case.
enum class Route {
  kHere,         // the reader translates and writes; the jobs may still start
  kHereOnly,     // the same, for good: no job thread could start
  kHereThenMap,  // the jobs run; this piece is still the reader's
  kMap,          // every piece goes through the map
};

class Pipeline final : public lib::OrderedWork {
 public:
  Pipeline(int out, const gls::Translator& translator, const StreamOptions& options)
      : out_(out),
        translator_(translator),
        options_(options),
        slots_(2 * std::size_t{options.jobs}),
        map_(*this, options.jobs) {
    for (const char byte : translator.SplitBytes()) split_[static_cast<unsigned char>(byte)] = true;
  }

  StreamResult Run(const std::vector<Input>& inputs);

  // The map's work, on its threads.
  void Map(std::size_t slot) override;
  int Deliver(std::size_t slot) override;
  void MapperStarted() override;
  void Stopped() override;

 private:
  // The reader, on the calling thread. ReadInput and Dispatch return false
  // once the run has stopped.
  void Read(const std::vector<Input>& inputs);
  bool ReadInput(const Input& input);
  // `full`: the piece goes out because a read filled up, so more input is
  // likely on its way.
  bool Dispatch(std::size_t cut, bool full);
  bool TranslateHere(std::size_t cut);
  bool HandOver(std::size_t cut);
  void StartThreads();
  // Counts `got` more bytes read and sizes the pieces from the length so far.
  void Count(std::size_t got);
  std::uint64_t Length() const { return std::max(read_, known_); }
  // Replaces `out` with the translation of `text`.
  void TranslatePiece(std::string_view text, Buffer& out);
  void Grown(std::size_t text, std::size_t translation);
  // errno for a failure that is not the output's.
  static int ErrorOf(std::exception_ptr failure);

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
  Route route_ = Route::kHere;
  // The largest ratio of translation to text so far, for the room a
  // translation gets before it starts.
  std::atomic<double> growth_ = 1.0;

  std::vector<Slot> slots_;  // the pieces in the map's slots, 2 x jobs
  // With more than one job, the reader is one of them; with one, a job
  // thread translates and a deliverer thread writes while the reader reads.
  // Declared after the slots, so that its threads end before they go.
  lib::OrderedMap map_;
  int writeError_ = 0;  // the reader's own failed write
  int wake_[2] = {-1, -1};   // a byte here wakes a reader waiting for input after a stop
};

StreamResult Pipeline::Run(const std::vector<Input>& inputs) {
  if (pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;  // poll() skips -1
  int error = 0;
  try {
    Read(inputs);
  } catch (...) {
    error = ErrorOf(std::current_exception());
    map_.Stop();
  }
  // The pieces still waiting are the reader's too, rather than wait for the jobs.
  map_.Finish();
  for (const int fd : wake_)
    if (fd >= 0) close(fd);
  if (error == 0 && map_.failure()) error = ErrorOf(map_.failure());
  return {readFailed_, writeError_ != 0 ? writeError_ : map_.stopCode(), error};
}

int Pipeline::ErrorOf(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const gls::Error& e) {
    return e.status() == GLS_E_THREAD ? EAGAIN : ENOMEM;
  } catch (...) {
    return ENOMEM;
  }
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
  // With one job its thread translates and another writes; with more, the
  // reader is the last job.
  const unsigned jobs = options_.jobs;
  const unsigned started = map_.Start(jobs == 1 ? 1 : jobs - 1,
                                     jobs == 1 ? lib::Delivery::kByThread : lib::Delivery::kByMappers);
  route_ = started == 0 ? Route::kHereOnly : Route::kHereThenMap;
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
      if (map_.stopped()) return false;
      if (ready == 0) {
        if (!Dispatch(cut_, false)) return false;
        continue;
      }
      if (ready < 0) continue;
    } else if (map_.stopped()) {
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
  if (route_ == Route::kHere && full &&
      Length() >= (options_.jobs > 1 ? options_.readSize : kLongInput * options_.readSize))
    StartThreads();
  if (route_ == Route::kMap) return HandOver(cut);
  if (route_ == Route::kHereThenMap) route_ = Route::kMap;
  return TranslateHere(cut);
}

bool Pipeline::HandOver(std::size_t cut) {
  const std::optional<std::size_t> next = map_.NextSlot();
  if (!next) return false;
  Slot& slot = slots_[*next];  // the reader's until submitted
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
  map_.Submit();
  return true;
}

void Pipeline::Map(std::size_t slot) {
  TranslatePiece(slots_[slot].text.view(), slots_[slot].translation);
}

int Pipeline::Deliver(std::size_t slot) {
  Buffer& translation = slots_[slot].translation;
  const int error = WriteAll(out_, translation.view());
  // A translation this much larger than a read came from a long stretch: its
  // room is not kept.
  if (translation.capacity() > 8 * options_.readSize) translation.Release();
  return error;
}

void Pipeline::MapperStarted() {
  // The library sets up this thread's scratch on its first translation:
  // here, while the reader is at its first piece.
  Buffer none;
  gls::Check(gls_translate_to_sink(translator_.get(), nullptr, 0, &AppendTo, &none));
}

void Pipeline::Stopped() {
  if (wake_[1] >= 0) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = write(wake_[1], &byte, 1);
  }
}

bool Pipeline::TranslateHere(std::size_t cut) {
  if (map_.stopped()) return false;
  DirectOutput out{out_};
  const gls_status status =
      gls_translate_to_sink(translator_.get(), pending_.data(), cut, &WriteOut, &out);
  if (out.error) {
    writeError_ = out.error;
    map_.Stop(writeError_);
    return false;
  }
  gls::Check(status);
  Grown(cut, out.written);
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
