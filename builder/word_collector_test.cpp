// The words of a field as WordCollector gathers them, against a plain map.
#include "word_collector.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>

#include "testing/temp_dir.h"

namespace lodex::build {
namespace {

struct Gathered {
  std::string stored;
  std::vector<uint32_t> postings;
  bool operator==(const Gathered&) const = default;
};

std::vector<Gathered> Collected(WordCollector& c) {
  BuildError error;
  EXPECT_TRUE(c.Finish(&error)) << error.message;
  uint64_t count = 0;
  EXPECT_TRUE(c.CountWords(&count, &error)) << error.message;
  std::vector<Gathered> out;
  std::string_view stored;
  std::span<const uint32_t> postings;
  while (c.Next(&stored, &postings))
    out.push_back({std::string(stored), std::vector<uint32_t>(postings.begin(), postings.end())});
  EXPECT_FALSE(c.Failed(&error)) << error.message;
  EXPECT_EQ(count, out.size());
  return out;
}

TEST(WordCollector, UnitesEqualKeysUnderTheSmallestSpellingWithDistinctRecords) {
  WordCollector c(KeyNormaliser::Text());
  c.Add("KABEL", 0);
  c.Add("kabel", 0);  // the same record twice: one posting
  c.Add("LAMPE", 1);
  c.Add("Kabel", 2);
  c.Add("\xC5L", 3);  // \xC5 (A with ring) folds after Z
  c.Add("AL", 3);
  const std::vector<Gathered> want = {
      {"AL", {3}}, {"KABEL", {0, 2}}, {"LAMPE", {1}}, {"\xC5L", {3}}};
  EXPECT_EQ(Collected(c), want);
  EXPECT_EQ(c.postings(), 5u);
}

TEST(WordCollector, OrdersKeysThatShareTheirFirstEightBytes) {
  WordCollector c(KeyNormaliser::Text());
  c.Add("INSTALLATIONSKABEL", 0);
  c.Add("INSTALLA", 1);
  c.Add(std::string("INSTALLA\0", 9), 2);  // a zero byte is not the end of the key
  c.Add("INSTALLATION", 3);
  const auto got = Collected(c);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].stored, "INSTALLA");
  EXPECT_EQ(got[1].stored, std::string("INSTALLA\0", 9));
  EXPECT_EQ(got[2].stored, "INSTALLATION");
  EXPECT_EQ(got[3].stored, "INSTALLATIONSKABEL");
}

TEST(WordCollector, AgreesWithAMapOnManyRandomWords) {
  // Enough words to grow the table several times; few letters, so keys repeat in
  // several spellings.
  std::mt19937 random(7);
  const KeyNormaliser norm = KeyNormaliser::Text();
  WordCollector c(norm);
  std::map<std::string, Gathered> want;
  for (uint32_t bit = 0; bit < 20000; ++bit) {
    const int words = static_cast<int>(random() % 4);
    for (int k = 0; k < words; ++k) {
      std::string w;
      const int length = 1 + static_cast<int>(random() % 10);
      for (int i = 0; i < length; ++i) w.push_back("abcABC"[random() % 6]);
      c.Add(w, bit);
      Gathered& g = want[norm.KeyForm(w)];
      if (g.postings.empty() || w < g.stored) g.stored = w;
      if (g.postings.empty() || g.postings.back() != bit) g.postings.push_back(bit);
    }
  }
  std::vector<Gathered> expected;
  for (auto& [key, g] : want) expected.push_back(g);
  EXPECT_EQ(Collected(c), expected);
}

// Past its budget the words go to runs on disk (more than are merged at once, so runs
// are merged into one on the way); read back they are the words held in memory, and
// no run file stays behind.
TEST(WordCollector, RunsOnDiskMergeToTheWordsHeldInMemory) {
  lodex::testing::TempDir dir;
  const KeyNormaliser norm = KeyNormaliser::Text();
  WordCollector memory(norm);
  auto disk = std::make_unique<WordCollector>(norm, dir.path(), 2048);
  for (uint32_t bit = 0; bit < 20000; ++bit) {
    const std::string word = "w" + std::to_string(bit % 97) + (bit % 5 ? "" : "x" + std::to_string(bit));
    const std::string spelled = bit % 3 ? word : "W" + word.substr(1);
    for (WordCollector* c : {&memory, disk.get()}) {
      c->Add(spelled, bit);
      c->Add(spelled, bit);
      c->Add(bit % 2 ? "common" : "COMMON", bit);
      c->EndRecord();
    }
  }
  EXPECT_EQ(memory.spilled_runs(), 0u);
  EXPECT_GT(disk->spilled_runs(), 0u);
  const std::vector<Gathered> held = Collected(memory);
  EXPECT_EQ(Collected(*disk), held);
  ASSERT_FALSE(held.empty());
  EXPECT_EQ(held.front().stored, "COMMON");
  EXPECT_EQ(held.front().postings.size(), 20000u);
  EXPECT_EQ(memory.postings(), disk->postings());
  disk.reset();
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace lodex::build
