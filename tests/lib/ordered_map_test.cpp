// The ordered parallel map: every item mapped and delivered once, in order,
// with at most 2 x jobs items in the map, for every number of jobs and crew,
// on the producer's thread when it is the one to deliver;
// a failed delivery, a throwing map or an outside stop end it cleanly.
// Named ...Thread... so that the ThreadSanitizer preset runs them.

#include "lib/src/ordered_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace glossmith::lib {
namespace {

// Maps n to n * n + 1, delivers into `delivered`; fails as told.
class Squares final : public OrderedWork {
 public:
  explicit Squares(std::size_t slots) : items_(slots), results_(slots) {}

  void Map(std::size_t slot) override {
    if (items_[slot] == throwAt) throw std::runtime_error("map failed");
    results_[slot] = items_[slot] * items_[slot] + 1;
  }
  int Deliver(std::size_t slot) override {
    if (std::this_thread::get_id() != producer) ++offProducer;
    if (items_[slot] == refuseAt) return 42;
    delivered.push_back(results_[slot]);
    --inMap;
    return 0;
  }
  void Stopped() override { ++stops; }

  void Put(std::size_t slot, long item) {
    items_[slot] = item;
    maxInMap = std::max(maxInMap, ++inMap);
  }

  long throwAt = -1, refuseAt = -1;
  std::vector<long> delivered;  // the deliverer's alone, one at a time
  std::atomic<int> stops = 0;
  std::atomic<std::size_t> inMap = 0;
  std::size_t maxInMap = 0;  // the producer's
  const std::thread::id producer = std::this_thread::get_id();
  std::atomic<std::size_t> offProducer = 0;  // deliveries on another thread

 private:
  std::vector<long> items_, results_;
};

struct Crew {
  const char* name;
  unsigned jobs, mappers;
  Delivery delivery;
};

const Crew kCrews[] = {
    {"producer alone", 1, 0, Delivery::kByMappers},
    {"one mapper and a deliverer", 1, 1, Delivery::kByThread},
    {"producer and one mapper", 2, 1, Delivery::kByMappers},
    {"producer and seven mappers", 8, 7, Delivery::kByMappers},
    {"more mappers than jobs", 2, 4, Delivery::kByMappers},
    {"three mappers and a deliverer", 4, 3, Delivery::kByThread},
    {"producer alone, delivering", 1, 0, Delivery::kByProducer},
    {"producer delivering, one mapper", 2, 1, Delivery::kByProducer},
    {"producer delivering, seven mappers", 8, 7, Delivery::kByProducer},
    {"producer delivering, more mappers than jobs", 2, 4, Delivery::kByProducer},
};

// Hands items 0 .. count-1 in; false once the map refused a slot.
bool Produce(OrderedMap& map, Squares& work, long count) {
  for (long item = 0; item < count; ++item) {
    const auto slot = map.NextSlot();
    if (!slot) return false;
    work.Put(*slot, item);
    map.Submit();
  }
  return true;
}

TEST(OrderedMapThreadTest, EveryItemOnceInOrderWithinTheBound) {
  for (const Crew& crew : kCrews) {
    for (const long count : {0L, 1L, 5L, 3000L}) {
      SCOPED_TRACE(std::string(crew.name) + ", " + std::to_string(count) + " items");
      Squares work(2 * crew.jobs);
      OrderedMap map(work, crew.jobs);
      map.Start(crew.mappers, crew.delivery);
      ASSERT_TRUE(Produce(map, work, count));
      map.Finish();
      ASSERT_EQ(work.delivered.size(), static_cast<std::size_t>(count));
      for (long item = 0; item < count; ++item) ASSERT_EQ(work.delivered[item], item * item + 1);
      EXPECT_LE(work.maxInMap, map.slots());
      EXPECT_FALSE(map.stopped());
      EXPECT_EQ(work.stops, 0);
      if (crew.delivery == Delivery::kByProducer) {
        EXPECT_EQ(work.offProducer, 0u);
      }
    }
  }
}

struct Failure {
  const char* name;
  long throwAt, refuseAt, stopAt;  // -1: not at all
  int code;                        // stopCode
  bool thrown;                     // failure() holds the exception
};

const Failure kFailures[] = {
    {"a delivery refused", -1, 700, -1, 42, false},
    {"a map that throws", 700, -1, -1, 0, true},
    {"a stop from outside", -1, -1, 700, 9, false},
};

TEST(OrderedMapThreadTest, AFailureStopsTheMapOnce) {
  for (const Crew& crew : kCrews) {
    for (const Failure& failure : kFailures) {
      SCOPED_TRACE(std::string(crew.name) + ", " + failure.name);
      Squares work(2 * crew.jobs);
      work.throwAt = failure.throwAt;
      work.refuseAt = failure.refuseAt;
      OrderedMap map(work, crew.jobs);
      map.Start(crew.mappers, crew.delivery);
      bool refused = false;
      for (long item = 0; item < 3000 && !refused; ++item) {
        if (item == failure.stopAt) map.Stop(failure.code);
        const auto slot = map.NextSlot();
        refused = !slot;
        if (slot) {
          work.Put(*slot, item);
          map.Submit();
        }
      }
      map.Finish();
      EXPECT_TRUE(map.stopped());
      EXPECT_EQ(map.stopCode(), failure.code);
      EXPECT_EQ(map.failure() != nullptr, failure.thrown);
      EXPECT_EQ(work.stops, 1);
      if (crew.delivery == Delivery::kByProducer) {
        EXPECT_EQ(work.offProducer, 0u);
      }
      // What was delivered is the start of the results, in order, and
      // nothing from the failing item on.
      const long last = std::max({failure.throwAt, failure.refuseAt, failure.stopAt});
      EXPECT_LE(work.delivered.size(), static_cast<std::size_t>(last));
      for (std::size_t i = 0; i < work.delivered.size(); ++i)
        ASSERT_EQ(work.delivered[i], static_cast<long>(i * i + 1));
    }
  }
}

}  // namespace
}  // namespace glossmith::lib
