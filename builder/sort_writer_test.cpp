// Sort runs: the key order of each collation, ties in bit order, hollow records last.
#include "sort_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "format/coding.h"
#include "format/sort.h"
#include "testing/temp_dir.h"

namespace lodex::build {
namespace {

TEST(ParseNumber, AcceptsPriceListNumbersAndCountsSignificantDigits) {
  struct Case { const char* text; bool ok; int int_digits, frac_digits; };
  const Case cases[] = {
      {"007,250", true, 1, 2}, {"-0", true, 0, 0}, {"+5", true, 1, 0}, {"12.5", true, 2, 1},
      {",5", true, 0, 1},      {"5,", true, 1, 0}, {"1.234,5", false, 0, 0}, {",", false, 0, 0},
      {"", false, 0, 0},       {"12a", false, 0, 0}, {"--1", false, 0, 0},
  };
  for (const Case& c : cases) {
    int i = -1, f = -1;
    EXPECT_EQ(ParseNumber(c.text, &i, &f), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(i, c.int_digits) << c.text;
      EXPECT_EQ(f, c.frac_digits) << c.text;
    }
  }
}

// The record numbers of a written run, hollow ones marked with a leading '~'.
std::vector<std::string> RunOrder(SortRun& run, size_t records) {
  std::vector<uint32_t> pointers(records);
  for (size_t b = 0; b < records; ++b) pointers[b] = static_cast<uint32_t>(1000 + b);
  OutFile out;
  out.OpenInMemory();
  run.Write(pointers, &out);
  const std::string& bytes = out.memory();
  EXPECT_EQ(bytes.size(), records * format::kSortEntryBytes);
  std::vector<std::string> order;
  for (size_t at = 0; at < bytes.size(); at += format::kSortEntryBytes) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
    const uint32_t entry = format::DecodeFixed32(p);
    const uint32_t bit = entry & format::kSortRecordMask;
    EXPECT_EQ(format::DecodeFixed32(p + 4), 1000 + bit) << "record pointer of bit " << bit;
    order.push_back((entry & format::kHollowMark ? "~" : "") + std::to_string(bit));
  }
  return order;
}

TEST(SortRun, NumericKeysOrderByValueWithTiesAndEmptyValuesInBitOrder) {
  const std::vector<std::string> values = {"10", "", "-2,5", "9,95", "10,0", "", "-10", "0"};
  SortRun run;
  for (uint32_t b = 0; b < values.size(); ++b) {
    if (values[b].empty()) run.AddHollow(b);
    else run.AddValue(b, SortKey(Collation::kNumeric, values[b], 2, 2));
  }
  EXPECT_EQ(RunOrder(run, values.size()),
            (std::vector<std::string>{"6", "2", "7", "3", "0", "4", "~1", "~5"}));
}

TEST(SortRun, TextKeysFoldCaseAndAccentsAndPlaceDanishLettersLast) {
  const std::vector<std::string> values = {"\xC5l", "abe", "\xC6" "ble", "Zebra", "\xD8l", "ABE", "\xE9t"};
  SortRun key_run, byte_run;
  for (uint32_t b = 0; b < values.size(); ++b) {
    key_run.AddValue(b, SortKey(Collation::kKey, values[b], 0, 0));
    byte_run.AddValue(b, SortKey(Collation::kBytes, values[b], 0, 0));
  }
  // abe = ABE (bit order), É as E, then Z, Æ, Ø, Å.
  EXPECT_EQ(RunOrder(key_run, values.size()), (std::vector<std::string>{"1", "5", "6", "3", "2", "4", "0"}));
  EXPECT_EQ(RunOrder(byte_run, values.size()), (std::vector<std::string>{"5", "3", "1", "0", "2", "4", "6"}));
}

// Past its budget a run sorts in runs on disk and merges them: the entries come out as
// from memory, equal keys across runs in bit order, and no run file stays behind.
TEST(SortRun, RunsOnDiskMergeToTheOrderHeldInMemory) {
  lodex::testing::TempDir dir;
  std::vector<std::string> values;
  for (uint32_t b = 0; b < 20000; ++b)
    values.push_back(b % 7 == 0 ? "" : std::to_string((b * 7919) % 211) + (b % 3 ? "x" : ""));
  SortRun memory;
  SortRun disk(dir.path(), 512);
  for (uint32_t b = 0; b < values.size(); ++b) {
    for (SortRun* run : {&memory, &disk}) {
      if (values[b].empty()) run->AddHollow(b);
      else run->AddValue(b, SortKey(Collation::kKey, values[b], 0, 0));
    }
  }
  EXPECT_EQ(memory.spilled_runs(), 0u);
  EXPECT_GT(disk.spilled_runs(), 1u);
  EXPECT_EQ(RunOrder(disk, values.size()), RunOrder(memory, values.size()));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// Run files larger than the merge's read buffers: entries that straddle a refill of
// the buffer still merge whole.
TEST(SortRun, RunsLargerThanTheReadBufferMergeWhole) {
  lodex::testing::TempDir dir;
  SortRun memory;
  SortRun disk(dir.path(), 400000);
  const uint32_t n = 40000;
  for (uint32_t b = 0; b < n; ++b) {
    const std::string key = std::to_string((b * 2654435761u) % 1000003) + "-" + std::string(b % 29, 'K');
    memory.AddValue(b, key);
    disk.AddValue(b, key);
  }
  EXPECT_GT(disk.spilled_runs(), 3u);
  EXPECT_EQ(RunOrder(disk, n), RunOrder(memory, n));
}

}  // namespace
}  // namespace lodex::build
