// Test support: writes a small word index (index1.dat, index2.dat, post.dat images) for
// given fields and words into temporary files and loads it into a WordIndex.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "format/coding.h"
#include "format/index2.h"
#include "format/post.h"
#include "textkeys.h"
#include "wordindex.h"

namespace lodex::testing {

struct IndexWord {
  std::string text;              // stored form; words of a field in ascending key order
  std::vector<uint32_t> records;  // base-wide record numbers
};

// The three files of an index as bytes, written the way the engine reads them.
struct IndexImages {
  std::string index1, index2, post;
  std::vector<uint32_t> field_starts;
};

// Blocks of block_words words; each block's prefix slot 0 holds its first word's first
// 8 bytes and words that share a beginning with it use it.
inline IndexImages WriteIndex(const std::vector<std::vector<IndexWord>>& fields,
                              uint32_t total_records, uint32_t block_words = 4) {
  IndexImages out;
  for (const auto& words : fields) {
    out.field_starts.push_back(static_cast<uint32_t>(out.index1.size()));
    for (size_t first = 0; first < words.size(); first += block_words) {
      const size_t n = std::min<size_t>(block_words, words.size() - first);
      const uint32_t block_at = static_cast<uint32_t>(out.index2.size());
      out.index1 += words[first].text;
      out.index1.push_back('\0');
      format::PutFixed32(out.index1, block_at);

      std::string block;
      format::PutFixed32(block, 0);
      format::PutFixed32(block, static_cast<uint32_t>(n));
      format::PutFixed32(block, static_cast<uint32_t>(out.post.size()));
      std::string prefixes(256, '\0');
      const std::string& lead = words[first].text;
      prefixes.replace(0, std::min<size_t>(8, lead.size()), lead.substr(0, 8));
      block += prefixes;
      for (size_t w = first; w < first + n; ++w) {
        const std::string& text = words[w].text;
        size_t shared = 0;
        while (shared < 8 && shared < text.size() && shared < lead.size() &&
               text[shared] == lead[shared]) {
          ++shared;
        }
        if (shared > 0) {
          block.push_back(static_cast<char>(format::MakePrefixCode(0, static_cast<int>(shared))));
        } else {
          block.push_back(static_cast<char>(format::kNoPrefix));
        }
        block.push_back(static_cast<char>(text.size() - shared));
        block += text.substr(shared);
        const uint32_t count = static_cast<uint32_t>(words[w].records.size());
        format::PutVarint32(block, count);

        if (format::UsesBitmapForm(count, total_records)) {
          std::string bitmap(format::BitmapBytes(total_records), '\0');
          for (uint32_t r : words[w].records) bitmap[r >> 3] |= static_cast<char>(0x80 >> (r & 7));
          out.post.push_back(static_cast<char>(format::kBitmapMarker));
          out.post += bitmap;
        } else {
          for (uint32_t r : words[w].records) {
            uint8_t b[3];
            format::EncodeRecordNumber(b, r);
            out.post.append(reinterpret_cast<const char*>(b), 3);
          }
        }
      }
      format::EncodeFixed32(reinterpret_cast<uint8_t*>(block.data()),
                            static_cast<uint32_t>(block.size()));
      out.index2 += block;
    }
  }
  out.index2.append(format::kIndex2TailPadding, '\0');
  return out;
}

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using TempFile = std::unique_ptr<std::FILE, FileCloser>;

inline TempFile FileWith(const std::string& bytes) {
  TempFile file(std::tmpfile());
  std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  std::fflush(file.get());
  std::rewind(file.get());
  return file;
}

// The temporary index2.dat and post.dat of an index loaded into a WordIndex (which may
// sit inside a Base), with text-field key forms for every field.
class IndexFiles {
 public:
  IndexFiles(WordIndex& index, const IndexImages& images, uint32_t total_records)
      : index2_(FileWith(images.index2)), post_(FileWith(images.post)) {
    std::vector<KeyFormFn> keys;
    for (size_t f = 0; f < images.field_starts.size(); ++f) {
      keys.push_back([](std::string_view text, std::string* key) {
        *key = MapThrough(ComposedTable(), text);
      });
    }
    exact_end_ = index.Load(std::vector<char>(images.index1.begin(), images.index1.end()),
                            images.field_starts, std::move(keys), index2_.get(), post_.get(),
                            images.post.size(), total_records);
  }
  bool exact_end() const { return exact_end_; }

 private:
  TempFile index2_;
  TempFile post_;
  bool exact_end_ = false;
};

// A WordIndex of its own over temporary files.
class LoadedIndex {
 public:
  LoadedIndex(const IndexImages& images, uint32_t total_records)
      : files_(index, images, total_records) {}
  LoadedIndex(const std::vector<std::vector<IndexWord>>& fields, uint32_t total_records,
              uint32_t block_words = 4)
      : LoadedIndex(WriteIndex(fields, total_records, block_words), total_records) {}

  WordIndex index;
  bool exact_end() const { return files_.exact_end(); }

 private:
  IndexFiles files_;
};

// The set bits of a bitmap below total.
inline std::vector<uint32_t> BitsOf(const std::vector<uint8_t>& bitmap, uint32_t total) {
  std::vector<uint32_t> bits;
  for (uint32_t r = 0; r < total; ++r) {
    if (bitmap[r >> 3] & (0x80 >> (r & 7))) bits.push_back(r);
  }
  return bits;
}

}  // namespace lodex::testing
