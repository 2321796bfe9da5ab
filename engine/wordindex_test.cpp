#include "wordindex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base.h"
#include "format/coding.h"
#include "testing/word_index_fixture.h"

namespace lodex {
namespace {

using testing::BitsOf;
using testing::FileWith;
using testing::IndexWord;
using testing::LoadedIndex;

// Ten words over three blocks of four (the last holds two), in a base of 48 records:
// the posting threshold is 2, so one-record words are lists and the rest bitmaps.
std::vector<IndexWord> TenWords() {
  return {{"ALFA", {1}},        {"ALFABET", {2, 3}}, {"BETA", {4}},   {"GAMMA", {5, 6, 7}},
          {"KABEL", {8}},       {"KABELBAKKE", {9}}, {"LAMPE", {10}}, {"STIK", {11, 12}},
          {"\xC6" "BLE", {13}}, {"\xC5" "L", {14, 47}}};
}

std::vector<std::string> WalkForward(WordIndex& index, int field) {
  std::vector<std::string> words;
  WordIterator it;
  if (!it.First(index, field)) return words;
  do {
    words.emplace_back(it.word().view());
  } while (it.Advance(1) == 1);
  return words;
}

TEST(WordBlockTest, DecodesPrefixCodesAndVarintCounts) {
  // One block by hand: slot 2 holds "KABELxyz"; code 19 = slot 2, 4 bytes.
  std::string block;
  format::PutFixed32(block, 0);
  format::PutFixed32(block, 2);
  format::PutFixed32(block, 0);
  std::string prefixes(256, '\0');
  prefixes.replace(16, 8, "KABELxyz");
  block += prefixes;
  block += std::string("\xFF\x03" "ABC", 5) + "\x05";  // no prefix, count 5
  block += std::string("\x13\x02" "NE", 4) + "\xAC\x02";  // "KABE" + "NE", count 300
  block.append(4, '\0');
  auto file = FileWith(block);
  WindowedReader reader;
  reader.Attach(file.get());

  BlockHeader header;
  ASSERT_TRUE(ReadBlockHeader(reader, 0, &header));
  EXPECT_EQ(header.word_count, 2u);
  uint64_t pos = FirstEntryPos(0);
  StoredWord word;
  ASSERT_TRUE(ReadWordEntry(reader, header, &pos, &word));
  EXPECT_EQ(word.view(), "ABC");
  EXPECT_EQ(word.posting_count, 5u);
  ASSERT_TRUE(ReadWordEntry(reader, header, &pos, &word));
  EXPECT_EQ(word.view(), "KABENE");
  EXPECT_EQ(word.posting_count, 300u);
  EXPECT_EQ(pos, FirstEntryPos(0) + 5 + 1 + 4 + 2);
}

TEST(WordBlockTest, DamagedCountsAndOffsetsStayInsideTheFile) {
  std::string block;
  format::PutFixed32(block, 0);
  format::PutFixed32(block, 0xFFFFFFFF);  // far more words than the file holds
  format::PutFixed32(block, 0);
  block.append(256, '\0');
  block += std::string("\xFF\xFF", 2);  // a suffix of 255 bytes that is not there
  auto file = FileWith(block);
  WindowedReader reader;
  reader.Attach(file.get());

  BlockHeader header;
  ASSERT_TRUE(ReadBlockHeader(reader, 0, &header));
  EXPECT_LE(header.word_count, 1u);
  uint64_t pos = FirstEntryPos(0);
  StoredWord word;
  EXPECT_FALSE(ReadWordEntry(reader, header, &pos, &word));
  EXPECT_FALSE(ReadBlockHeader(reader, 1u << 30, &header));
  uint8_t byte;
  EXPECT_EQ(reader.ReadAt(block.size(), &byte, 1), 0u);
}

TEST(WordIndexTest, LoadsTheDirectoryAndReportsATrailingFragment) {
  testing::IndexImages images = testing::WriteIndex({TenWords()}, 48);
  {
    LoadedIndex loaded(images, 48);
    EXPECT_TRUE(loaded.exact_end());
    EXPECT_EQ(loaded.index.fields[0].block_count, 3u);
  }
  images.index1 += std::string("XY\0\1", 4);  // a cut-off entry
  LoadedIndex loaded(images, 48);
  EXPECT_FALSE(loaded.exact_end());
  EXPECT_EQ(loaded.index.fields[0].block_count, 3u);
}

// Loading a base's word index at open: index1.dat from the base's file set, the fields'
// start offsets and key normalisers from its schema; a directory with a fragment at its
// end is reported on standard output and loaded all the same.
TEST(WordIndexTest, LoadWordIndexReportsAStortProblem) {
  testing::IndexImages images = testing::WriteIndex({TenWords(), {{"7", {0}}}}, 48);
  for (bool damaged : {false, true}) {
    SCOPED_TRACE(damaged);
    Base base;
    base.schema.total_records = 48;
    for (uint32_t start : images.field_starts) {
      FieldInfo field;
      field.offset = start;
      base.schema.search.fields.push_back(field);
      base.schema.normalisers.push_back(KeyNormaliser::Text());
    }
    base.files.index1.reset(FileWith(images.index1 + (damaged ? "X" : "")).release());
    base.files.index2.reset(FileWith(images.index2).release());
    base.files.post.reset(FileWith(images.post).release());
    base.files.post_size = static_cast<int64_t>(images.post.size());

    ::testing::internal::CaptureStdout();
    EXPECT_EQ(LoadWordIndex(base), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), damaged ? "Stort problem\n" : "");
    ASSERT_EQ(base.index.fields.size(), 2u);
    EXPECT_EQ(base.index.fields[0].block_count, 3u);
    EXPECT_TRUE(Locate(base.index, 0, MapThrough(ComposedTable(), "kabel"),
                       LocateMode::kExact).found);
    EXPECT_TRUE(Locate(base.index, 1, "7", LocateMode::kExact).found);
  }
}

TEST(WordIndexTest, LocateExactAndLowerBoundAcrossBlocks) {
  LoadedIndex loaded({TenWords()}, 48);
  WordIndex& index = loaded.index;

  LocateResult r = Locate(index, 0, "GAMMA", LocateMode::kExact);
  ASSERT_TRUE(r.found);
  EXPECT_TRUE(r.equal);
  EXPECT_EQ(r.block, 0u);
  EXPECT_EQ(r.word, 3u);
  EXPECT_EQ(r.posting_count, 3u);
  // ALFA (list, 3 bytes), ALFABET (bitmap, 7), BETA (list, 3) come before it.
  EXPECT_EQ(r.posting_offset, 3u + 7u + 3u);

  EXPECT_FALSE(Locate(index, 0, "GAMM", LocateMode::kExact).found);
  EXPECT_TRUE(Locate(index, 0, "KABEL", LocateMode::kExact).found);  // a block's first word

  // Between GAMMA (end of block 0) and KABEL (start of block 1): the next block's first.
  r = Locate(index, 0, "H", LocateMode::kLowerBound);
  ASSERT_TRUE(r.found);
  EXPECT_FALSE(r.equal);
  EXPECT_EQ(r.block, 1u);
  EXPECT_EQ(r.word, 0u);

  r = Locate(index, 0, "", LocateMode::kLowerBound);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.block, 0u);
  EXPECT_EQ(r.word, 0u);

  // Key forms: the word with the AE ligature sorts after STIK and is found by any spelling.
  r = Locate(index, 0, MapThrough(ComposedTable(), "\xE6" "ble"), LocateMode::kExact);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(r.block, 2u);

  EXPECT_FALSE(Locate(index, 0, "\x81\x81", LocateMode::kLowerBound).found);  // past ÅL
  EXPECT_FALSE(Locate(index, 7, "A", LocateMode::kLowerBound).found);         // no field 7
}

TEST(WordIndexTest, IteratorWalksBothWaysAcrossBlocks) {
  LoadedIndex loaded({TenWords()}, 48);
  WordIndex& index = loaded.index;
  const std::vector<std::string> expected = {"ALFA",  "ALFABET", "BETA", "GAMMA", "KABEL",
                                             "KABELBAKKE", "LAMPE", "STIK", "\xC6" "BLE", "\xC5" "L"};
  EXPECT_EQ(WalkForward(index, 0), expected);

  WordIterator it;
  ASSERT_TRUE(it.Position(index, 0, 1, 2));  // LAMPE
  EXPECT_EQ(it.word().view(), "LAMPE");
  EXPECT_EQ(it.Back(3), 3u);
  EXPECT_EQ(it.word().view(), "GAMMA");
  EXPECT_EQ(it.Advance(5), 5u);
  EXPECT_EQ(it.word().view(), "\xC6" "BLE");
  EXPECT_EQ(it.Advance(100), 1u);  // stops at the last word
  EXPECT_EQ(it.word().view(), "\xC5" "L");

  // back(10^9) answers the ordinal and leaves the iterator on the first word.
  EXPECT_EQ(it.Back(1000000000), 9u);
  EXPECT_EQ(it.word().view(), "ALFA");
  EXPECT_EQ(it.Back(1), 0u);

  // Posting offsets after a jump agree with a step-by-step walk.
  WordIterator a, b;
  ASSERT_TRUE(a.First(index, 0));
  ASSERT_TRUE(b.First(index, 0));
  a.Advance(8);
  for (int i = 0; i < 8; ++i) b.Advance(1);
  EXPECT_EQ(a.posting_offset(), b.posting_offset());
  EXPECT_EQ(a.posting_offset(), Locate(index, 0, "[BLE", LocateMode::kExact).posting_offset);

  EXPECT_FALSE(it.Position(index, 0, 3, 0));  // no block 3
  EXPECT_FALSE(it.Position(index, 0, 2, 2));  // the last block has two words
  EXPECT_FALSE(it.valid());
}

TEST(WordIndexTest, FieldsKeepTheirOwnWordsAndStretches) {
  LoadedIndex loaded({TenWords(), {{"1", {0}}, {"2", {1, 2, 3}}}, {}}, 48);
  WordIndex& index = loaded.index;
  EXPECT_EQ(WalkForward(index, 1), (std::vector<std::string>{"1", "2"}));
  EXPECT_TRUE(WalkForward(index, 2).empty());
  EXPECT_EQ(index.fields[0].stretch_end, index.fields[1].stretch_begin);
  EXPECT_EQ(index.fields[1].stretch_end, index.post.size());
  EXPECT_FALSE(Locate(index, 2, "", LocateMode::kLowerBound).found);
}

TEST(PostingsTest, ThresholdDecidesTheFormAndTheNextOffset) {
  // 2400 records: threshold 100, bitmap 300 bytes.
  const PostingShape shape = PostingShape::For(2400);
  EXPECT_EQ(shape.threshold, 100u);
  EXPECT_EQ(shape.bitmap_bytes, 300u);
  EXPECT_EQ(shape.Bytes(99), 297u);
  EXPECT_EQ(shape.Bytes(100), 301u);

  std::vector<uint32_t> many, few;
  for (uint32_t r = 0; r < 100; ++r) many.push_back(r * 24);
  for (uint32_t r = 0; r < 99; ++r) few.push_back(r * 24 + 1);
  LoadedIndex loaded({{{"A", few}, {"B", many}, {"C", {2399}}}}, 2400);
  WordIndex& index = loaded.index;
  const LocateResult c = Locate(index, 0, "C", LocateMode::kExact);
  EXPECT_EQ(c.posting_offset, 297u + 301u);

  std::vector<uint8_t> bitmap(shape.bitmap_bytes, 0);
  LoadPostings(index.post, index.shape, 297, 100, /*replace=*/true, bitmap.data());
  EXPECT_EQ(BitsOf(bitmap, 2400), many);
  LoadPostings(index.post, index.shape, c.posting_offset, 1, /*replace=*/false, bitmap.data());
  EXPECT_EQ(BitsOf(bitmap, 2400).size(), 101u);
  LoadPostings(index.post, index.shape, 0, 99, /*replace=*/true, bitmap.data());
  EXPECT_EQ(BitsOf(bitmap, 2400), few);

  // A stretch over all three words mixes both forms.
  OrStretch(index.post, index.shape, 0, index.post.size(), bitmap.data());
  EXPECT_EQ(BitsOf(bitmap, 2400).size(), 99u + 100u + 1u);
  OrStretch(index.post, index.shape, 297, 297, bitmap.data());
  EXPECT_TRUE(BitsOf(bitmap, 2400).empty());
}

TEST(PostingsTest, RecordsBeyondTheBaseAndTheFileAreSkipped) {
  // 2400 records, list form: record 2399 is the last one, 2400 is past the base.
  LoadedIndex loaded({{{"A", {2399}}, {"B", {2400}}}}, 2400);
  WordIndex& index = loaded.index;
  std::vector<uint8_t> bitmap(index.shape.bitmap_bytes, 0);
  OrStretch(index.post, index.shape, 0, 6, bitmap.data());
  EXPECT_EQ(BitsOf(bitmap, 2400), std::vector<uint32_t>{2399});
  LoadPostings(index.post, index.shape, 3, 1, /*replace=*/true, bitmap.data());
  EXPECT_TRUE(BitsOf(bitmap, 2400).empty());

  // A posting count far beyond post.dat reads what is there and stops.
  LoadPostings(index.post, index.shape, 0, 99, /*replace=*/true, bitmap.data());
  EXPECT_EQ(BitsOf(bitmap, 2400), std::vector<uint32_t>{2399});
  LoadPostings(index.post, index.shape, 1u << 30, 99, /*replace=*/true, bitmap.data());
  EXPECT_TRUE(BitsOf(bitmap, 2400).empty());
  LoadPostings(index.post, index.shape, 1u << 30, 5000, /*replace=*/true, bitmap.data());
  EXPECT_TRUE(BitsOf(bitmap, 2400).empty());
  OrStretch(index.post, index.shape, 3, 1u << 30, bitmap.data());
  EXPECT_TRUE(BitsOf(bitmap, 2400).empty());

  std::vector<uint8_t> mask(index.shape.bitmap_bytes, 0xFF), word(index.shape.bitmap_bytes);
  EXPECT_EQ(CountPostingsIn(index.post, index.shape, 0, 1, mask.data(), word.data()), 1u);
  EXPECT_FALSE(AnyPostingIn(index.post, index.shape, 3, 1, mask.data(), word.data()));
  mask.back() = 0xFE;  // record 2399 outside the mask
  EXPECT_EQ(CountPostingsIn(index.post, index.shape, 0, 1, mask.data(), word.data()), 0u);
}

TEST(WordIndexTest, DamagedDirectoryNeverLeadsOutsideTheFiles) {
  testing::IndexImages images = testing::WriteIndex({TenWords()}, 48);
  // Point the second block far past index2.dat and the third at its last bytes.
  size_t pos = images.index1.find('\0', images.index1.find("KABEL")) + 1;
  format::EncodeFixed32(reinterpret_cast<uint8_t*>(images.index1.data() + pos), 0x7FFFFFF0);
  pos = images.index1.find('\0', images.index1.find("\xC6" "BLE")) + 1;
  format::EncodeFixed32(reinterpret_cast<uint8_t*>(images.index1.data() + pos),
                        static_cast<uint32_t>(images.index2.size() - 3));
  LoadedIndex loaded(images, 48);
  WordIndex& index = loaded.index;
  EXPECT_EQ(WalkForward(index, 0).size(), 4u);  // block 0 only
  EXPECT_FALSE(Locate(index, 0, "LAMPE", LocateMode::kExact).found);
  EXPECT_FALSE(Locate(index, 0, "Z", LocateMode::kLowerBound).found);
  WordIterator it;
  EXPECT_FALSE(it.Position(index, 0, 1, 0));
}

}  // namespace
}  // namespace lodex
