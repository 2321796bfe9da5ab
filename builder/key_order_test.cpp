#include "key_order.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <string>

namespace lodex::build {
namespace {

// Against a stable sort of the strings: keys that share 8, 16 and 38 bytes, that end
// in zero bytes, that are empty, and that repeat (kept in item order).
TEST(SortByKey, IsByteOrderWithEqualKeysInItemOrder) {
  std::mt19937 random(11);
  std::vector<std::string> keys = {"", std::string(1, '\0'), std::string("AB\0", 3), "AB", "\xFF", "\x7F"};
  for (int i = 0; i < 3000; ++i) {
    std::string k = i % 4 == 0 ? "INSTALLATIONSKAB" : i % 4 == 1 ? "INSTALLA" : i % 4 == 2 ? "" : "INSTALLATIONSKABEL 3X1,5 MM2 GR\xC5 100 M";
    const int extra = static_cast<int>(random() % 5);
    for (int j = 0; j < extra; ++j) k.push_back("\0A\xE6Z"[random() % 4]);
    keys.push_back(k);
  }
  std::vector<uint32_t> items(keys.size());
  std::iota(items.begin(), items.end(), 0u);
  std::vector<uint32_t> want = items;
  std::stable_sort(want.begin(), want.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
  SortByKey(&items, [&](uint32_t i) { return std::string_view(keys[i]); });
  EXPECT_EQ(items, want);
}

}  // namespace
}  // namespace lodex::build
