// Bases built by BaseBuilder, read back through the engine's C interface: every
// record's texts, every field's words with their counts, searches, sort orders, and the
// refusals of what a base cannot hold.
#include "base_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "demo_catalog.h"
#include "encoding.h"
#include "testing/test_support.h"
#include "textkeys.h"

namespace lodex::build {
namespace {

using testing::BuildFromText;
using testing::EngineSession;
using testing::TempDir;

std::string Cp1252(const std::string& utf8) {
  std::string out;
  EXPECT_TRUE(Utf8ToWindows1252(utf8, &out)) << utf8;
  return out;
}

struct Expected {
  std::vector<std::vector<std::string>> records;  // bit order, Windows-1252
  std::string table_text;
};

// The demo catalogue of n products as a table, and its records in bit order (table
// after table, input order within a table).
Expected DemoCatalogue(uint64_t n) {
  Expected e;
  e.table_text = "Tabel\tVaretekst\tTypenr\tEl.nr.\tEAN\tBruttopris\tRabatkode\tLeverandør\tEnhed\n";
  std::map<int, std::vector<std::vector<std::string>>> by_table;
  const std::vector<std::string> tables = {"VARER", "UDGÅEDE VARER", "KAMPAGNE"};
  for (uint64_t i = 0; i < n; ++i) {
    const DemoProduct p = MakeDemoProduct(i, 1);
    e.table_text += p.table + "\t" + p.text + "\t" + p.type_number + "\t" + p.el_number + "\t" + p.ean + "\t" +
                    p.price + "\t" + p.discount + "\t" + p.maker + "\t" + p.unit + "\n";
    const int t = static_cast<int>(std::find(tables.begin(), tables.end(), p.table) - tables.begin());
    by_table[t].push_back({Cp1252(p.text), Cp1252(p.type_number), p.el_number, p.ean, p.price, p.discount,
                           Cp1252(p.maker), p.unit});
  }
  for (auto& [t, rows] : by_table)
    for (auto& r : rows) e.records.push_back(std::move(r));
  return e;
}

// What the index of a field must hold: per key form the smallest spelling and the
// number of records, in key order.
using WordList = std::vector<std::pair<std::string, int32_t>>;

WordList ExpectedWords(const std::vector<std::vector<std::string>>& records, size_t column,
                       const KeyNormaliser& norm, bool by_word, bool numeric, bool reverse,
                       std::vector<std::set<size_t>>* postings);

WordList ExpectedWords(const std::vector<std::vector<std::string>>& records, size_t column,
                       const KeyNormaliser& norm, bool by_word, bool numeric, bool reverse,
                       std::vector<std::set<size_t>>* postings) {
  std::map<std::string, std::pair<std::string, std::set<size_t>>> by_key;
  const std::string seps = by_word ? std::string(" \t\r\n*?<>()[]\"") : std::string("\r\n");
  for (size_t r = 0; r < records.size(); ++r) {
    const std::string& cell = records[r][column];
    size_t start = 0;
    for (size_t i = 0; i <= cell.size(); ++i) {
      if (i < cell.size() && seps.find(cell[i]) == std::string::npos) continue;
      std::string w = cell.substr(start, i - start);
      start = i + 1;
      if (numeric) w.erase(std::remove(w.begin(), w.end(), ' '), w.end());
      else w = MapThrough(UpperCaseTable(), w);
      if (w.empty()) continue;
      if (reverse) std::reverse(w.begin(), w.end());
      auto& slot = by_key[norm.KeyForm(w)];
      if (slot.first.empty() || w < slot.first) slot.first = w;
      slot.second.insert(r);
    }
  }
  WordList out;
  for (const auto& [key, v] : by_key) {
    out.emplace_back(v.first, static_cast<int32_t>(v.second.size()));
    postings->push_back(v.second);
  }
  return out;
}

TEST(BaseBuilder, DemoCatalogueReadsBackWholeThroughTheEngine) {
  TempDir dir;
  const Expected e = DemoCatalogue(3000);
  BuildSummary summary;
  ASSERT_EQ(BuildFromText(DemoSchemaJson(), e.table_text, dir / "base", &summary), "");
  EXPECT_EQ(summary.records, 3000u);
  EXPECT_LT(summary.CompressionRatio(), 0.6);
  EngineSession s(dir / "base");
  ASSERT_GE(s.base(), 0);
  ASSERT_GE(s.session(), 0);
  EXPECT_EQ(APIRecordCount(s.base()), 3000);
  EXPECT_EQ(APITableCount(s.base()), 3);
  EXPECT_STREQ(APITableName(s.base(), 1), Cp1252("UDGÅEDE VARER").c_str());

  // Every record, every data field, through the engine's decoders.
  ASSERT_EQ(APIFillBitmap(s.session(), 0), 0);
  ASSERT_EQ(APIHitCount(s.session()), 3000);
  const int32_t numbers[] = {100, 120, 140, 160, 180, 190, 200, 210};
  for (int32_t h = 0; h < 3000; ++h) {
    ASSERT_EQ(APIFetchRecord(s.session(), h), 0);
    for (size_t f = 0; f < 8; ++f) ASSERT_EQ(s.Field(numbers[f]), e.records[h][f]) << "hit " << h << " field " << numbers[f];
  }

  // Every word of every search field, with its record count, in index order.
  struct Case { int32_t field; size_t column; KeyNormaliser norm; bool by_word, numeric, reverse; };
  const Case cases[] = {
      {100, 0, KeyNormaliser::Text(), true, false, false},
      {32868, 0, KeyNormaliser::Text(), true, false, true},
      {120, 1, KeyNormaliser::Text(), false, false, false},
      {140, 2, KeyNormaliser::Numeric(7, 0), false, true, false},
      {160, 3, KeyNormaliser::Numeric(13, 0), false, true, false},
  };
  for (const Case& c : cases) {
    std::vector<std::set<size_t>> postings;
    const WordList expected = ExpectedWords(e.records, c.column, c.norm, c.by_word, c.numeric, c.reverse, &postings);
    const WordList got = s.Words(c.field);
    ASSERT_EQ(got.size(), expected.size()) << "field " << c.field;
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], expected[i]) << "field " << c.field << " word " << i;
    // A search for a word finds exactly the records that hold it.
    for (size_t i = 0; i < expected.size(); i += 1 + expected.size() / 25) {
      ASSERT_EQ(s.Search(c.field, "\"" + expected[i].first + "\""), expected[i].second)
          << "field " << c.field << " word " << expected[i].first;
      for (size_t bit : postings[i])
        ASSERT_EQ(APIIsRecordInBitmap(s.session(), 0, static_cast<int32_t>(bit)), 1)
            << "field " << c.field << " word " << expected[i].first << " record " << bit;
    }
  }
}

constexpr const char* kSmallSchema = R"({
  "tables": ["A", "B"], "table_column": "T",
  "data_fields": [
    {"number": 1, "name": "Tekst", "column": "Tekst"},
    {"number": 2, "name": "Pris", "column": "Pris", "numeric": true, "int_digits": 5, "frac_digits": 2}
  ],
  "search_fields": [
    {"number": 1, "name": "Tekst", "column": "Tekst"},
    {"number": 2, "name": "Pris", "column": "Pris", "kind": "numeric", "int_digits": 5,
     "frac_digits": 2, "words": "value"}
  ],
  "sort_fields": [
    {"number": 1, "name": "Tekst", "column": "Tekst"},
    {"number": 2, "name": "Pris", "column": "Pris", "collation": "numeric"},
    {"number": 3, "name": "Raw", "column": "Tekst", "collation": "bytes"}
  ]
})";

// The first data field's text of every hit in the session's current order.
std::vector<std::string> TextsInOrder(const EngineSession& s) {
  std::vector<std::string> out;
  for (int32_t h = 0; h < APIHitCount(s.session()); ++h) {
    EXPECT_EQ(APIFetchRecord(s.session(), h), 0);
    out.push_back(s.Field(1));
  }
  return out;
}

TEST(BaseBuilder, SortRunsFollowTheirCollationsWithEmptyValuesLast) {
  TempDir dir;
  const std::string table =
      "T\tTekst\tPris\n"
      "A\tzebra\t100\n"
      "B\tÅl\t9,95\n"
      "A\tÆble\t\n"
      "A\tabe\t10,5\n"
      "B\tØl\t-3\n"
      "A\t\t0,5\n";
  ASSERT_EQ(BuildFromText(kSmallSchema, table, dir / "base"), "");
  EngineSession s(dir / "base");
  ASSERT_EQ(APIFillBitmap(s.session(), 0), 0);
  // Bit order: table A's rows, then table B's.
  EXPECT_EQ(TextsInOrder(s), (std::vector<std::string>{"zebra", Cp1252("Æble"), "abe", "", Cp1252("Ål"), Cp1252("Øl")}));

  ASSERT_EQ(APISortConditions(s.session(), 1, 0), 0);
  ASSERT_EQ(APISort(s.session()), 0);
  // Key order folds case and puts Æ, Ø, Å after Z; the empty text is hollow, last.
  EXPECT_EQ(TextsInOrder(s), (std::vector<std::string>{"abe", "zebra", Cp1252("Æble"), Cp1252("Øl"), Cp1252("Ål"), ""}));

  ASSERT_EQ(APISortConditions(s.session(), 2, 0), 0);
  ASSERT_EQ(APISort(s.session()), 0);
  EXPECT_EQ(TextsInOrder(s), (std::vector<std::string>{Cp1252("Øl"), "", Cp1252("Ål"), "abe", "zebra", Cp1252("Æble")}));

  ASSERT_EQ(APISortConditions(s.session(), 3, 0), 0);
  ASSERT_EQ(APISort(s.session()), 0);
  // Byte order of the value as written: upper case before lower, Æ (0xC6) before Ø, Å
  // (0xC5) before Æ.
  EXPECT_EQ(TextsInOrder(s), (std::vector<std::string>{"abe", "zebra", Cp1252("Ål"), Cp1252("Æble"), Cp1252("Øl"), ""}));

  // Numeric words: the key form makes 10,5 and 10,50 one word, ranges work on values.
  EXPECT_EQ(s.Search(2, "\"10,50\""), 1);
  EXPECT_EQ(s.Search(2, "9,95-100"), 3);
}

TEST(BaseBuilder, WordsWithEqualKeyFormsBecomeOneWordWithTheSmallestSpelling) {
  TempDir dir;
  const std::string table = "T\tTekst\tPris\nA\tMüller\t1\nA\tMYLLER\t2\nB\tmyller Æble\t3\n";
  ASSERT_EQ(BuildFromText(kSmallSchema, table, dir / "base"), "");
  EngineSession s(dir / "base");
  const auto words = s.Words(1);
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[0], std::make_pair(std::string("MYLLER"), 3));
  EXPECT_EQ(words[1], std::make_pair(Cp1252("ÆBLE"), 1));
  EXPECT_EQ(s.Search(1, Cp1252("müller")), 3);
}

TEST(BaseBuilder, RefusesWhatABaseCannotHoldNamingLineAndColumn) {
  TempDir dir;
  const std::string head = "T\tTekst\tPris\n";
  auto error_for = [&](const std::string& rows) { return BuildFromText(kSmallSchema, head + rows, dir / "base"); };
  const std::string long_word(256, 'X');
  std::string e = error_for("A\tok\t1\nA\t" + long_word + "\t2\n");
  EXPECT_NE(e.find("line 3"), std::string::npos) << e;
  EXPECT_NE(e.find("\"Tekst\""), std::string::npos) << e;
  EXPECT_NE(e.find("255"), std::string::npos) << e;
  EXPECT_EQ(error_for("A\t" + std::string(255, 'X') + "\t2\n"), "");

  e = error_for("A\tok\t12a\n");
  EXPECT_NE(e.find("line 2"), std::string::npos) << e;
  EXPECT_NE(e.find("\"Pris\""), std::string::npos) << e;
  EXPECT_NE(e.find("not a number"), std::string::npos) << e;

  e = error_for("A\tok\t123456\n");  // six integer digits in a field of five
  EXPECT_NE(e.find("more digits"), std::string::npos) << e;
  e = error_for("A\tok\t1,234\n");  // three fraction digits in a field of two
  EXPECT_NE(e.find("more digits"), std::string::npos) << e;
  EXPECT_EQ(error_for("A\tok\t1,230\n"), "");  // trailing zeros are not digits that count

  e = error_for("A\t\t1\nB\t\t2\n");
  EXPECT_NE(e.find("no word"), std::string::npos) << e;
  EXPECT_NE(e.find("\"Tekst\""), std::string::npos) << e;

  e = error_for("A\tok\t1\nC\tok\t1\n");
  EXPECT_NE(e.find("line 3"), std::string::npos) << e;
  EXPECT_NE(e.find("\"T\""), std::string::npos) << e;

  e = error_for("A\tok\t1\nA\tok\n");
  EXPECT_NE(e.find("line 3"), std::string::npos) << e;
  EXPECT_NE(e.find("2 cells"), std::string::npos) << e;
}

TEST(BaseBuilder, HoldsFewerThanTwoToTheTwentyThirdRecords) {
  // Record numbers in post.dat have 23 bits: 8 388 607 rows fit, the next is refused.
  BuildSchema schema;
  std::string error;
  ASSERT_TRUE(ParseSchema(R"({"tables": ["A"], "data_fields": [{"number": 1, "name": "D"}]})", &schema, &error));
  BaseBuilder builder(schema, BuildOptions());
  ASSERT_TRUE(builder.SetHeader({"D"}, &error)) << error;
  const std::vector<std::string_view> cells = {"x"};
  for (uint64_t line = 2; line < (1u << 23) + 1; ++line) ASSERT_TRUE(builder.AddRow(line, cells, &error)) << error;
  EXPECT_EQ(builder.rows(), (1u << 23) - 1);
  EXPECT_FALSE(builder.AddRow((1u << 23) + 1, cells, &error));
  EXPECT_NE(error.find("line 8388609"), std::string::npos) << error;
  EXPECT_NE(error.find("2^23"), std::string::npos) << error;
}

TEST(BaseBuilder, EmptyTablesAndEmptyFieldsAreKept) {
  TempDir dir;
  // Table A empty; a record of empty fields decodes as empty texts.
  const std::string table = "T\tTekst\tPris\nB\tord\t\nB\t\t1\n";
  ASSERT_EQ(BuildFromText(kSmallSchema, table, dir / "base"), "");
  EngineSession s(dir / "base");
  EXPECT_EQ(APITableRecordCount(s.base(), 0), 0);
  EXPECT_EQ(APITableRecordCount(s.base(), 1), 2);
  ASSERT_EQ(APIFillBitmap(s.session(), 0), 0);
  ASSERT_EQ(APIFetchRecord(s.session(), 0), 0);
  EXPECT_EQ(s.Field(1), "ord");
  EXPECT_EQ(s.Field(2), "");
  ASSERT_EQ(APIFetchRecord(s.session(), 1), 0);
  EXPECT_EQ(s.Field(1), "");
  EXPECT_EQ(s.Field(2), "1");
}

}  // namespace
}  // namespace lodex::build
