// The word index bytes the builder writes, read back with the engine's reader.
#include "word_index_writer.h"

#include <gtest/gtest.h>

#include "format/coding.h"
#include "format/index2.h"
#include "format/post.h"
#include "postings.h"
#include "testing/word_index_fixture.h"
#include "wordindex.h"

namespace lodex::build {
namespace {

namespace fmt = lodex::format;

struct WalkedWord {
  std::string text;
  uint32_t count = 0;
  std::vector<uint32_t> postings;
  bool operator==(const WalkedWord&) const = default;
};

const uint8_t* U8(const std::string& s, size_t at = 0) {
  return reinterpret_cast<const uint8_t*>(s.data()) + at;
}

// The words of one field as the engine reads them back, with their postings.
std::vector<WalkedWord> ReadBack(const lodex::testing::IndexImages& images, int field, uint32_t total) {
  lodex::testing::LoadedIndex loaded(images, total);
  EXPECT_TRUE(loaded.exact_end()) << "index1.dat ends with the last directory entry";
  std::vector<WalkedWord> out;
  WordIterator it;
  if (!it.First(loaded.index, field)) return out;
  do {
    WalkedWord w;
    w.text = std::string(it.word().view());
    w.count = it.word().posting_count;
    std::vector<uint8_t> bitmap(fmt::BitmapBytes(total));
    LoadPostings(loaded.index.post, loaded.index.shape, it.posting_offset(), w.count,
                 /*replace=*/true, bitmap.data());
    w.postings = lodex::testing::BitsOf(bitmap, total);
    out.push_back(std::move(w));
  } while (it.Advance(1) == 1);
  return out;
}

struct MemoryIndex {
  OutFile index1, index2, post;
  MemoryIndex() {
    index1.OpenInMemory();
    index2.OpenInMemory();
    post.OpenInMemory();
  }
};

std::vector<const IndexWord*> Pointers(const std::vector<IndexWord>& words) {
  std::vector<const IndexWord*> p;
  for (const IndexWord& w : words) p.push_back(&w);
  return p;
}

TEST(WordIndexWriter, FieldsRoundTripAcrossBlocksInBothPostingForms) {
  const uint32_t total = 2400;  // threshold 100, bitmap 300 bytes
  std::vector<IndexWord> a, b;
  for (int i = 0; i < 37; ++i) {
    IndexWord w;
    w.stored = "KABEL" + std::string(1, static_cast<char>('A' + i % 26)) + std::to_string(1000 + i);
    const uint32_t count = i == 5 ? 99 : i == 6 ? 100 : i == 7 ? 2400 : 1 + i;
    for (uint32_t r = 0; r < count; ++r) w.postings.push_back((r * 7 + i) % total);
    std::sort(w.postings.begin(), w.postings.end());
    w.postings.erase(std::unique(w.postings.begin(), w.postings.end()), w.postings.end());
    a.push_back(w);
  }
  std::sort(a.begin(), a.end(), [](const auto& x, const auto& y) { return x.stored < y.stored; });
  b.push_back({"ØRE", {0, 2399}});

  MemoryIndex m;
  WordIndexWriter writer(total, &m.index1, &m.index2, &m.post);
  uint32_t off_a = 0, off_b = 0;
  std::string error;
  ASSERT_TRUE(writer.AddField(Pointers(a), 8, &off_a, &error)) << error;
  ASSERT_TRUE(writer.AddField(Pointers(b), 8, &off_b, &error)) << error;
  writer.Finish();
  EXPECT_EQ(off_a, 0u);
  const std::string& i1 = m.index1.memory();
  const std::string& i2 = m.index2.memory();
  const std::string& po = m.post.memory();

  const lodex::testing::IndexImages images{i1, i2, po, {off_a, off_b}};
  const auto walked_a = ReadBack(images, 0, total);
  ASSERT_EQ(walked_a.size(), a.size());
  for (size_t k = 0; k < a.size(); ++k) {
    EXPECT_EQ(walked_a[k].text, a[k].stored);
    EXPECT_EQ(walked_a[k].count, a[k].postings.size());
    EXPECT_EQ(walked_a[k].postings, a[k].postings);
  }
  const auto walked_b = ReadBack(images, 1, total);
  ASSERT_EQ(walked_b.size(), 1u);
  EXPECT_EQ(walked_b[0].text, "ØRE");
  EXPECT_EQ(walked_b[0].postings, (std::vector<uint32_t>{0, 2399}));
  // Four bytes past the last count may be fetched by a reader.
  EXPECT_EQ(i2.substr(i2.size() - 4), std::string(4, '\0'));
}

TEST(WordIndexWriter, PostingSizesFollowTheThresholdOf2400Records) {
  // 99 postings: 297 bytes of 3-byte numbers; 100: a marker and a 300-byte bitmap.
  const uint32_t total = 2400;
  IndexWord w99{"A", {}}, w100{"B", {}}, next{"C", {5}};
  for (uint32_t r = 0; r < 99; ++r) w99.postings.push_back(r * 3);
  for (uint32_t r = 0; r < 100; ++r) w100.postings.push_back(r * 5);
  MemoryIndex m;
  WordIndexWriter writer(total, &m.index1, &m.index2, &m.post);
  uint32_t off = 0;
  std::string error;
  ASSERT_TRUE(writer.AddField({&w99, &w100, &next}, 16, &off, &error));
  const std::string& po = m.post.memory();
  ASSERT_EQ(po.size(), 297u + 301u + 3u);
  EXPECT_EQ(fmt::DecodeRecordNumber(U8(po, 3)), 3u);
  EXPECT_EQ(U8(po)[297], fmt::kBitmapMarker);
  EXPECT_EQ(U8(po)[298], 0x84);  // records 0 and 5
  EXPECT_EQ(fmt::DecodeRecordNumber(U8(po, 598)), 5u);  // the next word starts right after
}

TEST(WordIndexWriter, CountsAreLeb128) {
  IndexWord w{"X", {}};
  for (uint32_t r = 0; r < 300; ++r) w.postings.push_back(r);
  MemoryIndex m;
  WordIndexWriter writer(100000, &m.index1, &m.index2, &m.post);
  uint32_t off = 0;
  std::string error;
  ASSERT_TRUE(writer.AddField({&w}, 16, &off, &error));
  const std::string& i2 = m.index2.memory();
  // prefix code, suffix length 1, "X", then 300 as AC 02.
  EXPECT_EQ(i2.substr(fmt::kBlockHeaderBytes, 5), std::string("\xFF\x01X\xAC\x02", 5));
}

TEST(PrefixCodes, NameSlotAndLengthAndNeverMeanNoPrefixByAccident) {
  std::vector<std::string> slots = {"AAAA", "BBBB", "KABEL", "ZZ"};
  // Slot 2, first 4 bytes: code 19.
  EXPECT_EQ(PrefixCodeFor("KABEX", slots), std::make_pair(uint8_t{19}, 4));
  EXPECT_EQ(PrefixCodeFor("QQ", slots), std::make_pair(fmt::kNoPrefix, 0));
  // Slot 31 lends at most 7 bytes: (31 << 3) | 7 would read as "no prefix".
  slots.assign(32, "--------");
  slots[31] = "ABCDEFGH";
  const auto [code, covered] = PrefixCodeFor("ABCDEFGHIJ", slots);
  EXPECT_NE(code, fmt::kNoPrefix);
  EXPECT_EQ(covered, 7);
  EXPECT_EQ(code, fmt::MakePrefixCode(31, 7));
}

TEST(PrefixCodes, AtMostThirtyTwoSlotsSpreadSoEveryWordSharesOne) {
  std::vector<IndexWord> words;
  for (int i = 0; i < 60; ++i) words.push_back({"W" + std::to_string(100 + i) + "XYZ", {}});
  for (int i = 0; i < 20; ++i) words.push_back({"INSTALLATIONSKABEL" + std::to_string(i), {}});
  const auto slots = ChoosePrefixes(Pointers(words));
  EXPECT_EQ(slots.size(), 32u);
  for (const std::string& s : slots) EXPECT_LE(s.size(), 8u);
  for (const IndexWord& w : words) EXPECT_GE(PrefixCodeFor(w.stored, slots).second, 3) << w.stored;
}

TEST(DefaultBlockWords, GrowsWithTheFieldWithinBounds) {
  EXPECT_EQ(DefaultBlockWords(1), 16);
  EXPECT_EQ(DefaultBlockWords(2500), 50);
  EXPECT_EQ(DefaultBlockWords(5000000), 128);
}

}  // namespace
}  // namespace lodex::build
