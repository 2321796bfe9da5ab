// Reading product tables: delimiters, quoting, line endings, encodings, and the
// messages for malformed rows.
#include "product_table.h"

#include <gtest/gtest.h>

namespace lodex::build {
namespace {

struct Read {
  bool ok = false;
  std::string error;
  std::vector<std::string> header;
  std::vector<std::pair<uint64_t, std::vector<std::string>>> rows;
};

Read ReadText(const std::string& text, const std::string& encoding = "auto", char delimiter = 0,
              size_t window = 0) {
  Read r;
  ProductTable t;
  if (window > 0) t.set_window_bytes(window);
  TableFormat f;
  f.encoding = encoding;
  f.delimiter = delimiter;
  if (!t.LoadText(text, "t.csv", f, &r.error)) return r;
  r.header = t.header();
  r.ok = t.ForEachRow([&](uint64_t line, const std::vector<std::string_view>& cells) {
    r.rows.emplace_back(line, std::vector<std::string>(cells.begin(), cells.end()));
    return true;
  }, &r.error);
  return r;
}

bool operator==(const Read& a, const Read& b) {
  return a.ok == b.ok && a.error == b.error && a.header == b.header && a.rows == b.rows;
}

TEST(ProductTable, SplitsQuotedCsvWithLineBreaksInsideCells) {
  const Read r = ReadText("a,b,c\r\n1,\"x, \"\"y\"\"\",3\r\n\"multi\nline\",,\"\"\n\n4,5,6");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.header, (std::vector<std::string>{"a", "b", "c"}));
  ASSERT_EQ(r.rows.size(), 3u);
  EXPECT_EQ(r.rows[0].second, (std::vector<std::string>{"1", "x, \"y\"", "3"}));
  EXPECT_EQ(r.rows[1].first, 3u);
  EXPECT_EQ(r.rows[1].second, (std::vector<std::string>{"multi\nline", "", ""}));
  EXPECT_EQ(r.rows[2].first, 6u);  // the blank line is skipped, lines still counted
  EXPECT_EQ(r.rows[2].second, (std::vector<std::string>{"4", "5", "6"}));
}

TEST(ProductTable, AQuotedEmptyCellIsARowNotABlankLine) {
  const Read r = ReadText("navn\n\"\"\n\r\nx\n\"\"");
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.rows.size(), 3u);
  EXPECT_EQ(r.rows[0], (std::pair<uint64_t, std::vector<std::string>>{2, {""}}));
  EXPECT_EQ(r.rows[1], (std::pair<uint64_t, std::vector<std::string>>{4, {"x"}}));
  EXPECT_EQ(r.rows[2], (std::pair<uint64_t, std::vector<std::string>>{5, {""}}));
}

TEST(ProductTable, TakesTheDelimiterFromTheHeaderRow) {
  EXPECT_EQ(ReadText("a\tb,c\n1\t2,3\n").rows[0].second, (std::vector<std::string>{"1", "2,3"}));
  EXPECT_EQ(ReadText("a;b,c;d\n1;2,5;3\n").rows[0].second, (std::vector<std::string>{"1", "2,5", "3"}));
  EXPECT_EQ(ReadText("a,b\n1;2,3\n", "auto", ',').rows[0].second, (std::vector<std::string>{"1;2", "3"}));
}

TEST(ProductTable, ConvertsUtf8AndKeepsWindows1252) {
  const Read utf8 = ReadText("\xEF\xBB\xBFnavn\nØl på å\n");
  ASSERT_TRUE(utf8.ok) << utf8.error;
  EXPECT_EQ(utf8.rows[0].second[0], "\xD8l p\xE5 \xE5");
  EXPECT_EQ(utf8.rows[0].second.size(), 1u);
  const Read cp = ReadText("navn\n\xD8l \x80 5\n");  // not UTF-8: taken as Windows-1252
  ASSERT_TRUE(cp.ok) << cp.error;
  EXPECT_EQ(cp.rows[0].second[0], "\xD8l \x80 5");
  const Read euro = ReadText("navn\n5 €\n");
  EXPECT_EQ(euro.rows[0].second[0], "5 \x80");
}

TEST(ProductTable, MalformedRowsNameTheirLineAndColumn) {
  Read r = ReadText("a,b\n1,2\n\"open,3\n");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("t.csv: line 3: a quoted cell is not closed"), std::string::npos) << r.error;
  r = ReadText("a,b\n1,2,3\n");
  EXPECT_NE(r.error.find("line 2: 3 cells, but the header row has 2"), std::string::npos) << r.error;
  r = ReadText("a,b\n\"x\"y,2\n");
  EXPECT_NE(r.error.find("line 2: text after the closing quote"), std::string::npos) << r.error;
  r = ReadText(std::string("a,b\n1,x\0y\n", 10));
  EXPECT_NE(r.error.find("line 2: column \"b\": the text contains a NUL"), std::string::npos) << r.error;
  r = ReadText("a,navn\n1,ok\n2,Ωmega\n");  // Greek has no Windows-1252 form
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("line 3: column \"navn\""), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("Windows-1252"), std::string::npos) << r.error;
  r = ReadText("", "auto");
  EXPECT_NE(r.error.find("empty"), std::string::npos) << r.error;
}

// The table is converted and split a window at a time, windows ending between rows:
// whatever the window, the rows, lines and messages are those of the whole text.
TEST(ProductTable, ReadsAlikeWhateverTheWindow) {
  const std::string texts[] = {
      "A,B\r\n1,\"x\r\ny\"\r\n\r\n\"2\",\"\"\"q\"\"\"\r\n3,\"a,b\nc\n\nd\"\n4,e\n",
      "Nr\tTekst\n1\tR\u00d8D \u00e6ble\n2\t12\" r\u00f8r\n\n3\t\"\"\n4\tslut",
      "A;B\n1;\"open\n2;x\n",
      "A,B\n1,\"x\"y\n2,z\n",
      "A,B\n1,2\n3\n",
  };
  for (const std::string& text : texts) {
    const Read whole = ReadText(text);
    for (size_t window : {1, 2, 3, 5, 8, 13})
      EXPECT_TRUE(ReadText(text, "auto", 0, window) == whole) << "window " << window << " of " << text;
  }
}

}  // namespace
}  // namespace lodex::build
