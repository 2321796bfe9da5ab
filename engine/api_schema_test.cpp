// The schema queries through the C interface: clamping, number lookups, flags, names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lodex32_errors.h"
#include "lodex32.h"
#include "testing/test_base_files.h"

namespace lodex {
namespace {

using testing::MetaField;
using testing::TempDir;

class SchemaQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::MetaContents m = testing::SmallCatalogue();
    // Twelve data fields; the last two share number 100's low byte and 120's number.
    for (uint16_t n = 200; m.data.size() < 10; n += 10) m.data.push_back({n, "Extra" + std::to_string(n)});
    m.data.push_back({356, "Same bucket as 100"});
    m.data.push_back({120, "Second 120"});
    m.search[0].map = {0x80000000u};
    m.search[1].length = 123457;
    m.tables[1].name = "Tilbeh\xF8r";  // Tilbehør
    testing::WriteBase(tmp_.path(), m);
    base_ = APIOpenBaseEx(tmp_.c_str(), nullptr, tmp_.c_str(), 0);
    ASSERT_GE(base_, 0);
  }
  void TearDown() override { APICloseBase(base_); }

  TempDir tmp_;
  int32_t base_ = -1;
};

TEST_F(SchemaQueryTest, CountsAndTables) {
  EXPECT_EQ(APIDatafieldCount(base_), 12);
  EXPECT_EQ(APISearchfieldCount(base_), 2);
  EXPECT_EQ(APISortfieldCount(base_), 1);
  EXPECT_EQ(APIDatafieldPublishedCount(base_), 2);
  EXPECT_EQ(APIDatafieldExportableCount(base_), 2);
  EXPECT_EQ(APISearchfieldPublishedCount(base_), 1);
  EXPECT_EQ(APISortfieldExportableCount(base_), 0);
  EXPECT_EQ(APITableCount(base_), 2);
  EXPECT_EQ(APIRecordCount(base_), 5);
  EXPECT_EQ(APITableRecordCount(base_, -1), 3);
  EXPECT_EQ(APITableRecordCount(base_, 99), 2);
  EXPECT_STREQ(APITableName(base_, 0), "Products");
  EXPECT_STREQ(APITableName(base_, 5), "Tilbeh\xF8r");
}

TEST_F(SchemaQueryTest, FieldIndexesAreClamped) {
  EXPECT_STREQ(APIDatafieldName(base_, -5), "Item text");
  EXPECT_STREQ(APIDatafieldName(base_, 1000), "Second 120");
  EXPECT_EQ(APIDatafieldNo(base_, INT32_MIN), 100);
  EXPECT_EQ(APIDatafieldNo(base_, 11), 120);
  EXPECT_EQ(APISearchfieldNo(base_, 7), 160);
  EXPECT_EQ(APISortfieldNo(base_, -1), 120);
  EXPECT_STREQ(APISortfieldName(base_, 3), "Type number");
}

TEST_F(SchemaQueryTest, IndexMembersMapNumbersAndAreNotClamped) {
  EXPECT_EQ(APIDatafieldIndex(base_, 120), 1);  // first of the two in file order
  EXPECT_EQ(APIDatafieldIndex(base_, 356), 10);
  EXPECT_EQ(APIDatafieldIndex(base_, 999), -1);
  EXPECT_EQ(APISearchfieldIndex(base_, 160), 1);
  EXPECT_EQ(APISearchfieldIndex(base_, 180), -1);
  EXPECT_EQ(APISortfieldIndex(base_, 120), 0);
  EXPECT_EQ(APISortfieldIndex(base_, 100), -1);
}

TEST_F(SchemaQueryTest, FlagsDigitsAndLengths) {
  EXPECT_EQ(APIDatafieldIsSearchable(base_, 0), 1);
  EXPECT_EQ(APIDatafieldIsSortable(base_, 0), 0);
  EXPECT_EQ(APIDatafieldIsSortable(base_, 1), 1);
  EXPECT_EQ(APIDatafieldIsPublished(base_, 0), 1);
  EXPECT_EQ(APIDatafieldIsExportable(base_, 0), 0);
  EXPECT_EQ(APIDatafieldIsNumeric(base_, 2), 1);
  EXPECT_EQ(APIDatafieldIntDigits(base_, 2), 7);
  EXPECT_EQ(APIDatafieldFracDigits(base_, 2), 2);
  EXPECT_EQ(APIDatafieldNotInBase(base_, 2), 0);
  EXPECT_EQ(APIDatafieldIsMultiline(base_, 2), 0);
  EXPECT_EQ(APIDatafieldLength(base_, 0), 60);
  EXPECT_EQ(APISearchfieldIsByWord(base_, 0), 1);
  EXPECT_EQ(APISearchfieldIsByLine(base_, 0), 0);
  EXPECT_EQ(APISearchfieldIsNumeric(base_, 1), 1);
  EXPECT_EQ(APISearchfieldIntDigits(base_, 1), 13);
  EXPECT_EQ(APISearchfieldFracDigits(base_, 1), 0);
  EXPECT_EQ(APISearchfieldLength(base_, 1), 123457);
  EXPECT_EQ(APISearchfieldIsExportable(base_, 1), 1);
  EXPECT_EQ(APISortfieldIsNumeric(base_, 0), 1);
  EXPECT_EQ(APISortfieldIntDigits(base_, 0), 4);
  EXPECT_EQ(APISortfieldFracDigits(base_, 0), 1);
  EXPECT_EQ(APISortfieldIsPublished(base_, 0), 1);
  EXPECT_EQ(APISortfieldLength(base_, 0), 20);
}

TEST_F(SchemaQueryTest, TableMapsAndInTable) {
  EXPECT_NE(APISearchfieldInTable(base_, 0, 0), 0);
  for (int t = 1; t < 32; ++t) EXPECT_EQ(APISearchfieldInTable(base_, 0, t), 0) << t;
  EXPECT_NE(APISearchfieldInTable(base_, 0, 256), 0);
  EXPECT_NE(APIDatafieldInTable(base_, 0, 1), 0);
  EXPECT_EQ(APIDatafieldInTable(base_, 1, 1), 0);

  const auto* map = reinterpret_cast<const uint32_t*>(APIDatafieldTablemap(base_, 2));
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map[0], 0x40000000u);
  EXPECT_EQ(map[7], 0u);
  EXPECT_EQ(APISortfieldTablemap(base_, 0), APISortfieldTablemap(base_, 9));
}

TEST_F(SchemaQueryTest, NameToNumberComparesWholeNamesWithoutCase) {
  EXPECT_EQ(APINameToNumber(base_, "item TEXT", 0), 100);
  EXPECT_EQ(APINameToNumber(base_, "Item tex", 0), ERROR_BadName);
  EXPECT_EQ(APINameToNumber(base_, "Item text ", 0), ERROR_BadName);
  EXPECT_EQ(APINameToNumber(base_, "type number", 0), 120);
  EXPECT_EQ(APINameToNumber(base_, "ean", 1), 160);
  EXPECT_EQ(APINameToNumber(base_, "TYPE NUMBER", 2), 120);
  EXPECT_EQ(APINameToNumber(base_, "accessories", 3), ERROR_BadName);
  EXPECT_EQ(APINameToNumber(base_, "TILBEH\xD8R", 3), 1);  // Ø matches ø
  EXPECT_EQ(APINameToNumber(base_, "products", 3), 0);
  EXPECT_EQ(APINameToNumber(base_, "Price", 1), ERROR_BadName);
  EXPECT_EQ(APINameToNumber(base_, "Price", 4), ERROR_BadKind);
  EXPECT_EQ(APINameToNumber(base_, "Price", -1), ERROR_BadKind);
  EXPECT_EQ(APINameToNumber(base_, nullptr, 0), ERROR_BadName);
  EXPECT_EQ(APINameToNumber(base_ + 1000, "Price", 0), ERROR_BadBase);
}

TEST_F(SchemaQueryTest, UnknownOrClosedBaseAnswersBadBaseAndEmptyNames) {
  for (int32_t b : {base_ + 1000, -1}) {
    EXPECT_EQ(APIDatafieldCount(b), ERROR_BadBase);
    EXPECT_EQ(APISortfieldIsNumeric(b, 0), ERROR_BadBase);
    EXPECT_EQ(APISearchfieldIndex(b, 100), ERROR_BadBase);
    EXPECT_EQ(APITableRecordCount(b, 0), ERROR_BadBase);
    EXPECT_EQ(APISearchfieldTablemap(b, 0), ERROR_BadBase);
    ASSERT_NE(APIDatafieldName(b, 0), nullptr);
    EXPECT_STREQ(APIDatafieldName(b, 0), "");
    EXPECT_STREQ(APITableName(b, 0), "");
  }
}

TEST(SchemaQueryEmpty, KindsWithoutEntriesAnswerWithoutReadingOutOfRange) {
  TempDir tmp;
  testing::MetaContents m;  // no tables, no fields
  testing::WriteBase(tmp.path(), m);
  const int32_t b = APIOpenBaseEx(tmp.c_str(), nullptr, tmp.c_str(), 0);
  ASSERT_GE(b, 0);
  EXPECT_EQ(APIDatafieldCount(b), 0);
  EXPECT_EQ(APIDatafieldNo(b, 0), ERROR_BadField);
  EXPECT_EQ(APISortfieldLength(b, 3), ERROR_BadField);
  EXPECT_EQ(APISearchfieldIsByWord(b, 0), 0);
  EXPECT_EQ(APIDatafieldInTable(b, 0, 0), 0);
  EXPECT_EQ(APIDatafieldTablemap(b, 0), 0);
  EXPECT_STREQ(APISearchfieldName(b, 0), "");
  EXPECT_EQ(APITableCount(b), 0);
  EXPECT_EQ(APITableRecordCount(b, 0), ERROR_BadTable);
  EXPECT_STREQ(APITableName(b, 0), "");
  EXPECT_EQ(APINameToNumber(b, "x", 3), ERROR_BadName);
  EXPECT_EQ(APICloseBase(b), 0);
}

}  // namespace
}  // namespace lodex
