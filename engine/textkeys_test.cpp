#include "textkeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>

namespace lodex {
namespace {

// Texts are Windows-1252 bytes, written as escapes.
const char kAabo[] = "\xC5" "bo";             // Åbo
const char kAeroe[] = "\xC6" "r\xF8";         // Ærø
const char kMueller[] = "M\xFC" "ller";       // Müller

TEST(CharTables, UpperCaseMapsLatinSmallLettersButNotYDiaeresisOrDivision) {
  const CharTable& up = UpperCaseTable();
  EXPECT_EQ(up['a'], 'A');
  EXPECT_EQ(up['z'], 'Z');
  EXPECT_EQ(up['A'], 'A');
  EXPECT_EQ(up[0x9A], 0x8A);
  EXPECT_EQ(up[0x9C], 0x8C);
  EXPECT_EQ(up[0xE5], 0xC5);
  EXPECT_EQ(up[0xFE], 0xDE);
  EXPECT_EQ(up[0xF7], 0xF7);
  EXPECT_EQ(up[0xFF], 0xFF);
  EXPECT_EQ(up['{'], '{');
}

TEST(CharTables, ComposedIsFoldingOfUpperCaseAndDiffersIn95Entries) {
  const CharTable& up = UpperCaseTable();
  const CharTable& fold = FoldingTable();
  const CharTable& comp = ComposedTable();
  int differing = 0;
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(comp[c], fold[up[c]]) << c;
    if (comp[c] != c) ++differing;
  }
  EXPECT_EQ(differing, 95);
}

TEST(CharTables, ComposedOrdersNordicLettersAfterZ) {
  const CharTable& comp = ComposedTable();
  for (uint8_t c : {0xE4, 0xE6, 0xC4, 0xC6}) EXPECT_EQ(comp[c], '[') << int(c);
  for (uint8_t c : {0xF6, 0xF8, 0xD6, 0xD8}) EXPECT_EQ(comp[c], '\\') << int(c);
  for (uint8_t c : {0xE5, 0xC5}) EXPECT_EQ(comp[c], ']') << int(c);
  for (uint8_t c : {0xFC, 0xDC, 0xFD, 0xDD, 0x9F}) EXPECT_EQ(comp[c], 'Y') << int(c);
  EXPECT_EQ(comp[0xE9], 'E');
  EXPECT_EQ(comp[0xD1], 'N');
  EXPECT_EQ(comp[0x9A], 'S');
  EXPECT_EQ(comp[0x9C], 0xC6);
  EXPECT_EQ(comp[0x8C], 0xC6);
  EXPECT_EQ(comp[0xFE], 0xDE);
  EXPECT_EQ(comp[0xFF], 0xFF);
  EXPECT_EQ(comp[0xD7], 0xD7);
  EXPECT_EQ(comp[0xDF], 0xDF);
  // The punctuation moved out of the way.
  EXPECT_EQ(comp['['], 0x7F);
  EXPECT_EQ(comp['\\'], 0x80);
  EXPECT_EQ(comp[']'], 0x81);
  EXPECT_EQ(comp['^'], ']');
  EXPECT_EQ(comp['_'], '^');
}

TEST(TextNormaliser, KeyAndDisplayForms) {
  KeyNormaliser n = KeyNormaliser::Text();
  EXPECT_EQ(n.KeyForm(kAabo), "]BO");
  EXPECT_EQ(n.KeyForm(kAeroe), "\x5B\x52\x5C");
  EXPECT_EQ(n.KeyForm(kMueller), "MYLLER");
  EXPECT_EQ(n.DisplayForm(kAabo), "\xC5" "BO");
  EXPECT_EQ(n.DisplayForm(kMueller), "M\xDC" "LLER");
  // ö/ø and Ä/Æ meet the same keys.
  EXPECT_EQ(n.KeyForm("\xF6"), n.KeyForm("\xF8"));
  EXPECT_EQ(n.KeyForm("\xC4"), n.KeyForm("\xC6"));
  EXPECT_EQ(n.KeyForm(""), "");
  EXPECT_EQ(n.Apply(KeyNormaliser::kDisplay, "ab"), "AB");
  EXPECT_EQ(n.Apply(KeyNormaliser::kKey, "\xE9t\xE9"), "ETE");
}

TEST(TextNormaliser, KeysSortNordicLettersAfterZ) {
  KeyNormaliser n = KeyNormaliser::Text();
  EXPECT_LT(n.KeyForm("Zebra"), n.KeyForm("\xC6" "ble"));
  EXPECT_LT(n.KeyForm("\xC6" "ble"), n.KeyForm("\xD8" "l"));
  EXPECT_LT(n.KeyForm("\xD8" "l"), n.KeyForm("\xC5" "l"));
}

TEST(NumericKey, PadsToTheFieldsPlacesAndComplementsNegatives) {
  EXPECT_EQ(NumericKey("12.5", 5, 2), "P00012.50");
  EXPECT_EQ(NumericKey("-12.5", 5, 2), "M99987.49");
  EXPECT_EQ(NumericKey("0", 5, 2), "P00000.00");
  EXPECT_EQ(NumericKey("  007,250", 5, 2), "P00007.25");
  EXPECT_EQ(NumericKey("-0", 5, 2), "M99999.99");
  EXPECT_EQ(NumericKey("123456", 5, 2), "P12345.00");
}

TEST(NumericKey, SignsFractionsAndPlaces) {
  EXPECT_EQ(NumericKey("+7", 3, 0), "P007");
  EXPECT_EQ(NumericKey("-+7", 3, 0), "P007");
  EXPECT_EQ(NumericKey(" - 7", 3, 0), "M992");
  EXPECT_EQ(NumericKey("100", 4, 0), "P0100");
  EXPECT_EQ(NumericKey("1.23456", 2, 3), "P01.234");
  EXPECT_EQ(NumericKey("5.500  ", 1, 2), "P5.50");
  EXPECT_EQ(NumericKey("42", 0, 2), "P.00");
  EXPECT_EQ(NumericKey("", 3, 1), "P000.0");
  EXPECT_EQ(NumericKey(",5", 2, 1), "P00.5");
}

// The key built character by character, as the first version of NumericKey did; the
// one in place must give the same bytes for any text and any places.
std::string ReferenceNumericKey(std::string_view s, int int_digits, int frac_digits) {
  const size_t sep = std::min(s.find_first_of(".,"), s.size());
  size_t pos = 0;
  while (pos < sep && s[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < sep && s[pos] == '-') {
    negative = true;
    ++pos;
  }
  if (pos < sep && s[pos] == '+') {
    negative = false;
    ++pos;
  }
  while (pos < sep && (s[pos] == ' ' || s[pos] == '0')) ++pos;
  const std::string_view int_part = s.substr(pos, sep - pos);
  std::string_view frac_part;
  if (sep < s.size()) {
    size_t end = s.size();
    while (end > sep + 1 && (s[end - 1] == ' ' || s[end - 1] == '0')) --end;
    frac_part = s.substr(sep + 1, end - sep - 1);
  }
  const char fill = negative ? '9' : '0';
  auto digit = [negative](char d) {
    return negative ? static_cast<char>(0x69 - static_cast<uint8_t>(d)) : d;
  };
  const size_t places = static_cast<size_t>(std::max(int_digits, 0));
  const size_t fraction_places = static_cast<size_t>(std::max(frac_digits, 0));
  std::string key;
  key += negative ? 'M' : 'P';
  if (int_part.size() < places) key.append(places - int_part.size(), fill);
  for (size_t i = 0; i < std::min(int_part.size(), places); ++i) key += digit(int_part[i]);
  if (fraction_places > 0) {
    key += '.';
    const size_t n = std::min(frac_part.size(), fraction_places);
    for (size_t i = 0; i < n; ++i) key += digit(frac_part[i]);
    key.append(fraction_places - n, fill);
  }
  return key;
}

TEST(NumericKey, RandomTextsMatchTheCharacterByCharacterKey) {
  std::mt19937 rng(11);
  const char alphabet[] = " -+0123456789.,x";
  for (int i = 0; i < 20000; ++i) {
    std::string text(rng() % 20, ' ');
    for (char& c : text) c = alphabet[rng() % (sizeof alphabet - 1)];
    const int int_digits = static_cast<int>(rng() % 17) - 1;
    const int frac_digits = static_cast<int>(rng() % 6) - 1;
    ASSERT_EQ(NumericKey(text, int_digits, frac_digits),
              ReferenceNumericKey(text, int_digits, frac_digits))
        << "'" << text << "' " << int_digits << " " << frac_digits;
  }
}

TEST(NumericKey, ByteOrderIsNumericOrder) {
  const char* ascending[] = {"-999.99", "-100", "-12.5", "-12", "-0.01", "-0",
                             "0",       "0.01", "3",     "12",  "12.5",  "999.99"};
  std::string previous;
  for (const char* v : ascending) {
    std::string key = NumericKey(v, 5, 2);
    EXPECT_EQ(key.size(), 9u) << v;
    if (!previous.empty()) {
      EXPECT_LT(previous, key) << v;
    }
    previous = key;
  }
}

TEST(NumericKey, WideParametersAreNotCutAt256Bytes) {
  std::string key = NumericKey("1", 255, 255);
  EXPECT_EQ(key.size(), 1u + 255 + 1 + 255);
  EXPECT_EQ(key[255], '1');
}

TEST(NumericNormaliser, DisplayFormIsUnchanged) {
  KeyNormaliser n = KeyNormaliser::Numeric(5, 2);
  EXPECT_EQ(n.DisplayForm("  -12,5 "), "  -12,5 ");
  EXPECT_EQ(n.KeyForm("12.5"), "P00012.50");
  EXPECT_EQ(n.kind(), KeyNormaliser::Kind::kNumeric);
}

TEST(SplitNormaliser, ModesPickTheirPartOfTheText) {
  KeyNormaliser whole = KeyNormaliser::Split(0);
  KeyNormaliser number = KeyNormaliser::Split(1);
  KeyNormaliser rest = KeyNormaliser::Split(2);
  EXPECT_EQ(whole.KeyForm("12 Main Street"), "12 MAIN STREET");
  EXPECT_EQ(number.KeyForm("12 Main Street"), "12");
  EXPECT_EQ(rest.KeyForm("12 Main Street"), "MAIN STREET");
  EXPECT_EQ(number.KeyForm("Main 12"), "");
  EXPECT_EQ(rest.KeyForm("Main 12"), "MAIN 12");
  EXPECT_EQ(rest.KeyForm("7\t \t" "\xE5" "s"), "]S");
  EXPECT_EQ(rest.KeyForm("123"), "");
  for (const KeyNormaliser* n : {&whole, &number, &rest}) {
    EXPECT_EQ(n->DisplayForm("12 main"), "12 MAIN");
  }
}

}  // namespace
}  // namespace lodex
