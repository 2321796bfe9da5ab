#include "wordlist.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base.h"
#include "lodex32_errors.h"
#include "session.h"
#include "testing/word_index_fixture.h"

namespace lodex {
namespace {

using testing::IndexWord;
using Entries = std::vector<std::pair<std::string, int32_t>>;

// A base of two tables of 24 records with one search field of the words A, B and C
// (blocks of two words), and one session on it.
class WordListTest : public ::testing::Test {
 protected:
  WordListTest()
      : files_(base_.index,
               testing::WriteIndex({{{"A", {0, 30}}, {"B", {1}}, {"C", {30, 31}}}}, 48, 2), 48) {
    base_.schema.normalisers = {KeyNormaliser::Text()};
    session_.bitmaps.Reset({24, 24}, 6);
    session_.words.Init(base_);
    field_ = {&base_, &session_, 0};
  }

  // Runs a listing into a buffer of count entries; answers the listed words and checks
  // that the rest of the buffer holds empty entries.
  template <class List>
  Entries Page(int32_t count, List list) {
    std::vector<uint8_t> buffer(count * kWordEntryBytes, 0x5A);
    const int32_t written = list(buffer.data());
    Entries entries;
    for (int32_t i = 0; i < count; ++i) {
      const uint8_t* e = buffer.data() + i * kWordEntryBytes;
      int32_t n;
      std::memcpy(&n, e + kWordEntryTextBytes, sizeof n);
      if (i < written) {
        entries.emplace_back(reinterpret_cast<const char*>(e), n);
      } else {
        EXPECT_EQ(e[0], 0) << "entry " << i;
        EXPECT_EQ(n, 0) << "entry " << i;
      }
    }
    return entries;
  }

  Base base_;
  testing::IndexFiles files_;
  Session session_;
  WordListField field_;
};

TEST_F(WordListTest, CountAndLocateInBothModes) {
  EXPECT_EQ(CountIndexWords(field_), 3);
  EXPECT_EQ(LocateIndexWord(field_, "A", 1), 0);
  EXPECT_EQ(LocateIndexWord(field_, "", 1), 0);
  EXPECT_EQ(LocateIndexWord(field_, nullptr, 1), 0);
  EXPECT_EQ(LocateIndexWord(field_, "ab", 1), 1);
  EXPECT_EQ(LocateIndexWord(field_, "C", 1), 2);
  EXPECT_EQ(LocateIndexWord(field_, "D", 1), ERROR_BadToken);

  EXPECT_EQ(LocateIndexWord(field_, "B", 0), 1);
  EXPECT_EQ(LocateIndexWord(field_, "BA", 0), 1);
  EXPECT_EQ(LocateIndexWord(field_, "D", 2), 2);
  EXPECT_EQ(LocateIndexWord(field_, "0", 0), ERROR_BadToken);
}

TEST_F(WordListTest, PagesFromAnOrdinalAndFromAText) {
  EXPECT_EQ(Page(5, [&](void* b) { return ListIndexWordsFrom(field_, 2, 5, 1, 0, b); }),
            (Entries{{"C", 2}}));
  EXPECT_EQ(Page(5, [&](void* b) { return ListIndexWordsFrom(field_, 7, 5, 1, 0, b); }),
            (Entries{{"C", 2}}));
  EXPECT_EQ(Page(2, [&](void* b) { return ListIndexWordsFrom(field_, 0, 2, 1, 0, b); }),
            (Entries{{"A", 2}, {"B", 1}}));
  EXPECT_EQ(ListIndexWordsFrom(field_, -1, 2, 1, 0, nullptr), ERROR_BadNumber);

  EXPECT_EQ(Page(3, [&](void* b) { return ListIndexWordsAt(field_, "b", 3, 1, b); }),
            (Entries{{"B", 1}, {"C", 2}}));
  EXPECT_EQ(Page(3, [&](void* b) { return ListIndexWordsAt(field_, "D", 3, 1, b); }),
            Entries{});
  // Other modes: the words leading up to the located word, as many as fit.
  EXPECT_EQ(Page(2, [&](void* b) { return ListIndexWordsAt(field_, "C", 2, 0, b); }),
            (Entries{{"A", 2}, {"B", 1}}));
  EXPECT_EQ(Page(2, [&](void* b) { return ListIndexWordsAt(field_, "D", 2, 0, b); }),
            (Entries{{"B", 1}, {"C", 2}}));
}

TEST_F(WordListTest, RestrictedCountsFollowTheIncludedTables) {
  auto listing = [&](const char* text, int32_t mode) {
    return Page(3, [&](void* b) { return ListWordsInTables(field_, text, 3, mode, b); });
  };
  EXPECT_EQ(listing("A", 1), (Entries{{"A", 2}, {"B", 1}, {"C", 2}}));
  session_.bitmaps.included[1] = 0;
  EXPECT_EQ(listing("A", 1), (Entries{{"A", 1}, {"B", 1}}));  // C only in table 1
  EXPECT_EQ(listing("C", 0), (Entries{{"B", 1}, {"A", 1}}));  // backward from C
  EXPECT_EQ(listing("D", 1), Entries{});
  session_.bitmaps.included[0] = 0;
  EXPECT_EQ(listing("A", 1), Entries{});
}

TEST_F(WordListTest, FilterMarksTheWordsOfTheCurrentHits) {
  EXPECT_EQ(ListFilteredWords(field_, 3, nullptr), ERROR_BadOperationScene);
  session_.bitmaps.current[30 / 8] = 0x80 >> (30 % 8);  // record 30 holds A and C
  EXPECT_EQ(MarkFilteredWords(field_), 2);
  EXPECT_EQ(Page(3, [&](void* b) { return ListFilteredWords(field_, 3, b); }),
            (Entries{{"A", 2}, {"C", 2}}));
  EXPECT_EQ(Page(1, [&](void* b) { return ListFilteredWords(field_, 1, b); }),
            (Entries{{"A", 2}}));

  // The filter keeps the hits of its count; an excluded table's hits do not count.
  session_.bitmaps.current.assign(6, 0);
  EXPECT_EQ(Page(3, [&](void* b) { return ListFilteredWords(field_, 3, b); }).size(), 2u);
  session_.bitmaps.current[30 / 8] = 0x80 >> (30 % 8);
  session_.bitmaps.included[1] = 0;
  EXPECT_EQ(MarkFilteredWords(field_), 0);
}

TEST(WordListEmptyFieldTest, AFieldWithoutWordsListsNothing) {
  Base base;
  testing::IndexFiles files(base.index, testing::WriteIndex({{{"A", {0}}}, {}}, 48), 48);
  Session session;
  session.bitmaps.Reset({48}, 6);
  session.words.Init(base);
  const WordListField empty{&base, &session, 1};
  EXPECT_EQ(CountIndexWords(empty), 0);
  EXPECT_EQ(LocateIndexWord(empty, "A", 1), ERROR_BadToken);
  EXPECT_EQ(LocateIndexWord(empty, "A", 0), ERROR_BadToken);
  std::vector<uint8_t> buffer(2 * kWordEntryBytes, 0x5A);
  EXPECT_EQ(ListIndexWordsFrom(empty, 0, 2, 1, 0, buffer.data()), 0);
  EXPECT_EQ(buffer[kWordEntryBytes], 0);
  EXPECT_EQ(ListIndexWordsAt(empty, "", 2, 0, buffer.data()), 0);
  EXPECT_EQ(ListWordsInTables(empty, "", 2, 0, buffer.data()), 0);
  EXPECT_EQ(MarkFilteredWords(empty), 0);
  EXPECT_EQ(ListFilteredWords(empty, 2, buffer.data()), 0);
}

TEST(WordEntryTest, LongWordsAreCutToTheEntry) {
  std::vector<uint8_t> entry(kWordEntryBytes, 0x5A);
  WriteWordEntry(entry.data(), std::string(300, 'W'), 7);
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(entry.data())), 255u);
  int32_t n;
  std::memcpy(&n, entry.data() + kWordEntryTextBytes, sizeof n);
  EXPECT_EQ(n, 7);
}

}  // namespace
}  // namespace lodex
