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

struct Base;
struct Session;

// Writes one entry; text longer than 255 bytes is cut.
void WriteWordEntry(uint8_t* entry, std::string_view text, int32_t count);

// The base, session and search field (by index) a listing works on. Every listing moves
// the session's word iterator.
struct WordListField {
  Base* base = nullptr;
  Session* session = nullptr;
  int field = -1;
};

// The number of the field's words.
int32_t CountIndexWords(const WordListField& f);

// Mode 1: the ordinal of the first word at or after text, -107 when there is none.
// Other modes: the ordinal of the word equal to text, else of the word before the
// located one (-107 before the first word; the last word when none is located).
int32_t LocateIndexWord(const WordListField& f, const char* text, int32_t mode);

// Up to count words from ordinal first on (-100 when first < 0). Modes other than 1 list
// at most list_limit words.
int32_t ListIndexWordsFrom(const WordListField& f, int32_t first, int32_t count, int32_t mode,
                           int32_t list_limit, void* entries);

// Mode 1: up to count words from the first word at or after text. Other modes: the words
// that lead up to and include that word (or the field's last word).
int32_t ListIndexWordsAt(const WordListField& f, const char* text, int32_t count,
                         int32_t mode, void* entries);

// From the first word at or after text, forward (mode 1) or backward, the words that
// occur in records of included tables, each with its number of such records.
int32_t ListWordsInTables(const WordListField& f, const char* text, int32_t count,
                          int32_t mode, void* entries);

// Marks in the field's word filter the words that occur in the current hits of included
// tables; answers how many.
int32_t MarkFilteredWords(const WordListField& f);

// The words marked by MarkFilteredWords, with their full posting counts; -120 before it.
int32_t ListFilteredWords(const WordListField& f, int32_t count, void* entries);

}  // namespace lodex
