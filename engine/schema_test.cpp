#include "schema.h"

#include <gtest/gtest.h>

#include "format/post.h"
#include "lodex32_errors.h"
#include "testing/test_base_files.h"

namespace lodex {
namespace {

using testing::MetaField;
using testing::MetaContents;

// Reads bytes as a meta.dat stream.
int32_t Read(const std::string& bytes, Schema& schema) {
  std::FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  const int32_t rc = ReadSchema(f, schema);
  std::fclose(f);
  return rc;
}

int32_t Read(const std::string& bytes) {
  Schema schema;
  return Read(bytes, schema);
}

TEST(ReadSchema, ReadsTablesFieldsAndCounts) {
  Schema s;
  ASSERT_EQ(Read(testing::SmallCatalogue().Bytes(), s), 0);
  EXPECT_EQ(s.data_field_count, 3);
  EXPECT_EQ(s.search_field_count, 2);
  EXPECT_EQ(s.sort_field_count, 1);
  EXPECT_EQ(s.table_count, 2);
  EXPECT_EQ(s.record_read_bytes, 64);
  EXPECT_EQ(s.total_records, 5u);
  ASSERT_EQ(s.tables.size(), 2u);
  EXPECT_EQ(s.tables[1].name, "Accessories");
  EXPECT_EQ(s.tables[1].record_count, 2u);

  ASSERT_EQ(s.data.count(), 3);
  EXPECT_EQ(s.data.fields[2].number, 180);
  EXPECT_EQ(s.data.fields[2].name, "Price");
  EXPECT_EQ(s.data.Digits(s.data.fields[2], &FlagLayout::int_digits), 7u);
  EXPECT_EQ(s.data.Digits(s.data.fields[2], &FlagLayout::frac_digits), 2u);
  EXPECT_EQ(s.data.published, 2);
  EXPECT_EQ(s.data.exportable, 2);
  EXPECT_EQ(s.search.published, 1);
  EXPECT_EQ(s.search.exportable, 1);
  EXPECT_EQ(s.sort.published, 1);
  EXPECT_EQ(s.sort.exportable, 0);
  EXPECT_EQ(s.sort.Digits(s.sort.fields[0], &FlagLayout::int_digits), 4u);
  EXPECT_EQ(s.sort.Digits(s.sort.fields[0], &FlagLayout::frac_digits), 1u);
  EXPECT_EQ(s.search.fields[1].length, 13u);
}

TEST(ReadSchema, VersionWordDecidesBetweenDamagedAndNewer) {
  MetaContents m = testing::SmallCatalogue();
  const std::pair<int32_t, int32_t> cases[] = {
      {2, 0}, {1, ERROR_BadMetaFile}, {0, ERROR_BadMetaFile}, {-2, ERROR_BadMetaFile},
      {3, ERROR_NewerMetaFile}, {10, ERROR_NewerMetaFile}, {11, ERROR_BadMetaFile}};
  for (auto [version, expected] : cases) {
    m.version = version;
    EXPECT_EQ(Read(m.Bytes()), expected) << "version " << version;
  }
}

TEST(ReadSchema, FilesCutShortAreDamaged) {
  const std::string whole = testing::SmallCatalogue().Bytes();
  EXPECT_EQ(Read(whole.substr(0, 20)), ERROR_BadMetaFile);
  EXPECT_EQ(Read(""), ERROR_BadMetaFile);
  // Cut anywhere in the lists, or right before the version word.
  for (size_t cut : {size_t{24}, size_t{30}, whole.size() / 2, whole.size() - 4, whole.size() - 1}) {
    EXPECT_EQ(Read(whole.substr(0, cut)), ERROR_BadMetaFile) << "cut at " << cut;
  }
  // Bytes after the version word are not looked at.
  EXPECT_EQ(Read(whole + "trailing"), 0);
}

TEST(ReadSchema, EveryTruncationAndRandomDamageIsAnsweredWithACode) {
  const std::string whole = testing::SmallCatalogue().Bytes();
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    EXPECT_EQ(Read(whole.substr(0, cut)), ERROR_BadMetaFile) << "cut at " << cut;
  }
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (int round = 0; round < 500; ++round) {
    std::string damaged = whole;
    for (int flips = 1 + next() % 4; flips > 0; --flips) {
      damaged[next() % damaged.size()] ^= static_cast<char>(1 + next() % 255);
    }
    Schema s;
    const int32_t rc = Read(damaged, s);
    EXPECT_TRUE(rc == 0 || rc == ERROR_BadMetaFile || rc == ERROR_NewerMetaFile) << rc;
    if (rc == 0) {
      EXPECT_EQ(s.data.count(), s.data_field_count);
      EXPECT_EQ(s.search.count(), s.search_field_count);
      EXPECT_EQ(s.sort.count(), s.sort_field_count);
    }
  }
}

TEST(ReadSchema, ImpossibleCountsAreDamagedNotAllocated) {
  std::string bytes = testing::SmallCatalogue().Bytes();
  bytes[3] = '\x80';  // data field count now negative
  EXPECT_EQ(Read(bytes), ERROR_BadMetaFile);
  bytes = testing::SmallCatalogue().Bytes();
  bytes[7] = '\x7F';  // two billion search fields in a file of a few hundred bytes
  EXPECT_EQ(Read(bytes), ERROR_BadMetaFile);
}

TEST(ReadSchema, CountsAreBoundedByTheSmallestEntriesTheFileCanHold) {
  // Tables and fields with empty names take 5, 43 and 47 bytes: a file of exactly that
  // many reads, and one more entry than the bytes hold is refused before reading.
  MetaContents m;
  m.tables.assign(3, {"", 0});
  m.data.assign(2, MetaField{});
  m.search.assign(2, MetaField{});
  m.sort.assign(1, MetaField{});
  const std::string bytes = m.Bytes();
  ASSERT_EQ(bytes.size(), 24u + 3 * 5 + 2 * 43 + 3 * 47 + 4);
  EXPECT_EQ(Read(bytes), 0);
  for (int count : {0, 1, 2, 3}) {
    std::string more = bytes;
    more[4 * count] = static_cast<char>(more[4 * count] + 1);
    EXPECT_EQ(Read(more), ERROR_BadMetaFile) << "count " << count;
  }
}

TEST(ReadSchema, FormatLimitsOnTablesSizesAndLengths) {
  MetaContents m;
  m.tables.assign(format::kMaxTables, {"", 0});
  EXPECT_EQ(Read(m.Bytes()), 0);
  m.tables.push_back({"", 0});  // a table no table map can name
  EXPECT_EQ(Read(m.Bytes()), ERROR_BadMetaFile);

  m = testing::SmallCatalogue();
  m.read_bytes = -1;
  EXPECT_EQ(Read(m.Bytes()), ERROR_BadMetaFile);
  m.read_bytes = 64;
  m.decode_bytes = INT32_MIN;
  EXPECT_EQ(Read(m.Bytes()), ERROR_BadMetaFile);

  // Lengths are answered as non-negative 32-bit integers, in every kind of field.
  for (int kind = 0; kind < 3; ++kind) {
    m = testing::SmallCatalogue();
    std::vector<MetaField>& list = kind == 0 ? m.data : kind == 1 ? m.search : m.sort;
    list.back().length = format::kMaxFieldLength;
    EXPECT_EQ(Read(m.Bytes()), 0) << kind;
    list.back().length = format::kMaxFieldLength + 1;
    EXPECT_EQ(Read(m.Bytes()), ERROR_BadMetaFile) << kind;
  }
}

TEST(ReadSchema, RecordTotalsBeyondWhatPostingsCanNumberAreDamaged) {
  // post.dat numbers records in 23 bits; the totals are summed without wrapping.
  MetaContents m = testing::SmallCatalogue();
  m.tables = {{"a", format::kMaxRecords - 1}, {"b", 1}};
  EXPECT_EQ(Read(m.Bytes()), 0);
  m.tables = {{"a", format::kMaxRecords}, {"b", 1}};
  EXPECT_EQ(Read(m.Bytes()), ERROR_BadMetaFile);
  m.tables = {{"a", 0xFFFFFFFFu}, {"b", 2}};
  EXPECT_EQ(Read(m.Bytes()), ERROR_BadMetaFile);
}

TEST(ReadSchema, LongNamesAreCutWithoutLosingTheNextItem) {
  MetaContents m = testing::SmallCatalogue();
  m.tables[0].name = std::string(2000, 'x');
  m.data[0].name = std::string(1023, 'y');
  m.data[1].name = std::string(1024, 'z');
  Schema s;
  ASSERT_EQ(Read(m.Bytes(), s), 0);
  EXPECT_EQ(s.tables[0].name, std::string(1023, 'x'));
  EXPECT_EQ(s.tables[0].record_count, 3u);
  EXPECT_EQ(s.tables[1].name, "Accessories");
  EXPECT_EQ(s.data.fields[0].name, std::string(1023, 'y'));
  EXPECT_EQ(s.data.fields[1].name, std::string(1023, 'z'));
  EXPECT_EQ(s.data.fields[1].length, 20u);
  EXPECT_EQ(s.data.fields[2].name, "Price");
}

TEST(ReadSchema, EmptyListsAndNoTables) {
  MetaContents m;
  Schema s;
  ASSERT_EQ(Read(m.Bytes(), s), 0);
  EXPECT_EQ(s.total_records, 0u);
  EXPECT_EQ(s.data.Clamp(5), -1);
  EXPECT_EQ(s.ClampTable(0), -1);
  EXPECT_EQ(s.data.by_number.Find(100), -1);
}

TEST(NumberIndex, FirstInFileOrderWinsAndBucketsDoNotMix) {
  NumberIndex index;
  index.Add(100, 0);
  index.Add(356, 1);  // same bucket as 100
  index.Add(100, 2);
  index.Add(0xFFFF, 3);
  index.Add(1124, 4);  // same bucket as 100, past the directly indexed numbers
  index.Add(1124, 5);
  EXPECT_EQ(index.Find(1124), 4);
  EXPECT_EQ(index.Find(100), 0);
  EXPECT_EQ(index.Find(356), 1);
  EXPECT_EQ(index.Find(612), -1);
  EXPECT_EQ(index.Find(0xFFFF), 3);
  EXPECT_EQ(index.Find(-1), -1);       // low byte 0xFF, but no field has number -1
  EXPECT_EQ(index.Find(0x1FFFF), -1);  // numbers are 16-bit
  index.Clear();
  EXPECT_EQ(index.Find(100), -1);
}

TEST(FieldList, ClampTakesIndexesIntoRange) {
  FieldList list;
  list.fields.resize(12);
  EXPECT_EQ(list.Clamp(-5), 0);
  EXPECT_EQ(list.Clamp(0), 0);
  EXPECT_EQ(list.Clamp(11), 11);
  EXPECT_EQ(list.Clamp(1000), 11);
  EXPECT_EQ(list.Clamp(INT32_MIN), 0);
  EXPECT_EQ(list.Clamp(INT32_MAX), 11);
}

TEST(FieldInfo, InTableCountsFromTheTopBitAndWrapsAt256) {
  FieldInfo f;
  f.table_map[0] = 0x80000000u;
  f.table_map[1] = 0x00000001u;
  EXPECT_NE(f.InTable(0), 0u);
  for (int t = 1; t < 32; ++t) EXPECT_EQ(f.InTable(t), 0u) << t;
  EXPECT_NE(f.InTable(63), 0u);
  EXPECT_NE(f.InTable(256), 0u);
  EXPECT_NE(f.InTable(-193), 0u);  // -193 mod 256 = 63
}

TEST(BuildNormalisers, KindFollowsSplitMarkerThenNumericFlag) {
  MetaContents m;
  auto field = [](uint16_t number, uint32_t flags, uint32_t length) {
    MetaField f;
    f.number = number;
    f.name = "f";
    f.flags = flags;
    f.length = length;
    return f;
  };
  const uint32_t numeric = (1u << 2) | (5u << 3) | (2u << 11);
  m.search = {field(1, 0, 40),           field(2, numeric, 40),      field(3, numeric, 123456),
              field(4, 0, 123457),       field(5, 0, 123458),        field(6, 0, 123459),
              field(7, numeric, 123455)};
  Schema s;
  ASSERT_EQ(Read(m.Bytes(), s), 0);
  BuildNormalisers(s);
  ASSERT_EQ(s.normalisers.size(), 7u);
  using Kind = KeyNormaliser::Kind;
  EXPECT_EQ(s.normalisers[0].kind(), Kind::kText);
  EXPECT_EQ(s.normalisers[1].kind(), Kind::kNumeric);
  EXPECT_EQ(s.normalisers[1].KeyForm("12.5"), "P00012.50");
  EXPECT_EQ(s.normalisers[2].kind(), Kind::kSplit);
  EXPECT_EQ(s.normalisers[2].split_mode(), 0);
  EXPECT_EQ(s.normalisers[3].split_mode(), 1);
  EXPECT_EQ(s.normalisers[4].split_mode(), 2);
  EXPECT_EQ(s.normalisers[4].KeyForm("12 Main"), "MAIN");
  EXPECT_EQ(s.normalisers[5].kind(), Kind::kText);
  EXPECT_EQ(s.normalisers[6].kind(), Kind::kNumeric);
}

}  // namespace
}  // namespace lodex
