// Fuzzes the zero-run decoder: two bytes choose the capacity and a bit-length offset,
// the rest is the coded input, held in a buffer of exactly its size. The answer must be
// the byte-by-byte reference decoder's.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <vector>

#include "codec.h"
#include "testing/reference_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::vector<uint8_t> in(data + 2, data + size);
  std::vector<uint8_t> out(data[0] * 300u);
  lodex::CRleFilter rle;
  int32_t capacity = static_cast<int32_t>(out.size() * 8);
  const int32_t bits = static_cast<int32_t>(in.size() * 8) - (data[1] % 16);
  rle.decode(bits, in.data(), in.size(), capacity, out.data());
  if (capacity < 0 || capacity > static_cast<int32_t>(out.size() * 8) || capacity % 8) __builtin_trap();
  // The same answer and bytes as the byte-by-byte reference.
  const lodex::testing::ReferenceResult want = lodex::testing::ReferenceRleDecode(
      bits, in.data(), in.size(), static_cast<int32_t>(out.size() * 8));
  if (capacity != want.capacity || !std::equal(want.out.begin(), want.out.end(), out.begin())) {
    __builtin_trap();
  }
  return 0;
}
