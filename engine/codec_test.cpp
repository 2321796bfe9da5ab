#include "codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>

#include "lodex32_errors.h"
#include "store.h"
#include "testing/reference_codec.h"

namespace lodex {
namespace {

// Appends symbol codes to a bit string, most significant bit first.
class BitWriter {
 public:
  void Put(uint64_t code, int len) {
    for (int i = len - 1; i >= 0; --i) {
      if (bits_ % 8 == 0) bytes_.push_back(0);
      if ((code >> i) & 1) bytes_.back() |= uint8_t(0x80 >> (bits_ % 8));
      ++bits_;
    }
  }
  std::vector<uint8_t>& bytes() { return bytes_; }
  int32_t bits() const { return bits_; }

 private:
  std::vector<uint8_t> bytes_;
  int32_t bits_ = 0;
};

// A model built the way a base is opened, plus an encoder for test input.
struct Model {
  RecordCodec codec;
  int32_t build_result = 0;

  explicit Model(const std::vector<int32_t>& byte_weights, const std::vector<Phrase>& phrases = {}) {
    std::vector<uint8_t> cf(1024);
    for (int b = 0; b < 256; ++b) {
      uint32_t w = b < static_cast<int>(byte_weights.size()) ? byte_weights[b] : 0;
      for (int k = 0; k < 4; ++k) cf[4 * b + k] = uint8_t(w >> (8 * k));
    }
    std::vector<uint8_t> wf;
    for (const Phrase& p : phrases) {
      for (int k = 0; k < 4; ++k) wf.push_back(uint8_t(uint32_t(p.count) >> (8 * k)));
      wf.insert(wf.end(), p.text.begin(), p.text.end());
      wf.push_back(0);
    }
    build_result = codec.Build(cf.data(), cf.size(), wf.data(), wf.size());
  }

  void Put(BitWriter& w, int symbol) const {
    w.Put(codec.huffman.codes()[symbol], codec.huffman.code_lengths()[symbol]);
  }
};

// The text of every symbol of a model: the byte, or the phrase.
std::vector<std::string> SymbolTexts(const RecordCodec& codec) {
  std::vector<std::string> texts;
  for (int b = 0; b < 256; ++b) texts.emplace_back(1, char(b));
  texts.insert(texts.end(), codec.phrases.begin(), codec.phrases.end());
  return texts;
}

// Decodes bit by bit against the code table: the straightforward meaning of the code.
std::vector<uint8_t> ReferenceDecode(const Model& m, const std::vector<uint8_t>& src,
                                     int32_t bits, int32_t capacity) {
  return testing::ReferenceHuffmanDecode(m.codec.huffman.code_lengths(), m.codec.huffman.codes(),
                                         SymbolTexts(m.codec), bits, src.data(), src.size(),
                                         capacity)
      .out;
}

TEST(CHuffmanFilter, StatusTextsThroughItsLife) {
  CHuffmanFilter h;
  EXPECT_EQ(h.status(), 0);
  EXPECT_EQ(h.status_text(), "CHuffmanFilter.CHuffmanFilter... Ok!");
  std::vector<int32_t> w(256, 1);
  std::vector<std::string> phrases;
  ASSERT_TRUE(h.createDecoder(256, phrases.data(), w.data()));
  EXPECT_EQ(h.status_text(), "CHuffmanFilter.createDecoder... Ok");
  uint8_t src[4] = {'a', 'b', 0, 0}, dst[8];
  int32_t cap = 64;
  ASSERT_TRUE(h.decode(16, src, sizeof src, cap, dst));
  EXPECT_EQ(cap, 16);
  EXPECT_EQ(h.status_text(), "CHuffmanFilter.decode... Ok");
  EXPECT_TRUE(h.destroyDecoder());
  EXPECT_EQ(h.status(), 0);
  EXPECT_EQ(h.status_text(), "CHuffmanFilter.destroyDecoder... Ok");
  // A destroyed decoder has no tables: its first lookup finds nothing.
  cap = 64;
  EXPECT_FALSE(h.decode(16, src, sizeof src, cap, dst));
  EXPECT_EQ(h.status(), 6);
  EXPECT_EQ(h.status_text(), "CHuffmanFilter.decode... Error: Unrecognized huffmancode-prefix.");

  CRleFilter r;
  EXPECT_EQ(r.status_text(), "CRleFilter constructed");
  EXPECT_TRUE(r.createDecoder());
  EXPECT_EQ(r.status_text(), "CRleFilter.createDecoder... Ok");
  cap = 64;
  EXPECT_TRUE(r.decode(16, src, sizeof src, cap, dst));
  EXPECT_EQ(r.status_text(), "CRleFilter.decode... Ok");
  EXPECT_TRUE(r.destroyDecoder());
  EXPECT_EQ(r.status_text(), "CRleFilter.destroyDecoder... Ok");
}

TEST(CHuffmanFilter, FlatWeightsDecodeBytesAsThemselves) {
  Model m({});
  ASSERT_EQ(m.build_result, 0);
  std::vector<uint8_t> src = {0x00, 0xFF, 0x41, 0x80};
  uint8_t dst[16];
  int32_t cap = 128;
  ASSERT_TRUE(m.codec.huffman.decode(32, src.data(), src.size(), cap, dst));
  ASSERT_EQ(cap, 32);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 4), src);
  // Room below one byte: nothing is written.
  cap = 7;
  ASSERT_TRUE(m.codec.huffman.decode(32, src.data(), src.size(), cap, dst));
  EXPECT_EQ(cap, 0);
  // No input: nothing is written.
  cap = 128;
  ASSERT_TRUE(m.codec.huffman.decode(0, src.data(), src.size(), cap, dst));
  EXPECT_EQ(cap, 0);
}

TEST(CHuffmanFilter, PhrasesDecodeWholeOrNotAtAll) {
  std::vector<int32_t> w(256, 5);
  Model m(w, {{40, "KABEL"}, {30, "LED "}, {3, ""}});
  ASSERT_EQ(m.build_result, 0);
  BitWriter bw;
  m.Put(bw, 'X');
  m.Put(bw, 256);
  m.Put(bw, 258);  // empty phrase: decodes to nothing
  m.Put(bw, 257);
  m.Put(bw, 'Y');
  uint8_t dst[64];
  int32_t cap = 8 * 64;
  ASSERT_TRUE(m.codec.huffman.decode(bw.bits(), bw.bytes().data(), bw.bytes().size(), cap, dst));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(dst), cap / 8), "XKABELLED Y");
  // Room for "X" and four bytes: the 5-byte phrase ends the decode unwritten.
  cap = 8 * 5;
  std::fill(std::begin(dst), std::end(dst), '.');
  ASSERT_TRUE(m.codec.huffman.decode(bw.bits(), bw.bytes().data(), bw.bytes().size(), cap, dst));
  EXPECT_EQ(cap, 8);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(dst), 6), "X.....");
}

TEST(CHuffmanFilter, MatchesBitwiseDecodingOnRandomStreams) {
  // Skewed weights and many phrases give codes from 2 to well over 12 bits, so both the
  // one-lookup path and the 4-bit table walk are exercised, also on garbage input.
  std::mt19937 rng(7);
  std::vector<int32_t> w(256);
  for (int b = 0; b < 256; ++b) w[b] = b < 64 ? int32_t(rng() % 100000) : int32_t(rng() % 20);
  std::vector<Phrase> phrases;
  for (int k = 0; k < 700; ++k) {
    std::string t;
    const int len = int(rng() % 12);
    for (int i = 0; i < len; ++i) t.push_back(char('A' + rng() % 26));
    phrases.push_back({int32_t(rng() % 3000), t});
  }
  Model m(w, phrases);
  ASSERT_EQ(m.build_result, 0);
  EXPECT_GT(m.codec.huffman.max_code_length(), 12);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> src(1 + rng() % 80);
    for (auto& b : src) b = uint8_t(rng());
    const int32_t bits = int32_t(rng() % (src.size() * 8 + 40));  // may run past the input
    const int32_t cap_bytes = int32_t(rng() % 200);
    std::vector<uint8_t> dst(cap_bytes + 1, 0xEE);
    int32_t cap = cap_bytes * 8;
    ASSERT_TRUE(m.codec.huffman.decode(bits, src.data(), src.size(), cap, dst.data()));
    const std::vector<uint8_t> want = ReferenceDecode(m, src, bits, cap_bytes * 8);
    ASSERT_EQ(cap, int32_t(want.size()) * 8) << "round " << round;
    ASSERT_EQ(std::vector<uint8_t>(dst.begin(), dst.begin() + want.size()), want);
    EXPECT_EQ(dst[cap_bytes], 0xEE);  // never past the capacity
  }
}

// Random model weights of several shapes: flat, powers of two (deep codes, many past
// the decoder's two tables), a few heavy bytes, with up to a few thousand phrases.
Model RandomModel(std::mt19937& rng) {
  std::vector<int32_t> w(256);
  const int shape = int(rng() % 3);
  for (int b = 0; b < 256; ++b) {
    if (shape == 0) w[b] = int32_t(1 + rng() % 1000);
    if (shape == 1) w[b] = int32_t(1u << (rng() % 24));
    if (shape == 2) w[b] = rng() % 8 == 0 ? int32_t(rng() % 1000000) : 0;
  }
  std::vector<Phrase> phrases(rng() % 3 == 0 ? 0 : rng() % 3000);
  for (Phrase& p : phrases) {
    const size_t len = rng() % 50 == 0 ? rng() % 256 : rng() % 40;
    for (size_t i = 0; i < len; ++i) p.text.push_back(char(1 + rng() % 255));
    p.count = shape == 1 ? int32_t(1u << (rng() % 20)) : int32_t(rng() % 5000);
  }
  return Model(w, phrases);
}

// Input for a model: its symbols' codes (all or cut short), garbage, or one repeated
// byte, with bit counts and capacities that may be negative, odd or past the input.
struct RandomStream {
  std::vector<uint8_t> bytes;
  int32_t bits = 0;
  int32_t capacity = 0;
};
RandomStream RandomInput(std::mt19937& rng, const Model& m) {
  RandomStream in;
  const int kind = int(rng() % 4);
  if (kind == 0 || kind == 1) {
    BitWriter bw;
    const int symbols = int(rng() % 300);
    const int count = int(m.codec.huffman.code_lengths().size());
    for (int i = 0; i < symbols; ++i) m.Put(bw, int(rng() % count));
    in.bytes = bw.bytes();
    in.bits = bw.bits();
    if (kind == 1 && !in.bytes.empty()) {  // truncated: fewer bytes or fewer bits
      in.bytes.resize(rng() % in.bytes.size());
      in.bits -= int32_t(rng() % (in.bits + 1));
    }
  } else if (kind == 2) {
    in.bytes.resize(rng() % 400);
    for (auto& b : in.bytes) b = uint8_t(rng());
    in.bits = int32_t(in.bytes.size() * 8);
  } else {
    in.bytes.assign(rng() % 100, uint8_t(rng() % 2 ? 0xFF : 0x00));
    in.bits = int32_t(in.bytes.size() * 8);
  }
  in.bits += int32_t(rng() % 80) - 20;
  const int pick = int(rng() % 10);
  in.capacity = pick == 0 ? -int32_t(rng() % 100) : pick == 1 ? int32_t(rng() % 16)
                                                                 : int32_t(rng() % 20000);
  return in;
}

TEST(CHuffmanFilter, TablesMatchBitwiseDecodingOnRandomModels) {
  std::mt19937 rng(20261207);
  int built = 0, beyond_tables = 0;
  for (int model = 0; model < 40; ++model) {
    Model m = RandomModel(rng);
    CHuffmanFilter& h = m.codec.huffman;
    if (m.build_result != 0) {
      // No code: any decode with input and room fails at once, leaving the capacity.
      ASSERT_FALSE(h.built());
      uint8_t src[4] = {1, 2, 3, 4}, dst[4];
      int32_t cap = 32;
      EXPECT_FALSE(h.decode(32, src, sizeof src, cap, dst));
      EXPECT_EQ(cap, 32);
      EXPECT_EQ(h.status(), kHuffmanBadPrefix);
      continue;
    }
    ++built;
    if (h.max_code_length() > CHuffmanFilter::kPrimaryBits + CHuffmanFilter::kSecondaryBits) {
      ++beyond_tables;
    }
    const std::vector<std::string> texts = SymbolTexts(m.codec);
    for (int round = 0; round < 60; ++round) {
      const RandomStream in = RandomInput(rng, m);
      const size_t room = size_t(std::max(in.capacity, 0) / 8);
      std::vector<uint8_t> dst(room + 64, 0xEE);
      // The source is copied to a buffer of exactly its size, so a read past it shows.
      const std::unique_ptr<uint8_t[]> src(new uint8_t[in.bytes.size() + 1]);
      std::copy(in.bytes.begin(), in.bytes.end(), src.get());
      int32_t cap = in.capacity;
      const bool ok = h.decode(in.bits, src.get(), in.bytes.size(), cap, dst.data());
      const testing::ReferenceResult want = testing::ReferenceHuffmanDecode(
          h.code_lengths(), h.codes(), texts, in.bits, in.bytes.data(), in.bytes.size(),
          in.capacity);
      ASSERT_EQ(ok, want.ok) << "model " << model << " round " << round;
      ASSERT_EQ(cap, want.capacity) << "model " << model << " round " << round;
      ASSERT_EQ(std::vector<uint8_t>(dst.begin(), dst.begin() + want.out.size()), want.out)
          << "model " << model << " round " << round;
      // Nothing is written past the room.
      for (size_t i = room; i < dst.size(); ++i) ASSERT_EQ(dst[i], 0xEE) << i;
      EXPECT_EQ(h.status(), 0);
    }
  }
  // The shapes above reach every decoding path.
  EXPECT_GE(built, 20);
  EXPECT_GE(beyond_tables, 3);
}

TEST(CHuffmanFilter, SeveralSymbolsPerLookupStopWhereTheReferenceStops) {
  // Short codes with texts of 0 to 9 bytes, so that one fast lookup holds several
  // symbols, beside phrases too long for it and codes too long for its table. Every
  // input length and room around a stream's end must stop on the same symbol, whether
  // the end falls inside a lookup's symbols, the bits run past the source, or the
  // source ends before the bits.
  std::mt19937 rng(17);
  int several = 0;
  for (int shape = 0; shape < 2; ++shape) {
    // Skewed: codes of 1 to 12 bits. Flat: 64 codes of 6 bits, two per lookup, so that
    // the input may end inside a lookup's symbols.
    std::vector<int32_t> w(256, 1);
    std::vector<Phrase> phrases;
    if (shape == 0) {
      for (int b = 0; b < 8; ++b) w['a' + b] = 40000 >> b;
      for (int k = 0; k < 24; ++k) phrases.push_back({int32_t(3000 >> (k / 3)), std::string(size_t(k % 19), char('A' + k))});
    } else {
      for (int b = 0; b < 64; ++b) w['0' + b] = 10000;
    }
    phrases.push_back({5, std::string(40, 'Z')});
    Model m(w, phrases);
    ASSERT_EQ(m.build_result, 0);
    const std::vector<std::string> texts = SymbolTexts(m.codec);
    const int count = int(texts.size());
    const int heavy = shape == 0 ? 8 : 64;
    const char first = shape == 0 ? 'a' : '0';
    const int phrase_count = int(phrases.size()) - 1;
    for (int stream = 0; stream < 8; ++stream) {
      BitWriter bw;
      for (int i = 0; i < 60; ++i) {
        const int pick = shape == 0 ? int(rng() % 10) : 0;
        m.Put(bw, pick < 5 ? int(first + rng() % heavy) : pick < 9 ? int(256 + rng() % phrase_count) : int(rng() % count));
      }
      for (int32_t bits = bw.bits() - 60; bits <= bw.bits() + 24; ++bits) {
        for (size_t cut : {bw.bytes().size(), bw.bytes().size() - 3}) {
          const std::unique_ptr<uint8_t[]> src(new uint8_t[cut + 1]);
          std::copy(bw.bytes().begin(), bw.bytes().begin() + ptrdiff_t(cut), src.get());
          const std::vector<uint8_t> all = testing::ReferenceHuffmanDecode(
              m.codec.huffman.code_lengths(), m.codec.huffman.codes(), texts, bits, src.get(), cut, 1 << 20).out;
          for (int32_t room = int32_t(all.size()) - 12; room <= int32_t(all.size()) + 9; room += 1 + (bits & 1)) {
            std::vector<uint8_t> dst(size_t(std::max(room, 0)) + 16, 0xEE);
            int32_t cap = room * 8;
            ASSERT_TRUE(m.codec.huffman.decode(bits, src.get(), cut, cap, dst.data()));
            const testing::ReferenceResult want = testing::ReferenceHuffmanDecode(
                m.codec.huffman.code_lengths(), m.codec.huffman.codes(), texts, bits, src.get(), cut, room * 8);
            ASSERT_EQ(cap, want.capacity) << "shape " << shape << " stream " << stream << " bits " << bits << " room " << room;
            ASSERT_TRUE(std::equal(want.out.begin(), want.out.end(), dst.begin()))
                << "shape " << shape << " stream " << stream << " bits " << bits << " room " << room;
            for (size_t i = size_t(std::max(room, 0)); i < dst.size(); ++i) ASSERT_EQ(dst[i], 0xEE);
          }
        }
      }
      several += bw.bits() < 60 * 9;
    }
  }
  EXPECT_GT(several, 0);  // streams of mostly short codes
}

// Streams of mostly byte 0, escapes and short phrases, as records of many short fields
// decode to: bytes 0, 0xFF and a few letters weigh most.
Model FieldModel(std::mt19937& rng) {
  std::vector<int32_t> w(256);
  for (int b = 0; b < 256; ++b) w[b] = int32_t(1 + rng() % 50);
  w[0] = int32_t(2000 + rng() % 4000);
  w[0xFF] = int32_t(rng() % 2000);
  for (int b = 'a'; b <= 'h'; ++b) w[b] = int32_t(rng() % 3000);
  std::vector<Phrase> phrases(rng() % 40);
  for (Phrase& p : phrases) {
    const size_t len = 1 + rng() % 20;
    for (size_t i = 0; i < len; ++i) p.text.push_back(char(rng() % 8 == 0 ? 0xFF : 'a' + rng() % 26));
    p.count = int32_t(rng() % 3000);
  }
  return Model(w, phrases);
}

TEST(CHuffmanFilter, StoppingAtZeroBytesGivesAPrefixHoldingThem) {
  // Decoding with a stop count ends early only on an output that holds that many 0
  // bytes and no escape byte, and is then the start of the whole decode's output.
  std::mt19937 rng(29);
  int stopped = 0, whole = 0;
  for (int model = 0; model < 30; ++model) {
    Model m = model % 2 ? FieldModel(rng) : RandomModel(rng);
    if (m.build_result != 0) continue;
    CHuffmanFilter& h = m.codec.huffman;
    for (int round = 0; round < 80; ++round) {
      const RandomStream in = RandomInput(rng, m);
      const int32_t room = int32_t(rng() % 300);
      std::vector<uint8_t> all(size_t(room) + 16), part(all.size());
      int32_t all_cap = room * 8, part_cap = room * 8;
      ASSERT_TRUE(h.decode(in.bits, in.bytes.data(), in.bytes.size(), all_cap, all.data()));
      const int64_t stop = int64_t(rng() % 12);
      ASSERT_TRUE(h.decode(in.bits, in.bytes.data(), in.bytes.size(), part_cap, part.data(), stop));
      ASSERT_LE(part_cap, all_cap) << "model " << model << " round " << round;
      const size_t n = size_t(part_cap / 8);
      ASSERT_TRUE(std::equal(part.begin(), part.begin() + ptrdiff_t(n), all.begin()))
          << "model " << model << " round " << round;
      if (part_cap < all_cap) {
        ++stopped;
        EXPECT_GE(std::count(part.begin(), part.begin() + ptrdiff_t(n), 0), stop);
        EXPECT_EQ(std::count(part.begin(), part.begin() + ptrdiff_t(n), 0xFF), 0);
      } else {
        ++whole;
      }
    }
  }
  EXPECT_GT(stopped, 100);
  EXPECT_GT(whole, 100);
}

TEST(RecordCodec, FieldsAreTheSameWhenDecodingStopsAfterThem) {
  // Records of empty and short fields (zero runs, escaped 0xFF bytes) in shared buffers,
  // cut or damaged at times: the fields a fetch reads are the same whether decoding
  // stops after the last one or runs to the end of the room, and whether it decodes the
  // stored bytes in buffer 1 or where they were read (fewer of them at times).
  std::mt19937 rng(31);
  int differ = 0;  // records whose buffers differ past the fields
  for (int model = 0; model < 12; ++model) {
    Model m = FieldModel(rng);
    ASSERT_EQ(m.build_result, 0);
    const int32_t read_bytes = int32_t(16 + rng() % 100);
    const size_t size = size_t(2 * read_bytes + 200);
    std::vector<uint8_t> buf1(size, 0), buf2(size, 0), whole1(size, 0), whole2(size, 0);
    std::vector<uint8_t> stored1(size, 0), stored2(size, 0);
    for (int record = 0; record < 300; ++record) {
      const size_t field_count = 1 + rng() % 12;
      BitWriter bw;
      const int symbols = int(rng() % 120);
      const int count = int(m.codec.huffman.code_lengths().size());
      for (int i = 0; i < symbols; ++i) m.Put(bw, rng() % 3 == 0 ? 0 : int(rng() % count));
      std::vector<uint8_t> bytes = bw.bytes();
      if (rng() % 8 == 0) bytes.resize(bytes.size() / 2);
      bytes.resize(size_t(read_bytes), uint8_t(rng()));  // the next records' bytes
      // A read cut short by the end of the file: the rest reads as zero.
      const size_t got = rng() % 6 == 0 ? rng() % size_t(read_bytes) : size_t(read_bytes);
      std::fill(bytes.begin() + ptrdiff_t(got), bytes.end(), 0);
      const int32_t decode_bytes = read_bytes + int32_t(rng() % 16) - 8;
      std::copy(bytes.begin(), bytes.end(), buf1.begin());
      std::copy(bytes.begin(), bytes.end(), whole1.begin());
      // The stored bytes alone, so that reading past them shows.
      const std::unique_ptr<uint8_t[]> source(new uint8_t[got + 1]);
      std::copy(bytes.begin(), bytes.begin() + ptrdiff_t(got), source.get());
      m.codec.DecodeRecord(buf1.data(), buf2.data(), size - 1, read_bytes, decode_bytes,
                           int64_t(field_count));
      m.codec.DecodeRecord(whole1.data(), whole2.data(), size - 1, read_bytes, decode_bytes);
      m.codec.DecodeStored(source.get(), got, stored1.data(), stored2.data(), size - 1, read_bytes,
                           decode_bytes, int64_t(field_count));
      differ += buf1 != whole1;
      for (std::vector<uint8_t>* decoded : {&buf1, &stored1}) {
        // The split cuts a field running into the limit in place: each gets its own copy.
        std::vector<uint8_t> whole = whole1;
        std::vector<const char*> fields(field_count), whole_fields(field_count);
        char* const at = reinterpret_cast<char*>(decoded->data());
        char* const whole_at = reinterpret_cast<char*>(whole.data());
        SplitRecordFields(at, read_bytes, fields.data(), field_count);
        SplitRecordFields(whole_at, read_bytes, whole_fields.data(), field_count);
        for (size_t f = 0; f < field_count; ++f) {
          ASSERT_STREQ(fields[f], whole_fields[f])
              << "model " << model << " record " << record << " field " << f << (decoded == &buf1 ? " in place" : " stored");
          ASSERT_EQ(fields[f] - at, whole_fields[f] - whole_at);
        }
      }
    }
  }
  EXPECT_GT(differ, 200);
}

TEST(CHuffmanFilter, LongOutputPassesThroughTheChunks) {
  // Thousands of output bytes, phrases of up to 255 bytes, and a room that ends
  // inside a phrase: the same bytes and the same stop as decoding bit by bit.
  std::mt19937 rng(11);
  std::vector<int32_t> w(256, 3);
  std::vector<Phrase> phrases;
  for (int k = 0; k < 40; ++k) phrases.push_back({int32_t(50 + k), std::string(200 + k, char('a' + k % 26))});
  Model m(w, phrases);
  ASSERT_EQ(m.build_result, 0);
  BitWriter bw;
  for (int i = 0; i < 3000; ++i) m.Put(bw, rng() % 2 ? int(256 + rng() % 40) : int(rng() % 256));
  for (int32_t room : {1 << 20, 4096, 2049, 2048, 2047, 301, 200}) {
    std::vector<uint8_t> dst(size_t(room) + 64, 0xEE);
    int32_t cap = room * 8;
    ASSERT_TRUE(m.codec.huffman.decode(bw.bits(), bw.bytes().data(), bw.bytes().size(), cap, dst.data()));
    const std::vector<uint8_t> want = ReferenceDecode(m, bw.bytes(), bw.bits(), room * 8);
    ASSERT_EQ(cap, int32_t(want.size() * 8)) << room;
    ASSERT_TRUE(std::equal(want.begin(), want.end(), dst.begin())) << room;
    EXPECT_EQ(dst[size_t(room)], 0xEE) << room;
  }
}

TEST(CHuffmanFilter, UnusableWeightsRefuseTheModel) {
  // Negative weights grow one chain deeper than 64 bits.
  std::vector<int32_t> w(256);
  for (int b = 0; b < 256; ++b) w[b] = b;
  std::vector<Phrase> phrases;
  for (int k = 0; k < 80; ++k) phrases.push_back({-1000000 + k, "ab"});
  Model m(w, phrases);
  EXPECT_EQ(m.build_result, ERROR_OpenCharfreqFile);
  EXPECT_EQ(m.codec.huffman.status(), 1);
  EXPECT_EQ(m.codec.huffman.status_text(),
            "CHuffmanFilter.createDecoder... eventCodeLengthLimit=" +
                std::to_string(m.codec.huffman.max_code_length()) + "  (exceeds 64 bits)");
  EXPECT_FALSE(m.codec.huffman.built());
}

TEST(RecordCodec, DamagedWeightFilesAreRejected) {
  RecordCodec c;
  std::vector<uint8_t> cf(1023, 0), wf;
  EXPECT_EQ(c.Build(cf.data(), cf.size(), wf.data(), wf.size()), ERROR_OpenCharfreqFile);
  cf.resize(1030, 0);  // bytes after 1024 are ignored
  EXPECT_EQ(c.Build(cf.data(), cf.size(), wf.data(), wf.size()), 0);

  std::vector<Phrase> out;
  auto entry = [](std::vector<uint8_t>& f, const std::string& text, bool nul = true) {
    f.insert(f.end(), {1, 0, 0, 0});
    f.insert(f.end(), text.begin(), text.end());
    if (nul) f.push_back(0);
  };
  wf.clear();
  entry(wf, "AB");
  entry(wf, "");
  wf.insert(wf.end(), {9, 9, 9});  // fewer than 4 bytes left: the file ends
  ASSERT_TRUE(ParseWordfreq(wf.data(), wf.size(), out));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].text, "AB");
  EXPECT_EQ(out[1].text, "");

  wf.clear();
  entry(wf, std::string(255, 'x'));
  EXPECT_TRUE(ParseWordfreq(wf.data(), wf.size(), out));
  wf.clear();
  entry(wf, std::string(256, 'x'));
  EXPECT_FALSE(ParseWordfreq(wf.data(), wf.size(), out));  // text too long
  wf.clear();
  entry(wf, "CUT", false);
  EXPECT_FALSE(ParseWordfreq(wf.data(), wf.size(), out));  // no 0 byte
  EXPECT_EQ(c.Build(cf.data(), cf.size(), wf.data(), wf.size()), ERROR_OpenWordfreqFile);
  wf.clear();
  for (int k = 0; k < 5000; ++k) entry(wf, "p");
  EXPECT_TRUE(ParseWordfreq(wf.data(), wf.size(), out));
  entry(wf, "p");
  EXPECT_FALSE(ParseWordfreq(wf.data(), wf.size(), out));  // 5001 entries
}

std::vector<uint8_t> Rle(const std::vector<uint8_t>& in, int32_t bits, int32_t cap_bytes,
                         int32_t* reported = nullptr) {
  CRleFilter r;
  std::vector<uint8_t> out(cap_bytes + 70000, 0xEE);
  int32_t cap = cap_bytes * 8;
  EXPECT_TRUE(r.decode(bits, in.data(), in.size(), cap, out.data()));
  if (reported) *reported = cap;
  out.resize(cap / 8);
  return out;
}

TEST(CRleFilter, EscapesAndRuns) {
  const int32_t big = 70000;
  EXPECT_EQ(Rle({0xFF, 0x00}, 16, big), (std::vector<uint8_t>{0xFF}));
  EXPECT_EQ(Rle({0xFF, 0x01}, 16, big), (std::vector<uint8_t>{0, 0}));
  EXPECT_EQ(Rle({0xFF, 0xFE}, 16, big), std::vector<uint8_t>(255, 0));
  EXPECT_EQ(Rle({0xFF, 0xFF, 0x00, 0x00}, 32, big), std::vector<uint8_t>(1, 0));
  EXPECT_EQ(Rle({0xFF, 0xFF, 0xFF, 0xFF}, 32, big), std::vector<uint8_t>(65536, 0));
  EXPECT_EQ(Rle({'a', 0x00, 'b'}, 24, big), (std::vector<uint8_t>{'a', 0, 'b'}));
  // Fewer than 8 input bits: nothing.
  int32_t reported = -1;
  EXPECT_TRUE(Rle({'a'}, 7, big, &reported).empty());
  EXPECT_EQ(reported, 0);
  // A run that would pass the capacity is not written; the length is the capacity.
  EXPECT_EQ(Rle({'a', 0xFF, 0x05, 'b'}, 32, 4, &reported), (std::vector<uint8_t>{'a', 0xEE, 0xEE, 0xEE}));
  EXPECT_EQ(reported, 32);
  // Output stops at the capacity.
  EXPECT_EQ(Rle({'a', 'b', 'c'}, 24, 2), (std::vector<uint8_t>{'a', 'b'}));
}

TEST(CRleFilter, EscapeAtTheEndReadsOnlyInsideTheSource) {
  // The escape's following bytes lie past the source: they read as zero.
  EXPECT_EQ(Rle({'a', 0xFF}, 16, 10), (std::vector<uint8_t>{'a', 0xFF}));
  EXPECT_EQ(Rle({0xFF, 0xFF}, 16, 10), std::vector<uint8_t>(1, 0));
}

TEST(CRleFilter, MatchesBytewiseDecodingOnRandomStreams) {
  std::mt19937 rng(5);
  for (int round = 0; round < 3000; ++round) {
    // Mostly escapes and their operands, so that every token form and every cut occurs.
    std::vector<uint8_t> in(rng() % 60);
    for (auto& b : in) {
      const int pick = int(rng() % 6);
      b = pick < 2 ? 0xFF : pick == 2 ? 0x00 : uint8_t(rng());
    }
    const int32_t bits = int32_t(in.size() * 8) + int32_t(rng() % 48) - 24;
    const int32_t cap = rng() % 8 == 0 ? -int32_t(rng() % 64) : int32_t(rng() % 4000);
    const std::unique_ptr<uint8_t[]> src(new uint8_t[in.size() + 1]);
    std::copy(in.begin(), in.end(), src.get());
    std::vector<uint8_t> out(size_t(std::max(cap, 0) / 8) + 16, 0xEE);
    int32_t got = cap;
    CRleFilter r;
    ASSERT_TRUE(r.decode(bits, src.get(), in.size(), got, out.data()));
    const testing::ReferenceResult want = testing::ReferenceRleDecode(bits, in.data(), in.size(), cap);
    ASSERT_EQ(got, want.capacity) << "round " << round;
    ASSERT_TRUE(std::equal(want.out.begin(), want.out.end(), out.begin())) << "round " << round;
    for (size_t i = want.out.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0xEE) << "round " << round;
  }
}

TEST(RecordCodec, RecordsDecodeLikeTheReferenceStagesInSharedBuffers) {
  // Records decoded one after another in the same two buffers, as a session does:
  // buffer 1, stale bytes included, stays equal to the reference stages' run, whose
  // second stage reads only the first stage's output.
  std::mt19937 rng(3);
  for (int model = 0; model < 6; ++model) {
    Model m = RandomModel(rng);
    if (m.build_result != 0) continue;
    const std::vector<std::string> texts = SymbolTexts(m.codec);
    const int32_t read_bytes = int32_t(8 + rng() % 120);
    const size_t size = size_t(2 * read_bytes + 200);
    std::vector<uint8_t> buf1(size, 0), buf2(size, 0);
    std::vector<uint8_t> ref1 = buf1, ref2 = buf2;
    for (int record = 0; record < 100; ++record) {
      const RandomStream in = RandomInput(rng, m);
      const int32_t decode_bytes = read_bytes + int32_t(rng() % 16) - 8;
      for (size_t i = 0; i < size_t(read_bytes); ++i) {
        buf1[i] = ref1[i] = i < in.bytes.size() ? in.bytes[i] : 0;
      }
      m.codec.DecodeRecord(buf1.data(), buf2.data(), size - 1, read_bytes, decode_bytes);

      const int32_t decode_bits = std::max(decode_bytes, 0) * 8;
      const testing::ReferenceResult h = testing::ReferenceHuffmanDecode(
          m.codec.huffman.code_lengths(), m.codec.huffman.codes(), texts, decode_bits,
          ref1.data(), size_t(read_bytes), read_bytes * 8);
      std::copy(h.out.begin(), h.out.end(), ref2.begin());
      const testing::ReferenceResult r =
          testing::ReferenceRleDecode(h.capacity, ref2.data(), h.out.size(), decode_bits);
      std::copy(r.out.begin(), r.out.end(), ref1.begin());
      // Buffer 2 past the first stage's output is scratch, read by nothing.
      ASSERT_TRUE(std::equal(h.out.begin(), h.out.end(), buf2.begin()))
          << "model " << model << " record " << record;
      ASSERT_EQ(buf1, ref1) << "model " << model << " record " << record;
    }
  }
}

TEST(RecordCodec, ADamagedRecordDecodesTheSameWhateverCameBefore) {
  // The first stage's output ends on an escape: a phrase too long for the room stops it
  // right after 'b' 0xFF. The escape's operand lies past that output and reads as zero
  // (one 0xFF byte), whatever an earlier record left in buffer 2.
  std::vector<int32_t> w(256, 1);
  Model m(w, {{10, "LAMPE ARMATUR KABEL LED"}});
  ASSERT_EQ(m.build_result, 0);
  const int32_t read_bytes = 16;
  auto encode = [&](const std::vector<int>& symbols) {
    BitWriter bw;
    for (int s : symbols) m.Put(bw, s);
    std::vector<uint8_t> bytes = bw.bytes();
    bytes.resize(read_bytes, 0);
    return bytes;
  };
  const std::vector<uint8_t> damaged = encode({'b', 0xFF, 256});
  auto decode_after = [&](int earlier_symbol) {
    std::vector<uint8_t> buf1(2 * read_bytes + 200, 0), buf2(buf1.size(), 0);
    for (const std::vector<uint8_t>& record :
         {encode(std::vector<int>(read_bytes, earlier_symbol)), damaged}) {
      std::copy(record.begin(), record.end(), buf1.begin());
      m.codec.DecodeRecord(buf1.data(), buf2.data(), buf1.size() - 1, read_bytes, read_bytes);
    }
    return std::vector<uint8_t>(buf1.begin(), buf1.begin() + read_bytes);
  };
  // After 0x03 bytes a stale operand would make a run of four zeros; after 'q' a run too
  // long for the room.
  const std::vector<uint8_t> after_runs = decode_after(0x03);
  EXPECT_EQ(after_runs, decode_after('q'));
  EXPECT_EQ(after_runs[0], 'b');
  EXPECT_EQ(after_runs[1], 0xFF);
}

TEST(RecordCodec, InputClaimedPastTheFetchedBytesReadsAsZero) {
  // A header may claim more input than a fetch reads. The bytes past the fetched ones
  // hold whatever the previous record decoded to; they must not reach the output.
  std::vector<int32_t> w(256, 1);
  Model m(w, {{10, "LAMPE"}});
  ASSERT_EQ(m.build_result, 0);
  const int32_t read_bytes = 8;
  const int32_t decode_bytes = 40;
  auto decode_with_tail = [&](uint8_t stale) {
    std::vector<uint8_t> buf1(2 * read_bytes + 200, stale), buf2(buf1.size(), 0);
    BitWriter bw;
    for (int s : {int('A'), 0}) m.Put(bw, s);
    std::vector<uint8_t> bytes = bw.bytes();
    bytes.resize(read_bytes, 0);
    std::copy(bytes.begin(), bytes.end(), buf1.begin());
    m.codec.DecodeRecord(buf1.data(), buf2.data(), buf1.size() - 1, read_bytes, decode_bytes);
    return std::vector<uint8_t>(buf1.begin(), buf1.begin() + read_bytes);
  };
  const std::vector<uint8_t> zeros = decode_with_tail(0);
  EXPECT_EQ(zeros[0], 'A');
  EXPECT_EQ(decode_with_tail(0x5A), zeros);
  EXPECT_EQ(decode_with_tail(0xC3), zeros);
}

TEST(RecordCodec, DecodesARecordWithinItsBuffers) {
  std::vector<int32_t> w(256, 1);
  w['E'] = 50;
  w[0] = 40;
  Model m(w, {{10, "LAMPE"}});
  ASSERT_EQ(m.build_result, 0);
  // Decoded record "LAMPE\0\0\0\0E\0": zero-run coded as LAMPE 0xFF 0x03 E 0x00.
  BitWriter bw;
  for (int s : {256, 0xFF, 0x03, int('E'), 0}) m.Put(bw, s);
  const int32_t read_bytes = 16;
  std::vector<uint8_t> buf1(2 * read_bytes + 200, 0), buf2(buf1.size(), 0);
  std::copy(bw.bytes().begin(), bw.bytes().end(), buf1.begin());
  m.codec.DecodeRecord(buf1.data(), buf2.data(), buf1.size(), read_bytes, read_bytes);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf1.data()), 11),
            std::string("LAMPE\0\0\0\0E\0", 11));
  // Header values far beyond the buffers are bounded by them.
  m.codec.DecodeRecord(buf1.data(), buf2.data(), buf1.size(), 1 << 30, 1 << 30);
}

}  // namespace
}  // namespace lodex
