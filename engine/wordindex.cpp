#include "wordindex.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "base.h"
#include "format/coding.h"
#include "format/index1.h"

namespace lodex {
namespace {

// The sign of a.compare(b) (bytes as unsigned), eight bytes at a time and without a
// library call: a locate compares a key with up to a block's worth of words.
inline int CompareKeys(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) {
      if constexpr (std::endian::native == std::endian::little) {
        x = __builtin_bswap64(x);
        y = __builtin_bswap64(y);
      } else {
        break;  // the byte loop below finds the difference
      }
      return x < y ? -1 : 1;
    }
  }
  for (; i < n; ++i) {
    const uint8_t x = static_cast<uint8_t>(a[i]), y = static_cast<uint8_t>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The sign of (key form of word).compare(key) in a field of whole numbers with `places`
// integer places, for a key of that width ("P" and the places), when the word is plain:
// 1 to places digits, the first not 0. Its key form is then "P", zeros up to the places
// and the word, so it is compared piece by piece without being formed. Answers false
// for a word of any other shape.
bool ComparePlainNumber(std::string_view word, std::string_view key, size_t places, int* cmp) {
  const size_t n = word.size();
  if (n == 0 || n > places || word[0] == '0') return false;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
  }
  const size_t zeros = places - n;
  for (size_t i = 1; i <= zeros; ++i) {
    if (key[i] != '0') {
      *cmp = static_cast<uint8_t>(key[i]) > '0' ? -1 : 1;
      return true;
    }
  }
  *cmp = CompareKeys(word, key.substr(1 + zeros));
  return true;
}

void KeyOf(const FieldWords& field, std::string_view text, std::string* key) {
  if (field.key_form) {
    field.key_form(text, key);
  } else {
    key->assign(text);
  }
}

}  // namespace

bool WordIndex::Load(std::string_view directory, const std::vector<uint32_t>& field_starts,
                     std::vector<KeyFormFn> key_forms, std::FILE* index2, std::FILE* post_file,
                     uint64_t post_size, uint32_t total_records, bool map) {
  words.Attach(index2, map);
  post.Attach(post_file, post_size, map);
  return LoadDirectory(directory, field_starts, std::move(key_forms), total_records);
}

bool WordIndex::LoadDirectory(std::string_view directory,
                              const std::vector<uint32_t>& field_starts,
                              std::vector<KeyFormFn> key_forms, uint32_t total_records) {
  std::vector<uint32_t> word_refs;  // where each entry's word begins in directory
  block_offsets.clear();
  key_bytes.clear();
  fields.assign(field_starts.size(), FieldWords());
  shape = PostingShape::For(total_records);

  // The entries: a NUL-terminated word and a 4-byte block offset each. An entry cut
  // off by the end of the file is not taken. No entry is shorter than 5 bytes.
  const size_t size = directory.size();
  word_refs.reserve(size / (1 + format::kIndex1EntryTail));
  block_offsets.reserve(size / (1 + format::kIndex1EntryTail));
  size_t pos = 0;
  while (pos < size) {
    const void* nul = std::memchr(directory.data() + pos, '\0', size - pos);
    if (nul == nullptr) {
      pos = size + 1;
      break;
    }
    const size_t tail = static_cast<size_t>(static_cast<const char*>(nul) - directory.data()) + 1;
    if (tail + format::kIndex1EntryTail > size) {
      pos = tail + format::kIndex1EntryTail;
      break;
    }
    word_refs.push_back(static_cast<uint32_t>(pos));
    block_offsets.push_back(
        format::DecodeFixed32(reinterpret_cast<const uint8_t*>(directory.data()) + tail));
    pos = tail + format::kIndex1EntryTail;
  }
  const bool exact_end = pos == size;

  // Each field owns the entries from its start offset up to the next field's start.
  // Key forms are about as long as the words, so the directory's size is a fair guess
  // at their total.
  key_starts.assign(word_refs.size(), 0);
  key_sizes.assign(word_refs.size(), 0);
  key_bytes.reserve(size);
  std::string key;
  for (size_t f = 0; f < fields.size(); ++f) {
    FieldWords& field = fields[f];
    if (f < key_forms.size()) field.key_form = std::move(key_forms[f]);
    const uint64_t start = field_starts[f];
    const uint64_t end = f + 1 < field_starts.size() ? field_starts[f + 1] : size;
    if (end <= start) continue;
    const auto first = std::lower_bound(word_refs.begin(), word_refs.end(), start);
    const auto last = std::lower_bound(word_refs.begin(), word_refs.end(), end);
    if (last <= first) continue;
    field.first_entry = static_cast<uint32_t>(first - word_refs.begin());
    field.block_count = static_cast<uint32_t>(last - first);
    field.ascending = true;
    for (uint32_t e = 0; e < field.block_count; ++e) {
      const uint32_t entry = field.first_entry + e;
      KeyOf(field, directory.data() + word_refs[entry], &key);
      if (e > 0 && !(EntryKey(entry - 1) < key)) field.ascending = false;
      key_starts[entry] = static_cast<uint32_t>(key_bytes.size());
      key_sizes[entry] = static_cast<uint32_t>(key.size());
      key_bytes.append(key);
    }
  }

  // Each field's postings run from its first block's offset to the next field's.
  for (size_t f = 0; f < fields.size(); ++f) {
    FieldWords& field = fields[f];
    if (field.block_count == 0) continue;
    BlockHeader header;
    ReadBlockHeader(words, BlockOffset(static_cast<int>(f), 0), &header);
    field.stretch_begin = header.post_offset;
  }
  for (size_t f = 0; f < fields.size(); ++f) {
    if (fields[f].block_count == 0) continue;
    fields[f].stretch_end = post.size();
    for (size_t g = f + 1; g < fields.size(); ++g) {
      if (fields[g].block_count != 0) {
        fields[f].stretch_end = fields[g].stretch_begin;
        break;
      }
    }
  }
  return exact_end;
}

int32_t LoadWordIndex(Base& base) {
  std::FILE* file = base.files.index1.get();
  MappedFile view;
  std::vector<char> image;
  std::string_view directory;
  if (view.Map(file)) {
    directory = std::string_view(reinterpret_cast<const char*>(view.data()), view.size());
  } else if (file != nullptr && std::fseek(file, 0, SEEK_END) == 0) {
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    if (size > 0) {
      image.resize(static_cast<size_t>(size));
      image.resize(std::fread(image.data(), 1, image.size(), file));
    }
    directory = std::string_view(image.data(), image.size());
  }

  const Schema& schema = base.schema;
  std::vector<uint32_t> starts;
  std::vector<KeyFormFn> key_forms;
  for (size_t f = 0; f < schema.search.fields.size(); ++f) {
    starts.push_back(schema.search.fields[f].offset);
    if (f < schema.normalisers.size()) {
      const KeyNormaliser* normaliser = &schema.normalisers[f];
      key_forms.push_back([normaliser](std::string_view text, std::string* key) {
        normaliser->KeyFormInto(text, key);
      });
    } else {
      key_forms.push_back(nullptr);
    }
  }
  const uint64_t post_size = base.files.post_size > 0 ? base.files.post_size : 0;
  if (!base.index.Load(directory, starts, std::move(key_forms), base.files.index2.get(),
                       base.files.post.get(), post_size, schema.total_records)) {
    std::fputs("Stort problem\n", stdout);
    std::fflush(stdout);
  }
  for (size_t f = 0; f < base.index.fields.size() && f < schema.normalisers.size(); ++f) {
    const KeyNormaliser& n = schema.normalisers[f];
    if (n.kind() == KeyNormaliser::Kind::kNumeric && n.frac_digits() <= 0 && n.int_digits() > 0) {
      base.index.fields[f].whole_places = n.int_digits();
    }
  }
  return 0;
}

LocateResult Locate(WordIndex& index, int field, std::string_view key, LocateMode mode) {
  LocateResult result;
  if (field < 0 || static_cast<size_t>(field) >= index.fields.size()) return result;
  const FieldWords& words = index.fields[field];
  if (words.block_count == 0) return result;

  // The block directory: the block before the first entry greater than the key, or
  // at once the block of an equal entry.
  uint32_t block = words.block_count - 1;
  if (words.ascending) {
    // e: the number of entries whose key forms are not greater than the key.
    uint32_t e = 0;
    for (uint32_t n = words.block_count; n > 0;) {
      const uint32_t half = n / 2;
      if (CompareKeys(key, index.EntryKey(words.first_entry + e + half)) < 0) {
        n = half;
      } else {
        e += half + 1;
        n -= half + 1;
      }
    }
    block = e == 0 ? 0 : e - 1;
  }
  for (uint32_t e = 0; !words.ascending && e < words.block_count; ++e) {
    const int cmp = index.EntryKey(words.first_entry + e).compare(key);
    if (cmp == 0) {
      block = e;
      break;
    }
    if (cmp > 0) {
      block = e == 0 ? 0 : e - 1;
      break;
    }
  }

  // The block's words in order.
  BlockHeader header;
  if (!ReadBlockHeader(index.words, index.BlockOffset(field, block), &header)) return result;
  uint64_t pos = FirstEntryPos(index.BlockOffset(field, block));
  uint64_t posting = header.post_offset;
  StoredWord word;
  std::string word_key;
  // Plain numbers are compared without their keys when the key has a whole number's shape.
  const size_t whole = static_cast<size_t>(words.whole_places);
  const size_t places = whole > 0 && key.size() == whole + 1 && key[0] == 'P' ? whole : 0;
  for (uint32_t w = 0; w < header.word_count; ++w) {
    if (!ReadWordEntry(index.words, header, &pos, &word)) break;
    int cmp;
    if (places == 0 || !ComparePlainNumber(word.view(), key, places, &cmp)) {
      KeyOf(words, word.view(), &word_key);
      cmp = CompareKeys(word_key, key);
    }
    if (cmp >= 0) {
      if (cmp > 0 && mode == LocateMode::kExact) return result;
      result.found = true;
      result.equal = cmp == 0;
      result.block = block;
      result.word = w;
      result.posting_offset = posting;
      result.posting_count = word.posting_count;
      return result;
    }
    posting += index.shape.Bytes(word.posting_count);
  }
  if (mode == LocateMode::kExact) return result;

  // Lower bound past the block's end: the next block's first word.
  for (uint32_t next = block + 1; next < words.block_count; ++next) {
    const uint64_t at = index.BlockOffset(field, next);
    if (!ReadBlockHeader(index.words, at, &header) || header.word_count == 0) continue;
    pos = FirstEntryPos(at);
    if (!ReadWordEntry(index.words, header, &pos, &word)) continue;
    KeyOf(words, word.view(), &word_key);
    result.found = true;
    result.equal = word_key == key;
    result.block = next;
    result.word = 0;
    result.posting_offset = header.post_offset;
    result.posting_count = word.posting_count;
    return result;
  }
  return result;
}

// ---- WordIterator

bool WordIterator::Position(WordIndex& index, int field, uint32_t block, uint32_t word) {
  index_ = nullptr;
  if (field < 0 || static_cast<size_t>(field) >= index.fields.size()) return false;
  if (block >= index.fields[field].block_count) return false;
  const uint64_t at = index.BlockOffset(field, block);
  BlockHeader header;
  if (!ReadBlockHeader(index.words, at, &header) || word >= header.word_count) return false;

  uint64_t pos = FirstEntryPos(at);
  uint64_t posting = header.post_offset;
  StoredWord current;
  for (uint32_t w = 0;; ++w) {
    if (!ReadWordEntry(index.words, header, &pos, &current)) return false;
    if (w == word) break;
    posting += index.shape.Bytes(current.posting_count);
  }
  index_ = &index;
  field_ = field;
  block_ = block;
  word_ = word;
  header_ = header;
  current_ = current;
  posting_offset_ = posting;
  next_entry_ = pos;
  return true;
}

bool WordIterator::First(WordIndex& index, int field) {
  index_ = nullptr;
  if (field < 0 || static_cast<size_t>(field) >= index.fields.size()) return false;
  for (uint32_t b = 0; b < index.fields[field].block_count; ++b) {
    if (Position(index, field, b, 0)) return true;
  }
  return false;
}

namespace {

// The word count of a block of the field (0 when its header cannot be read).
uint32_t BlockWords(WordIndex& index, int field, uint32_t block) {
  BlockHeader header;
  if (!ReadBlockHeader(index.words, index.BlockOffset(field, block), &header)) return 0;
  return header.word_count;
}

}  // namespace

uint32_t WordIterator::Advance(uint32_t n) {
  if (index_ == nullptr || n == 0) return 0;
  WordIndex& index = *index_;
  const uint32_t blocks = index.fields[field_].block_count;

  // Whole blocks are passed over by their headers' word counts; only the block the
  // walk ends in has its entries read.
  uint32_t moved = 0;
  uint32_t block = block_;
  uint32_t word = word_;
  uint32_t count = header_.word_count;
  while (moved < n) {
    const uint32_t rest = count - 1 - word;
    if (n - moved <= rest) {
      word += n - moved;
      moved = n;
      break;
    }
    uint32_t next = block + 1;
    uint32_t next_count = 0;
    while (next < blocks && (next_count = BlockWords(index, field_, next)) == 0) ++next;
    if (next >= blocks) {  // the field's last word
      word += rest;
      moved += rest;
      break;
    }
    moved += rest + 1;
    block = next;
    word = 0;
    count = next_count;
  }

  if (block == block_) {
    // Step forward through the entries after the current one.
    while (word_ < word) {
      StoredWord next;
      uint64_t pos = next_entry_;
      if (!ReadWordEntry(index.words, header_, &pos, &next)) {
        return moved - (word - word_);
      }
      posting_offset_ += index.shape.Bytes(current_.posting_count);
      current_ = next;
      next_entry_ = pos;
      ++word_;
    }
    return moved;
  }
  Position(index, field_, block, word);
  return moved;
}

uint32_t WordIterator::Back(uint32_t n) {
  if (index_ == nullptr || n == 0) return 0;
  WordIndex& index = *index_;
  uint32_t moved = 0;
  uint32_t block = block_;
  uint32_t word = word_;
  while (moved < n) {
    if (n - moved <= word) {
      word -= n - moved;
      moved = n;
      break;
    }
    uint32_t prev = block;
    uint32_t prev_count = 0;
    while (prev > 0 && (prev_count = BlockWords(index, field_, prev - 1)) == 0) --prev;
    if (prev == 0) {  // the field's first word
      moved += word;
      word = 0;
      break;
    }
    moved += word + 1;
    block = prev - 1;
    word = prev_count - 1;
  }
  if (moved != 0) Position(index, field_, block, word);
  return moved;
}

// ---- WordCursor

void WordCursor::Init(const Base& base) {
  iter = WordIterator();
  last_locate = LocateResult();
  filter_word_counts.assign(base.index.fields.size(), -1);
  filters.assign(base.index.fields.size(), {});
}

}  // namespace lodex
