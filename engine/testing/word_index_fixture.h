// Test support: writes a small word index (index1.dat, index2.dat, post.dat images) for
// given fields and words with the builder's writer, into temporary files, and loads it
// into a WordIndex.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "textkeys.h"
#include "word_index_writer.h"
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

// Written by the builder's writer, in blocks of block_words words.
inline IndexImages WriteIndex(const std::vector<std::vector<IndexWord>>& fields,
                              uint32_t total_records, uint32_t block_words = 4) {
  build::OutFile index1, index2, post;
  index1.OpenInMemory();
  index2.OpenInMemory();
  post.OpenInMemory();
  build::WordIndexWriter writer(total_records, &index1, &index2, &post);
  IndexImages out;
  for (const auto& words : fields) {
    std::vector<build::IndexWord> stored;
    for (const IndexWord& w : words) stored.push_back({w.text, w.records});
    std::vector<const build::IndexWord*> in_order;
    for (const build::IndexWord& w : stored) in_order.push_back(&w);
    uint32_t start = 0;
    std::string error;
    writer.AddField(in_order, static_cast<int>(block_words), &start, &error);
    out.field_starts.push_back(start);
  }
  writer.Finish();
  out.index1 = index1.memory();
  out.index2 = index2.memory();
  out.post = post.memory();
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

// Text-field key forms for every field of an index.
inline std::vector<KeyFormFn> TextKeyForms(size_t fields) {
  std::vector<KeyFormFn> keys;
  for (size_t f = 0; f < fields; ++f) {
    keys.push_back([](std::string_view text, std::string* key) {
      *key = MapThrough(ComposedTable(), text);
    });
  }
  return keys;
}

// The temporary index2.dat and post.dat of an index loaded into a WordIndex (which may
// sit inside a Base), with text-field key forms for every field; read through mapped
// views unless map is false.
class IndexFiles {
 public:
  IndexFiles(WordIndex& index, const IndexImages& images, uint32_t total_records,
             bool map = true)
      : index2_(FileWith(images.index2)), post_(FileWith(images.post)) {
    exact_end_ = index.Load(std::string_view(images.index1.data(), images.index1.size()),
                            images.field_starts, TextKeyForms(images.field_starts.size()),
                            index2_.get(), post_.get(), images.post.size(), total_records, map);
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
  LoadedIndex(const IndexImages& images, uint32_t total_records, bool map = true)
      : files_(index, images, total_records, map) {}
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
