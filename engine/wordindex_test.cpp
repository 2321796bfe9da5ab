#include "wordindex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <string_view>
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


// Everything searches and listings read from an index, as text: each field's walk both
// ways (words, counts, posting offsets), the records each word's postings give, locates
// of probe keys, and the records of whole and partial stretches.
std::string Digest(WordIndex& index, uint32_t total) {
  std::string out;
  std::vector<uint8_t> bitmap(index.shape.bitmap_bytes), word(index.shape.bitmap_bytes);
  std::vector<uint8_t> mask(index.shape.bitmap_bytes, 0x5A);
  auto bits = [&] {
    out += std::to_string(std::hash<std::string_view>()(std::string_view(
               reinterpret_cast<const char*>(bitmap.data()), bitmap.size()))) + ";";
  };
  for (int f = 0; f < static_cast<int>(index.fields.size()); ++f) {
    const FieldWords& words = index.fields[f];
    out += "F" + std::to_string(words.stretch_begin) + "-" + std::to_string(words.stretch_end) +
           "/" + std::to_string(words.block_count) + ":";
    WordIterator it;
    if (it.First(index, f)) {
      uint32_t n = 0;
      do {
        out += std::string(it.word().view()) + "#" + std::to_string(it.word().posting_count) + "@" +
               std::to_string(it.posting_offset()) + " ";
        LoadPostings(index.post, index.shape, it.posting_offset(), it.word().posting_count,
                     /*replace=*/true, bitmap.data());
        bits();
        out += std::to_string(CountPostingsIn(index.post, index.shape, it.posting_offset(),
                                              it.word().posting_count, mask.data(), word.data()));
        out += AnyPostingIn(index.post, index.shape, it.posting_offset(), it.word().posting_count,
                            mask.data(), word.data()) ? "+" : "-";
      } while (++n < 400 && it.Advance(1) == 1);
      out += "back" + std::to_string(it.Back(1000000000)) + std::string(it.word().view());
    }
    for (const char* probe : {"", "A", "KABEL", "W00150", "W00151X", "W9", "\x81\x81"}) {
      for (LocateMode mode : {LocateMode::kExact, LocateMode::kLowerBound}) {
        const LocateResult r = Locate(index, f, probe, mode);
        out += "L" + std::to_string(r.found) + std::to_string(r.equal) + "," +
               std::to_string(r.block) + "," + std::to_string(r.word) + "," +
               std::to_string(r.posting_offset) + "," + std::to_string(r.posting_count);
      }
    }
    const uint64_t from = words.stretch_begin, to = words.stretch_end;
    for (uint64_t cut : {from, from + 1, from + (to - from) / 3, to - 1, to, to + 9}) {
      OrStretch(index.post, index.shape, from, cut, bitmap.data());
      bits();
      OrStretch(index.post, index.shape, cut, to + 4, bitmap.data());
      bits();
    }
  }
  (void)total;
  return out;
}

// One index read three ways: mapped files, streamed files, bytes in memory.
void ExpectReadersAgree(const testing::IndexImages& images, uint32_t total) {
  LoadedIndex mapped(images, total, /*map=*/true);
  LoadedIndex streamed(images, total, /*map=*/false);
  EXPECT_EQ(mapped.index.words.mapped(), !images.index2.empty());
  EXPECT_EQ(mapped.index.post.mapped(), !images.post.empty());
  EXPECT_FALSE(streamed.index.words.mapped());
  EXPECT_FALSE(streamed.index.post.mapped());
  WordIndex bytes;
  bytes.words.AttachBytes(reinterpret_cast<const uint8_t*>(images.index2.data()),
                          images.index2.size());
  bytes.post.AttachBytes(reinterpret_cast<const uint8_t*>(images.post.data()),
                         images.post.size());
  EXPECT_EQ(bytes.LoadDirectory(std::string_view(images.index1), images.field_starts,
                                testing::TextKeyForms(images.field_starts.size()), total),
            mapped.exact_end());
  EXPECT_EQ(mapped.exact_end(), streamed.exact_end());
  EXPECT_EQ(mapped.index.post.size(), streamed.index.post.size());
  EXPECT_EQ(mapped.index.words.size(), streamed.index.words.size());
  const std::string expected = Digest(streamed.index, total);
  EXPECT_EQ(Digest(mapped.index, total), expected);
  EXPECT_EQ(Digest(bytes, total), expected);
}

// The mapped reader gives what the windowed stream reader gives, byte for byte, on
// sound files and on files cut short or with bytes changed: a read never reaches past
// the file, and what lies beyond it reads as missing in both.
TEST(WordIndexTest, MappedAndStreamedReadersAgreeOnDamagedFiles) {
  const testing::IndexImages small = testing::WriteIndex({TenWords(), {{"7", {0, 47}}}}, 48);
  for (size_t cut = 0; cut <= small.index2.size(); cut += 13) {
    SCOPED_TRACE("small index2.dat cut at " + std::to_string(cut));
    testing::IndexImages images = small;
    images.index2.resize(cut);
    ExpectReadersAgree(images, 48);
  }
  for (size_t cut = 0; cut <= small.post.size(); ++cut) {
    SCOPED_TRACE("small post.dat cut at " + std::to_string(cut));
    testing::IndexImages images = small;
    images.post.resize(cut);
    ExpectReadersAgree(images, 48);
  }

  // 100 000 records (bitmaps of 12 500 bytes, the list threshold 4 166), 300 words in
  // blocks of 16: long lists, whole bitmaps and stretches beyond one 4 KiB window.
  constexpr uint32_t kTotal = 100000;
  std::mt19937 rng(17);
  std::vector<IndexWord> words;
  for (int w = 0; w < 300; ++w) {
    char text[8];
    std::snprintf(text, sizeof text, "W%05d", w * 3);
    IndexWord word{text, {}};
    const uint32_t count = w % 50 == 7 ? 5000 : 1 + rng() % (w % 10 == 0 ? 3000 : 20);
    std::set<uint32_t> records;
    while (records.size() < count) records.insert(static_cast<uint32_t>(rng() % kTotal));
    word.records.assign(records.begin(), records.end());
    words.push_back(std::move(word));
  }
  const testing::IndexImages large = testing::WriteIndex({words, {{"1", {5}}}}, kTotal, 16);
  ExpectReadersAgree(large, kTotal);
  for (int round = 0; round < 6; ++round) {
    testing::IndexImages images = large;
    std::string& file = round % 2 == 0 ? images.index2 : images.post;
    SCOPED_TRACE("large, round " + std::to_string(round));
    if (round < 2) {
      file.resize(rng() % file.size());
    } else {
      for (int k = 0; k < 40; ++k) file[rng() % file.size()] = static_cast<char>(rng());
    }
    ExpectReadersAgree(images, kTotal);
  }
}


// Locate against a sorted list, with words and probes that share long stretches and
// differ in any byte, high bytes included: the first word not below the probe.
TEST(WordIndexTest, LocateLowerBoundMatchesASortedList) {
  std::mt19937 rng(5);
  const char alphabet[] = {'A', 'B', 'Z', '\x81', '\xC5'};
  auto random_text = [&] {
    std::string t(rng() % 20, 'A');
    for (char& c : t) c = rng() % 3 == 0 ? alphabet[rng() % 5] : 'A';
    return t;
  };
  std::map<std::string, std::string> by_key;  // key form -> stored word
  while (by_key.size() < 300) {
    const std::string text = random_text();
    if (!text.empty()) by_key.emplace(MapThrough(ComposedTable(), text), text);
  }
  std::vector<IndexWord> words;
  std::vector<std::string> keys;
  for (const auto& [key, text] : by_key) {
    words.push_back({text, {static_cast<uint32_t>(words.size() % 48)}});
    keys.push_back(key);
  }
  LoadedIndex loaded({words}, 48, /*map=*/true);
  for (int probe = 0; probe < 2000; ++probe) {
    const std::string key = MapThrough(ComposedTable(), random_text());
    const auto at = std::lower_bound(keys.begin(), keys.end(), key);
    const LocateResult r = Locate(loaded.index, 0, key, LocateMode::kLowerBound);
    ASSERT_EQ(r.found, at != keys.end()) << key;
    if (!r.found) continue;
    EXPECT_EQ(r.equal, *at == key);
    WordIterator it;
    ASSERT_TRUE(it.Position(loaded.index, 0, r.block, r.word));
    EXPECT_EQ(MapThrough(ComposedTable(), it.word().view()), *at);
    EXPECT_EQ(Locate(loaded.index, 0, key, LocateMode::kExact).found, *at == key);
  }
}

// A whole-number field: a locate compares plain numbers without forming their keys and
// keys every other word (leading zeros, signs, blanks, points, letters, numbers longer
// than the places) as usual; both give the first word not below the probe's key.
TEST(WordIndexTest, WholeNumberFieldsLocateByTheirKeyForms) {
  constexpr int kPlaces = 6;
  std::mt19937 rng(13);
  const char alphabet[] = "0123456789000-+ .,x";
  auto random_text = [&] {
    std::string t(1 + rng() % 9, '0');
    for (char& c : t) c = rng() % 4 != 0 ? char('0' + rng() % 10) : alphabet[rng() % (sizeof alphabet - 1)];
    return t;
  };
  std::map<std::string, std::string> by_key;  // key form -> stored word
  while (by_key.size() < 400) {
    const std::string text = random_text();
    by_key.emplace(NumericKey(text, kPlaces, 0), text);
  }
  std::vector<IndexWord> words;
  std::vector<std::string> keys;
  for (const auto& [key, text] : by_key) {
    words.push_back({text, {static_cast<uint32_t>(words.size() % 48)}});
    keys.push_back(key);
  }
  const testing::IndexImages images = testing::WriteIndex({words}, 48, 16);
  const testing::TempFile index2 = FileWith(images.index2), post = FileWith(images.post);
  WordIndex index;
  std::vector<KeyFormFn> forms{[](std::string_view text, std::string* key) {
    NumericKeyInto(text, kPlaces, 0, key);
  }};
  ASSERT_TRUE(index.Load(std::string_view(images.index1.data(), images.index1.size()),
                         images.field_starts, forms, index2.get(), post.get(), images.post.size(),
                         48, true));
  index.fields[0].whole_places = kPlaces;
  int plain_probes = 0;
  for (int probe = 0; probe < 3000; ++probe) {
    const std::string key = NumericKey(random_text(), kPlaces, 0);
    plain_probes += key[0] == 'P';
    const auto at = std::lower_bound(keys.begin(), keys.end(), key);
    const LocateResult r = Locate(index, 0, key, LocateMode::kLowerBound);
    ASSERT_EQ(r.found, at != keys.end()) << key;
    if (!r.found) continue;
    ASSERT_EQ(r.equal, *at == key) << key;
    WordIterator it;
    ASSERT_TRUE(it.Position(index, 0, r.block, r.word));
    ASSERT_EQ(NumericKey(it.word().view(), kPlaces, 0), *at) << key;
    ASSERT_EQ(Locate(index, 0, key, LocateMode::kExact).found, *at == key) << key;
  }
  EXPECT_GT(plain_probes, 1000);
}

}  // namespace
}  // namespace lodex
