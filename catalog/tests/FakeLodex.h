// A stand-in for the engine's exports: a base of a few records whose hits are all
// its records, a sorted word list, and counters of the calls made, so that the
// wrapper and the views can be checked call by call.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <cstdint>
#include <string>
#include <vector>

#include "LodexKV.h"

namespace fake {

using Record = std::array<std::string, 6>;  // item text, type, el. no., EAN, price, code

struct State {
  int32_t open_result = 0;
  int32_t session = 7;
  // When not 0, every integer call answers this code.
  int32_t forced_error = 0;
  std::vector<std::string> field_names{"Varetekst", "Typenr", "El.nr.", " EAN", "Pris",
                                       "Rabatkode"};
  std::vector<int32_t> field_numbers{100, 120, 140, 160, 180, 190};
  std::vector<Record> records;
  std::vector<std::string> words;  // sorted, upper case
  int32_t current = -1;
  int fetches = 0;
  int table_first_hit_calls = 0;
  int locate_calls = 0;
  std::string last_text;  // the last text argument received, as bytes
  std::vector<std::string> calls;  // bitmap and search calls, e.g. "AndBitmaps(2,2,4)"
  int32_t search_result = 0;  // what Search answers
};

// Resets the state and gives the base n records "item k", type "T<k>", price "k,5".
inline void Reset(int records = 0);


inline State& S() {
  static State state;
  return state;
}

inline void Reset(int records) {
  S() = State();
  for (int k = 0; k < records; ++k) {
    const std::string n = std::to_string(k);
    S().records.push_back({"item " + n, "T" + n, "E" + n, "57" + n, n + ",5", "10"});
  }
}

namespace detail {

inline int32_t HitTotal() { return static_cast<int32_t>(S().records.size()); }

inline int32_t OpenBase(const char* base_dir, const char*, int32_t) {
  S().last_text = base_dir ? base_dir : "";
  return S().open_result;
}
inline int32_t CreateSession(int32_t) { return S().forced_error ? S().forced_error : S().session; }
inline int32_t DatafieldCount(int32_t base) {
  if (base != S().open_result) return -101;
  return S().forced_error ? S().forced_error : static_cast<int32_t>(S().field_names.size());
}
inline int32_t DatafieldNo(int32_t, int32_t i) {
  const int32_t n = static_cast<int32_t>(S().field_numbers.size());
  return S().field_numbers[std::clamp(i, 0, n - 1)];
}
inline const char* DatafieldName(int32_t, int32_t i) {
  const int32_t n = static_cast<int32_t>(S().field_names.size());
  return S().field_names[std::clamp(i, 0, n - 1)].c_str();
}
inline int32_t SearchfieldNo(int32_t, int32_t) { return 100; }
inline int32_t Log(const std::string& call) {
  S().calls.push_back(call);
  return S().forced_error;
}
inline int32_t StoreBitmap(int32_t, int32_t slot) { return Log("Store(" + std::to_string(slot) + ")"); }
inline int32_t RestoreBitmap(int32_t, int32_t slot) { return Log("Restore(" + std::to_string(slot) + ")"); }
inline int32_t ClearBitmap(int32_t, int32_t slot) { return Log("Clear(" + std::to_string(slot) + ")"); }
inline int32_t AndBitmaps(int32_t, int32_t target, int32_t first, int32_t second) {
  return Log("And(" + std::to_string(target) + "," + std::to_string(first) + "," +
             std::to_string(second) + ")");
}
inline int32_t HitCount(int32_t) { return S().forced_error ? S().forced_error : HitTotal(); }
inline int32_t TableHitCount(int32_t, int32_t) { return S().forced_error ? S().forced_error : HitTotal(); }
inline int32_t TableFirstHit(int32_t, int32_t) {
  ++S().table_first_hit_calls;
  return 0;
}
inline int32_t SearchConditions(int32_t, int32_t field, const char* text, int32_t combine) {
  S().last_text = text ? text : "";
  return Log("Conditions(" + std::to_string(field) + "," + S().last_text + "," +
             std::to_string(combine) + ")");
}
inline int32_t Search(int32_t) {
  Log("Search");
  return S().forced_error ? S().forced_error : S().search_result;
}
inline const char* GetFieldData(int32_t, int32_t number) {
  if (S().current < 0 || S().current >= HitTotal()) return nullptr;
  for (size_t i = 0; i < S().field_numbers.size(); ++i) {
    if (S().field_numbers[i] == number) return S().records[S().current][i].c_str();
  }
  return nullptr;
}
inline int32_t FetchRecord(int32_t, int32_t hit) {
  if (S().forced_error) return S().forced_error;
  ++S().fetches;
  if (hit < 0 || hit >= HitTotal()) return -104;
  S().current = hit;
  return 0;
}
inline int32_t LocateIndexWord(int32_t, int32_t, const char* text, int32_t) {
  ++S().locate_calls;
  if (S().forced_error) return S().forced_error;
  std::string key = text ? text : "";
  S().last_text = key;
  std::transform(key.begin(), key.end(), key.begin(), ::toupper);
  const auto it = std::lower_bound(S().words.begin(), S().words.end(), key);
  if (it == S().words.end()) return -107;
  return static_cast<int32_t>(it - S().words.begin());
}
inline int32_t IndexWordCount(int32_t, int32_t) { return static_cast<int32_t>(S().words.size()); }
inline int32_t GetIndexWordsEx(int32_t, int32_t, int32_t first, int32_t count, int32_t, void* entries) {
  if (S().forced_error) return S().forced_error;
  if (first < 0 || count < 0) return -100;
  const int32_t total = static_cast<int32_t>(S().words.size());
  char* out = static_cast<char*>(entries);
  std::memset(out, 0, static_cast<size_t>(count) * 260);
  int32_t written = 0;
  for (int32_t w = std::min(first, total - 1); w >= 0 && w < total && written < count; ++w) {
    std::strncpy(out + written * 260, S().words[w].c_str(), 255);
    const int32_t number = w + 1;
    std::memcpy(out + written * 260 + 256, &number, 4);
    ++written;
  }
  return written;
}

}  // namespace detail

inline const LodexExports& Exports() {
  using namespace detail;
  static const LodexExports exports = {
      OpenBase,      CreateSession, DatafieldCount,  DatafieldNo,      DatafieldName,
      SearchfieldNo, StoreBitmap,   RestoreBitmap,   AndBitmaps,       ClearBitmap,
      HitCount,      TableHitCount, TableFirstHit,   SearchConditions, Search,
      GetFieldData,  FetchRecord,   LocateIndexWord, IndexWordCount,   GetIndexWordsEx,
  };
  return exports;
}

}  // namespace fake
