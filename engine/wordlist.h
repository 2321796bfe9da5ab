// Index-word listing: the number of a search field's words, the ordinal of a typed text
// among them, and pages of words with their record counts, plain or restricted to the
// included tables or to the current hits. Every page is written into the caller's
// buffer of `count` entries of 260 bytes each:
//
//   offset  size  content
//        0   256  the word's display form, NUL-terminated (cut to 255 bytes)
//      256     4  a 32-bit count (posting count, or the restricted count)
//
// Entries after the last word written are empty (a 0 byte and count 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lodex {

inline constexpr size_t kWordEntryBytes = 260;
inline constexpr size_t kWordEntryTextBytes = 256;

// Writes one entry; text longer than 255 bytes is cut.
void WriteWordEntry(uint8_t* entry, std::string_view text, int32_t count);

}  // namespace lodex
