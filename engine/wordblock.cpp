#include "wordblock.h"

#include <algorithm>
#include <cstring>

#include "format/coding.h"
#include "format/index2.h"

namespace lodex {

void WindowedReader::Attach(std::FILE* file, bool map) {
  std::lock_guard<std::mutex> lock(mu_);
  file_ = file;
  size_ = 0;
  view_ = nullptr;
  map_.Unmap();
  first_ = last_ = -1;
  stream_pos_ = -1;
  if (file_ != nullptr && std::fseek(file_, 0, SEEK_END) == 0) {
    const long end = std::ftell(file_);
    if (end > 0) size_ = static_cast<uint64_t>(end);
    std::fseek(file_, 0, SEEK_SET);
    stream_pos_ = 0;
  }
  view_ = map ? map_.MapAtLeast(file_, size_) : nullptr;
}

void WindowedReader::AttachBytes(const uint8_t* data, size_t size) {
  std::lock_guard<std::mutex> lock(mu_);
  file_ = nullptr;
  map_.Unmap();
  first_ = last_ = -1;
  stream_pos_ = -1;
  view_ = size > 0 ? data : nullptr;
  size_ = view_ != nullptr ? size : 0;
}

bool WindowedReader::Refill(uint64_t pos) {
  first_ = last_ = -1;
  if (static_cast<int64_t>(pos) != stream_pos_) {
    if (std::fseek(file_, static_cast<long>(pos), SEEK_SET) != 0) {
      stream_pos_ = -1;
      return false;
    }
  }
  const size_t want = static_cast<size_t>(std::min<uint64_t>(kWindowBytes, size_ - pos));
  const size_t got = std::fread(window_.data(), 1, want, file_);
  stream_pos_ = static_cast<int64_t>(pos + got);
  if (got == 0) return false;
  first_ = static_cast<int64_t>(pos);
  last_ = static_cast<int64_t>(pos + got - 1);
  return true;
}

size_t WindowedReader::ReadWindowed(uint64_t pos, void* out, size_t n) {
  std::lock_guard<std::mutex> lock(mu_);
  if (file_ == nullptr || pos >= size_) return 0;
  n = static_cast<size_t>(std::min<uint64_t>(n, size_ - pos));
  auto* dst = static_cast<uint8_t*>(out);
  size_t done = 0;
  while (done < n) {
    const int64_t at = static_cast<int64_t>(pos + done);
    if (at < first_ || at > last_) {
      if (!Refill(pos + done)) break;
    }
    const size_t avail = static_cast<size_t>(last_ - at + 1);
    const size_t take = std::min(avail, n - done);
    std::memcpy(dst + done, window_.data() + (at - first_), take);
    done += take;
  }
  return done;
}

uint64_t FirstEntryPos(uint64_t block_pos) { return block_pos + format::kBlockHeaderBytes; }

bool ReadBlockHeader(WindowedReader& reader, uint64_t pos, BlockHeader* header) {
  uint8_t copy[format::kBlockHeaderBytes];
  const uint8_t* raw = reader.View(pos, sizeof copy);
  if (raw != nullptr) {
    header->mapped_prefixes = raw + format::kPrefixTableOffset;
  } else if (reader.ReadAt(pos, copy, sizeof copy) == sizeof copy) {
    raw = copy;
    header->mapped_prefixes = nullptr;
    std::memcpy(header->prefixes.data(), raw + format::kPrefixTableOffset,
                header->prefixes.size());
  } else {
    *header = BlockHeader();
    return false;
  }
  header->word_count = format::DecodeFixed32(raw + format::kBlockWordCountOffset);
  header->post_offset = format::DecodeFixed32(raw + format::kBlockPostOffset);
  // Each entry takes at least a prefix code, a suffix length and one count byte.
  const uint64_t room = reader.size() - FirstEntryPos(pos);
  header->word_count = static_cast<uint32_t>(std::min<uint64_t>(header->word_count, room / 3));
  return true;
}

bool ReadWordEntry(WindowedReader& reader, const BlockHeader& header, uint64_t* pos,
                   StoredWord* word) {
  // From a mapped file the entry is decoded where it lies; the reads below then take
  // exactly what ReadAt would have copied.
  size_t avail = 0;
  const uint8_t* view = reader.ViewFrom(*pos, &avail);
  uint8_t copy[2];
  const uint8_t* head = view;
  if (view == nullptr) {
    if (reader.ReadAt(*pos, copy, 2) != 2) return false;
    head = copy;
  } else if (avail < 2) {
    return false;
  }
  const uint8_t code = head[0];
  const size_t suffix_length = head[1];

  size_t length = 0;
  if (code != format::kNoPrefix) {
    length = static_cast<size_t>(format::PrefixLength(code));
    std::memcpy(word->text,
                header.prefix_table() + format::PrefixSlot(code) * format::kPrefixSlotBytes,
                length);
  }
  if (view == nullptr) {
    if (reader.ReadAt(*pos + 2, word->text + length, suffix_length) != suffix_length) {
      return false;
    }
  } else {
    const size_t got = std::min(suffix_length, avail - 2);
    std::memcpy(word->text + length, view + 2, got);
    if (got != suffix_length) return false;
  }
  length += suffix_length;
  word->text[length] = '\0';
  word->length = static_cast<uint16_t>(length);

  // The count follows the suffix: up to 4 LEB128 bytes. A count whose fourth byte
  // still has its high bit set is damaged; it is taken as those 4 bytes.
  uint8_t tail_copy[format::kMaxVarint32Bytes];
  const uint64_t count_pos = *pos + 2 + suffix_length;
  const uint8_t* tail = tail_copy;
  size_t tail_bytes = 0;
  if (view == nullptr) {
    tail_bytes = reader.ReadAt(count_pos, tail_copy, sizeof tail_copy);
  } else {
    tail = view + 2 + suffix_length;
    tail_bytes = std::min(sizeof tail_copy, avail - 2 - suffix_length);
  }
  if (tail_bytes == 0) return false;
  uint32_t count = 0;
  size_t used = 0;
  while (used < tail_bytes) {
    count |= static_cast<uint32_t>(tail[used] & 0x7F) << (7 * used);
    if ((tail[used++] & 0x80) == 0) break;
  }
  word->posting_count = count;
  *pos = count_pos + used;
  return true;
}

}  // namespace lodex
