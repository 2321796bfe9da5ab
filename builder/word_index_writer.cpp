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
  std::vector<std::string_view> stored;
  stored.reserve(words.size());
  for (const IndexWord* w : words) stored.emplace_back(w->stored);
  return ChoosePrefixes(stored);
}

std::vector<std::string> ChoosePrefixes(const std::vector<std::string_view>& words) {
  // Candidates: each word's first 8 bytes, distinct, in byte order (the words are in key
  // order, which need not be byte order).
  std::vector<std::string_view> heads;
  heads.reserve(words.size());
  for (std::string_view w : words) {
    const std::string_view head = w.substr(0, fmt::kPrefixSlotBytes);
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

void WordIndexWriter::WritePostings(std::span<const uint32_t> postings) {
  const uint32_t count = static_cast<uint32_t>(postings.size());
  if (fmt::UsesBitmapForm(count, total_records_)) {
    bitmap_.assign(1 + fmt::BitmapBytes(total_records_), 0);
    bitmap_[0] = fmt::kBitmapMarker;
    for (uint32_t r : postings) bitmap_[1 + r / 8] |= static_cast<uint8_t>(0x80u >> (r % 8));
    post_->Append(bitmap_.data(), bitmap_.size());
    return;
  }
  scratch_.resize(static_cast<size_t>(fmt::kRecordNumberBytes) * count);
  uint8_t* p = reinterpret_cast<uint8_t*>(scratch_.data());
  for (uint32_t r : postings) {
    fmt::EncodeRecordNumber(p, r);
    p += fmt::kRecordNumberBytes;
  }
  post_->Append(scratch_);
}

bool WordIndexWriter::AddField(const std::vector<const IndexWord*>& words, int block_words,
                               uint32_t* index1_offset, std::string* error) {
  if (!BeginField(block_words, index1_offset, error)) return false;
  for (const IndexWord* w : words)
    if (!AddWord(w->stored, w->postings, error)) return false;
  EndField();
  return true;
}

namespace {
constexpr uint64_t kOffsetLimit = 0xFFFFFFFFu;
}

bool WordIndexWriter::BeginField(int block_words, uint32_t* index1_offset, std::string* error) {
  if (index1_->offset() > kOffsetLimit) {
    *error = "index1.dat would pass 4 GiB";
    return false;
  }
  *index1_offset = static_cast<uint32_t>(index1_->offset());
  per_block_ = static_cast<size_t>(std::max(1, block_words));
  block_text_.clear();
  block_ends_.clear();
  block_counts_.clear();
  return true;
}

bool WordIndexWriter::AddWord(std::string_view stored, std::span<const uint32_t> postings,
                              std::string* error) {
  if (block_ends_.empty()) {
    if (index2_->offset() > kOffsetLimit || post_->offset() > kOffsetLimit) {
      *error = index2_->offset() > kOffsetLimit ? "index2.dat would pass 4 GiB" : "post.dat would pass 4 GiB";
      return false;
    }
    block_post_offset_ = static_cast<uint32_t>(post_->offset());
  }
  block_text_.append(stored);
  block_ends_.push_back(static_cast<uint32_t>(block_text_.size()));
  block_counts_.push_back(static_cast<uint32_t>(postings.size()));
  WritePostings(postings);
  if (block_ends_.size() == per_block_) WriteBlock();
  return true;
}

void WordIndexWriter::EndField() {
  if (!block_ends_.empty()) WriteBlock();
}

void WordIndexWriter::WriteBlock() {
  const uint32_t block_offset = static_cast<uint32_t>(index2_->offset());
  block_views_.clear();
  uint32_t start = 0;
  for (uint32_t end : block_ends_) {
    block_views_.push_back(std::string_view(block_text_).substr(start, end - start));
    start = end;
  }
  const std::vector<std::string> slots = ChoosePrefixes(block_views_);
  block_.assign(fmt::kBlockHeaderBytes, '\0');
  for (size_t s = 0; s < slots.size(); ++s)
    block_.replace(fmt::kPrefixTableOffset + s * fmt::kPrefixSlotBytes, slots[s].size(), slots[s]);
  for (size_t i = 0; i < block_views_.size(); ++i) {
    const std::string_view w = block_views_[i];
    const auto [code, covered] = PrefixCodeFor(w, slots);
    block_.push_back(static_cast<char>(code));
    block_.push_back(static_cast<char>(w.size() - covered));
    block_.append(w.substr(static_cast<size_t>(covered)));
    fmt::PutVarint32(block_, block_counts_[i]);
  }
  uint8_t* head = reinterpret_cast<uint8_t*>(block_.data());
  fmt::EncodeFixed32(head + fmt::kBlockLengthOffset, static_cast<uint32_t>(block_.size()));
  fmt::EncodeFixed32(head + fmt::kBlockWordCountOffset, static_cast<uint32_t>(block_views_.size()));
  fmt::EncodeFixed32(head + fmt::kBlockPostOffset, block_post_offset_);
  index2_->Append(block_);

  scratch_.assign(block_views_.front());
  scratch_.push_back('\0');
  fmt::PutFixed32(scratch_, block_offset);
  index1_->Append(scratch_);
  block_text_.clear();
  block_ends_.clear();
  block_counts_.clear();
}

void WordIndexWriter::Finish() { index2_->AppendZeros(fmt::kIndex2TailPadding); }

}  // namespace lodex::build
