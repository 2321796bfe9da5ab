#include "encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace lodex {

namespace {

// How many input bytes one '?' stands for, given the input from the unconvertible
// character on; null to stop at the first unconvertible character instead.
using SkipFn = size_t (*)(std::string_view rest);

// One Windows-1252 byte.
size_t OneByte(std::string_view) { return 1; }

// One UTF-8 character: the lead byte and the continuation bytes that follow it.
size_t OneUtf8Character(std::string_view rest) {
  size_t n = 1;
  while (n < rest.size() && n < 4 && (static_cast<uint8_t>(rest[n]) & 0xC0) == 0x80) ++n;
  return n;
}

// One conversion with iconv; false at the first unconvertible input character.
// growth: output bytes one input byte can become at most (the output grows if wrong).
bool Convert(const char* to, const char* from, std::string_view in, std::string* out,
             size_t* bad_offset, SkipFn substitute, size_t growth) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    if (bad_offset) *bad_offset = 0;
    return false;
  }
  out->clear();
  out->resize(in.size() * growth + 16);
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  char* dst = out->data();
  size_t dst_left = out->size();
  bool ok = true;
  while (src_left > 0) {
    if (iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) {  // cannot happen with room for the growth; grow all the same
      const size_t used = out->size() - dst_left;
      out->resize(out->size() * 2);
      dst = out->data() + used;
      dst_left = out->size() - used;
      continue;
    }
    if (substitute && dst_left > 0) {
      *dst++ = '?';
      --dst_left;
      const size_t skip = substitute(std::string_view(src, src_left));
      src += skip;
      src_left -= skip;
      continue;
    }
    ok = false;
    if (bad_offset) *bad_offset = static_cast<size_t>(src - in.data());
    break;
  }
  out->resize(out->size() - dst_left);
  iconv_close(cd);
  return ok;
}

}  // namespace

bool IsUtf8(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int extra;
    uint32_t cp;
    if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
    else return false;
    if (i + extra >= n) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto d = static_cast<uint8_t>(text[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

bool Utf8ToWindows1252(std::string_view in, std::string* out, size_t* bad_offset) {
  return Convert("WINDOWS-1252", "UTF-8", in, out, bad_offset, nullptr, 1);
}

std::string Utf8ToWindows1252OrQuestionMarks(std::string_view in) {
  std::string out;
  Convert("WINDOWS-1252", "UTF-8", in, &out, nullptr, OneUtf8Character, 1);
  return out;
}

std::string Windows1252ToUtf8(std::string_view in) {
  std::string out;
  Convert("UTF-8", "WINDOWS-1252", in, &out, nullptr, OneByte, 3);
  return out;
}

}  // namespace lodex
