// Postings in post.dat: turning a word's record list or record bitmap, or a whole run of
// consecutive words, into bits of a hit bitmap. The byte layout is described in
// format/post.h.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "bitmaps.h"
#include "platform.h"

namespace lodex {

// The sizes that decide a word's posting form: below the threshold (total records / 24)
// a list of 3-byte record numbers, at or above it a marker byte and a whole bitmap.
struct PostingShape {
  uint32_t total_records = 0;
  uint32_t bitmap_bytes = 0;
  uint32_t threshold = 0;

  static PostingShape For(uint32_t total_records);
  bool IsBitmap(uint32_t count) const { return count >= threshold; }
  // Bytes a word with that posting count takes in post.dat.
  uint64_t Bytes(uint32_t count) const {
    return IsBitmap(count) ? uint64_t{bitmap_bytes} + 1 : uint64_t{3} * count;
  }
};

// post.dat, shared by the sessions of a base: read through a mapped view of the file
// when the system gives one (without a lock), otherwise by locked stream reads. No read
// reaches past the size given to Attach.
class PostingFile {
 public:
  // Takes the file (not owned) of that size and, with map, maps it.
  void Attach(std::FILE* file, uint64_t size, bool map = true);
  // Reads these bytes (not owned; they must outlive the file) instead of a file.
  void AttachBytes(const uint8_t* data, size_t size);
  uint64_t size() const { return size_; }
  bool mapped() const { return view_ != nullptr; }
  // Copies up to n bytes from pos; fewer past the end of the file.
  size_t ReadAt(uint64_t pos, void* out, size_t n);
  // Up to n bytes from pos, fewer past the end (*got says how many): straight from the
  // mapped view, or else read into buffer (n bytes) and answered from there.
  const uint8_t* Read(uint64_t pos, size_t n, uint8_t* buffer, size_t* got) {
    if (view_ == nullptr) {
      *got = ReadAt(pos, buffer, n);
      return buffer;
    }
    *got = pos < size_ ? static_cast<size_t>(std::min<uint64_t>(n, size_ - pos)) : 0;
    return view_ + (pos < size_ ? pos : 0);
  }

 private:
  std::mutex mu_;
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
  const uint8_t* view_ = nullptr;  // the whole file when it is read from memory
  MappedFile map_;
};

// A bitmap that receives postings (shape.bitmap_bytes bytes). With marks, it is cleared
// by zeroing only the marked blocks, and every block that receives a bit is marked, so
// that a result of a few records costs a few blocks, not the whole bitmap.
struct PostingTarget {
  PostingTarget(uint8_t* bitmap, BlockSet* block_marks = nullptr)  // NOLINT: implicit
      : bits(bitmap), marks(block_marks) {
    Refresh();
  }

  // Takes the marks' state afresh: another copy of this target may have cleared them.
  void Refresh() { flags = marks != nullptr ? marks->marks() : BlockSet::Marks{nullptr, nullptr}; }

  // Zeroes the bitmap and starts marking the blocks that receive bits.
  void Clear(size_t bytes) {
    if (marks != nullptr) {
      ClearMarked(bits, bytes, *marks);
      flags = marks->marks();
    } else if (bytes > 0) {
      std::memset(bits, 0, bytes);
    }
  }
  // About `records` bits (counting repeats) will be set: when they are more than the
  // bitmap has blocks, they will reach most blocks, and marking each is not worth it.
  void Expect(uint64_t records) {
    if (marks != nullptr && records > marks->blocks()) MarkAll();
  }
  void Set(uint32_t record) { SetIn(bits, flags, record); }
  // The same for loops that keep bits and flags in locals.
  static void SetIn(uint8_t* bits, const BlockSet::Marks& flags, uint32_t record) {
    SetBitAt(bits, record);
    if (flags.blocks != nullptr) flags.Mark(record >> kBlockShift);
  }
  // Bits may have gone anywhere (a whole word bitmap was ORed in, or is expected).
  void MarkAll() {
    if (marks != nullptr) marks->MarkAll();
    flags = BlockSet::Marks{nullptr, nullptr};
  }

  uint8_t* bits;
  BlockSet* marks;
  BlockSet::Marks flags{nullptr, nullptr};  // marks' flags while they are recorded
};

// Puts one word's postings into bitmap (shape.bitmap_bytes bytes). With replace the
// bitmap holds exactly these records afterwards; otherwise they are ORed in. Postings
// that the file does not hold are missing from the result, never read from elsewhere.
void LoadPostings(PostingFile& post, const PostingShape& shape, uint64_t offset,
                  uint32_t count, bool replace, PostingTarget bitmap);

// Clears bitmap and ORs into it every posting item that starts in [from, to): 3-byte
// record numbers and marked bitmaps alike.
void OrStretch(PostingFile& post, const PostingShape& shape, uint64_t from, uint64_t to,
               PostingTarget bitmap);

// The number of one word's records whose bits are set in mask. word_bitmap
// (shape.bitmap_bytes bytes) receives the word's bitmap when it is stored as one.
uint32_t CountPostingsIn(PostingFile& post, const PostingShape& shape, uint64_t offset,
                         uint32_t count, const uint8_t* mask, uint8_t* word_bitmap);

// Whether one of the word's records has its bit set in mask.
bool AnyPostingIn(PostingFile& post, const PostingShape& shape, uint64_t offset,
                  uint32_t count, const uint8_t* mask, uint8_t* word_bitmap);

}  // namespace lodex
