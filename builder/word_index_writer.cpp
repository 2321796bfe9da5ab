#include "word_index_writer.h"

#include <algorithm>
#include <cmath>

#include "format/coding.h"
#include "format/index1.h"
#include "format/index2.h"
#include "format/post.h"

namespace lodex::build {

namespace fmt = lodex::format;

namespace {

size_t CommonPrefix(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

}  // namespace

std::vector<std::string> ChoosePrefixes(const std::vector<const IndexWord*>& words) {
  // Candidates: each word's first 8 bytes, distinct, in byte order (the words are in key
  // order, which need not be byte order).
  std::vector<std::string_view> heads;
  heads.reserve(words.size());
  for (const IndexWord* w : words) {
    const std::string_view head = std::string_view(w->stored).substr(0, fmt::kPrefixSlotBytes);
    if (head.size() >= 2) heads.push_back(head);  // one byte saves nothing over the code
  }
  std::sort(heads.begin(), heads.end());
  heads.erase(std::unique(heads.begin(), heads.end()), heads.end());
  // Too many: sorted neighbours share their leading bytes, so heads spread evenly over
  // the sorted list leave every word a slot close to it.
  const size_t slots = std::min<size_t>(heads.size(), fmt::kPrefixSlots);
  std::vector<std::string> chosen;
  chosen.reserve(slots);
  for (size_t s = 0; s < slots; ++s) {
    const size_t pick = heads.size() <= static_cast<size_t>(fmt::kPrefixSlots)
                            ? s
                            : (2 * s + 1) * heads.size() / (2 * slots);
    chosen.emplace_back(heads[pick]);
  }
  return chosen;
}

std::pair<uint8_t, int> PrefixCodeFor(std::string_view word, const std::vector<std::string>& slots) {
  int best_slot = -1;
  int best = 0;
  for (size_t s = 0; s < slots.size(); ++s) {
    int k = static_cast<int>(CommonPrefix(slots[s], word));
    // Code 255 would be slot 31 with 8 bytes; it means "no prefix", so 7 at most there.
    if (s == fmt::kPrefixSlots - 1 && k == fmt::kPrefixSlotBytes) k = fmt::kPrefixSlotBytes - 1;
    if (k > best) {
      best = k;
      best_slot = static_cast<int>(s);
    }
  }
  if (best_slot < 0) return {fmt::kNoPrefix, 0};
  return {fmt::MakePrefixCode(best_slot, best), best};
}

int DefaultBlockWords(size_t word_count) {
  const int root = static_cast<int>(std::lround(std::sqrt(static_cast<double>(word_count))));
  return std::clamp(root, 16, 128);
}

WordIndexWriter::WordIndexWriter(uint32_t total_records, OutFile* index1, OutFile* index2,
                                 OutFile* post)
    : total_records_(total_records), index1_(index1), index2_(index2), post_(post) {}

void WordIndexWriter::WritePostings(const IndexWord& word) {
  const uint32_t count = static_cast<uint32_t>(word.postings.size());
  if (fmt::UsesBitmapForm(count, total_records_)) {
    bitmap_.assign(1 + fmt::BitmapBytes(total_records_), 0);
    bitmap_[0] = fmt::kBitmapMarker;
    for (uint32_t r : word.postings) bitmap_[1 + r / 8] |= static_cast<uint8_t>(0x80u >> (r % 8));
    post_->Append(bitmap_.data(), bitmap_.size());
    return;
  }
  scratch_.resize(static_cast<size_t>(fmt::kRecordNumberBytes) * count);
  uint8_t* p = reinterpret_cast<uint8_t*>(scratch_.data());
  for (uint32_t r : word.postings) {
    fmt::EncodeRecordNumber(p, r);
    p += fmt::kRecordNumberBytes;
  }
  post_->Append(scratch_);
}

bool WordIndexWriter::AddField(const std::vector<const IndexWord*>& words, int block_words,
                               uint32_t* index1_offset, std::string* error) {
  constexpr uint64_t kLimit = 0xFFFFFFFFu;
  if (index1_->offset() > kLimit) {
    *error = "index1.dat would pass 4 GiB";
    return false;
  }
  *index1_offset = static_cast<uint32_t>(index1_->offset());
  const size_t per_block = static_cast<size_t>(std::max(1, block_words));
  std::vector<const IndexWord*> block_words_list;
  for (size_t first = 0; first < words.size(); first += per_block) {
    const size_t last = std::min(words.size(), first + per_block);
    block_words_list.assign(words.begin() + static_cast<std::ptrdiff_t>(first),
                            words.begin() + static_cast<std::ptrdiff_t>(last));
    if (index2_->offset() > kLimit || post_->offset() > kLimit) {
      *error = index2_->offset() > kLimit ? "index2.dat would pass 4 GiB" : "post.dat would pass 4 GiB";
      return false;
    }
    const uint32_t block_offset = static_cast<uint32_t>(index2_->offset());
    const uint32_t post_offset = static_cast<uint32_t>(post_->offset());

    const std::vector<std::string> slots = ChoosePrefixes(block_words_list);
    block_.assign(fmt::kBlockHeaderBytes, '\0');
    for (size_t s = 0; s < slots.size(); ++s)
      block_.replace(fmt::kPrefixTableOffset + s * fmt::kPrefixSlotBytes, slots[s].size(), slots[s]);
    for (const IndexWord* w : block_words_list) {
      const auto [code, covered] = PrefixCodeFor(w->stored, slots);
      block_.push_back(static_cast<char>(code));
      block_.push_back(static_cast<char>(w->stored.size() - covered));
      block_.append(w->stored, covered, std::string::npos);
      fmt::PutVarint32(block_, static_cast<uint32_t>(w->postings.size()));
      WritePostings(*w);
    }
    uint8_t* head = reinterpret_cast<uint8_t*>(block_.data());
    fmt::EncodeFixed32(head + fmt::kBlockLengthOffset, static_cast<uint32_t>(block_.size()));
    fmt::EncodeFixed32(head + fmt::kBlockWordCountOffset, static_cast<uint32_t>(block_words_list.size()));
    fmt::EncodeFixed32(head + fmt::kBlockPostOffset, post_offset);
    index2_->Append(block_);

    scratch_.assign(block_words_list.front()->stored);
    scratch_.push_back('\0');
    fmt::PutFixed32(scratch_, block_offset);
    index1_->Append(scratch_);
  }
  return true;
}

void WordIndexWriter::Finish() { index2_->AppendZeros(fmt::kIndex2TailPadding); }

}  // namespace lodex::build
