#include "codec.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>

#include "lodex32_errors.h"
#include "format/charfreq.h"
#include "format/coding.h"
#include "format/data.h"
#include "format/wordfreq.h"

namespace lodex {

namespace {

// Source byte k, or 0 at and past the end of the readable bytes.
inline uint32_t ByteAt(const uint8_t* src, size_t size, uint64_t k) {
  return k < size ? src[k] : 0u;
}

// The 64 bits from bit position p on, most significant first (bits past the source
// read as zero). One big-endian load while eight bytes remain from p's byte on; the
// lowest p % 8 bits are then zero instead of the following bits, so at least 57 of the
// 64 are valid, which is all the lookups below use.
inline uint64_t Peek57(const uint8_t* src, size_t size, uint64_t p) {
  const uint64_t k = p >> 3;
  uint64_t w;
  if (k + 8 <= size) {
    std::memcpy(&w, src + k, 8);
    w = __builtin_bswap64(w);
  } else {
    w = 0;
    for (uint64_t i = 0; i < 8; ++i) w = (w << 8) | ByteAt(src, size, k + i);
  }
  return w << (p & 7);
}

// All 64 bits from bit position p on.
inline uint64_t Peek64(const uint8_t* src, size_t size, uint64_t p) {
  const uint64_t w = Peek57(src, size, p);
  const unsigned shift = p & 7;
  return shift == 0 ? w : w | (ByteAt(src, size, (p >> 3) + 8) >> (8 - shift));
}

// A window is used for lookups while this many bits of it are spent at most, so that a
// primary lookup (kPrimaryBits) always finds valid bits.
constexpr uint32_t kRefillAfter = 57 - CHuffmanFilter::kPrimaryBits - CHuffmanFilter::kSecondaryBits;

// Fast lookups per window: their bits, or those before the last and the bits one
// symbol decoded on its own needs from the window, fit the 57 valid bits of one load.
constexpr int kGroup = 4;
static_assert(kGroup * CHuffmanFilter::kFastBits <= 57);
static_assert((kGroup - 1) * CHuffmanFilter::kFastBits + CHuffmanFilter::kPrimaryBits +
                  CHuffmanFilter::kSecondaryBits <= 57);
// A fast entry's fields: code bits (0 for none), where its text starts, its length and
// its 0 bytes; the code bits are the low bits so that a shift by the entry uses them.
constexpr uint32_t kFastCodeMask = 0x3F;
constexpr int kFastAtShift = 6;
constexpr uint32_t kFastAtLimit = uint32_t{1} << 16;
constexpr uint32_t kFastEscape = uint32_t{1} << 22;  // a text holds the escape byte 0xFF
constexpr int kFastLengthShift = 23;
constexpr int kFastNulShift = 28;
constexpr uint32_t kFastMaxNuls = 15;
static_assert(CHuffmanFilter::kFastBits <= kFastCodeMask && CHuffmanFilter::kFastText < 32);
// A fast entry without a symbol: the symbol or secondary table in bits 6-25, that
// table's index bits in 26-29.
constexpr int kSlowIndexShift = 26;
constexpr uint32_t kSlowAtMask = 0xFFFFF;
// Phrase texts are copied in steps of this many bytes where the room allows.
constexpr int64_t kCopyStep = 16;

constexpr uint64_t kCodeLengthMask = 0xFF;
// Bit 31 of a symbol entry: its text holds the escape byte 0xFF (texts are at most 255
// bytes, wordfreq.dat's limit, so the length never reaches it).
constexpr uint64_t kEntryEscape = uint64_t{1} << 31;
inline uint64_t EntryOf(int32_t code_length, uint64_t text_length, uint64_t text_at, bool escape) {
  return static_cast<uint64_t>(code_length) | text_length << 8 | text_at << 32 |
         (escape ? kEntryEscape : 0);
}
inline int64_t TextLength(uint64_t entry) { return static_cast<int64_t>((entry >> 8) & 0x7FFFFF); }
static_assert((kEntryEscape >> 9) == kFastEscape, "the decoder moves the flag by 9 bits");
inline uint64_t TextAt(uint64_t entry) { return entry >> 32; }

// Copies n bytes without a library call for the short texts of a decode's last bytes.
inline void CopyExactly(uint8_t* to, const char* from, int64_t n) {
  if (n >= 8 && n <= 16) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
  } else if (n > 0 && n < 4) {
    to[0] = static_cast<uint8_t>(from[0]);
    to[n / 2] = static_cast<uint8_t>(from[n / 2]);
    to[n - 1] = static_cast<uint8_t>(from[n - 1]);
  } else if (n > 16) {
    std::memcpy(to, from, static_cast<size_t>(n));
  }
}

}  // namespace

// ---- CHuffmanFilter ------------------------------------------------------------------

CHuffmanFilter::CHuffmanFilter() { SetStatus(0, "CHuffmanFilter.CHuffmanFilter... Ok!"); }

void CHuffmanFilter::SetStatus(int32_t code, std::string text) {
  status_ = code;
  status_text_ = std::move(text);
  decode_ok_ = false;
}

void CHuffmanFilter::SetDecodeOk() {
  status_ = 0;
  if (!decode_ok_) {
    status_text_ = "CHuffmanFilter.decode... Ok";
    decode_ok_ = true;
  }
}

bool CHuffmanFilter::createDecoder(int32_t symbol_count, const std::string* phrases,
                                   const int32_t* weights) {
  built_ = false;
  symbol_count_ = std::max(symbol_count, 0);
  phrases_ = phrases;
  weights_ = weights;

  const std::vector<int32_t> w(weights_, weights_ + symbol_count_);
  lengths_ = CodeLengths(w);
  max_length_ = 0;
  for (int16_t l : lengths_) max_length_ = std::max<int32_t>(max_length_, l);

  const HuffmanStatus code_status = CanonicalCodes(lengths_, codes_);
  if (code_status != kHuffmanOk) {
    SetStatus(code_status, HuffmanStatusText(code_status, max_length_));
    return false;
  }
  BuildTables();
  built_ = true;
  SetStatus(0, HuffmanStatusText(kHuffmanOk, max_length_));
  return true;
}

void CHuffmanFilter::BuildTables() {
  // Symbol outputs: the 256 byte values, then the phrases, then slack for the copies.
  text_.resize(kByteSymbols);
  for (int b = 0; b < kByteSymbols; ++b) text_[b] = static_cast<char>(b);
  symbol_entries_.resize(static_cast<size_t>(symbol_count_));
  for (int32_t s = 0; s < symbol_count_; ++s) {
    uint64_t at = static_cast<uint64_t>(s);
    uint64_t n = 1;
    if (s >= kByteSymbols) {
      const std::string& phrase = phrases_[s - kByteSymbols];
      at = text_.size();
      n = phrase.size();
      text_ += phrase;
    }
    const bool escape = std::memchr(text_.data() + at, format::kRunEscape, n) != nullptr;
    symbol_entries_[s] = EntryOf(lengths_[s], n, at, escape);
  }
  text_.append(2 * kCopyStep, '\0');

  // A complete prefix code (CanonicalCodes checked it) fills every primary entry whose
  // bits start a code of at most kPrimaryBits; the rest start longer codes.
  primary_.assign(size_t{1} << kPrimaryBits, 0);
  ranges_.assign(static_cast<size_t>(max_length_) + 1, LengthRange{});
  for (int32_t s = 0; s < symbol_count_; ++s) {
    const int32_t len = lengths_[s];
    if (len <= kPrimaryBits) {
      const uint64_t first = codes_[s] << (kPrimaryBits - len);
      std::fill_n(primary_.begin() + static_cast<ptrdiff_t>(first),
                  size_t{1} << (kPrimaryBits - len), symbol_entries_[s]);
    } else {
      ++ranges_[len].count;
    }
  }
  BuildSecondaryTables();
  BuildFastTable();

  // Long codes: symbols grouped by length, in symbol order within a length, so that the
  // canonical numbering gives each one's place.
  uint32_t at = 0;
  for (LengthRange& r : ranges_) {
    r.at = at;
    at += static_cast<uint32_t>(r.count);
    r.count = 0;
  }
  long_symbols_.assign(at, 0);
  for (int32_t s = 0; s < symbol_count_; ++s) {
    const int32_t len = lengths_[s];
    if (len <= kPrimaryBits) continue;
    LengthRange& r = ranges_[len];
    if (r.count == 0) r.first = codes_[s];
    long_symbols_[r.at + r.count++] = static_cast<uint32_t>(s);
  }
}

void CHuffmanFilter::BuildSecondaryTables() {
  // Each prefix of longer codes gets a table of as many index bits as its longest code
  // needs beyond the prefix, at most kSecondaryBits.
  std::vector<int32_t> depth(primary_.size(), 0);
  for (int32_t s = 0; s < symbol_count_; ++s) {
    const int32_t len = lengths_[s];
    if (len <= kPrimaryBits) continue;
    const size_t prefix = static_cast<size_t>(codes_[s] >> (len - kPrimaryBits));
    depth[prefix] = std::max(depth[prefix], std::min(len - kPrimaryBits, kSecondaryBits));
  }
  secondary_.clear();
  for (size_t prefix = 0; prefix < primary_.size(); ++prefix) {
    if (depth[prefix] == 0) continue;
    primary_[prefix] = static_cast<uint64_t>(depth[prefix]) << 8 |
                       static_cast<uint64_t>(secondary_.size()) << 32;
    secondary_.resize(secondary_.size() + (size_t{1} << depth[prefix]), 0);
  }
  for (int32_t s = 0; s < symbol_count_; ++s) {
    const int32_t len = lengths_[s];
    if (len <= kPrimaryBits) continue;
    const uint64_t e = primary_[static_cast<size_t>(codes_[s] >> (len - kPrimaryBits))];
    const int32_t bits = static_cast<int32_t>((e >> 8) & 0xFF);
    const int32_t rest = len - kPrimaryBits;  // code bits after the prefix
    if (rest > bits) continue;
    const uint64_t low = codes_[s] & ((uint64_t{1} << rest) - 1);
    std::fill_n(secondary_.begin() + static_cast<ptrdiff_t>((e >> 32) + (low << (bits - rest))),
                size_t{1} << (bits - rest), symbol_entries_[s]);
  }
}

void CHuffmanFilter::BuildFastTable() {
  // The symbol whose code starts each kFastBits-bit prefix, where that code fits it.
  constexpr uint32_t kSize = uint32_t{1} << kFastBits;
  std::vector<int32_t> starts(kSize, -1);
  for (int32_t s = 0; s < symbol_count_; ++s) {
    const int32_t len = lengths_[s];
    if (len > kFastBits) continue;
    const uint64_t first = codes_[s] << (kFastBits - len);
    std::fill_n(starts.begin() + static_cast<ptrdiff_t>(first), size_t{1} << (kFastBits - len), s);
  }
  fast_.assign(kSize, 0);
  fast_text_.clear();
  // Prefixes whose first `bits` bits are the same codes share their text. Prefixes rise,
  // so for each code bit count the prefixes of one code sequence come one after another.
  struct Placed {
    uint32_t top = UINT32_MAX;
    uint32_t at = 0;
  };
  Placed placed[kFastBits + 1];
  for (uint32_t prefix = 0; prefix < kSize; ++prefix) {
    uint8_t entry[kFastText];
    uint32_t bits = 0;
    uint32_t length = 0;
    uint32_t nuls = 0;
    uint32_t escape = 0;
    // Whole codes from the prefix's start on: the bits after `bits` start the next code,
    // which counts when the prefix holds all of it and its text still fits.
    while (bits < kFastBits) {
      const int32_t s = starts[(prefix << bits) & (kSize - 1)];
      if (s < 0) break;
      const uint64_t e = symbol_entries_[s];
      const uint32_t code_length = static_cast<uint32_t>(e & kCodeLengthMask);
      const uint32_t n = static_cast<uint32_t>(TextLength(e));
      if (bits + code_length > kFastBits || length + n > kFastText) break;
      const char* from = text_.data() + TextAt(e);
      std::memcpy(entry + length, from, n);
      nuls += static_cast<uint32_t>(std::count(from, from + n, '\0'));
      if (e & kEntryEscape) escape = kFastEscape;
      bits += code_length;
      length += n;
    }
    Placed& p = placed[bits];
    const uint32_t top = prefix >> (kFastBits - bits);
    if (bits != 0 && p.top != top) {
      if (fast_text_.size() + length < kFastAtLimit) {
        p.top = top;
        p.at = static_cast<uint32_t>(fast_text_.size());
        fast_text_.insert(fast_text_.end(), entry, entry + length);
      } else {
        bits = 0;  // no room left for the text: decoded as a single symbol
      }
    }
    if (bits != 0) {
      fast_[prefix] = bits | p.at << kFastAtShift | escape | length << kFastLengthShift |
                      std::min(nuls, kFastMaxNuls) << kFastNulShift;
    } else if (starts[prefix] >= 0) {
      fast_[prefix] = static_cast<uint32_t>(starts[prefix]) << kFastAtShift;
    } else {
      const uint64_t e = primary_[prefix >> (kFastBits - kPrimaryBits)];
      fast_[prefix] = static_cast<uint32_t>((e >> 32) << kFastAtShift |
                                            ((e >> 8) & 0xF) << kSlowIndexShift);
    }
  }
  // Every entry's text is read as kFastText bytes.
  fast_text_.resize(fast_text_.size() + kFastText, 0);
}

bool CHuffmanFilter::DecodeLong(uint64_t v, int32_t& symbol, int32_t& length) const {
  for (int32_t len = kPrimaryBits + 1; len <= max_length_; ++len) {
    const LengthRange& r = ranges_[len];
    const uint64_t c = v >> (64 - len);
    if (c - r.first < r.count) {
      symbol = static_cast<int32_t>(long_symbols_[r.at + (c - r.first)]);
      length = len;
      return true;
    }
  }
  return false;
}

bool CHuffmanFilter::decode(int32_t input_bits, const uint8_t* source, size_t source_bytes,
                            int32_t& capacity, uint8_t* destination, int64_t stop_nuls) {
  stopped_ = false;
  if (!built_) {
    if (input_bits > 0 && capacity > 0) {
      // Never built (or the build failed): no code to recognise.
      SetStatus(kHuffmanBadPrefix, HuffmanStatusText(kHuffmanBadPrefix, 0));
      return false;
    }
    capacity = 0;
    SetStatus(0, "CHuffmanFilter.decode... Ok");
    return true;
  }
  // A built code is complete: every bit string starts with a code, so decoding runs
  // until the input bits are spent or a symbol's output does not fit the room. Output
  // whole bytes only; a part byte of room holds nothing.
  const int64_t input = input_bits;
  uint8_t* out = destination;
  uint8_t* const end = destination + (capacity > 0 ? capacity / 8 : 0);
  const uint32_t* fast = fast_.data();
  const uint64_t* primary = primary_.data();
  const uint64_t* secondary = secondary_.data();
  const char* text = text_.data();
  // Writes the text of the symbol entry e if it fits the room (which ends the decode
  // when it does not): in 16-byte steps where the room holds them all, else exactly.
  auto put = [&](uint64_t e) {
    const int64_t n = TextLength(e);
    const int64_t left = end - out;
    if (n > left) return false;
    const char* from = text + TextAt(e);
    if (((n + kCopyStep - 1) & ~(kCopyStep - 1)) <= left) {
      for (int64_t i = 0; i < n; i += kCopyStep) std::memcpy(out + i, from + i, kCopyStep);
    } else {
      CopyExactly(out, from, n);
    }
    out += n;
    return true;
  };
  // Bits decoded so far, and at least how many 0 bytes the output holds.
  uint64_t p = 0;
  int64_t nuls = 0;
  uint32_t seen = 0;  // kFastEscape once the output holds an escape byte
  bool stopped = false;

  // Groups of kGroup fast lookups from one window, while a window is one load and holds
  // the group's bits, every lookup has at least kFastBits input bits left (so every
  // symbol of an entry starts before the input ends) and, checked per lookup, an
  // entry's kFastText-byte store fits the room (so all its texts fit). A symbol the fast
  // table does not hold is decoded on its own, then the next group starts after it.
  if (end - out >= kFastText) {
    uint8_t* const store_end = end - kFastText;
    const uint8_t* const fast_text = fast_text_.data();
    while (static_cast<int64_t>(p) + kGroup * kFastBits <= input && (p >> 3) + 8 <= source_bytes) {
      if (nuls >= stop_nuls) {
        // Without an escape byte the zero-run stage copies this output as it is, so its
        // first stop_nuls 0 bytes are already final.
        if ((seen & kFastEscape) == 0) {
          stopped = true;
          goto done;
        }
        stop_nuls = kNoStop;
        continue;
      }
      uint64_t w;
      std::memcpy(&w, source + (p >> 3), 8);
      uint64_t window = __builtin_bswap64(w) << (p & 7);
      uint32_t f;
      for (int k = 0; k < kGroup; ++k) {
        if (out > store_end) goto rest;
        f = fast[window >> (64 - kFastBits)];
        const uint32_t bits = f & kFastCodeMask;
        if (bits == 0) goto one;
        seen |= f;
        std::memcpy(out, fast_text + ((f >> kFastAtShift) & (kFastAtLimit - 1)), kFastText);
        out += (f >> kFastLengthShift) & 0x1F;
        nuls += f >> kFastNulShift;
        window <<= bits;
        p += bits;
      }
      continue;
    one:
      // One symbol on its own, named by the fast entry or found through its secondary
      // table; the window holds enough valid bits for that table.
      {
        const uint32_t bits = f >> kSlowIndexShift;
        const uint32_t at = (f >> kFastAtShift) & kSlowAtMask;
        uint64_t e;
        if (bits == 0) {
          e = symbol_entries_[at];
        } else {
          e = secondary[at + ((window << kPrimaryBits) >> (64 - bits))];
          if (e == 0) {
            // Longer than both tables: decode from the code ranges.
            int32_t s = 0;
            int32_t len = 0;
            DecodeLong(Peek64(source, source_bytes, p), s, len);  // always found: the code is complete
            e = symbol_entries_[s];
          }
        }
        p += e & kCodeLengthMask;
        nuls += TextAt(e) == 0;  // the text of byte 0; phrases hold no 0 byte
        seen |= static_cast<uint32_t>((e & kEntryEscape) >> 9);
        const int64_t n = TextLength(e);
        if (n <= kFastText) {
          // The room holds a fast entry's store here, and text_ a block past any text.
          std::memcpy(out, text + TextAt(e), kFastText);
          out += n;
        } else if (!put(e)) {
          goto done;
        }
      }
    }
  }

rest:
  // The rest, one symbol at a time with every bound checked.
  {
    int64_t remaining = input - static_cast<int64_t>(p);
    uint64_t window = Peek57(source, source_bytes, p);
    uint32_t used = 0;
    while (remaining > 0) {
      if (used > kRefillAfter) {
        p += used;
        window = Peek57(source, source_bytes, p);
        used = 0;
      }
      uint64_t e = primary[(window << used) >> (64 - kPrimaryBits)];
      if ((e & kCodeLengthMask) == 0) {
        const uint32_t bits = static_cast<uint32_t>((e >> 8) & 0xFF);
        e = secondary[(e >> 32) + ((window << (used + kPrimaryBits)) >> (64 - bits))];
        if (e == 0) {
          p += used;
          int32_t s = 0;
          int32_t len = 0;
          DecodeLong(Peek64(source, source_bytes, p), s, len);
          e = symbol_entries_[s];
          p += static_cast<uint64_t>(len);
          window = Peek57(source, source_bytes, p);
          used = 0 - static_cast<uint32_t>(len);  // the add below makes it 0
        }
      }
      used += static_cast<uint32_t>(e & kCodeLengthMask);
      remaining -= static_cast<int64_t>(e & kCodeLengthMask);
      if (!put(e)) break;
    }
  }
done:
  stopped_ = stopped;
  capacity = static_cast<int32_t>(8 * (out - destination));
  // Assigned in place: the text's buffer is reused from decode to decode.
  SetDecodeOk();
  return true;
}

bool CHuffmanFilter::destroyDecoder() {
  codes_.clear();
  lengths_.clear();
  symbol_entries_.clear();
  primary_.clear();
  fast_.clear();
  secondary_.clear();
  ranges_.clear();
  long_symbols_.clear();
  text_.clear();
  max_length_ = 0;
  built_ = false;
  SetStatus(0, "CHuffmanFilter.destroyDecoder... Ok");
  return true;
}

// ---- CRleFilter ----------------------------------------------------------------------

CRleFilter::CRleFilter() : status_text_("CRleFilter constructed") {}

bool CRleFilter::createDecoder() {
  status_ = 0;
  status_text_ = "CRleFilter.createDecoder... Ok";
  decode_ok_ = false;
  return true;
}

bool CRleFilter::destroyDecoder() {
  status_ = 0;
  status_text_ = "CRleFilter.destroyDecoder... Ok";
  decode_ok_ = false;
  return true;
}

bool CRleFilter::decode(int32_t input_bits, const uint8_t* source, size_t source_bytes,
                        int32_t& capacity, uint8_t* destination) {
  // Tokens are read while input bytes remain (i < m) and output room remains (o < k); a
  // token's escape bytes may lie past m, and bytes past the source read as zero.
  const int64_t m = input_bits / 8;
  const int64_t k = capacity / 8;
  const int64_t readable = static_cast<int64_t>(source_bytes);
  int64_t i = 0;
  int64_t o = 0;
  if (m >= 1) {
    while (o < k) {
      // Literal bytes up to the next escape, as far as input and room allow.
      const int64_t span = std::min(m - i, k - o);
      const int64_t in_source = std::clamp<int64_t>(readable - i, 0, span);
      int64_t literals = in_source;
      if (in_source > 0) {
        const void* escape = std::memchr(source + i, format::kRunEscape, static_cast<size_t>(in_source));
        if (escape) literals = static_cast<const uint8_t*>(escape) - (source + i);
        std::memcpy(destination + o, source + i, static_cast<size_t>(literals));
      }
      if (literals == in_source && in_source < span) {
        // Past the source every byte reads as a zero literal.
        std::memset(destination + o + in_source, 0, static_cast<size_t>(span - in_source));
        literals = span;
      }
      o += literals;
      i += literals;
      if (literals == span) break;  // input or room used up

      // An escape at i.
      int64_t run = 0;
      const uint32_t x = ByteAt(source, source_bytes, static_cast<uint64_t>(i + 1));
      if (x == format::kRunLiteralFF) {
        destination[o++] = format::kRunEscape;
        i += 2;
      } else if (x != format::kRunLongForm) {
        run = x + 1;
        i += 2;
      } else {
        run = ByteAt(source, source_bytes, static_cast<uint64_t>(i + 2)) +
              256 * ByteAt(source, source_bytes, static_cast<uint64_t>(i + 3)) + 1;
        i += 4;
      }
      if (run > 0) {
        if (o + run <= k) {
          std::memset(destination + o, 0, static_cast<size_t>(run));
          o += run;
        } else {
          o = k;
        }
      }
      if (i >= m) break;
    }
  }
  capacity = static_cast<int32_t>(8 * o);
  status_ = 0;
  if (!decode_ok_) {
    status_text_ = "CRleFilter.decode... Ok";
    decode_ok_ = true;
  }
  return true;
}

// ---- The model -----------------------------------------------------------------------

bool ParseWordfreq(const uint8_t* data, size_t size, std::vector<Phrase>& phrases) {
  phrases.clear();
  size_t at = 0;
  while (size - at >= format::kWordfreqCountBytes) {
    if (static_cast<int32_t>(phrases.size()) == format::kMaxWordfreqEntries) return false;
    Phrase p;
    p.count = static_cast<int32_t>(format::DecodeFixed32(data + at));
    at += format::kWordfreqCountBytes;
    const uint8_t* text = data + at;
    const size_t room = std::min<size_t>(size - at, format::kMaxWordfreqText + 1);
    const void* nul = std::memchr(text, 0, room);
    if (!nul) return false;  // longer than 255 bytes, or cut off before its 0 byte
    const size_t len = static_cast<const uint8_t*>(nul) - text;
    p.text.assign(reinterpret_cast<const char*>(text), len);
    at += len + 1;
    phrases.push_back(std::move(p));
  }
  return true;
}

int32_t RecordCodec::Build(const uint8_t* charfreq, size_t charfreq_size, const uint8_t* wordfreq,
                           size_t wordfreq_size) {
  Release();
  if (charfreq_size < format::kCharfreqBytes) return ERROR_OpenCharfreqFile;
  int32_t byte_weights[kByteSymbols];
  for (int b = 0; b < kByteSymbols; ++b) {
    byte_weights[b] = static_cast<int32_t>(format::DecodeFixed32(charfreq + format::CharfreqOffset(b)));
  }
  std::vector<Phrase> parsed;
  if (!ParseWordfreq(wordfreq, wordfreq_size, parsed)) return ERROR_OpenWordfreqFile;

  weights = ModelWeights(byte_weights, parsed);
  phrases.reserve(parsed.size());
  for (Phrase& p : parsed) phrases.push_back(std::move(p.text));

  const bool built = huffman.createDecoder(static_cast<int32_t>(weights.size()), phrases.data(),
                                           weights.data());
  rle.createDecoder();
  // Weights that give no complete code cannot decode the records: refuse the base.
  return built ? 0 : ERROR_OpenCharfreqFile;
}

void RecordCodec::Release() {
  huffman.destroyDecoder();
  rle.destroyDecoder();
  phrases.clear();
  weights.clear();
}

namespace {

// The two buffers' bounds, whatever meta.dat claims: input and output never reach past them.
struct RecordBounds {
  int32_t decode_bits;  // input of the first stage, room of the second
  int32_t read_bits;    // room of the first stage
  size_t read_bytes;    // bytes of the stored form
};
RecordBounds BoundRecord(size_t buf_size, int32_t read_bytes, int32_t decode_bytes) {
  const int64_t max_bits = static_cast<int64_t>(buf_size) * 8;
  RecordBounds b;
  b.decode_bits = static_cast<int32_t>(std::clamp<int64_t>(int64_t{decode_bytes} * 8, 0, max_bits));
  b.read_bits = static_cast<int32_t>(std::clamp<int64_t>(int64_t{read_bytes} * 8, 0, max_bits));
  b.read_bytes = static_cast<size_t>(b.read_bits / 8);
  return b;
}

}  // namespace

void RecordCodec::DecodeRecord(uint8_t* buf1, uint8_t* buf2, size_t buf_size, int32_t read_bytes,
                               int32_t decode_bytes, int64_t field_count) {
  const RecordBounds b = BoundRecord(buf_size, read_bytes, decode_bytes);
  // The first stage reads only the record's own bytes: where meta.dat claims more input
  // than a fetch reads, the rest reads as zero, never as an earlier record's output.
  // A field ends with a 0 byte: once the first stage's output holds field_count final
  // ones, the rest of the record's bytes reach no field.
  int32_t produced = b.read_bits;
  huffman.decode(b.decode_bits, buf1, b.read_bytes, produced, buf2, field_count);
  // The second stage reads only what the first one wrote: an escape cut off at the end
  // of a damaged record reads zeros, never bytes an earlier record left in buf2.
  int32_t capacity = b.decode_bits;
  rle.decode(produced, buf2, static_cast<size_t>(produced / 8), capacity, buf1);
}

void RecordCodec::DecodeStored(const uint8_t* source, size_t source_bytes, uint8_t* buf1,
                               uint8_t* buf2, size_t buf_size, int32_t read_bytes,
                               int32_t decode_bytes, int64_t field_count) {
  const RecordBounds b = BoundRecord(buf_size, read_bytes, decode_bytes);
  source_bytes = std::min(source_bytes, b.read_bytes);
  int32_t produced = b.read_bits;
  huffman.decode(b.decode_bits, source, source_bytes, produced, buf1, field_count);
  // Stopped after the fields, without an escape, and inside the second stage's room:
  // that stage would copy the output as it is.
  if (huffman.stopped() && produced <= b.decode_bits) return;
  // Otherwise as DecodeRecord: the first stage's output in buffer 2, the stored bytes
  // (then zeros) in buffer 1 under the second stage's output.
  const size_t n = static_cast<size_t>(produced / 8);
  std::memcpy(buf2, buf1, n);
  if (source_bytes > 0) std::memcpy(buf1, source, source_bytes);
  std::memset(buf1 + source_bytes, 0, b.read_bytes - source_bytes);
  int32_t capacity = b.decode_bits;
  rle.decode(produced, buf2, n, capacity, buf1);
}

namespace {

// The whole stream from its start, at most max_bytes.
std::vector<uint8_t> ReadAll(std::FILE* f, size_t max_bytes) {
  std::vector<uint8_t> data;
  if (!f || std::fseek(f, 0, SEEK_SET) != 0) return data;
  uint8_t piece[16384];
  while (data.size() < max_bytes) {
    const size_t want = std::min(sizeof piece, max_bytes - data.size());
    const size_t got = std::fread(piece, 1, want, f);
    data.insert(data.end(), piece, piece + got);
    if (got < want) break;
  }
  return data;
}

}  // namespace

int32_t OpenRecordCodec(std::FILE* charfreq, std::FILE* wordfreq, RecordCodec& codec) {
  const std::vector<uint8_t> cf = ReadAll(charfreq, format::kCharfreqBytes);
  // A count's bytes past the longest well-formed wordfreq.dat always start an entry too
  // many, so reading stops there.
  const std::vector<uint8_t> wf =
      ReadAll(wordfreq, format::kMaxWordfreqBytes + format::kWordfreqCountBytes);
  return codec.Build(cf.data(), cf.size(), wf.data(), wf.size());
}

}  // namespace lodex
