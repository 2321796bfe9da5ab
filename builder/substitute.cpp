#include "substitute.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <map>
#include <stdexcept>

#include "encoding.h"

namespace lodex::build {

namespace {

// The code page's characters above ASCII, from the shared Windows-1252 table, so that
// what passes here is exactly what the plain conversion accepts. Bytes the code page
// leaves without a character (0x81, 0x8D, ...) are not in it.
class CodePage {
 public:
  CodePage() {
    for (int b = 0x80; b <= 0xFF; ++b) {
      const std::string utf8 = Windows1252ToUtf8(std::string(1, static_cast<char>(b)));
      int32_t i = 0;
      UChar32 c;
      U8_NEXT(reinterpret_cast<const uint8_t*>(utf8.data()), i, static_cast<int32_t>(utf8.size()), c);
      if (c >= 0x80 && i == static_cast<int32_t>(utf8.size())) bytes_[c] = static_cast<char>(b);
    }
  }
  // The byte of c, or false when the code page cannot hold c.
  bool Encode(UChar32 c, char* byte) const {
    if (c < 0x80) {
      *byte = static_cast<char>(c);
      return true;
    }
    const auto it = bytes_.find(c);
    if (it == bytes_.end()) return false;
    *byte = it->second;
    return true;
  }

 private:
  std::map<UChar32, char> bytes_;
};

const CodePage& Cp1252() {
  static const CodePage page;
  return page;
}

// Common technical symbols of product data, spelled the way people type them.
const char* TechnicalSymbol(UChar32 c) {
  switch (c) {
    case 0x03A9: return "Ohm";   // Ω (the ohm sign U+2126 composes to it)
    case 0x2264: return "<=";    // ≤
    case 0x2265: return ">=";    // ≥
    case 0x2192: return "->";    // →
    case 0x221A: return "sqrt";  // √
    case 0x2011: return "-";     // non-breaking hyphen
    case 0x2012: return "-";     // figure dash
    default: return nullptr;
  }
}

const icu::Normalizer2& Nfc() {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) throw std::runtime_error("ICU has no NFC normaliser");
  return *n;
}

const icu::Normalizer2& Nfkd() {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* n = icu::Normalizer2::getNFKDInstance(status);
  if (U_FAILURE(status)) throw std::runtime_error("ICU has no NFKD normaliser");
  return *n;
}

icu::UnicodeString Normalized(const icu::Normalizer2& form, const icu::UnicodeString& s) {
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString out = form.normalize(s, status);
  return U_SUCCESS(status) ? out : s;
}

bool IsMark(UChar32 c) {
  return u_getCombiningClass(c) != 0 || u_charType(c) == U_NON_SPACING_MARK ||
         u_charType(c) == U_ENCLOSING_MARK;
}

// The close form of one character the code page cannot hold.
std::string CloseForm(UChar32 c, std::string_view forbidden) {
  if (const char* symbol = TechnicalSymbol(c)) return symbol;
  if (u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT)) return std::string();
  const CodePage& page = Cp1252();
  char byte;
  // Decompose; put each accent back on its letter only where the accented letter is
  // in the code page.
  const icu::UnicodeString decomposed = Normalized(Nfkd(), icu::UnicodeString(c));
  std::vector<UChar32> letters;
  for (int32_t i = 0; i < decomposed.length(); i = decomposed.moveIndex32(i, 1)) {
    const UChar32 x = decomposed.char32At(i);
    if (!IsMark(x)) {
      letters.push_back(x);
      continue;
    }
    if (letters.empty()) continue;
    icu::UnicodeString pair(letters.back());
    pair.append(x);
    const icu::UnicodeString composed = Normalized(Nfc(), pair);
    if (composed.countChar32() == 1 && page.Encode(composed.char32At(0), &byte)) letters.back() = composed.char32At(0);
  }
  std::string out;
  for (UChar32 x : letters) {
    if (page.Encode(x, &byte)) out += byte;
    else if (const char* symbol = TechnicalSymbol(x)) out += symbol;
    else if (!u_hasBinaryProperty(x, UCHAR_DEFAULT_IGNORABLE_CODE_POINT)) out += '?';
  }
  if (out.find_first_of(forbidden) != std::string::npos) return "?";
  return out;
}

}  // namespace

bool SubstituteToWindows1252(std::string_view utf8, char delimiter, std::string* out,
                             std::vector<size_t>* changed, size_t* bad_offset) {
  const CodePage& page = Cp1252();
  const std::string forbidden = std::string("\"\r\n") + delimiter;
  out->clear();
  out->reserve(utf8.size());
  changed->clear();
  const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
  const int32_t n = static_cast<int32_t>(utf8.size());

  // A piece: a character and the combining marks after it.
  int32_t piece_start = 0;
  std::vector<UChar32> piece;
  auto flush = [&](int32_t piece_end) {
    if (piece.empty()) return;
    std::string plain;
    char byte;
    bool fits = true;
    for (UChar32 c : piece) {
      if (!page.Encode(c, &byte)) {
        fits = false;
        break;
      }
      plain += byte;
    }
    if (!fits) {
      // Composed first: "e" and a combining acute are "é", which the code page holds.
      const icu::UnicodeString composed = Normalized(
          Nfc(), icu::UnicodeString::fromUTF8(utf8.substr(piece_start, piece_end - piece_start)));
      plain.clear();
      for (int32_t i = 0; i < composed.length(); i = composed.moveIndex32(i, 1)) {
        const UChar32 c = composed.char32At(i);
        if (page.Encode(c, &byte)) plain += byte;
        else plain += CloseForm(c, forbidden);
      }
      changed->push_back(static_cast<size_t>(piece_start));
    }
    *out += plain;
    piece.clear();
  };

  for (int32_t i = 0; i < n;) {
    const int32_t at = i;
    UChar32 c;
    U8_NEXT(s, i, n, c);
    if (c < 0) {
      *bad_offset = static_cast<size_t>(at);
      return false;
    }
    if (c < 0x80 || !IsMark(c)) {
      flush(at);
      piece_start = at;
    }
    piece.push_back(c);
  }
  flush(n);
  return true;
}

uint64_t CellsAt(std::string_view table, char delimiter, const std::vector<size_t>& offsets,
                 size_t keep, std::vector<CellAt>* first) {
  uint64_t count = 0;
  first->clear();
  size_t next = 0;  // the first offset not yet placed
  uint64_t line = 1, row_line = 1;
  size_t column = 0, cell_start = 0;
  bool at_cell_start = true, quoted = false;
  auto end_cell = [&](size_t end) {
    if (at_cell_start) cell_start = end;
    while (next < offsets.size() && offsets[next] < cell_start) ++next;
    if (next < offsets.size() && offsets[next] < end) {
      ++count;
      while (next < offsets.size() && offsets[next] < end) ++next;
      if (first->size() >= keep) return;
      std::string_view raw = table.substr(cell_start, end - cell_start);
      std::string text;
      if (!raw.empty() && raw.front() == '"') {
        raw.remove_prefix(1);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        if (!raw.empty() && raw.back() == '"') raw.remove_suffix(1);
        for (size_t k = 0; k < raw.size(); ++k) {
          text += raw[k];
          if (raw[k] == '"' && k + 1 < raw.size() && raw[k + 1] == '"') ++k;
        }
      } else {
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        text = raw;
      }
      first->push_back({row_line, column, std::move(text)});
    }
  };
  for (size_t i = 0; i < table.size(); ++i) {
    const char c = table[i];
    if (at_cell_start) {
      at_cell_start = false;
      cell_start = i;
      if (c == '"') {
        quoted = true;
        continue;
      }
    }
    if (quoted) {
      if (c == '"') {
        if (i + 1 < table.size() && table[i + 1] == '"') ++i;
        else quoted = false;
      } else if (c == '\n') {
        ++line;
      }
      continue;
    }
    if (c == delimiter) {
      end_cell(i);
      ++column;
      at_cell_start = true;
    } else if (c == '\n') {
      end_cell(i);
      row_line = ++line;
      column = 0;
      at_cell_start = true;
    }
  }
  end_cell(table.size());
  return count;
}

}  // namespace lodex::build
