#include "codec.h"

#include <algorithm>
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

constexpr int32_t kEmptyEntry = std::numeric_limits<int32_t>::min();  // 0x80000000
constexpr int kFastBits = 12;

// Source byte k, or 0 at and past the end of the readable bytes.
inline uint32_t ByteAt(const uint8_t* src, size_t size, int64_t k) {
  return static_cast<uint64_t>(k) < size ? src[k] : 0u;
}

// The 16-bit big-endian window that holds bit p in its top byte.
inline uint32_t Window16(const uint8_t* src, size_t size, int64_t p) {
  const int64_t k = p >> 3;
  if (static_cast<uint64_t>(k) + 2 <= size) return (uint32_t{src[k]} << 8) | src[k + 1];
  return (ByteAt(src, size, k) << 8) | ByteAt(src, size, k + 1);
}

// The 12 bits at bit position p, read through one 64-bit big-endian load when the
// source has eight bytes from p's byte on.
inline uint32_t Bits12(const uint8_t* src, size_t size, int64_t p) {
  const uint64_t k = static_cast<uint64_t>(p >> 3);
  if (k + 8 <= size) {
    uint64_t w;
    std::memcpy(&w, src + k, 8);
    w = __builtin_bswap64(w);
    return static_cast<uint32_t>((w << (p & 7)) >> 52);
  }
  const uint32_t w24 = (ByteAt(src, size, k) << 16) | (ByteAt(src, size, k + 1) << 8) |
                       ByteAt(src, size, k + 2);
  return (w24 >> (12 - (p & 7))) & 0xFFF;
}

}  // namespace

// ---- CHuffmanFilter ------------------------------------------------------------------

CHuffmanFilter::CHuffmanFilter() { SetStatus(0, "CHuffmanFilter.CHuffmanFilter... Ok!"); }

void CHuffmanFilter::SetStatus(int32_t code, std::string text) {
  status_ = code;
  status_text_ = std::move(text);
}

bool CHuffmanFilter::createDecoder(int32_t symbol_count, const std::string* phrases,
                                   const int32_t* weights) {
  built_ = false;
  fast_.clear();
  tables_.clear();
  symbol_count_ = std::max(symbol_count, 0);
  phrases_ = phrases;
  weights_ = weights;

  out_lengths_.assign(symbol_count_, 1);
  for (int32_t s = kByteSymbols; s < symbol_count_; ++s) {
    out_lengths_[s] = static_cast<int32_t>(phrases_[s - kByteSymbols].size());
  }

  const std::vector<int32_t> w(weights_, weights_ + symbol_count_);
  lengths_ = CodeLengths(w);
  max_length_ = 0;
  for (int16_t l : lengths_) max_length_ = std::max<int32_t>(max_length_, l);

  const HuffmanStatus code_status = CanonicalCodes(lengths_, codes_);
  if (code_status != kHuffmanOk) {
    SetStatus(code_status, HuffmanStatusText(code_status, max_length_));
    return false;
  }
  if (!BuildTables()) return false;
  BuildFastTable();
  built_ = true;
  SetStatus(0, HuffmanStatusText(kHuffmanOk, max_length_));
  return true;
}

bool CHuffmanFilter::BuildTables() {
  tables_.assign(16, kEmptyEntry);
  for (int32_t s = 0; s < symbol_count_; ++s) {
    const int32_t len = lengths_[s];
    uint64_t v = codes_[s] << (64 - len);
    int32_t table = 0;
    int32_t r = len;
    while (r > 4) {
      const int32_t i = static_cast<int32_t>(v >> 60);
      v <<= 4;
      int32_t& entry = tables_[table * 16 + i];
      if (entry == kEmptyEntry) {
        const int32_t next = static_cast<int32_t>(tables_.size() / 16);
        tables_.insert(tables_.end(), 16, kEmptyEntry);
        tables_[table * 16 + i] = -next;  // entry may dangle after the insert
        table = next;
      } else if (entry < 0) {
        table = -entry;
      } else {
        SetStatus(kHuffmanTableClash, HuffmanStatusText(kHuffmanTableClash, max_length_));
        return false;
      }
      r -= 4;
    }
    const int32_t i = static_cast<int32_t>(v >> 60);
    const int32_t span = 1 << (4 - r);
    for (int32_t k = 0; k < span; ++k) tables_[table * 16 + i + k] = s;
  }
  return true;
}

void CHuffmanFilter::BuildFastTable() {
  // For each 12-bit window, follow the 4-bit tables for at most three steps. A symbol
  // reached that way has its whole code inside the window and decodes in one lookup;
  // anything else (longer codes, empty entries) goes the 4-bit way.
  fast_.assign(size_t{1} << kFastBits, FastEntry{0, 0});
  for (uint32_t w = 0; w < (1u << kFastBits); ++w) {
    int32_t table = 0;
    for (int step = 0; step < kFastBits / 4; ++step) {
      const int32_t e = tables_[table * 16 + ((w >> (kFastBits - 4 - 4 * step)) & 15)];
      if (e == kEmptyEntry) break;
      if (e < 0) { table = -e; continue; }
      if (e <= 0xFFFF && lengths_[e] <= kFastBits) {
        fast_[w] = FastEntry{static_cast<uint16_t>(e), static_cast<uint8_t>(lengths_[e])};
      }
      break;
    }
  }
}

bool CHuffmanFilter::decode(int32_t input_bits, const uint8_t* source, size_t source_bytes,
                            int32_t& capacity, uint8_t* destination) {
  int64_t p = 0;
  int64_t o = 0;
  int64_t remaining = input_bits;
  int64_t room = capacity;
  if (built_) {
    while (remaining > 0 && room > 0) {
      int32_t s;
      int32_t len;
      const FastEntry f = fast_[Bits12(source, source_bytes, p)];
      if (f.length != 0) {
        s = f.symbol;
        len = f.length;
        p += len;
      } else {
        const int64_t start = p;
        int32_t table = 0;
        for (;;) {
          const uint32_t w = Window16(source, source_bytes, p);
          const int32_t e = tables_[table * 16 + ((w >> (12 - (p & 7))) & 15)];
          if (e == kEmptyEntry) {
            capacity = static_cast<int32_t>(room);
            SetStatus(kHuffmanBadPrefix, HuffmanStatusText(kHuffmanBadPrefix, 0));
            return false;
          }
          if (e < 0) {
            table = -e;
            p += 4;
            continue;
          }
          s = e;
          break;
        }
        len = lengths_[s];
        p = start + len;
      }
      remaining -= len;
      if (s < kByteSymbols) {
        if (room >= 8) {
          destination[o++] = static_cast<uint8_t>(s);
          room -= 8;
        } else {
          room = 0;
        }
      } else {
        const int32_t n = out_lengths_[s];
        if (room >= int64_t{8} * n) {
          std::memcpy(destination + o, phrases_[s - kByteSymbols].data(), n);
          o += n;
          room -= int64_t{8} * n;
        } else {
          room = 0;
        }
      }
    }
  } else if (remaining > 0 && room > 0) {
    // Never built (or the build failed): table 0 has no entries to follow.
    SetStatus(kHuffmanBadPrefix, HuffmanStatusText(kHuffmanBadPrefix, 0));
    return false;
  }
  capacity = static_cast<int32_t>(8 * o);
  SetStatus(0, "CHuffmanFilter.decode... Ok");
  return true;
}

bool CHuffmanFilter::destroyDecoder() {
  out_lengths_.clear();
  codes_.clear();
  lengths_.clear();
  tables_.clear();
  fast_.clear();
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
  return true;
}

bool CRleFilter::destroyDecoder() {
  status_ = 0;
  status_text_ = "CRleFilter.destroyDecoder... Ok";
  return true;
}

bool CRleFilter::decode(int32_t input_bits, const uint8_t* source, size_t source_bytes,
                        int32_t& capacity, uint8_t* destination) {
  const int64_t m = input_bits / 8;
  const int64_t k = capacity / 8;
  int64_t i = 0;
  int64_t o = 0;
  if (m >= 1) {
    while (o < k) {
      const uint32_t b = ByteAt(source, source_bytes, i);
      int64_t run = 0;
      if (b != format::kRunEscape) {
        destination[o++] = static_cast<uint8_t>(b);
        i += 1;
      } else {
        const uint32_t x = ByteAt(source, source_bytes, i + 1);
        if (x == format::kRunLiteralFF) {
          destination[o++] = format::kRunEscape;
          i += 2;
        } else if (x != format::kRunLongForm) {
          run = x + 1;
          i += 2;
        } else {
          run = ByteAt(source, source_bytes, i + 2) + 256 * ByteAt(source, source_bytes, i + 3) + 1;
          i += 4;
        }
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
  status_text_ = "CRleFilter.decode... Ok";
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

void RecordCodec::DecodeRecord(uint8_t* buf1, uint8_t* buf2, size_t buf_size, int32_t read_bytes,
                               int32_t decode_bytes) {
  // Input and output bounds never reach past the buffers, whatever meta.dat claims.
  const int64_t max_bits = static_cast<int64_t>(buf_size) * 8;
  const int32_t decode_bits =
      static_cast<int32_t>(std::clamp<int64_t>(int64_t{decode_bytes} * 8, 0, max_bits));
  int32_t produced =
      static_cast<int32_t>(std::clamp<int64_t>(int64_t{read_bytes} * 8, 0, max_bits));
  huffman.decode(decode_bits, buf1, buf_size, produced, buf2);
  int32_t capacity = decode_bits;
  rle.decode(produced, buf2, buf_size, capacity, buf1);
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
