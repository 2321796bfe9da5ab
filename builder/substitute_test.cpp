// --substitute: close forms for text Windows-1252 cannot hold, the cells they are
// reported in, and the table reader and lodex-build with and without the option.
#include "substitute.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base_builder.h"
#include "product_table.h"
#include "testing/test_support.h"

namespace lodex::build {
namespace {

struct Substituted {
  bool ok = false;
  std::string text;  // Windows-1252
  std::vector<size_t> changed;
};

Substituted Substitute(const std::string& utf8, char delimiter = ',') {
  Substituted r;
  size_t bad = 0;
  r.ok = SubstituteToWindows1252(utf8, delimiter, &r.text, &r.changed, &bad);
  return r;
}

TEST(Substitute, TechnicalSymbolsAccentsAndWhatHasNoCloseForm) {
  const struct {
    const char* in;
    const char* out;  // Windows-1252
  } cases[] = {
      {"R 10 \u03A9", "R 10 Ohm"},            // Ω
      {"10 \u2126", "10 Ohm"},                // the ohm sign
      {"U \u2264 230 V", "U <= 230 V"},       // ≤
      {"I \u2265 5 A", "I >= 5 A"},           // ≥
      {"L \u2192 N", "L -> N"},               // →
      {"\u221A2", "sqrt2"},                   // √
      {"NYM\u2011J", "NYM-J"},                // non-breaking hyphen
      {"1\u20122", "1-2"},                    // figure dash
      {"Cafe\u0301", "Caf\xE9"},              // a combining accent composes to é
      {"Szo\u030Bke", "Szoke"},               // ő is not in the code page: accent dropped
      {"\u0151 \u01D8", "o \xFC"},            // ő → o; ǘ keeps the diaeresis: ü
      {"\uFB01x \u2460 \uFF22", "fix 1 B"},   // ligature, circled digit, full width
      {"\u4E2D", "?"},                        // CJK
      {"\U0001F600", "?"},                    // emoji
      {"\u2764\uFE0F ok", "? ok"},            // the variation selector leaves no trace
      {"\u02A4 \uFFFD", "? ?"},
      {"a\uFF0Cb", "a?b"},                    // a full-width comma must not become a delimiter
  };
  for (const auto& c : cases) {
    const Substituted r = Substitute(c.in);
    ASSERT_TRUE(r.ok) << c.in;
    EXPECT_EQ(r.text, c.out) << c.in;
    EXPECT_FALSE(r.changed.empty()) << c.in;
  }
  EXPECT_EQ(Substitute("a\uFF0Cb", '\t').text, "a,b");

  // Only the pieces that change are noted, by their first byte.
  const Substituted r = Substitute("\xC3\x86r\xC3\xB8 5 \xE2\x82\xAC \xCE\xA9 \xE2\x89\xA4");  // Ærø 5 € Ω ≤
  EXPECT_EQ(r.text, "\xC6r\xF8 5 \x80 Ohm <=");
  EXPECT_EQ(r.changed, (std::vector<size_t>{12, 15}));

  size_t bad = 0;
  std::string out;
  std::vector<size_t> changed;
  EXPECT_FALSE(SubstituteToWindows1252("ok \xC3(", ',', &out, &changed, &bad));
  EXPECT_EQ(bad, 3u);
}

TEST(Substitute, CellsAtNamesRowsAndColumnsAcrossQuotedLineBreaks) {
  const std::string table = "a,b\n1,\"x\ny \"\"q\"\"\"\n2,z\r\n3,w";
  std::vector<CellAt> first;
  // Offsets in "x\ny" (twice), in "z" and in "w".
  EXPECT_EQ(CellsAt(table, ',', {7, 8, 20, 25}, 10, &first), 3u);
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(first[0].line, 2u);
  EXPECT_EQ(first[0].column, 1u);
  EXPECT_EQ(first[0].text, "x\ny \"q\"");
  EXPECT_EQ(first[1].line, 4u);
  EXPECT_EQ(first[1].text, "z");
  EXPECT_EQ(first[2].line, 5u);
  EXPECT_EQ(first[2].text, "w");
  EXPECT_EQ(CellsAt(table, ',', {8, 20, 25}, 1, &first), 3u);
  EXPECT_EQ(first.size(), 1u);
}

TEST(Substitute, TableReaderRefusesWithoutTheOptionAndReportsTheCellsWithIt) {
  std::string text = "Nr\tTekst\n";
  for (int i = 1; i <= 12; ++i) text += std::to_string(i) + "\tModstand " + std::to_string(i) + " k\u03A9\n";
  text += "13\tplain\n";
  ProductTable t;
  TableFormat format;
  std::string error;
  EXPECT_FALSE(t.LoadText(text, "t.tsv", format, &error));
  EXPECT_NE(error.find("t.tsv: line 2: column \"Tekst\": text that Windows-1252 cannot represent"),
            std::string::npos) << error;
  EXPECT_NE(error.find("--substitute"), std::string::npos) << error;

  format.substitute = true;
  ASSERT_TRUE(t.LoadText(text, "t.tsv", format, &error)) << error;
  EXPECT_EQ(t.substituted_cells(), 12u);
  ASSERT_EQ(t.first_substituted().size(), 10u);
  EXPECT_EQ(t.first_substituted()[0].line, 2u);
  EXPECT_EQ(t.first_substituted()[0].column, "Tekst");
  EXPECT_EQ(t.first_substituted()[0].original, "Modstand 1 k\u03A9");
  EXPECT_EQ(t.first_substituted()[9].line, 11u);
  std::vector<std::string> texts;
  ASSERT_TRUE(t.ForEachRow([&](uint64_t, const std::vector<std::string_view>& cells) {
    texts.emplace_back(cells[1]);
    return true;
  }, &error));
  ASSERT_EQ(texts.size(), 13u);
  EXPECT_EQ(texts[0], "Modstand 1 kOhm");
  EXPECT_EQ(texts[12], "plain");
}

TEST(Substitute, LodexBuildSummaryCountsAndShowsTheChangedCells) {
  testing::TempDir dir;
  {
    std::ofstream(dir / "schema.json") << R"json({"tables": ["A"],
      "data_fields": [{"number": 1, "name": "Tekst"}, {"number": 2, "name": "R", "column": "R (Ω)"}],
      "search_fields": [{"number": 1, "name": "Tekst"}]})json";
    std::ofstream(dir / "t.tsv", std::ios::binary)
        << "Tekst\tR (\u03A9)\n10 k\u03A9 \u2264 1 W\t10\nplain\t1\n\u4E2D\U0001F600\t2\n";
  }
  const std::string command = std::string(LODEX_BUILD_TOOL) + " --schema " + (dir / "schema.json") +
                              " --out " + (dir / "base") + " " + (dir / "t.tsv") + " 2>&1";
  auto run = [](const std::string& line, std::string* out) {
    FILE* p = popen(line.c_str(), "r");
    char buf[4096];
    size_t n;
    out->clear();
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
    return pclose(p);
  };
  std::string out;
  EXPECT_NE(run(command, &out), 0);
  EXPECT_NE(out.find("line 1: column \"R (\u03A9)\""), std::string::npos) << out;
  EXPECT_NE(out.find("--substitute"), std::string::npos) << out;

  EXPECT_EQ(run(std::string(LODEX_BUILD_TOOL) + " --substitute" + command.substr(std::string(LODEX_BUILD_TOOL).size()), &out), 0)
      << out;
  EXPECT_NE(out.find("replaced  3 cells holding text that Windows-1252 cannot represent:"), std::string::npos) << out;
  EXPECT_NE(out.find("line 1, column \"R (\u03A9)\": \"R (\u03A9)\""), std::string::npos) << out;
  EXPECT_NE(out.find("line 2, column \"Tekst\": \"10 k\u03A9 \u2264 1 W\""), std::string::npos) << out;
  EXPECT_NE(out.find("line 4, column \"Tekst\": \"\u4E2D\U0001F600\""), std::string::npos) << out;
  testing::EngineSession s(dir / "base");
  EXPECT_EQ(APIRecordCount(s.base()), 3);
  EXPECT_EQ(s.Search(1, "KOHM"), 1);
  APIFetchRecord(s.session(), 0);
  EXPECT_STREQ(APIGetFieldData(s.session(), 2), "10");
}

}  // namespace
}  // namespace lodex::build
