#pragma once

// Rules written into a store the way the editors write them. Plain C++ (no
// GoogleTest), for the fuzzer as well as the tests.

#include <string>
#include <string_view>
#include <vector>

#include "core/rules/custom_list.h"
#include "core/rules/hardcore_table.h"
#include "core/settings.h"

namespace glossmith::testing_support {

// The stored "search" and "replace" values, as they are given.
inline void WriteStoredList(Settings& store, std::string_view search, std::string_view replace) {
  store.Write(kApp, kSectionChange, kKeySearch, search);
  store.Write(kApp, kSectionChange, kKeyReplace, replace);
}

// A Custom list of entries, each ended by a line break.
inline void WriteCustomList(Settings& store, const std::vector<std::string>& search,
                            const std::vector<std::string>& replace) {
  WriteStoredList(store, JoinList(search), JoinList(replace));
}

// All 26 letters of a Hardcore table.
inline void WriteLetterTable(Settings& store, const LetterTable& table) {
  for (int i = 0; i < 26; ++i)
    store.Write(kApp, kSectionHardcore, LetterKey(static_cast<char>('A' + i)), table[i]);
}

}  // namespace glossmith::testing_support
