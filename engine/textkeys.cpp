#include "textkeys.h"

#include <algorithm>
#include <cstring>

namespace lodex {
namespace {

CharTable Identity() {
  CharTable t{};
  for (int c = 0; c < 256; ++c) t[c] = static_cast<uint8_t>(c);
  return t;
}

void MapRange(CharTable& t, int first, int last, uint8_t to) {
  for (int c = first; c <= last; ++c) t[c] = to;
}

CharTable BuildUpperCase() {
  CharTable t = Identity();
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<uint8_t>(c - 0x20);
  t[0x9A] = 0x8A;  // š -> Š
  t[0x9C] = 0x8C;  // œ -> Œ
  for (int c = 0xE0; c <= 0xFE; ++c) {
    if (c != 0xF7) t[c] = static_cast<uint8_t>(c - 0x20);  // ÷ has no capital
  }
  // ÿ (0xFF) stays: its capital Ÿ lives at 0x9F, outside the pattern.
  return t;
}

CharTable BuildFolding() {
  CharTable t = Identity();
  // Make room after Z for Æ/Ä, Ø/Ö and Å by moving the punctuation that sat there.
  t['['] = 0x7F;
  t['\\'] = 0x80;
  t[']'] = 0x81;
  t['^'] = ']';
  t['_'] = '^';
  t[0x8A] = 'S';   // Š
  t[0x9A] = 's';   // š
  t[0x8C] = 0xC6;  // Œ -> Æ
  t[0x9C] = 0xE6;  // œ -> æ
  t[0x9F] = 'Y';   // Ÿ
  MapRange(t, 0xC0, 0xC3, 'A');
  t[0xC4] = '[';  // Ä
  t[0xC5] = ']';  // Å
  t[0xC6] = '[';  // Æ
  t[0xC7] = 'C';
  MapRange(t, 0xC8, 0xCB, 'E');
  MapRange(t, 0xCC, 0xCF, 'I');
  t[0xD0] = 'D';
  t[0xD1] = 'N';
  MapRange(t, 0xD2, 0xD5, 'O');
  t[0xD6] = '\\';  // Ö
  t[0xD8] = '\\';  // Ø
  MapRange(t, 0xD9, 0xDB, 'U');
  t[0xDC] = 'Y';  // Ü
  t[0xDD] = 'Y';  // Ý
  MapRange(t, 0xE0, 0xE4, 'a');
  t[0xE7] = 'c';
  MapRange(t, 0xE8, 0xEB, 'e');
  MapRange(t, 0xEC, 0xEF, 'i');
  t[0xF0] = 'd';
  t[0xF1] = 'n';
  MapRange(t, 0xF2, 0xF6, 'o');
  MapRange(t, 0xF9, 0xFC, 'u');
  t[0xFD] = 'y';
  return t;
}

CharTable BuildComposed() {
  const CharTable& upper = UpperCaseTable();
  const CharTable& folding = FoldingTable();
  CharTable t{};
  for (int c = 0; c < 256; ++c) t[c] = folding[upper[c]];
  return t;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const CharTable& UpperCaseTable() {
  static const CharTable table = BuildUpperCase();
  return table;
}

const CharTable& FoldingTable() {
  static const CharTable table = BuildFolding();
  return table;
}

const CharTable& ComposedTable() {
  static const CharTable table = BuildComposed();
  return table;
}

std::string MapThrough(const CharTable& table, std::string_view text) {
  std::string out;
  MapThroughInto(table, text, &out);
  return out;
}

void MapThroughInto(const CharTable& table, std::string_view text, std::string* out) {
  out->resize(text.size());
  char* o = out->data();
  for (size_t i = 0; i < text.size(); ++i) {
    o[i] = static_cast<char>(table[static_cast<uint8_t>(text[i])]);
  }
}

std::string NumericKey(std::string_view s, int int_digits, int frac_digits) {
  std::string key;
  NumericKeyInto(s, int_digits, frac_digits, &key);
  return key;
}

void NumericKeyInto(std::string_view s, int int_digits, int frac_digits, std::string* key) {
  // Opening a base takes the key form of every block directory word: one pass, and
  // the key written in place.
  size_t sep = 0;
  while (sep < s.size() && s[sep] != '.' && s[sep] != ',') ++sep;

  size_t pos = 0;
  while (pos < sep && s[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < sep && s[pos] == '-') {
    negative = true;
    ++pos;
  }
  if (pos < sep && s[pos] == '+') {
    negative = false;  // "-+" reads as positive
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

  // Sign, the integer part right-aligned in its places (its first digits when too
  // long), then the point and the fraction left-aligned in its places.
  const size_t places = static_cast<size_t>(std::max(int_digits, 0));
  const size_t fraction_places = static_cast<size_t>(std::max(frac_digits, 0));
  // resize keeps the room of a key of the same width: no library call beyond the fill.
  const size_t width = 1 + places + (fraction_places > 0 ? 1 + fraction_places : 0);
  key->resize(width);
  char* k = key->data();
  std::memset(k, fill, width);
  *k++ = negative ? 'M' : 'P';
  const size_t int_n = std::min(int_part.size(), places);
  k += places - int_n;
  if (negative) {
    for (size_t i = 0; i < int_n; ++i) *k++ = digit(int_part[i]);
  } else {
    std::memcpy(k, int_part.data(), int_n);
    k += int_n;
  }
  if (fraction_places > 0) {
    *k++ = '.';
    const size_t n = std::min(frac_part.size(), fraction_places);
    for (size_t i = 0; i < n; ++i) *k++ = digit(frac_part[i]);
  }
}

KeyNormaliser KeyNormaliser::Text(const CharTables& tables) {
  KeyNormaliser n;
  n.kind_ = Kind::kText;
  n.tables_ = tables;
  return n;
}

KeyNormaliser KeyNormaliser::Numeric(int int_digits, int frac_digits) {
  KeyNormaliser n;
  n.kind_ = Kind::kNumeric;
  n.int_digits_ = int_digits;
  n.frac_digits_ = frac_digits;
  return n;
}

KeyNormaliser KeyNormaliser::Split(int mode, const CharTables& tables) {
  KeyNormaliser n;
  n.kind_ = Kind::kSplit;
  n.split_mode_ = mode;
  n.tables_ = tables;
  return n;
}

std::string KeyNormaliser::DisplayForm(std::string_view text) const {
  if (kind_ == Kind::kNumeric) return std::string(text);
  return MapThrough(*tables_.upper, text);
}

std::string KeyNormaliser::KeyForm(std::string_view text) const {
  std::string key;
  KeyFormInto(text, &key);
  return key;
}

void KeyNormaliser::KeyFormInto(std::string_view text, std::string* key) const {
  switch (kind_) {
    case Kind::kNumeric:
      return NumericKeyInto(text, int_digits_, frac_digits_, key);
    case Kind::kText:
      return MapThroughInto(*tables_.composed, text, key);
    case Kind::kSplit:
      break;
  }
  size_t digits = 0;
  while (digits < text.size() && IsDigit(text[digits])) ++digits;
  if (split_mode_ == 1) return MapThroughInto(*tables_.composed, text.substr(0, digits), key);
  if (split_mode_ == 2) {
    size_t rest = digits;
    while (rest < text.size() && (text[rest] == ' ' || text[rest] == '\t')) ++rest;
    return MapThroughInto(*tables_.composed, text.substr(rest), key);
  }
  MapThroughInto(*tables_.composed, text, key);
}

}  // namespace lodex
