#pragma once

// A store for tests that passes everything to a store underneath (its own
// memory store unless one is given) and records what goes through: every
// write in order, and how often each key was read.

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings.h"

namespace glossmith::testing_support {

// One Write as the store saw it.
struct WriteCall {
  std::string section, key, value;
  bool operator==(const WriteCall&) const = default;
};

inline void PrintTo(const WriteCall& call, std::ostream* os) {
  *os << '[' << call.section << "] " << ::testing::PrintToString(call.key) << " = "
      << ::testing::PrintToString(call.value);
}

class RecordingSettings final : public Settings {
 public:
  RecordingSettings() : store_(own_) {}
  explicit RecordingSettings(Settings& store) : store_(store) {}

  std::string Read(std::string_view app, std::string_view section,
                   std::string_view key) const override {
    ++reads_[std::string(section) + "/" + std::string(key)];
    return store_.Read(app, section, key);
  }
  WriteResult Write(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view value) override {
    EXPECT_EQ(app, kApp);
    writes_.push_back({std::string(section), std::string(key), std::string(value)});
    return store_.Write(app, section, key, value);
  }

  const std::vector<WriteCall>& writes() const { return writes_; }
  void clearWrites() { writes_.clear(); }

  // Reads of "section/key" since the last forgetReads().
  int readsOf(const std::string& name) const {
    const auto it = reads_.find(name);
    return it == reads_.end() ? 0 : it->second;
  }
  std::size_t keysRead() const { return reads_.size(); }
  void forgetReads() { reads_.clear(); }

 private:
  MemorySettings own_;
  Settings& store_;
  std::vector<WriteCall> writes_;
  mutable std::map<std::string, int> reads_;
};

}  // namespace glossmith::testing_support
