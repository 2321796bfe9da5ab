// Fuzzes the word index reader with damaged files: the input is cut into index1.dat,
// index2.dat and post.dat images (two length bytes each for the first two), loaded twice
// (read through streams, and from the bytes as from a mapped view), and then walked,
// located in and searched the way the listings and searches do; both must see the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "search.h"
#include "textkeys.h"
#include "wordindex.h"

namespace {

constexpr uint32_t kRecords = 100;

struct MemFile {
  explicit MemFile(std::string bytes) : data(std::move(bytes)) {
    if (data.empty()) data.push_back('\0');
    file = fmemopen(data.data(), data.size(), "rb");
  }
  ~MemFile() {
    if (file) std::fclose(file);
  }
  std::string data;
  std::FILE* file = nullptr;
};

std::string Take(const uint8_t*& p, const uint8_t* end, size_t n) {
  n = std::min<size_t>(n, end - p);
  std::string out(reinterpret_cast<const char*>(p), n);
  p += n;
  return out;
}

// Walks, locates and searches the way the listings and searches do, and answers what
// was seen (words, counts, offsets, hashes of the bitmaps).
std::string Exercise(lodex::WordIndex& index, uint32_t field_count) {
  std::string seen;
  auto note = [&](uint64_t v) { seen.append(std::to_string(v)).push_back(','); };
  auto note_bits = [&](const std::vector<uint8_t>& bits) {
    note(std::hash<std::string_view>()(
        std::string_view(reinterpret_cast<const char*>(bits.data()), bits.size())));
  };
  std::vector<uint8_t> scratch(index.shape.bitmap_bytes), word(index.shape.bitmap_bytes);
  std::vector<uint8_t> mask(index.shape.bitmap_bytes, 0xFF);
  for (uint32_t f = 0; f < field_count; ++f) {
    const int field = static_cast<int>(f);
    lodex::WordIterator it;
    if (it.First(index, field)) {
      uint32_t words = 0;
      do {
        seen.append(it.word().view());
        note(it.posting_offset());
        note(lodex::CountPostingsIn(index.post, index.shape, it.posting_offset(),
                                    it.word().posting_count, mask.data(), word.data()));
      } while (++words < 5000 && it.Advance(1) == 1);
      note(it.Back(1000000000));
      note(it.Advance(1000000000));
    }
    for (const char* key : {"", "A", "KABEL", "\x81\x81"}) {
      for (auto mode : {lodex::LocateMode::kExact, lodex::LocateMode::kLowerBound}) {
        const lodex::LocateResult r = lodex::Locate(index, field, key, mode);
        note(r.found + 2 * r.equal);
        note(r.posting_offset);
        note(r.posting_count);
      }
    }
    lodex::TermScope scope;
    scope.index = &index;
    scope.field = field;
    scope.reverse_field = field_count > 1 ? 1 : -1;
    for (const char* query : {"*", "A*", "*A", "?B*", ">M", "<=K", "A-K", "KABEL"}) {
      lodex::EvaluateTerm(scope, lodex::ParseTerm(query), scratch.data());
      note_bits(scratch);
    }
  }
  return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  const uint8_t* p = data + 6;
  const uint8_t* end = data + size;
  const std::string index1 = Take(p, end, data[0] | (data[1] << 8));
  MemFile index2(Take(p, end, data[2] | (data[3] << 8)));
  MemFile post(Take(p, end, end - p));
  const uint32_t field_count = 1 + data[4] % 3;
  std::vector<uint32_t> starts;
  for (uint32_t f = 0; f < field_count; ++f) {
    starts.push_back(static_cast<uint32_t>(index1.size() * f / field_count + (data[5] >> f & 1)));
  }
  std::vector<lodex::KeyFormFn> keys(field_count, [](std::string_view t, std::string* k) {
    *k = lodex::MapThrough(lodex::ComposedTable(), t);
  });

  // A buffer of exactly the directory's size, so a read past its end trips the sanitizer.
  const std::vector<char> directory(index1.begin(), index1.end());
  const std::string_view listing(directory.data(), directory.size());

  // Read through the streams (a memory stream cannot be mapped)...
  lodex::WordIndex streamed;
  streamed.Load(listing, starts, keys, index2.file, post.file, post.data.size(), kRecords);
  // ... and from exact-size copies of the files, as from a mapped view: both must see
  // the same, and the view must never be read past its end.
  const std::vector<uint8_t> index2_bytes(index2.data.begin(), index2.data.end());
  const std::vector<uint8_t> post_bytes(post.data.begin(), post.data.end());
  lodex::WordIndex viewed;
  viewed.words.AttachBytes(index2_bytes.data(), index2_bytes.size());
  viewed.post.AttachBytes(post_bytes.data(), post_bytes.size());
  viewed.LoadDirectory(listing, starts, keys, kRecords);

  if (Exercise(streamed, field_count) != Exercise(viewed, field_count)) __builtin_trap();
  return 0;
}
