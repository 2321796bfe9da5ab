// Stand-in for the record-codec step of opening a base until the codec unit defines
// OpenRecordCodec (declared in codec.h). The definition is weak so the real one wins
// as soon as it is linked in; whoever lands codec.cpp's OpenRecordCodec deletes this file.
#include <cstdint>

namespace lodex {

struct Base;

__attribute__((weak)) int32_t OpenRecordCodec(Base&) { return 0; }

}  // namespace lodex
