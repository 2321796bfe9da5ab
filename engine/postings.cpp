#include "postings.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "format/post.h"

namespace lodex {
namespace {

// Postings move through pieces of this size; a list piece holds 21 845 whole numbers.
constexpr size_t kPieceBytes = 65536;
constexpr size_t kListPieceBytes = 21845 * format::kRecordNumberBytes;
constexpr size_t kReplacePieceBytes = 32768;

uint8_t* PieceBuffer() {
  thread_local std::vector<uint8_t> buffer(kPieceBytes);
  return buffer.data();
}
// A second piece, for a bitmap ORed in while PieceBuffer holds a stretch.
uint8_t* SpareBuffer() {
  thread_local std::vector<uint8_t> buffer(kPieceBytes);
  return buffer.data();
}

// memset that accepts the empty bitmap of a base without records.
inline void Zero(uint8_t* bytes, size_t n) {
  if (n > 0) std::memset(bytes, 0, n);
}

inline bool HasRecord(const uint8_t* bitmap, uint32_t record) {
  return (bitmap[record >> 3] & (0x80u >> (record & 7))) != 0;
}

// The bits of the last bitmap byte that belong to records.
uint8_t LastByteMask(uint32_t total_records) {
  const uint32_t used = total_records & 7;
  return used == 0 ? 0xFF : static_cast<uint8_t>(0xFF00u >> used);
}

// Reads a word's bitmap (after its marker byte) into out; what the file lacks is 0.
void ReadWordBitmap(PostingFile& post, const PostingShape& shape, uint64_t offset,
                    uint8_t* out) {
  size_t done = 0;
  while (done < shape.bitmap_bytes) {
    const size_t want = std::min<size_t>(kReplacePieceBytes, shape.bitmap_bytes - done);
    const size_t got = post.ReadAt(offset + 1 + done, out + done, want);
    done += got;
    if (got < want) break;
  }
  Zero(out + done, shape.bitmap_bytes - done);
}

// Calls take(record) for every listed record number below the total; stops early when
// take answers false. Answers false when it was stopped.
template <class Take>
bool ForEachListed(PostingFile& post, const PostingShape& shape, uint64_t offset,
                   uint32_t count, Take take) {
  uint8_t* buffer = PieceBuffer();
  uint64_t left = uint64_t{count} * format::kRecordNumberBytes;
  uint64_t pos = offset;
  while (left > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kListPieceBytes, left));
    size_t got = 0;
    const uint8_t* piece = post.Read(pos, want, buffer, &got);
    const size_t whole = got - got % format::kRecordNumberBytes;
    for (size_t i = 0; i < whole; i += format::kRecordNumberBytes) {
      const uint32_t record = format::DecodeRecordNumber(piece + i);
      if (record < shape.total_records && !take(record)) return false;
    }
    if (got < want) break;
    pos += got;
    left -= got;
  }
  return true;
}

}  // namespace

PostingShape PostingShape::For(uint32_t total_records) {
  PostingShape shape;
  shape.total_records = total_records;
  shape.bitmap_bytes = format::BitmapBytes(total_records);
  shape.threshold = format::PostingThreshold(total_records);
  return shape;
}

void PostingFile::Attach(std::FILE* file, uint64_t size, bool map) {
  std::lock_guard<std::mutex> lock(mu_);
  file_ = file;
  size_ = file ? size : 0;
  map_.Unmap();
  view_ = map ? map_.MapAtLeast(file_, size_) : nullptr;
}

void PostingFile::AttachBytes(const uint8_t* data, size_t size) {
  std::lock_guard<std::mutex> lock(mu_);
  file_ = nullptr;
  map_.Unmap();
  view_ = size > 0 ? data : nullptr;
  size_ = view_ != nullptr ? size : 0;
}

size_t PostingFile::ReadAt(uint64_t pos, void* out, size_t n) {
  if (view_ != nullptr) {
    if (pos >= size_) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, size_ - pos));
    std::memcpy(out, view_ + pos, n);
    return n;
  }
  std::lock_guard<std::mutex> lock(mu_);
  if (file_ == nullptr || pos >= size_) return 0;
  n = static_cast<size_t>(std::min<uint64_t>(n, size_ - pos));
  if (std::fseek(file_, static_cast<long>(pos), SEEK_SET) != 0) return 0;
  return std::fread(out, 1, n, file_);
}

void LoadPostings(PostingFile& post, const PostingShape& shape, uint64_t offset,
                  uint32_t count, bool replace, PostingTarget target) {
  uint8_t* bitmap = target.bits;
  target.Refresh();
  if (shape.IsBitmap(count)) {
    target.MarkAll();
    if (replace) {
      ReadWordBitmap(post, shape, offset, bitmap);
      return;
    }
    uint8_t* buffer = PieceBuffer();
    size_t done = 0;
    while (done < shape.bitmap_bytes) {
      const size_t want = std::min<size_t>(kPieceBytes, shape.bitmap_bytes - done);
      size_t got = 0;
      const uint8_t* piece = post.Read(offset + 1 + done, want, buffer, &got);
      for (size_t i = 0; i < got; ++i) bitmap[done + i] |= piece[i];
      done += got;
      if (got < want) break;
    }
    return;
  }
  if (replace) target.Clear(shape.bitmap_bytes);
  target.Expect(count);
  // Two loops, so that the common one (nothing to mark) tests nothing per record.
  if (const BlockSet::Marks flags = target.flags; flags.blocks != nullptr) {
    ForEachListed(post, shape, offset, count, [bitmap, flags](uint32_t record) {
      SetBitAt(bitmap, record);
      flags.Mark(record >> kBlockShift);
      return true;
    });
    return;
  }
  ForEachListed(post, shape, offset, count, [bitmap](uint32_t record) {
    SetBitAt(bitmap, record);
    return true;
  });
}

void OrStretch(PostingFile& post, const PostingShape& shape, uint64_t from, uint64_t to,
               PostingTarget target) {
  uint8_t* bitmap = target.bits;
  target.Clear(shape.bitmap_bytes);
  to = std::min(to, post.size());
  if (to > from) target.Expect((to - from) / format::kRecordNumberBytes);
  uint8_t* buffer = PieceBuffer();
  const uint8_t* piece = buffer;
  uint64_t base = from;  // file position of piece[0]
  size_t length = 0;     // bytes in piece
  size_t i = 0;          // next item within piece
  while (base + i < to) {
    if (i + format::kRecordNumberBytes > length) {
      // Start a new piece at the next item, so no item is split between two pieces
      // (a bitmap is read from the file directly and never needs the piece).
      base += i;
      i = 0;
      // No further than the last item that starts before `to` can reach: a short
      // stretch (a narrow range) reads its few bytes, not a whole piece.
      const uint64_t reach = to - base + format::kRecordNumberBytes - 1;
      piece = post.Read(base, static_cast<size_t>(std::min<uint64_t>(kPieceBytes, reach)), buffer,
                        &length);
      if (length == 0) break;
      if (length < format::kRecordNumberBytes && piece[0] < format::kBitmapMarker) break;
    }
    // The run of 3-byte numbers that lies wholly in this piece and starts before `to`.
    const size_t stop = static_cast<size_t>(std::min<uint64_t>(length, to - base));
    const size_t whole = length - format::kRecordNumberBytes;
    if (const BlockSet::Marks flags = target.flags; flags.blocks != nullptr) {
      while (i < stop && i <= whole && piece[i] < format::kBitmapMarker) {
        const uint32_t record = format::DecodeRecordNumber(piece + i);
        if (record < shape.total_records) {
          SetBitAt(bitmap, record);
          flags.Mark(record >> kBlockShift);
        }
        i += format::kRecordNumberBytes;
      }
    } else {
      while (i < stop && i <= whole && piece[i] < format::kBitmapMarker) {
        const uint32_t record = format::DecodeRecordNumber(piece + i);
        if (record < shape.total_records) SetBitAt(bitmap, record);
        i += format::kRecordNumberBytes;
      }
    }
    if (i >= stop || piece[i] < format::kBitmapMarker) continue;
    // A marker: OR the bitmap after it straight from the file.
    target.MarkAll();
    const uint64_t at = base + i + 1;
    uint8_t* spare_buffer = SpareBuffer();
    size_t done = 0;
    while (done < shape.bitmap_bytes) {
      const size_t want = std::min<size_t>(kPieceBytes, shape.bitmap_bytes - done);
      size_t got = 0;
      const uint8_t* spare = post.Read(at + done, want, spare_buffer, &got);
      for (size_t k = 0; k < got; ++k) bitmap[done + k] |= spare[k];
      done += got;
      if (got < want) break;
    }
    // Continue after the bitmap; the next item starts a fresh piece when it lies
    // beyond this one.
    const uint64_t next = at + shape.bitmap_bytes;
    if (next - base <= length) {
      i = static_cast<size_t>(next - base);
    } else {
      base = next;
      i = 0;
      length = 0;
    }
  }
}

uint32_t CountPostingsIn(PostingFile& post, const PostingShape& shape, uint64_t offset,
                         uint32_t count, const uint8_t* mask, uint8_t* word_bitmap) {
  if (shape.IsBitmap(count)) {
    ReadWordBitmap(post, shape, offset, word_bitmap);
    if (shape.bitmap_bytes == 0) return 0;
    const size_t last = shape.bitmap_bytes - 1;
    uint32_t hits = 0;
    for (size_t i = 0; i < last; ++i) hits += std::popcount<uint8_t>(word_bitmap[i] & mask[i]);
    hits += std::popcount<uint8_t>(word_bitmap[last] & mask[last] &
                                   LastByteMask(shape.total_records));
    return hits;
  }
  uint32_t hits = 0;
  ForEachListed(post, shape, offset, count, [&](uint32_t record) {
    if (HasRecord(mask, record)) ++hits;
    return true;
  });
  return hits;
}

bool AnyPostingIn(PostingFile& post, const PostingShape& shape, uint64_t offset,
                  uint32_t count, const uint8_t* mask, uint8_t* word_bitmap) {
  if (shape.IsBitmap(count)) {
    ReadWordBitmap(post, shape, offset, word_bitmap);
    if (shape.bitmap_bytes == 0) return false;
    const size_t last = shape.bitmap_bytes - 1;
    for (size_t i = 0; i < last; ++i) {
      if (word_bitmap[i] & mask[i]) return true;
    }
    return (word_bitmap[last] & mask[last] & LastByteMask(shape.total_records)) != 0;
  }
  bool found = false;
  ForEachListed(post, shape, offset, count, [&](uint32_t record) {
    found = HasRecord(mask, record);
    return !found;
  });
  return found;
}

}  // namespace lodex
