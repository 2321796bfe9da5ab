// Search queries: a session's search conditions, the query language of APISearch and
// the evaluation of its terms over the word index into hit bitmaps.
//
// A query is a list of terms separated by single blanks or tabs (two separators in a
// row make an empty term); double quotes protect blanks and the operator characters.
// A term is one of (optionally led by '!', which inverts its result):
//   WORD       the word (every word beginning with it when the exact flag is 0)
//   WORD*      every word beginning with WORD
//   A-B        every word from A up to every word beginning with B
//   >V >=V <V <=V   comparisons with V in key form
//   *          every record with any word in the field
//   patterns with '?' or an inner '*': the wildcard scan
// Terms combine by AND (combine mode 0) or OR (any other mode).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform.h"
#include "postings.h"

namespace lodex {

struct Base;
struct Session;
struct WordIndex;

// The longest query a session keeps; longer texts are cut.
inline constexpr size_t kMaxQueryChars = 250;

struct SearchState {
  int32_t field_number = -103;  // -103: no search field chosen
  int32_t field_index = -1;
  std::string text;
  int32_t combine = 0;  // 0 = AND, other = OR
  int32_t exact = 1;

  void Init(const Base&) { *this = SearchState(); }
};

// Splits a query into its terms (quotes kept, empty terms included).
std::vector<std::string_view> SplitQuery(std::string_view text);

enum class TermForm {
  kGreater,       // >V
  kGreaterEqual,  // >=V
  kLess,          // <V
  kLessEqual,     // <=V
  kAll,           // *
  kWord,          // V
  kPrefix,        // V*
  kRange,         // V-W
  kWildcard,      // pattern
};

struct Term {
  bool negated = false;
  TermForm form = TermForm::kWord;
  std::string value;    // quotes removed
  std::string value2;   // the range's upper value
  std::string pattern;  // kWildcard: the term as written, after blanks and '!'
};

Term ParseTerm(std::string_view term);

// What a term's evaluation needs beyond the index: the field (and its reverse field,
// -1 when none), the exact flag, and the hooks of a long wildcard scan.
struct TermScope {
  WordIndex* index = nullptr;
  int field = -1;
  int reverse_field = -1;
  bool exact = true;
  const std::atomic<uint8_t>* cancelled = nullptr;
  BoundedLock<TimedMutex>* lock = nullptr;  // let go every 100 000 words
};

// Evaluates one term into scratch (the index's bitmap size; with block marks, only its
// marked blocks are cleared and the blocks that receive bits are marked). Answers 0, -401 when a
// wildcard scan was stopped by Escape or the session's cancel flag, or -120 when the
// search lock could not be taken back during a scan.
int32_t EvaluateTerm(const TermScope& scope, const Term& term, PostingTarget scratch);

// A wildcard pattern in key form, cut into segments: a run of wildcards ('*' and '?'
// counted apart) and the literal bytes up to the next wildcard. The last literal ends
// with the word's end. Matching takes the first occurrence of each literal and never
// backtracks, so *A?C does not match XAYAZC.
class WildcardPattern {
 public:
  explicit WildcardPattern(std::string_view key);

  bool Matches(std::string_view word) const;
  // The literal the pattern begins with ("" when it begins with a wildcard).
  std::string_view leading_literal() const { return leading_; }

 private:
  struct Segment {
    uint32_t stars = 0;
    uint32_t questions = 0;
    std::string literal;
    bool at_end = false;  // the literal must be followed by the word's end
  };
  std::vector<Segment> segments_;
  std::string leading_;
};

}  // namespace lodex
