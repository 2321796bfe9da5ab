// Reading index2.dat: the base's 4096-byte window over the file and the decoding of
// one word block (header, prefix table, word entries). The byte layout is described in
// format/index2.h.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

#include "format/index2.h"
#include "platform.h"

namespace lodex {

// index2.dat, read through a mapped view of the file when the system gives one, and
// otherwise seen through one 4096-byte window. The window is refilled only when a read
// leaves it, so walking a block entry by entry, and on into the next block, costs one
// file read per 4 KiB. Shared by every session of a base: a mapped read copies from the
// view without a lock; a windowed ReadAt is one locked step, so readers never see each
// other's half-moved position. Either way a read never reaches past the size measured
// when the file was attached.
class WindowedReader {
 public:
  static constexpr size_t kWindowBytes = 4096;

  // Takes the file (not owned), measures its size once and, with map, maps it.
  void Attach(std::FILE* file, bool map = true);
  // Reads these bytes (not owned; they must outlive the reader) instead of a file.
  void AttachBytes(const uint8_t* data, size_t size);
  uint64_t size() const { return size_; }
  bool mapped() const { return view_ != nullptr; }

  // The n bytes at pos straight from the mapped view; null when the file is not mapped
  // or they do not all lie in it.
  const uint8_t* View(uint64_t pos, size_t n) const {
    return view_ != nullptr && pos <= size_ && n <= size_ - pos ? view_ + pos : nullptr;
  }

  // The mapped view from pos to the end of the file (*avail bytes, 0 past the end); null
  // when the file is not mapped.
  const uint8_t* ViewFrom(uint64_t pos, size_t* avail) const {
    if (view_ == nullptr) return nullptr;
    *avail = pos < size_ ? static_cast<size_t>(size_ - pos) : 0;
    return view_ + (pos < size_ ? pos : size_);
  }

  // Copies up to n bytes starting at pos; fewer (possibly 0) past the end of the file.
  size_t ReadAt(uint64_t pos, void* out, size_t n) {
    if (view_ == nullptr) return ReadWindowed(pos, out, n);
    if (pos >= size_) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, size_ - pos));
    std::memcpy(out, view_ + pos, n);
    return n;
  }

 private:
  size_t ReadWindowed(uint64_t pos, void* out, size_t n);
  bool Refill(uint64_t pos);

  std::mutex mu_;
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
  const uint8_t* view_ = nullptr;  // the whole file when it is read from memory
  MappedFile map_;
  std::array<uint8_t, kWindowBytes> window_{};
  int64_t first_ = -1;       // file position of the window's first byte, -1 when empty
  int64_t last_ = -1;        // and of its last byte
  int64_t stream_pos_ = -1;  // where the previous read of the stream ended
};

// A stored word: at most 8 prefix bytes and 255 suffix bytes.
inline constexpr size_t kMaxWordBytes = format::kMaxStoredWord;

struct StoredWord {
  // Only text[0 .. length] (the word and its 0 byte) is ever written or read, so the
  // rest is left unset and copies take just that.
  char text[kMaxWordBytes + 1];
  uint16_t length = 0;
  uint32_t posting_count = 0;

  StoredWord() { text[0] = '\0'; }
  StoredWord(const StoredWord& other) { *this = other; }
  StoredWord& operator=(const StoredWord& other) {
    if (this == &other) return *this;
    length = other.length;
    posting_count = other.posting_count;
    std::memcpy(text, other.text, size_t{length} + 1);
    return *this;
  }

  std::string_view view() const { return {text, length}; }
};

// The fixed part of a block: word count, first posting offset and the prefix table,
// which stays in the mapped view when the file is mapped and is copied otherwise.
struct BlockHeader {
  uint32_t word_count = 0;
  uint32_t post_offset = 0;
  // Set only when read from a stream (mapped_prefixes is null).
  std::array<uint8_t, format::kPrefixSlots * format::kPrefixSlotBytes> prefixes;
  const uint8_t* mapped_prefixes = nullptr;  // in the view, or null: prefixes holds them

  const uint8_t* prefix_table() const {
    return mapped_prefixes != nullptr ? mapped_prefixes : prefixes.data();
  }
};

// Reads the header of the block at pos. The word count is cut to what the rest of the
// file can hold (every entry takes at least 3 bytes), so a damaged count cannot make a
// walk run on past the data. False when not even the header is there.
bool ReadBlockHeader(WindowedReader& reader, uint64_t pos, BlockHeader* header);

// Decodes the word entry at *pos into word and moves *pos past it. False when the file
// ends before the entry does.
bool ReadWordEntry(WindowedReader& reader, const BlockHeader& header, uint64_t* pos,
                   StoredWord* word);

// Where the first word entry of the block at block_pos begins.
uint64_t FirstEntryPos(uint64_t block_pos);

}  // namespace lodex
