// Fuzzes opening and using a complete base (records, word index with its reverse field,
// sort field) with one of its nine files replaced: the first input byte chooses the
// file, the rest are its bytes. The base is opened and, when it opens, searched with
// every query form, listed, fetched and sorted.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "testing/full_base_files.h"
#include "lodex32.h"

namespace {

struct Dirs {
  lodex::testing::TempDir root;  // kept for the whole run
  std::string base, temp;
};

const Dirs& TheDirs() {
  static Dirs* d = [] {
    auto* dirs = new Dirs;
    dirs->base = dirs->root.Sub("base");
    dirs->temp = dirs->root.Sub("temp");
    return dirs;
  }();
  return *d;
}

void Work(int32_t base) {
  using namespace lodex::testing;
  const int32_t s = APICreateSession(base);
  if (s < 0) return;
  char entries[8 * 260];
  for (const char* q : {"AAQ", "A*", "*BQ", "?C*", "*A*", "ZZZ AAQ", "B-D", "<=BZ", "*"}) {
    if (APISearchConditions(s, kFullText, q, 0) != 0) continue;
    APISearch(s);
    const int32_t hits = APIHitCount(s);
    for (int32_t h : {0, hits / 2, hits - 1}) {
      if (APIFetchRecord(s, h) == 0) APIGetFieldData(s, kFullCode);
    }
  }
  for (const char* prefix : {"", "B", "ZZ"}) {
    APIGetIndexWords(s, kFullText, prefix, 8, 0, entries);
    APILocateIndexWord(s, kFullText, prefix, 0);
    APIGetIndexWordsEx(s, kFullText, 0, 8, 0, entries);
  }
  if (APISortConditions(s, kFullSort, 0) == 0 && APISort(s) == 0) {
    for (int32_t h = 0; h < 3; ++h) {
      if (APIFetchRecord(s, h) == 0) APIGetFieldData(s, kFullText);
    }
  }
  APIDestroySession(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const Dirs& dirs = TheDirs();
  static bool written = false;
  static std::vector<std::string> good;
  const auto& names = lodex::testing::BaseFileNames();
  if (!written) {
    lodex::testing::WriteFullBase(dirs.base, {30, 20});
    for (const std::string& name : names) {
      good.push_back(lodex::testing::ReadFile(dirs.base + "/" + name));
    }
    written = true;
  }
  const size_t which = data[0] % names.size();
  for (size_t i = 0; i < names.size(); ++i) {
    lodex::testing::WriteFile(
        dirs.base + "/" + names[i],
        i == which ? std::string(reinterpret_cast<const char*>(data + 1), size - 1) : good[i]);
  }
  const int32_t base = APIOpenBaseEx(dirs.base.c_str(), nullptr, dirs.temp.c_str(), 0);
  if (base < 0) return 0;
  Work(base);
  APICloseBase(base);
  return 0;
}
