// Postings in post.dat: turning a word's record list or record bitmap, or a whole run of
// consecutive words, into bits of a hit bitmap. The byte layout is described in
// format/post.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "bitmaps.h"

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

// post.dat, shared by the sessions of a base. Each ReadAt is one locked step.
class PostingFile {
 public:
  void Attach(std::FILE* file, uint64_t size);
  uint64_t size() const { return size_; }
  // Copies up to n bytes from pos; fewer past the end of the file.
  size_t ReadAt(uint64_t pos, void* out, size_t n);

 private:
  std::mutex mu_;
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
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
  void Refresh() { flags = marks != nullptr ? marks->flags() : nullptr; }

  // Zeroes the bitmap and starts marking the blocks that receive bits.
  void Clear(size_t bytes) {
    if (marks != nullptr) {
      ClearMarked(bits, bytes, *marks);
      flags = marks->flags();
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
  static void SetIn(uint8_t* bits, uint8_t* flags, uint32_t record) {
    SetBitAt(bits, record);
    if (flags != nullptr) flags[record >> kBlockShift] = 1;
  }
  // Bits may have gone anywhere (a whole word bitmap was ORed in, or is expected).
  void MarkAll() {
    if (marks != nullptr) marks->MarkAll();
    flags = nullptr;
  }

  uint8_t* bits;
  BlockSet* marks;
  uint8_t* flags = nullptr;  // marks' flags while they are being recorded
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
