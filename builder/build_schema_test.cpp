// Schema files: the flags and table maps they give meta.dat, and the messages that
// point at a wrong entry.
#include "build_schema.h"

#include <gtest/gtest.h>

namespace lodex::build {
namespace {

BuildSchema Parse(const std::string& json) {
  BuildSchema s;
  std::string error;
  EXPECT_TRUE(ParseSchema(json, &s, &error)) << error;
  return s;
}

std::string ErrorOf(const std::string& json) {
  BuildSchema s;
  std::string error;
  EXPECT_FALSE(ParseSchema(json, &s, &error));
  return error;
}

TEST(BuildSchema, FlagsMatchTheMetaLayout) {
  const BuildSchema s = Parse(R"({
    "tables": ["VARER", "UDGÅEDE"], "table_column": "Tabel",
    "data_fields": [
      {"number": 140, "name": "El.nr.", "length": 9, "searchable": true, "numeric": true,
       "int_digits": 7, "published": true, "exportable": true},
      {"number": 180, "name": "Pris", "sortable": true, "numeric": true, "int_digits": 7,
       "frac_digits": 2, "published": true, "exportable": true},
      {"number": 190, "name": "Kode", "not_in_base": true, "multiline": true, "tables": ["UDGÅEDE"]}
    ],
    "search_fields": [
      {"number": 100, "name": "Varetekst", "words": "word", "published": true, "exportable": true},
      {"reverse_of": 100, "name": "Baglæns"},
      {"number": 140, "name": "El.nr.", "words": "line", "kind": "numeric", "int_digits": 7,
       "published": true, "exportable": true, "length": 9},
      {"number": 210, "name": "Enhed", "words": "line", "kind": "split", "split_mode": 2},
      {"number": 211, "name": "Hel", "words": "value", "tables": "all"}
    ],
    "sort_fields": [
      {"number": 180, "name": "Pris", "numeric": true, "int_digits": 7, "frac_digits": 2,
       "published": true, "exportable": true}
    ]
  })");
  ASSERT_EQ(s.tables.size(), 2u);
  EXPECT_EQ(s.tables[1], "UDG\xC5" "EDE");  // Windows-1252 in the base
  EXPECT_EQ(s.data_fields[0].Flags(), 0x6000E5u);
  EXPECT_EQ(s.data_fields[1].Flags(), 0x6040E6u);
  EXPECT_EQ(s.data_fields[2].Flags(), 0x18u);
  EXPECT_EQ(s.data_fields[0].table_map[0], 0xC0000000u);  // default: every declared table
  EXPECT_EQ(s.data_fields[2].table_map[0], 0x40000000u);
  EXPECT_EQ(s.search_fields[0].Flags(), 0x180001u);
  EXPECT_EQ(s.search_fields[1].number, 32868);
  EXPECT_EQ(s.search_fields[1].Flags(), 0x1u);
  EXPECT_EQ(s.search_fields[1].reverse_of, 0);
  EXPECT_EQ(s.search_fields[2].Flags(), 0x18003Eu);
  EXPECT_EQ(s.search_fields[2].LengthWord(), 9u);
  EXPECT_EQ(s.search_fields[3].Flags(), 0x2u);
  EXPECT_EQ(s.search_fields[3].LengthWord(), 123458u);
  EXPECT_EQ(s.search_fields[4].Flags(), 0x0u);
  EXPECT_EQ(s.search_fields[4].table_map[7], 0xFFFFFFFFu);
  EXPECT_EQ(s.sort_fields[0].Flags(), 0x6040Fu);
  EXPECT_EQ(s.sort_fields[0].collation, Collation::kNumeric);
}

TEST(BuildSchema, MistakesNameTheEntryAndKey) {
  const std::string tables = R"("tables": ["A"], )";
  const std::string data = R"("data_fields": [{"number": 1, "name": "D"}])";
  struct Case { std::string json, expected; };
  const Case cases[] = {
      {"{", "not valid JSON"},
      {"{" + data + "}", "\"tables\""},
      {R"({"tables": ["A", "B"], )" + data + "}", "\"table_column\""},
      {R"({"tables": ["A", "A"], "table_column": "T", )" + data + "}", "declared twice"},
      {"{" + tables + R"("data_fields": []})", "\"data_fields\""},
      {"{" + tables + R"("data_fields": [{"name": "D"}]})", "data_fields[0]: \"number\" is missing"},
      {"{" + tables + R"("data_fields": [{"number": 70000, "name": "D"}]})", "0..65535"},
      {"{" + tables + R"("data_fields": [{"number": 1, "name": "D", "colum": "x"}]})", "unknown key \"colum\""},
      {"{" + tables + R"("data_fields": [{"number": 1, "name": "D", "tables": ["Z"]}]})", "undeclared table \"Z\""},
      {"{" + tables + R"("data_fields": [{"number": 1, "name": "Ω"}]})", "outside Windows-1252"},
      {"{" + tables + data + R"(, "search_fields": [{"number": 5, "name": "S", "words": "some"}]})",
       "search_fields[0]: \"words\""},
      {"{" + tables + data + R"(, "search_fields": [{"number": 5, "name": "S", "kind": "numeric"}]})",
       "int_digits"},
      {"{" + tables + data + R"(, "search_fields": [{"number": 5, "name": "S", "split_mode": 1}]})",
       "split_mode"},
      {"{" + tables + data + R"(, "search_fields": [{"reverse_of": 5, "name": "R"}]})", "listed before it"},
      {"{" + tables + data + R"(, "search_fields": [{"number": 5, "name": "S"}, {"reverse_of": 5, "number": 6, "name": "R"}]})",
       "32773"},
      {"{" + tables + data + R"(, "search_fields": [{"number": 5, "name": "S"}, {"number": 5, "name": "T"}]})",
       "used twice"},
      {"{" + tables + data + R"(, "sort_fields": [{"number": 5, "name": "S", "collation": "alpha"}]})",
       "sort_fields[0]: \"collation\""},
  };
  for (const Case& c : cases) {
    const std::string error = ErrorOf(c.json);
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.json << "\n -> " << error;
  }
}

}  // namespace
}  // namespace lodex::build
