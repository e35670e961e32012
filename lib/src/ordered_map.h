#pragma once

// One ordered parallel map, for every layer that translates many pieces on
// several threads: glossmith-cli's stream, gls_translate_many and so Python's
// translate_many.
//
// One producer hands items in, in order, each in a slot of its own; mapper
// threads (and the producer, when it counts as a job) map them, any number
// at once; the results are delivered one at a time, in the order the items
// came. At most 2 x jobs items are in the map at once (handed in, being
// mapped, or waiting to be delivered), so memory stays bounded however many
// items pass through.
//
// Who delivers (Delivery): the producer, between handing items in; a thread
// of its own; or whichever thread maps the item at the head, which delivers
// it and every result ready after it, so there is no thread to wake for it.
// A producer that delivers keeps the results on the caller's thread, where
// a caller such as Python makes its objects: memory it allocates then comes
// from one heap, not from a heap per thread. A mapper with nothing to do
// spins briefly before it sleeps: in a steady stream the next item usually
// comes first.
//
// Failures: Deliver returning nonzero, an exception from Map or Deliver, or
// Stop stop the map: no more items are mapped or delivered, the producer is
// told by NextSlot, and OrderedWork::Stopped runs once.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace glossmith::lib {

// What the map does with the items; the slots' contents are the work's own.
// Map and Deliver run on any of the map's threads, never at once for one slot.
class OrderedWork {
 public:
  // Maps the item in `slot` into its result.
  virtual void Map(std::size_t slot) = 0;
  // Takes the result in `slot`. Returns 0 to go on, or a code that stops the
  // map (OrderedMap::stopCode).
  virtual int Deliver(std::size_t slot) = 0;
  // On each mapper thread before its first item.
  virtual void MapperStarted() {}
  // Once, on the thread that stopped the map.
  virtual void Stopped() {}

 protected:
  ~OrderedWork() = default;
};

enum class Delivery { kByProducer, kByThread, kByMappers };

class OrderedMap {
 public:
  // 2 x `jobs` slots; no thread runs until Start.
  OrderedMap(OrderedWork& work, unsigned jobs);
  // Stops the map if the producer did not finish it, and joins its threads.
  ~OrderedMap();
  OrderedMap(const OrderedMap&) = delete;
  OrderedMap& operator=(const OrderedMap&) = delete;

  std::size_t slots() const { return slots_.size(); }

  // Starts up to `mappers` mapping threads and, for kByThread with at least
  // one mapper, a thread that delivers (without one, the mappers deliver).
  // The producer maps too while fewer mappers than jobs run. A thread the
  // system refuses is done without: the results stay the same. Returns the
  // mappers started. Call once, before the first NextSlot.
  unsigned Start(unsigned mappers, Delivery delivery);

  // The producer's side, on one thread.
  // The slot for the next item, once one is free; while every slot is in use
  // the producer maps an item that no thread has taken, when it maps at all,
  // and delivers, when it delivers. Nothing once the map has stopped.
  std::optional<std::size_t> NextSlot();
  // The item in the slot NextSlot gave is complete.
  void Submit();
  // No more items: the producer maps what no thread has taken (and delivers
  // when it delivers), and the call returns when every result is delivered
  // or the map has stopped, with its threads joined.
  void Finish();

  // From any thread. `code` is kept for stopCode when it is the first stop.
  void Stop(int code = 0);
  bool stopped() const { return phase_.load(std::memory_order_acquire) == Phase::kStopped; }
  // The nonzero code Deliver returned or Stop was given first; 0 if none.
  int stopCode() const;
  // The first exception Map or Deliver threw; null if none.
  std::exception_ptr failure() const;

 private:
  enum class Phase { kOpen, kClosed, kStopped };  // kClosed: every item is in
  enum class SlotState { kFree, kFilled, kMapping, kMapped, kDelivering };

  // Each of these is entered and left with the lock held.
  void MapNext(std::unique_lock<std::mutex>& lock, bool byProducer);
  // Delivers the results ready at the head, at most `most` of them.
  void DeliverReady(std::unique_lock<std::mutex>& lock, std::uint64_t most = UINT64_MAX);
  void StopLocked(std::unique_lock<std::mutex>& lock, int code, std::exception_ptr failure);
  bool AwaitItem(std::unique_lock<std::mutex>& lock);
  bool HeadMapped() const {
    return delivered_ < filled_ && slots_[delivered_ % slots_.size()] == SlotState::kMapped;
  }
  // The producer's turn while it waits: deliver, map, or sleep until a
  // mapper has mapped the head (or a slot is free).
  void ProducerWaits(std::unique_lock<std::mutex>& lock);
  SlotState& StateOf(std::uint64_t item) { return slots_[item % slots_.size()]; }

  void MapperLoop();
  void DelivererLoop();

  OrderedWork& work_;
  const unsigned jobs_;
  unsigned mappers_ = 0;
  bool producerMaps_ = true;
  Delivery delivery_ = Delivery::kByMappers;  // kByThread only with the thread running
  std::vector<std::thread> threads_;

  mutable std::mutex mutex_;
  std::condition_variable slotFree_, itemFilled_, headMapped_;
  std::vector<SlotState> slots_;
  // Items are numbered in order; item n lives in slot n % slots(). filled_ is
  // written under the lock and read without it by a mapper spinning for work.
  std::atomic<std::uint64_t> filled_ = 0;
  std::uint64_t taken_ = 0, delivered_ = 0;
  unsigned idle_ = 0;  // mappers asleep waiting for an item
  std::atomic<Phase> phase_ = Phase::kOpen;
  int stopCode_ = 0;
  std::exception_ptr failure_;
};

}  // namespace glossmith::lib
