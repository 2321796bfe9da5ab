// The search exports on an opened base: conditions, the exact flag, the Escape probe and
// a cancelled session.
#include <gtest/gtest.h>

#include "lodex32_errors.h"
#include "lodex32.h"
#include "testing/test_base_files.h"
#include "testing/word_index_fixture.h"

namespace lodex {
namespace {

// A base of one table of 48 records with a text field 100 and its reverse field 32868.
class SearchApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<testing::IndexWord> words = {
        {"ABC", {1}}, {"ABCD", {2}}, {"AXC", {3}}, {"BC", {4, 5}}};
    std::vector<testing::IndexWord> reversed = {
        {"CB", {4, 5}}, {"CBA", {1}}, {"CXA", {3}}, {"DCBA", {2}}};
    const testing::IndexImages images = testing::WriteIndex({words, reversed}, 48);

    testing::MetaContents meta;
    meta.tables = {{"Varer", 48}};
    meta.data = {{100, "Tekst", 1u, 0, 60, {0x80000000u}}};
    meta.search = {{100, "Tekst", 1u, images.field_starts[0], 60, {0x80000000u}},
                   {32868, "Tekst bagl\xE6ns", 1u, images.field_starts[1], 60, {0x80000000u}}};
    testing::WriteBase(dir_.path(), meta);
    testing::WriteFile(dir_.path() + "/index1.dat", images.index1);
    testing::WriteFile(dir_.path() + "/index2.dat", images.index2);
    testing::WriteFile(dir_.path() + "/post.dat", images.post);

    base_ = APIOpenBaseEx(dir_.c_str(), nullptr, temp_.c_str(), 0);
    ASSERT_GE(base_, 0);
    session_ = APICreateSession(base_);
    ASSERT_GE(session_, 0);
  }
  void TearDown() override {
    LodexSetEscapeProbe(nullptr);
    APIDestroySession(session_);
    APICloseBase(base_);
  }

  int32_t Search(const char* text, int32_t combine = 0) {
    const int32_t set = APISearchConditions(session_, 100, text, combine);
    if (set != 0) return set;
    const int32_t result = APISearch(session_);
    return result == 0 ? APIHitCount(session_) : result;
  }

  testing::TempDir dir_, temp_;
  int32_t base_ = -1;
  int32_t session_ = -1;
};

TEST_F(SearchApiTest, ConditionsFieldsAndTheExactFlag) {
  EXPECT_EQ(APISearch(session_), ERROR_BadField);  // no field chosen yet
  EXPECT_EQ(Search("ABC"), 1);
  EXPECT_EQ(APISearchExact(session_, 0), 0);
  EXPECT_EQ(Search("ABC"), 2);
  EXPECT_EQ(Search("ABC AXC"), 0);
  EXPECT_EQ(Search("ABC AXC", 1), 3);
  EXPECT_EQ(Search("*C"), 4);  // through the reverse field

  // An unknown field leaves the session without one.
  EXPECT_EQ(APISearchConditions(session_, 999, "ABC", 0), ERROR_BadField);
  EXPECT_EQ(APISearch(session_), ERROR_BadField);
  EXPECT_EQ(APISearchConditions(session_ + 1000, 100, "ABC", 0), ERROR_BadSession);

  // Only the first 250 characters are kept: the last term here is cut to "AB".
  EXPECT_EQ(APISearchExact(session_, 1), 0);
  const std::string query = "ABC " + std::string(243, 'X') + " ABCD";
  ASSERT_EQ(query.size(), 252u);
  EXPECT_EQ(Search(query.c_str(), 1), 1);
}

int32_t g_presses = 0;
int32_t PressedBeforeTheSearch() { return g_presses-- > 0 ? 1 : 0; }
int32_t AlwaysPressed() { return 1; }

TEST_F(SearchApiTest, EscapeStopsWildcardScansPressedAfterTheStart) {
  g_presses = 1;  // read and discarded when the search starts
  LodexSetEscapeProbe(&PressedBeforeTheSearch);
  EXPECT_EQ(Search("*B*C"), 3);

  LodexSetEscapeProbe(&AlwaysPressed);
  EXPECT_EQ(Search("ABC"), 1);  // no wildcard, no poll
  EXPECT_EQ(Search("ABC *B*C", 1), ERROR_Userbreak);
  EXPECT_EQ(APIHitCount(session_), 1);  // the terms before the stopped one
}

TEST_F(SearchApiTest, ACancelledSessionStopsScansFromTheFirstWord) {
  EXPECT_EQ(APICancelSession(session_), 0);
  EXPECT_EQ(Search("*B*C"), ERROR_Userbreak);
  EXPECT_EQ(Search("A*C"), 2);  // begins with a literal: not polled
  EXPECT_EQ(Search("*C"), 4);   // turned around it begins with C
  EXPECT_EQ(Search("AB*"), 2);

  const int32_t other = APICreateSession(base_);
  ASSERT_GE(other, 0);
  EXPECT_EQ(APISearchConditions(other, 100, "*B*C", 0), 0);
  EXPECT_EQ(APISearch(other), 0);
  EXPECT_EQ(APIHitCount(other), 3);
  APIDestroySession(other);
}

}  // namespace
}  // namespace lodex
