// Text that Windows-1252 cannot represent, replaced by a close form (lodex-build
// --substitute). Each run of a character and the combining marks that follow it is
// taken as one piece:
//   - composed first, so "e" + U+0301 becomes "é";
//   - common technical symbols by their usual spelling: "Ω" → "Ohm", "≤" → "<=",
//     "≥" → ">=", "→" → "->", "√" → "sqrt", non-breaking hyphen and figure dash → "-";
//   - else the Unicode compatibility decomposition ("ﬁ" → "fi", "①" → "1"), keeping an
//     accent where the accented letter is in Windows-1252 and dropping it where not
//     ("ő" → "o", "ǘ" → "ü");
//   - what is left becomes "?"; invisible format characters (variation selectors,
//     joiners) are dropped.
// A replacement never brings in the table's delimiter, a quote or a line break, so the
// rows and cells stay as they were.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lodex::build {

// Converts UTF-8 text to Windows-1252, replacing what the code page cannot hold.
// *changed receives the byte offset in `utf8` of every piece replaced, ascending.
// False with *bad_offset at the first byte that is not UTF-8.
bool SubstituteToWindows1252(std::string_view utf8, char delimiter, std::string* out,
                             std::vector<size_t>* changed, size_t* bad_offset);

// A cell of a delimited table that holds one or more of the given offsets.
struct CellAt {
  uint64_t line = 0;   // the line its row starts on (1 = header)
  size_t column = 0;   // 0-based
  std::string text;    // the cell as written, quotes removed
};

// Counts the cells of `table` (delimited, double-quoted cells as ProductTable reads
// them) that hold one or more of the ascending byte offsets, and puts the first `keep`
// of them, in table order, in *first.
uint64_t CellsAt(std::string_view table, char delimiter, const std::vector<size_t>& offsets,
                 size_t keep, std::vector<CellAt>* first);

}  // namespace lodex::build
