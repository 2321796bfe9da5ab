#include "wordlist.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "base.h"
#include "lodex32_errors.h"
#include "session.h"
#include "wordindex.h"

namespace lodex {

void WriteWordEntry(uint8_t* entry, std::string_view text, int32_t count) {
  std::memset(entry, 0, kWordEntryBytes);
  const size_t n = std::min(text.size(), kWordEntryTextBytes - 1);
  if (n > 0) std::memcpy(entry, text.data(), n);
  std::memcpy(entry + kWordEntryTextBytes, &count, sizeof count);
}

namespace {

constexpr uint32_t kWholeField = std::numeric_limits<uint32_t>::max();

// The caller's buffer of `count` entries: words go in from the first entry, and Finish
// empties the rest.
class EntryPage {
 public:
  EntryPage(void* buffer, int32_t count)
      : entries_(static_cast<uint8_t*>(buffer)), capacity_(buffer ? std::max(count, 0) : 0) {}

  bool full() const { return written_ >= capacity_; }
  void Add(std::string_view text, int32_t count) {
    if (full()) return;
    WriteWordEntry(entries_ + static_cast<size_t>(written_) * kWordEntryBytes, text, count);
    ++written_;
  }
  int32_t Finish() {
    for (int32_t i = written_; i < capacity_; ++i) {
      WriteWordEntry(entries_ + static_cast<size_t>(i) * kWordEntryBytes, {}, 0);
    }
    return written_;
  }

 private:
  uint8_t* entries_;
  int32_t capacity_;
  int32_t written_ = 0;
};

// The helpers of one listing over its base, session and field.
struct FieldRef {
  Base* base_;
  Session* session_;
  int field;

  FieldRef(const WordListField& f) : base_(f.base), session_(f.session), field(f.field) {}

  Session& session() const { return *session_; }
  Base& base() const { return *base_; }
  WordIndex& index() const { return base_->index; }
  WordIterator& iter() const { return session_->words.iter; }

  std::string Display(std::string_view stored) const {
    const auto& normalisers = base_->schema.normalisers;
    return static_cast<size_t>(field) < normalisers.size()
               ? normalisers[field].DisplayForm(stored)
               : std::string(stored);
  }
  std::string Key(const char* text) const {
    std::string key;
    const std::string_view t = text ? std::string_view(text) : std::string_view();
    const KeyFormFn& form = index().fields[field].key_form;
    if (form) {
      form(t, &key);
    } else {
      key.assign(t);
    }
    return key;
  }
  LocateResult LowerBound(const char* text) const {
    LocateResult found = Locate(index(), field, Key(text), LocateMode::kLowerBound);
    session_->words.last_locate = found;
    return found;
  }
  // The ordinal of the iterator's word; leaves the iterator on the field's first word.
  int32_t Ordinal() const { return static_cast<int32_t>(iter().Back(kWholeField)); }
  // Puts the iterator on the field's last word and answers the field's word count.
  int32_t CountToLast() const {
    if (!iter().First(index(), field)) return 0;
    return static_cast<int32_t>(iter().Advance(kWholeField)) + 1;
  }
  void AddCurrent(EntryPage& page, int32_t count) const {
    page.Add(Display(iter().word().view()), count);
  }
};

// Lists the iterator's word and the ones after it, at most limit, with posting counts.
int32_t ListForward(const FieldRef& f, EntryPage& page,
                    int32_t limit = std::numeric_limits<int32_t>::max()) {
  WordIterator& iter = f.iter();
  for (int32_t n = 0; n < limit && iter.valid() && !page.full(); ++n) {
    f.AddCurrent(page, static_cast<int32_t>(iter.word().posting_count));
    if (n + 1 >= limit || page.full() || iter.Advance(1) == 0) break;
  }
  return page.Finish();
}

// Every record of the included tables, in the session's scratch bitmap.
void FillIncludedTables(Session& session) {
  BitmapState& bitmaps = session.bitmaps;
  Bitmap all(bitmaps.scratch.size(), 0xFF);
  CopyIncludedHits(bitmaps, all, bitmaps.scratch);
}

}  // namespace

int32_t CountIndexWords(const WordListField& field) {
  const FieldRef f(field);
  return f.CountToLast();
}

int32_t LocateIndexWord(const WordListField& field, const char* text, int32_t mode) {
  const FieldRef f(field);
  const LocateResult found = f.LowerBound(text);
  if (mode == 1) {
    if (!found.found || !f.iter().Position(f.index(), f.field, found.block, found.word)) {
      return ERROR_BadToken;
    }
    return f.Ordinal();
  }
  // Other modes: the equal word, else the word before the located one.
  if (!found.found) {
    const int32_t count = f.CountToLast();
    return count > 0 ? count - 1 : ERROR_BadToken;  // a field without words has no last
  }
  if (!f.iter().Position(f.index(), f.field, found.block, found.word)) return ERROR_BadToken;
  const int32_t ordinal = f.Ordinal();
  if (found.equal) return ordinal;
  return ordinal == 0 ? ERROR_BadToken : ordinal - 1;
}

int32_t ListIndexWordsFrom(const WordListField& field, int32_t first, int32_t count, int32_t mode,
                           int32_t list_limit, void* entries) {
  const FieldRef f(field);
  if (first < 0) return ERROR_BadNumber;
  EntryPage page(entries, count);
  if (!f.iter().First(f.index(), f.field)) return page.Finish();
  f.iter().Advance(static_cast<uint32_t>(first));
  // Modes other than 1 take the number of words from the field number argument.
  return ListForward(f, page, mode == 1 ? count : list_limit);
}

int32_t ListIndexWordsAt(const WordListField& field, const char* text, int32_t count, int32_t mode,
                         void* entries) {
  const FieldRef f(field);
  EntryPage page(entries, count);
  const LocateResult found = f.LowerBound(text);
  WordIterator& iter = f.iter();
  if (mode == 1) {
    if (!found.found || !iter.Position(f.index(), f.field, found.block, found.word)) {
      return page.Finish();
    }
    return ListForward(f, page);
  }
  // Other modes: the words before the located word (or the field's last word) and
  // that word itself, as many as fit.
  uint32_t back = count > 0 ? static_cast<uint32_t>(count) : 0;
  uint32_t last = 0;
  if (found.found) {
    if (!iter.Position(f.index(), f.field, found.block, found.word)) return page.Finish();
  } else {
    if (f.CountToLast() == 0) return page.Finish();
    back = back > 0 ? back - 1 : 0;
  }
  last = iter.Back(back);
  for (uint32_t i = 0; i <= last && iter.valid() && !page.full(); ++i) {
    f.AddCurrent(page, static_cast<int32_t>(iter.word().posting_count));
    if (i < last && iter.Advance(1) == 0) break;
  }
  return page.Finish();
}

int32_t ListWordsInTables(const WordListField& field, const char* text, int32_t count,
                          int32_t mode, void* entries) {
  const FieldRef f(field);
  EntryPage page(entries, count);
  const LocateResult found = f.LowerBound(text);
  WordIterator& iter = f.iter();
  if (found.found) {
    if (!iter.Position(f.index(), f.field, found.block, found.word)) return page.Finish();
  } else if (mode == 1 || f.CountToLast() == 0) {
    return page.Finish();
  }

  Session& s = f.session();
  FillIncludedTables(s);
  WordIndex& index = f.index();
  while (iter.valid() && !page.full()) {
    const StoredWord& word = iter.word();
    const uint32_t hits = CountPostingsIn(index.post, index.shape, iter.posting_offset(),
                                          word.posting_count, s.bitmaps.scratch.data(),
                                          s.bitmaps.word.data());
    if (hits > 0) f.AddCurrent(page, static_cast<int32_t>(hits));
    const uint32_t moved = mode == 1 ? iter.Advance(1) : iter.Back(1);
    if (moved == 0) break;
  }
  return page.Finish();
}

int32_t MarkFilteredWords(const WordListField& field) {
  const FieldRef f(field);
  Session& s = f.session();
  WordCursor& words = s.words;
  if (words.filter_word_counts[f.field] < 0) {
    words.filter_word_counts[f.field] = f.CountToLast();
  }
  const int32_t word_count = words.filter_word_counts[f.field];
  std::vector<uint8_t>& filter = words.filters[f.field];
  filter.assign((static_cast<size_t>(word_count) + 7) / 8, 0);

  CopyIncludedHits(s.bitmaps, s.bitmaps.current, s.bitmaps.scratch);
  WordIndex& index = f.index();
  WordIterator& iter = f.iter();
  int32_t marked = 0;
  if (!iter.First(index, f.field)) return 0;
  for (int32_t ordinal = 0; ordinal < word_count && iter.valid(); ++ordinal) {
    const StoredWord& word = iter.word();
    if (AnyPostingIn(index.post, index.shape, iter.posting_offset(), word.posting_count,
                     s.bitmaps.scratch.data(), s.bitmaps.word.data())) {
      filter[ordinal >> 3] |= static_cast<uint8_t>(0x80u >> (ordinal & 7));
      ++marked;
    }
    if (iter.Advance(1) == 0) break;
  }
  return marked;
}

int32_t ListFilteredWords(const WordListField& field, int32_t count, void* entries) {
  const FieldRef f(field);
  const WordCursor& words = f.session().words;
  if (words.filter_word_counts[f.field] < 0) return ERROR_BadOperationScene;
  const std::vector<uint8_t>& filter = words.filters[f.field];
  const int32_t word_count = words.filter_word_counts[f.field];

  EntryPage page(entries, count);
  WordIterator& iter = f.iter();
  if (!iter.First(f.index(), f.field)) return page.Finish();
  for (int32_t ordinal = 0; ordinal < word_count && iter.valid() && !page.full(); ++ordinal) {
    if (filter[ordinal >> 3] & (0x80u >> (ordinal & 7))) {
      f.AddCurrent(page, static_cast<int32_t>(iter.word().posting_count));
    }
    if (iter.Advance(1) == 0) break;
  }
  return page.Finish();
}

}  // namespace lodex
