// Fuzzes the Huffman decoder and the whole two-stage record decode: the input builds a
// model (wordfreq.dat bytes, then charfreq.dat bytes) and the rest is a stored record,
// decoded once through the table decoder, which must answer as the bit-by-bit reference
// decoder does, and as a record would be, in buffers of exactly the sizes the engine
// uses so any overrun is caught: whole, and as a fetch does, straight from the stored
// bytes up to the last field, which must give the same fields.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <string>
#include <vector>

#include "codec.h"
#include "store.h"
#include "testing/reference_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint8_t* p = data + 4;
  const uint8_t* end = data + size;
  auto take = [&](size_t n) {
    n = std::min<size_t>(n, end - p);
    std::vector<uint8_t> out(p, p + n);
    p += n;
    return out;
  };
  const std::vector<uint8_t> wordfreq = take(data[0] | data[1] << 8);
  std::vector<uint8_t> charfreq = take(1024);
  // Short weight tables are filled with small weights so most inputs give a model.
  for (size_t b = charfreq.size(); b < 1024; ++b) charfreq.push_back(b % 4 == 0 ? 1 : 0);

  lodex::RecordCodec codec;
  if (codec.Build(charfreq.data(), charfreq.size(), wordfreq.data(), wordfreq.size()) != 0) {
    return 0;
  }
  const std::vector<uint8_t> record(p, end);

  // The first stage alone, with a source of exactly the record's bytes.
  std::vector<uint8_t> out(1 + data[2] * 4);
  int32_t capacity = static_cast<int32_t>(out.size() * 8);
  const int32_t bits = static_cast<int32_t>(record.size() * 8) + (data[3] % 64) - 32;
  const bool ok = codec.huffman.decode(bits, record.data(), record.size(), capacity, out.data());
  if (capacity < 0 || capacity > static_cast<int32_t>(out.size() * 8) || capacity % 8) __builtin_trap();
  std::vector<std::string> texts;
  for (int b = 0; b < 256; ++b) texts.emplace_back(1, static_cast<char>(b));
  texts.insert(texts.end(), codec.phrases.begin(), codec.phrases.end());
  const lodex::testing::ReferenceResult want = lodex::testing::ReferenceHuffmanDecode(
      codec.huffman.code_lengths(), codec.huffman.codes(), texts, bits, record.data(),
      record.size(), static_cast<int32_t>(out.size() * 8));
  if (ok != want.ok || capacity != want.capacity ||
      !std::equal(want.out.begin(), want.out.end(), out.begin())) {
    __builtin_trap();
  }

  // A whole record decode as the record store runs it.
  const int32_t read_bytes = static_cast<int32_t>(record.size());
  const int32_t decode_bytes = read_bytes + (data[3] % 16) - 8;
  std::vector<uint8_t> buf1(static_cast<size_t>(read_bytes) * 2 + 200, 0), buf2(buf1.size(), 0);
  std::copy(record.begin(), record.end(), buf1.begin());
  codec.DecodeRecord(buf1.data(), buf2.data(), buf1.size() - 1, read_bytes, decode_bytes);
  if (buf1.back() != 0) __builtin_trap();  // the guard byte is never written

  const size_t field_count = data[2] % 16;
  std::vector<uint8_t> fetched1(buf1.size(), 0), fetched2(buf1.size(), 0);
  codec.DecodeStored(record.data(), record.size(), fetched1.data(), fetched2.data(),
                     fetched1.size() - 1, read_bytes, decode_bytes, static_cast<int64_t>(field_count));
  if (fetched1.back() != 0) __builtin_trap();
  std::vector<const char*> whole(field_count), fetched(field_count);
  lodex::SplitRecordFields(reinterpret_cast<char*>(buf1.data()), read_bytes, whole.data(), field_count);
  lodex::SplitRecordFields(reinterpret_cast<char*>(fetched1.data()), read_bytes, fetched.data(),
                           field_count);
  for (size_t f = 0; f < field_count; ++f) {
    if (std::string(whole[f]) != fetched[f] ||
        whole[f] - reinterpret_cast<char*>(buf1.data()) !=
            fetched[f] - reinterpret_cast<char*>(fetched1.data())) {
      __builtin_trap();
    }
  }
  return 0;
}
