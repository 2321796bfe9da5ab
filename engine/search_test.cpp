#include "search.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "lodex32.h"
#include "testing/word_index_fixture.h"

namespace lodex {
namespace {

using testing::BitsOf;
using testing::IndexWord;
using testing::LoadedIndex;
using Bits = std::vector<uint32_t>;

TEST(SplitQueryTest, BlanksTabsQuotesAndEmptyTerms) {
  using V = std::vector<std::string_view>;
  EXPECT_EQ(SplitQuery("A B"), (V{"A", "B"}));
  EXPECT_EQ(SplitQuery("A\tB"), (V{"A", "B"}));
  EXPECT_EQ(SplitQuery("A  B"), (V{"A", "", "B"}));
  EXPECT_EQ(SplitQuery("A "), (V{"A"}));  // a last separator ends the query
  EXPECT_EQ(SplitQuery(""), (V{""}));
  EXPECT_EQ(SplitQuery(" A"), (V{"", "A"}));
  EXPECT_EQ(SplitQuery("\"A B\" C"), (V{"\"A B\"", "C"}));
  EXPECT_EQ(SplitQuery("X\"A B"), (V{"X\"A B"}));  // an open quote runs to the end
}

TEST(ParseTermTest, EveryForm) {
  struct Case {
    const char* text;
    TermForm form;
    const char* value;
    const char* value2;
    bool negated;
  };
  const Case cases[] = {
      {">B", TermForm::kGreater, "B", "", false},
      {">=B", TermForm::kGreaterEqual, "B", "", false},
      {"<\tB", TermForm::kLess, "B", "", false},
      {"<=B*junk", TermForm::kLessEqual, "B", "", false},
      {"*", TermForm::kAll, "", "", false},
      {"!*", TermForm::kAll, "", "", true},
      {"ABC", TermForm::kWord, "ABC", "", false},
      {"!ABC", TermForm::kWord, "ABC", "", true},
      {"ABC*", TermForm::kPrefix, "ABC", "", false},
      {"A-B", TermForm::kRange, "A", "B", false},
      {"\"AB-12\"", TermForm::kWord, "AB-12", "", false},
      {"\"1-\"*", TermForm::kPrefix, "1-", "", false},
      {"\"-5\"-12", TermForm::kRange, "-5", "12", false},
      {">-5", TermForm::kGreater, "", "", false},  // '-' ends the value
      {">\"-5\"", TermForm::kGreater, "-5", "", false},
      {"A?C", TermForm::kWildcard, "A", "", false},
      {"*ABC", TermForm::kWildcard, "", "", false},
      {"A*B", TermForm::kWildcard, "A", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Term term = ParseTerm(c.text);
    EXPECT_EQ(term.form, c.form);
    EXPECT_EQ(term.value, c.value);
    EXPECT_EQ(term.value2, c.value2);
    EXPECT_EQ(term.negated, c.negated);
  }
  EXPECT_EQ(ParseTerm("!A*B").pattern, "A*B");
}

TEST(WildcardPatternTest, FirstOccurrenceWithoutBacktracking) {
  const WildcardPattern q("A?C");
  EXPECT_EQ(q.leading_literal(), "A");
  EXPECT_TRUE(q.Matches("ABC"));
  EXPECT_TRUE(q.Matches("AXC"));
  EXPECT_FALSE(q.Matches("AC"));
  EXPECT_FALSE(q.Matches("ABBC"));

  const WildcardPattern stars("A*B*");
  EXPECT_TRUE(stars.Matches("AB"));
  EXPECT_TRUE(stars.Matches("AXB"));
  EXPECT_TRUE(stars.Matches("ABXB"));
  EXPECT_FALSE(stars.Matches("XAB"));

  const WildcardPattern no_backtrack("*A?C");
  EXPECT_EQ(no_backtrack.leading_literal(), "");
  EXPECT_TRUE(no_backtrack.Matches("XABC"));
  EXPECT_FALSE(no_backtrack.Matches("XAYAZC"));

  const WildcardPattern three("???");
  EXPECT_TRUE(three.Matches("ABC"));
  EXPECT_FALSE(three.Matches("AB"));
  EXPECT_FALSE(three.Matches("ABCD"));

  EXPECT_TRUE(WildcardPattern("*BEL").Matches("KABEL"));
  EXPECT_FALSE(WildcardPattern("*BEL").Matches("KABELS"));
}

// Ten words of one field (each in its own record, ZZ in two), in key order, and the
// same words written backwards in a reverse field.
class EvaluateTest : public ::testing::Test {
 protected:
  static std::vector<IndexWord> Words() {
    return {{"A", {0}},  {"ABC", {1}}, {"ABCD", {2}}, {"AXC", {3}},
            {"B", {4}},  {"BA", {5}},  {"BB", {6}},   {"C", {7}},
            {"M\xDCLLER", {8}},  // key form MYLLER
            {"ZZ", {9, 10}}};
  }
  static std::vector<IndexWord> Reversed() {
    std::vector<IndexWord> words;
    for (IndexWord w : Words()) {
      std::reverse(w.text.begin(), w.text.end());
      words.push_back(w);
    }
    std::sort(words.begin(), words.end(), [](const IndexWord& a, const IndexWord& b) {
      return MapThrough(ComposedTable(), a.text) < MapThrough(ComposedTable(), b.text);
    });
    return words;
  }

  EvaluateTest() : loaded_({Words(), Reversed()}, 48) {}

  Bits Run(const std::string& text, bool exact = true, int reverse = -1) {
    TermScope scope;
    scope.index = &loaded_.index;
    scope.field = 0;
    scope.reverse_field = reverse;
    scope.exact = exact;
    scope.cancelled = &cancelled_;
    std::vector<uint8_t> scratch(loaded_.index.shape.bitmap_bytes, 0xAA);
    last_result_ = EvaluateTerm(scope, ParseTerm(text), scratch.data());
    return BitsOf(scratch, 48);
  }

  LoadedIndex loaded_;
  std::atomic<uint8_t> cancelled_{0};
  int32_t last_result_ = 0;
};

TEST_F(EvaluateTest, WordsPrefixesAndKeyForms) {
  EXPECT_EQ(Run("ABC"), (Bits{1}));
  EXPECT_EQ(Run("ABC", /*exact=*/false), (Bits{1, 2}));
  EXPECT_EQ(Run("abc"), (Bits{1}));
  EXPECT_EQ(Run("MYLLER"), (Bits{8}));
  EXPECT_EQ(Run("m\xFCller"), (Bits{8}));
  EXPECT_EQ(Run("ABX"), Bits{});
  EXPECT_EQ(Run("AB*"), (Bits{1, 2}));
  EXPECT_EQ(Run("A*"), (Bits{0, 1, 2, 3}));
  EXPECT_EQ(Run("Z*"), (Bits{9, 10}));
  EXPECT_EQ(Run(""), Bits{});
  EXPECT_EQ(Run("", /*exact=*/false), Bits{});
  EXPECT_EQ(Run("*"), (Bits{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(EvaluateTest, NegationInvertsEveryRecord) {
  const Bits not_abc = Run("!ABC");
  EXPECT_EQ(not_abc.size(), 47u);
  EXPECT_EQ(std::count(not_abc.begin(), not_abc.end(), 1u), 0);
  EXPECT_EQ(Run("!*").size(), 48u - 11u);
  EXPECT_EQ(Run("!NOTHING").size(), 48u);
}

TEST_F(EvaluateTest, RangesAndComparisons) {
  EXPECT_EQ(Run("A-B"), (Bits{0, 1, 2, 3, 4, 5, 6}));  // every word beginning with B
  EXPECT_EQ(Run("AX-BA"), (Bits{3, 4, 5}));
  EXPECT_EQ(Run("B-A"), Bits{});
  EXPECT_EQ(Run("A-"), Bits{});
  EXPECT_EQ(Run("ZZZ-ZZZZ"), Bits{});
  EXPECT_EQ(Run(">B"), (Bits{5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(Run(">=B"), (Bits{4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(Run("<B"), (Bits{0, 1, 2, 3}));
  EXPECT_EQ(Run("<=B"), (Bits{0, 1, 2, 3, 4}));
  EXPECT_EQ(Run("<ZZZZ").size(), 11u);
  EXPECT_EQ(Run(">ZZZZ"), Bits{});
  EXPECT_EQ(Run(">-5"), Run("*"));  // an empty value: every word is greater
}

TEST_F(EvaluateTest, WildcardsOnTheFieldAndItsReverse) {
  EXPECT_EQ(Run("A?C"), (Bits{1, 3}));
  EXPECT_EQ(Run("?B*"), (Bits{1, 2, 6}));
  EXPECT_EQ(Run("*C"), (Bits{1, 3, 7}));
  EXPECT_EQ(Run("*C", true, /*reverse=*/1), (Bits{1, 3, 7}));
  EXPECT_EQ(Run("*LER", true, 1), (Bits{8}));
  EXPECT_EQ(Run("*BC?", true, 1), (Bits{2}));
  EXPECT_EQ(Run("!*C", true, 1).size(), 45u);
  EXPECT_EQ(last_result_, 0);
}

int32_t g_escape_polls = 0;
int32_t PressedEscape() {
  ++g_escape_polls;
  return 1;
}

TEST_F(EvaluateTest, EscapeAndCancelStopWildcardScansOnly) {
  LodexSetEscapeProbe(&PressedEscape);
  g_escape_polls = 0;
  Run("*C");
  EXPECT_EQ(last_result_, -401);
  EXPECT_EQ(g_escape_polls, 1);  // at the first word
  Run("A*");
  EXPECT_EQ(last_result_, 0);  // prefixes do not poll
  Run("ABC");
  EXPECT_EQ(last_result_, 0);
  LodexSetEscapeProbe(nullptr);

  cancelled_ = 1;
  Run("*C");
  EXPECT_EQ(last_result_, -401);
  Run("A?C");  // starts at a literal: the cancel flag is not looked at
  EXPECT_EQ(last_result_, 0);
  Run("*C", true, /*reverse=*/1);  // turned around it starts at the literal C
  EXPECT_EQ(last_result_, 0);
}

// Searches of several sessions share the base's index2.dat window and post.dat stream;
// each read is one locked step, so concurrent scans see the same results as one alone.
TEST_F(EvaluateTest, ThreadsShareOneIndex) {
  const std::vector<std::string> queries = {"*C", "A*", "A-B", "?B*", "!ZZ", "<=B", "*LER"};
  std::vector<Bits> expected;
  for (const std::string& q : queries) expected.push_back(Run(q, true, 1));

  auto worker = [&](std::vector<Bits>* got) {
    TermScope scope;
    scope.index = &loaded_.index;
    scope.field = 0;
    scope.reverse_field = 1;
    std::vector<uint8_t> scratch(loaded_.index.shape.bitmap_bytes);
    for (int round = 0; round < 20; ++round) {
      for (const std::string& q : queries) {
        EvaluateTerm(scope, ParseTerm(q), scratch.data());
        got->push_back(BitsOf(scratch, 48));
      }
    }
  };
  std::vector<Bits> a, b;
  std::thread first(worker, &a);
  std::thread second(worker, &b);
  first.join();
  second.join();
  ASSERT_EQ(a.size(), 20 * queries.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i], expected[i % queries.size()]);
    EXPECT_EQ(b[i], expected[i % queries.size()]);
  }
}

}  // namespace
}  // namespace lodex
