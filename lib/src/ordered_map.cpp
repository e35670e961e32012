#include "lib/src/ordered_map.h"

#include <chrono>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace glossmith::lib {
namespace {

// How long a mapper with nothing to do spins before it sleeps: about the
// time a producer takes to read a piece, so that the next one usually comes
// first.
constexpr std::chrono::microseconds kSpin{100};

}  // namespace

OrderedMap::OrderedMap(OrderedWork& work, unsigned jobs)
    : work_(work), jobs_(jobs < 1 ? 1 : jobs), slots_(2 * std::size_t{jobs_}, SlotState::kFree) {}

OrderedMap::~OrderedMap() {
  if (threads_.empty()) return;
  Stop();
  for (std::thread& thread : threads_) thread.join();
}

unsigned OrderedMap::Start(unsigned mappers, Delivery delivery) {
  {
    const std::lock_guard lock(mutex_);
    delivery_ = delivery == Delivery::kByProducer ? delivery : Delivery::kByMappers;
  }
  try {
    for (unsigned i = 0; i < mappers; ++i) {
      threads_.emplace_back(&OrderedMap::MapperLoop, this);
      const std::lock_guard lock(mutex_);
      ++mappers_;
    }
    if (delivery == Delivery::kByThread && mappers_ > 0) {
      {
        const std::lock_guard lock(mutex_);
        delivery_ = Delivery::kByThread;
      }
      try {
        threads_.emplace_back(&OrderedMap::DelivererLoop, this);
      } catch (const std::system_error&) {
        const std::lock_guard lock(mutex_);
        delivery_ = Delivery::kByMappers;
        throw;
      }
    }
  } catch (const std::system_error&) {
    // Fewer threads give the same results.
  }
  const std::lock_guard lock(mutex_);
  producerMaps_ = mappers_ < jobs_;
  return mappers_;
}

std::optional<std::size_t> OrderedMap::NextSlot() {
  std::unique_lock lock(mutex_);
  // A producer that delivers takes turns: one result out (while it is in
  // the cache), one item in, so that the mappers always find items to map.
  if (delivery_ == Delivery::kByProducer) DeliverReady(lock, 1);
  while (!stopped() && filled_ - delivered_ >= slots_.size()) ProducerWaits(lock);
  if (stopped()) return std::nullopt;
  return static_cast<std::size_t>(filled_ % slots_.size());
}

void OrderedMap::ProducerWaits(std::unique_lock<std::mutex>& lock) {
  if (delivery_ == Delivery::kByProducer && HeadMapped())
    DeliverReady(lock, 1);
  else if (producerMaps_ && taken_ < filled_)
    MapNext(lock, true);
  else if (delivery_ == Delivery::kByProducer)
    headMapped_.wait(lock);
  else
    slotFree_.wait(lock);
}

void OrderedMap::Submit() {
  std::unique_lock lock(mutex_);
  StateOf(filled_) = SlotState::kFilled;
  filled_.fetch_add(1, std::memory_order_release);
  // Two items wait for each mapper thread, so that one that finishes finds
  // the next at once; the producer maps the others itself. A producer that
  // delivers maps only while it waits (NextSlot): its deliveries come first.
  if (producerMaps_ && delivery_ != Delivery::kByProducer &&
      filled_ - taken_ > 2 * std::uint64_t{mappers_}) {
    MapNext(lock, true);
  } else if (idle_ > 0) {
    lock.unlock();
    itemFilled_.notify_one();
  }
}

void OrderedMap::Finish() {
  {
    std::unique_lock lock(mutex_);
    Phase open = Phase::kOpen;
    phase_.compare_exchange_strong(open, Phase::kClosed);
    while (producerMaps_ && !stopped() && taken_ < filled_) MapNext(lock, true);
    if (delivery_ == Delivery::kByProducer)
      while (!stopped() && delivered_ < filled_) ProducerWaits(lock);
  }
  itemFilled_.notify_all();
  headMapped_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

void OrderedMap::Stop(int code) {
  std::unique_lock lock(mutex_);
  StopLocked(lock, code, nullptr);
}

int OrderedMap::stopCode() const {
  const std::lock_guard lock(mutex_);
  return stopCode_;
}

std::exception_ptr OrderedMap::failure() const {
  const std::lock_guard lock(mutex_);
  return failure_;
}

void OrderedMap::MapNext(std::unique_lock<std::mutex>& lock, bool byProducer) {
  const std::uint64_t item = taken_++;
  StateOf(item) = SlotState::kMapping;
  lock.unlock();
  std::exception_ptr failure;
  try {
    work_.Map(static_cast<std::size_t>(item % slots_.size()));
  } catch (...) {
    failure = std::current_exception();
  }
  lock.lock();
  if (failure) {
    StopLocked(lock, 0, failure);
    return;
  }
  StateOf(item) = SlotState::kMapped;
  if (delivery_ == Delivery::kByMappers) {
    DeliverReady(lock);
  } else if (delivery_ == Delivery::kByProducer && byProducer) {
    // A producer that delivers does so in its own turns (NextSlot).
  } else if (item == delivered_) {  // its deliverer may be waiting for it
    lock.unlock();
    headMapped_.notify_one();
    lock.lock();
  }
}

void OrderedMap::DeliverReady(std::unique_lock<std::mutex>& lock, std::uint64_t most) {
  // A head that is being delivered is left to its thread, which finds what
  // is ready after it before it stops.
  for (std::uint64_t done = 0; done < most && !stopped() && HeadMapped(); ++done) {
    const std::uint64_t item = delivered_;
    StateOf(item) = SlotState::kDelivering;
    lock.unlock();
    int code = 0;
    std::exception_ptr failure;
    try {
      code = work_.Deliver(static_cast<std::size_t>(item % slots_.size()));
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    if (code != 0 || failure) {
      StopLocked(lock, code, failure);
      return;
    }
    StateOf(item) = SlotState::kFree;
    ++delivered_;
    slotFree_.notify_one();
  }
}

void OrderedMap::StopLocked(std::unique_lock<std::mutex>& lock, int code,
                            std::exception_ptr failure) {
  if (stopped()) return;
  phase_.store(Phase::kStopped, std::memory_order_release);
  stopCode_ = code;
  failure_ = std::move(failure);
  lock.unlock();
  slotFree_.notify_all();
  itemFilled_.notify_all();
  headMapped_.notify_all();
  work_.Stopped();
  lock.lock();
}

bool OrderedMap::AwaitItem(std::unique_lock<std::mutex>& lock) {
  if (taken_ == filled_ && phase_.load(std::memory_order_acquire) == Phase::kOpen) {
    const std::uint64_t seen = filled_;
    lock.unlock();
    const auto start = std::chrono::steady_clock::now();
    for (unsigned spin = 1; filled_.load(std::memory_order_relaxed) == seen &&
                            phase_.load(std::memory_order_relaxed) == Phase::kOpen;
         ++spin) {
      if (spin % 64 == 0) {
        if (std::chrono::steady_clock::now() - start > kSpin) break;
        // The processor goes to the producer if it waits for this one.
        std::this_thread::yield();
      }
#if defined(__SSE2__)
      _mm_pause();
#endif
    }
    lock.lock();
  }
  ++idle_;
  itemFilled_.wait(lock, [&] { return taken_ < filled_ || phase_ != Phase::kOpen; });
  --idle_;
  return !stopped() && taken_ < filled_;
}

void OrderedMap::MapperLoop() {
  try {
    work_.MapperStarted();
  } catch (...) {
    std::unique_lock lock(mutex_);
    StopLocked(lock, 0, std::current_exception());
    return;
  }
  std::unique_lock lock(mutex_);
  while (AwaitItem(lock)) MapNext(lock, false);
}

void OrderedMap::DelivererLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    headMapped_.wait(lock, [&] {
      return stopped() ||
             (delivered_ < filled_ && StateOf(delivered_) == SlotState::kMapped) ||
             (phase_ == Phase::kClosed && delivered_ == filled_);
    });
    if (stopped() || delivered_ == filled_) return;
    DeliverReady(lock);
  }
}

}  // namespace glossmith::lib
