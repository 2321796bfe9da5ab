// Character tables and search-field key normalisers.
//
// The word index compares words in a *key form*, where case and accents are folded away
// and numbers are written so that byte order is numeric order; callers are shown the
// *display form*. All text is 8-bit Windows-1252.
//
// Three constant 256-entry tables do the folding:
//   upper-casing  a-z -> A-Z, the accented small letters -> their capitals (not ÿ, not ÷);
//   folding       strips accents and moves Æ/Ä, Ø/Ö, Å after Z (to [ \ ]), shifting the
//                 punctuation that used those bytes ([ \ ] -> 0x7F 0x80 0x81, ^ _ -> ] ^);
//   composed      folding[upper-casing[c]]: the table key forms go through.
//
// Each search field has one KeyNormaliser of one of three kinds:
//   text     display: upper-cased; key: composed.
//   numeric  display: unchanged;   key: fixed-width sign/magnitude text (see NumericKey).
//   split    display: upper-cased; key by mode: 0 whole text composed, 1 only the leading
//            digits, 2 the text after the leading digits and the blanks/tabs after them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lodex {

using CharTable = std::array<uint8_t, 256>;

const CharTable& UpperCaseTable();
const CharTable& FoldingTable();
const CharTable& ComposedTable();

// The tables a base refers to (set up when the base is opened).
struct CharTables {
  const CharTable* upper = &UpperCaseTable();
  const CharTable* folding = &FoldingTable();
  const CharTable* composed = &ComposedTable();
};

// Separator sets carried with every base next to the tables. The engine does not read
// them; they are offered to hosts that split texts into words the same way.
inline constexpr std::string_view kWordSeparators = " \n\r\t,*?<>()[]\"";
inline constexpr std::string_view kWordSeparatorsNoComma = " \n\r\t*?<>()[]\"";
inline constexpr std::string_view kLineSeparators = "\n\r";

// Every byte of text through table; the result has the length of the input.
std::string MapThrough(const CharTable& table, std::string_view text);
// The same into *out, reusing its room (the loops that key every word of a block).
void MapThroughInto(const CharTable& table, std::string_view text, std::string* out);

// The numeric key of text with int_digits integer places and frac_digits fraction
// places: "P" or "M", the integer places zero-filled ('9'-filled and nine's-complemented
// when negative), then "." and the fraction places when frac_digits > 0. Integers longer
// than int_digits keep their first int_digits digits. The result can be up to
// 1 + 255 + 1 + 255 bytes long, so callers must not assume it fits 256 bytes.
std::string NumericKey(std::string_view text, int int_digits, int frac_digits);
void NumericKeyInto(std::string_view text, int int_digits, int frac_digits, std::string* key);

class KeyNormaliser {
 public:
  enum class Kind : uint8_t { kText, kNumeric, kSplit };

  // The two operations, as numbered by the word index.
  enum Form : int { kDisplay = 0, kKey = 1 };

  static KeyNormaliser Text(const CharTables& tables = CharTables());
  static KeyNormaliser Numeric(int int_digits, int frac_digits);
  // mode is 0, 1 or 2; other values behave as mode 0.
  static KeyNormaliser Split(int mode, const CharTables& tables = CharTables());

  KeyNormaliser() = default;

  std::string DisplayForm(std::string_view text) const;
  std::string KeyForm(std::string_view text) const;
  // The key form into *key, reusing its room.
  void KeyFormInto(std::string_view text, std::string* key) const;
  std::string Apply(Form form, std::string_view text) const {
    return form == kDisplay ? DisplayForm(text) : KeyForm(text);
  }

  Kind kind() const { return kind_; }
  int split_mode() const { return split_mode_; }
  int int_digits() const { return int_digits_; }
  int frac_digits() const { return frac_digits_; }

 private:
  Kind kind_ = Kind::kText;
  int split_mode_ = 0;
  int int_digits_ = 0;
  int frac_digits_ = 0;
  CharTables tables_;
};

}  // namespace lodex
