#include "search.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "base.h"
#include "lodex32_errors.h"
#include "session.h"
#include "textkeys.h"
#include "wordindex.h"

namespace lodex {
namespace {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline bool IsWildcard(char c) { return c == '*' || c == '?'; }
inline bool EndsValue(char c) { return IsBlank(c) || c == '*' || c == '-' || c == '?'; }

// Reads a value from text at *pos: up to the end, a blank, a tab, '*', '-' or '?'. A
// double-quoted stretch is taken without its quotes and may hold any of them; an
// unclosed quote runs to the end.
std::string ReadValue(std::string_view text, size_t* pos) {
  std::string value;
  size_t i = *pos;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"') {
      const size_t close = text.find('"', i + 1);
      const size_t end = close == std::string_view::npos ? text.size() : close;
      value.append(text.substr(i + 1, end - i - 1));
      i = close == std::string_view::npos ? text.size() : close + 1;
      continue;
    }
    if (EndsValue(c)) break;
    // A run of plain characters at once.
    size_t end = i + 1;
    while (end < text.size() && text[end] != '"' && !EndsValue(text[end])) ++end;
    value.append(text.substr(i, end - i));
    i = end;
  }
  *pos = i;
  return value;
}

size_t SkipBlanks(std::string_view text, size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos;
}

std::string KeyOf(const WordIndex& index, int field, std::string_view text) {
  std::string key;
  const FieldWords& words = index.fields[field];
  if (words.key_form) {
    words.key_form(text, &key);
  } else {
    key.assign(text);
  }
  return key;
}

// The smallest key above every key that begins with k: k with its last byte raised by
// one. Trailing 0xFF bytes carry into the byte before them; a key of 0xFF bytes only
// has no such bound (answers false).
bool RaiseLast(std::string k, std::string* raised) {
  while (!k.empty() && static_cast<uint8_t>(k.back()) == 0xFF) k.pop_back();
  if (k.empty()) return false;
  k.back() = static_cast<char>(static_cast<uint8_t>(k.back()) + 1);
  *raised = std::move(k);
  return true;
}

// Where the postings of the words that begin with k end: the lower bound of k raised,
// or the end of the field's stretch when no word is that high.
uint64_t PrefixEnd(WordIndex& index, int field, const std::string& k) {
  std::string raised;
  if (!RaiseLast(k, &raised)) return index.fields[field].stretch_end;
  const LocateResult up = Locate(index, field, raised, LocateMode::kLowerBound);
  return up.found ? up.posting_offset : index.fields[field].stretch_end;
}

void Clear(const WordIndex& index, PostingTarget scratch) {
  scratch.Clear(index.shape.bitmap_bytes);
}

void Stretch(WordIndex& index, uint64_t from, uint64_t to, PostingTarget scratch) {
  OrStretch(index.post, index.shape, from, to, scratch);
}

void EvaluatePrefix(WordIndex& index, int field, const std::string& value, PostingTarget scratch) {
  const std::string k = KeyOf(index, field, value);
  const LocateResult from = k.empty() ? LocateResult()
                                      : Locate(index, field, k, LocateMode::kLowerBound);
  if (!from.found) return Clear(index, scratch);
  Stretch(index, from.posting_offset, PrefixEnd(index, field, k), scratch);
}

void EvaluateRange(WordIndex& index, int field, const Term& term, PostingTarget scratch) {
  const std::string low = KeyOf(index, field, term.value);
  const LocateResult from = Locate(index, field, low, LocateMode::kLowerBound);
  if (!from.found) return Clear(index, scratch);
  const std::string high = KeyOf(index, field, term.value2);
  // An empty upper value bounds the range below every word: nothing.
  if (high.empty()) return Clear(index, scratch);
  Stretch(index, from.posting_offset, PrefixEnd(index, field, high), scratch);
}

void EvaluateComparison(WordIndex& index, int field, const Term& term, PostingTarget scratch) {
  const FieldWords& words = index.fields[field];
  const std::string k = KeyOf(index, field, term.value);
  const LocateResult bound = Locate(index, field, k, LocateMode::kLowerBound);
  switch (term.form) {
    case TermForm::kGreater:
    case TermForm::kGreaterEqual: {
      if (!bound.found) return Clear(index, scratch);
      uint64_t from = bound.posting_offset;
      if (term.form == TermForm::kGreater && bound.equal) {
        from += index.shape.Bytes(bound.posting_count);
      }
      return Stretch(index, from, words.stretch_end, scratch);
    }
    default: {
      uint64_t to = words.stretch_end;
      if (bound.found) {
        to = bound.posting_offset;
        if (term.form == TermForm::kLessEqual && bound.equal) {
          to += index.shape.Bytes(bound.posting_count);
        }
      }
      return Stretch(index, words.stretch_begin, to, scratch);
    }
  }
}

// Every record with a word in the field: the field's whole stretch, ORed once.
void EvaluateAll(WordIndex& index, int field, PostingTarget scratch) {
  FieldWords& words = index.fields[field];
  const size_t bytes = index.shape.bitmap_bytes;
  if (words.any_word.size() != bytes) {
    std::vector<uint8_t> all(bytes);
    OrStretch(index.post, index.shape, words.stretch_begin, words.stretch_end, all.data());
    words.any_word.swap(all);
  }
  scratch.MarkAll();
  if (bytes > 0) std::memcpy(scratch.bits, words.any_word.data(), bytes);
}

// Words examined between two looks at the Escape key and the cancel flag, and between
// two turns given to other searches of the base.
constexpr uint32_t kPollEvery = 100;
constexpr uint32_t kWordsPerTurn = 100000;

int32_t WildcardScan(const TermScope& scope, const std::string& written, PostingTarget scratch) {
  WordIndex& index = *scope.index;
  int field = scope.field;
  std::string pattern = written;

  // One wildcard in the first half: scan the reverse field with the pattern turned
  // around, so that the literal it then begins with limits the scan.
  if (scope.reverse_field >= 0) {
    const size_t wildcards = std::count_if(pattern.begin(), pattern.end(), IsWildcard);
    const size_t at = pattern.find_first_of("*?");
    if (wildcards == 1 && at < pattern.size() / 2) {
      field = scope.reverse_field;
      std::reverse(pattern.begin(), pattern.end());
    }
  }

  const WildcardPattern matcher(KeyOf(index, field, pattern));
  Clear(index, scratch);

  WordIterator iter;
  bool limited = false;
  LocateResult end;
  const bool from_first = matcher.leading_literal().empty();
  if (from_first) {
    if (!iter.First(index, field)) return 0;
  } else {
    const std::string literal(matcher.leading_literal());
    const LocateResult start = Locate(index, field, literal, LocateMode::kLowerBound);
    if (!start.found || !iter.Position(index, field, start.block, start.word)) return 0;
    std::string raised;
    if (RaiseLast(literal, &raised)) {
      end = Locate(index, field, raised, LocateMode::kLowerBound);
      limited = end.found;
    }
  }

  const CharTable& folding = FoldingTable();
  std::string folded;
  uint32_t countdown = kWordsPerTurn;
  for (;;) {
    if (limited && iter.AtOrAfter(end.block, end.word)) break;
    const StoredWord& word = iter.word();
    folded.resize(word.length);
    for (size_t i = 0; i < word.length; ++i) {
      folded[i] = static_cast<char>(folding[static_cast<uint8_t>(word.text[i])]);
    }
    if (matcher.Matches(folded)) {
      LoadPostings(index.post, index.shape, iter.posting_offset(), word.posting_count,
                   /*replace=*/false, scratch);
    }
    const uint32_t moved = iter.Advance(1);

    if (countdown % kPollEvery == 0) {
      const bool escape = PollEscape() != 0;
      const bool cancelled = from_first && scope.cancelled != nullptr && scope.cancelled->load();
      if (escape || cancelled) return ERROR_Userbreak;
    }
    if (--countdown == 0) {
      if (scope.lock != nullptr) {
        scope.lock->Unlock();
        std::this_thread::yield();
        if (!scope.lock->Relock()) return ERROR_BadOperationScene;
      }
      countdown = kWordsPerTurn;
    }
    if (moved == 0 || !iter.valid()) break;
  }
  return 0;
}

}  // namespace

// ---- Query text

std::vector<std::string_view> SplitQuery(std::string_view text) {
  std::vector<std::string_view> terms;
  size_t start = 0;
  for (;;) {
    size_t i = start;
    while (i < text.size() && !IsBlank(text[i])) {
      if (text[i] == '"') {
        const size_t close = text.find('"', i + 1);
        i = close == std::string_view::npos ? text.size() : close + 1;
      } else {
        ++i;
      }
    }
    terms.push_back(text.substr(start, i - start));
    // A separator that is the text's last character ends the query.
    if (i + 1 >= text.size()) break;
    start = i + 1;
  }
  return terms;
}

Term ParseTerm(std::string_view text) {
  Term term;
  size_t pos = SkipBlanks(text, 0);
  if (pos < text.size() && text[pos] == '!') {
    term.negated = true;
    ++pos;
  }
  const std::string_view rest = text.substr(pos);

  auto comparison = [&](TermForm form, size_t length) {
    term.form = form;
    size_t at = SkipBlanks(rest, length);
    term.value = ReadValue(rest, &at);
    return term;
  };
  if (rest.starts_with(">=")) return comparison(TermForm::kGreaterEqual, 2);
  if (rest.starts_with(">")) return comparison(TermForm::kGreater, 1);
  if (rest.starts_with("<=")) return comparison(TermForm::kLessEqual, 2);
  if (rest.starts_with("<")) return comparison(TermForm::kLess, 1);
  if (rest == "*") {
    term.form = TermForm::kAll;
    return term;
  }

  size_t at = 0;
  term.value = ReadValue(rest, &at);
  if (at >= rest.size() || IsBlank(rest[at])) {
    term.form = TermForm::kWord;
  } else if (rest[at] == '*' && at + 1 == rest.size()) {
    term.form = TermForm::kPrefix;
  } else if (rest[at] == '-') {
    term.form = TermForm::kRange;
    at = SkipBlanks(rest, at + 1);
    term.value2 = ReadValue(rest, &at);
  } else {
    term.form = TermForm::kWildcard;
    term.pattern.assign(rest);
  }
  return term;
}

// ---- Wildcard patterns

WildcardPattern::WildcardPattern(std::string_view key) {
  size_t i = 0;
  while (i < key.size() || segments_.empty()) {
    Segment segment;
    while (i < key.size() && IsWildcard(key[i])) {
      (key[i] == '*' ? segment.stars : segment.questions) += 1;
      ++i;
    }
    while (i < key.size() && !IsWildcard(key[i])) segment.literal.push_back(key[i++]);
    segments_.push_back(std::move(segment));
  }
  segments_.back().at_end = true;
  const Segment& first = segments_.front();
  if (first.stars == 0 && first.questions == 0) leading_ = first.literal;
}

bool WildcardPattern::Matches(std::string_view word) const {
  size_t pos = 0;
  for (const Segment& segment : segments_) {
    pos += segment.questions;
    if (pos > word.size()) return false;
    const std::string_view rest = word.substr(pos);
    const std::string_view literal = segment.literal;
    if (segment.at_end) {
      // The literal and then the word's end: with a star anywhere in the rest, else
      // exactly here.
      if (segment.stars > 0) return rest.size() >= literal.size() && rest.ends_with(literal);
      return rest == literal;
    }
    if (segment.stars > 0) {
      const size_t found = rest.find(literal);
      if (found == std::string_view::npos) return false;
      pos += found + literal.size();
    } else {
      if (!rest.starts_with(literal)) return false;
      pos += literal.size();
    }
  }
  return true;
}

// ---- Terms

int32_t EvaluateTerm(const TermScope& scope, const Term& term, PostingTarget scratch) {
  WordIndex& index = *scope.index;
  const int field = scope.field;
  int32_t result = 0;
  switch (term.form) {
    case TermForm::kGreater:
    case TermForm::kGreaterEqual:
    case TermForm::kLess:
    case TermForm::kLessEqual:
      EvaluateComparison(index, field, term, scratch);
      break;
    case TermForm::kAll:
      EvaluateAll(index, field, scratch);
      break;
    case TermForm::kWord:
      if (scope.exact) {
        const std::string k = KeyOf(index, field, term.value);
        const LocateResult found = Locate(index, field, k, LocateMode::kExact);
        if (found.found) {
          LoadPostings(index.post, index.shape, found.posting_offset, found.posting_count,
                       /*replace=*/true, scratch);
        } else {
          Clear(index, scratch);
        }
      } else {
        EvaluatePrefix(index, field, term.value, scratch);
      }
      break;
    case TermForm::kPrefix:
      EvaluatePrefix(index, field, term.value, scratch);
      break;
    case TermForm::kRange:
      EvaluateRange(index, field, term, scratch);
      break;
    case TermForm::kWildcard:
      result = WildcardScan(scope, term.pattern, scratch);
      break;
  }
  if (result != 0) return result;
  if (term.negated) {
    scratch.MarkAll();
    uint8_t* bits = scratch.bits;
    for (uint32_t i = 0; i < index.shape.bitmap_bytes; ++i) bits[i] = static_cast<uint8_t>(~bits[i]);
  }
  return 0;
}

}  // namespace lodex
