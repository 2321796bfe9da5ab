// Records written by the builder's coder must come back whole through the engine's
// decoders, under the engine's exact call sequence.
#include "record_coder.h"

#include <gtest/gtest.h>

#include <random>

#include "codec.h"
#include "format/coding.h"
#include "format/data.h"

namespace lodex::build {
namespace {

std::string Coded(std::string_view record) {
  std::string out;
  ZeroRunEncode(record, out);
  return out;
}

std::string Bytes(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s.push_back(static_cast<char>(b));
  return s;
}

TEST(ZeroRunEncode, UsesTheShortestEscapeForEachRun) {
  EXPECT_EQ(Coded(std::string(1, '\0')), Bytes({0x00}));
  EXPECT_EQ(Coded(std::string(2, '\0')), Bytes({0xFF, 0x01}));
  EXPECT_EQ(Coded(std::string(255, '\0')), Bytes({0xFF, 0xFE}));
  EXPECT_EQ(Coded(std::string(256, '\0')), Bytes({0xFF, 0xFF, 0xFF, 0x00}));
  EXPECT_EQ(Coded(std::string(65536, '\0')), Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
  // A run longer than one escape holds continues with the rest.
  EXPECT_EQ(Coded(std::string(65537, '\0')), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x00}));
  EXPECT_EQ(Coded(std::string(65538, '\0')), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}));
  EXPECT_EQ(Coded("\xFF"), Bytes({0xFF, 0x00}));
  EXPECT_EQ(Coded(std::string("A\0B\0\0", 5)), Bytes({'A', 0x00, 'B', 0xFF, 0x01}));
}

// The model and stored records of a small base, decoded the way a fetch does it.
struct Written {
  RecordModel model;
  std::vector<std::string> stored;
  int32_t read_bytes = 0;
};

Written WriteRecords(const std::vector<std::string>& records, size_t max_phrases = 5000) {
  Written w;
  std::vector<std::string> coded;
  PhraseChooser chooser;
  size_t longest = 1;
  for (const std::string& r : records) {
    coded.push_back(Coded(r));
    chooser.AddSample(coded.back());
    longest = std::max({longest, r.size(), coded.back().size()});
  }
  std::vector<std::string> phrases = chooser.Choose(max_phrases);
  std::vector<uint64_t> usage(kByteSymbols + phrases.size(), 0);
  PhraseTrie trie(phrases);
  for (const std::string& c : coded) CountGreedy(trie, c, usage);
  phrases = KeepUsedPhrases(phrases, usage, 2);
  EXPECT_TRUE(RecordModel::Build(phrases, usage, &w.model));
  RecordEncoder encoder(w.model);
  for (const std::string& c : coded) {
    w.stored.emplace_back();
    const uint64_t bits = encoder.Encode(c, w.stored.back());
    EXPECT_EQ(w.stored.back().size(), (bits + 7) / 8);
    longest = std::max(longest, w.stored.back().size());
  }
  w.read_bytes = static_cast<int32_t>(longest);
  return w;
}

// Decodes record k with the engine's codec: R bytes read from a data.dat image in which
// the records follow each other, then the two stages with R and D = R.
std::string FetchThroughEngine(const Written& w, size_t k) {
  std::string charfreq, wordfreq;
  for (int32_t v : w.model.charfreq) format::PutFixed32(charfreq, static_cast<uint32_t>(v));
  for (const Phrase& p : w.model.phrases) {
    format::PutFixed32(wordfreq, static_cast<uint32_t>(p.count));
    wordfreq += p.text;
    wordfreq.push_back('\0');
  }
  RecordCodec codec;
  EXPECT_EQ(codec.Build(reinterpret_cast<const uint8_t*>(charfreq.data()), charfreq.size(),
                        reinterpret_cast<const uint8_t*>(wordfreq.data()), wordfreq.size()),
            0);
  std::string data;
  for (size_t i = k; i < w.stored.size(); ++i) data += w.stored[i];
  data.resize(std::max<size_t>(data.size(), w.read_bytes), '\0');
  const size_t buf_size = static_cast<size_t>(format::RecordBufferBytes(w.read_bytes));
  std::vector<uint8_t> buf1(buf_size, 0xEE), buf2(buf_size, 0xEE);
  std::copy_n(data.begin(), w.read_bytes, buf1.begin());
  codec.DecodeRecord(buf1.data(), buf2.data(), buf_size, w.read_bytes, w.read_bytes);
  return std::string(reinterpret_cast<const char*>(buf1.data()), w.read_bytes);
}

TEST(RecordCoder, RecordsComeBackWholeThroughTheEngineDecoders) {
  std::mt19937 rng(7);
  const std::vector<std::string> words = {"KABEL ", "LED ", "PÆRE ", "3G1,5 ", "HVID ", "16A ", "STK", "RØD "};
  std::vector<std::string> records;
  for (int i = 0; i < 400; ++i) {
    std::string r;
    const int fields = 4;
    for (int f = 0; f < fields; ++f) {
      const int n = static_cast<int>(rng() % 6);
      for (int k = 0; k < n; ++k) r += words[rng() % words.size()];
      if (rng() % 17 == 0) r += "\xFF\xFF";                     // bytes that need escaping
      if (rng() % 13 == 0) r += std::to_string(rng() % 100000);  // rare digits
      r.push_back('\0');
    }
    if (i % 50 == 0) r.append(300, '\0');  // long zero runs inside a record
    records.push_back(r);
  }
  records.push_back(std::string(4, '\0'));  // all fields empty
  const Written w = WriteRecords(records);
  EXPECT_GT(w.model.phrases.size(), 0u);
  for (size_t k = 0; k < records.size(); ++k) {
    const std::string got = FetchThroughEngine(w, k);
    ASSERT_EQ(got.substr(0, records[k].size()), records[k]) << "record " << k;
  }
}

TEST(RecordCoder, WithoutPhrasesEveryRecordStillDecodes) {
  const std::vector<std::string> records = {std::string("A\0", 2), std::string("\0\0", 2),
                                            std::string("xyz\0\xE6\xF8\xE5\0", 8)};
  const Written w = WriteRecords(records, 0);
  EXPECT_TRUE(w.model.phrases.empty());
  for (size_t k = 0; k < records.size(); ++k)
    EXPECT_EQ(FetchThroughEngine(w, k).substr(0, records[k].size()), records[k]);
}

TEST(RecordCoder, DerivedWeightsFollowUsage) {
  // The engine takes each phrase's count off its bytes; charfreq must put it back so
  // that the derived byte weights are the literal counts.
  std::vector<std::string> phrases = {"ABAB", "CD"};
  std::vector<uint64_t> usage(kByteSymbols + 2, 0);
  usage['A'] = 10;
  usage['Z'] = 3;
  usage[kByteSymbols + 0] = 40;  // count 10, weight 40
  usage[kByteSymbols + 1] = 7;   // count 4 (rounded), weight 8
  RecordModel model;
  ASSERT_TRUE(RecordModel::Build(phrases, usage, &model));
  const std::vector<int32_t> w = ModelWeights(model.charfreq, model.phrases);
  EXPECT_EQ(w['A'], 10);
  EXPECT_EQ(w['B'], 1);  // used only inside phrases: raised to 1
  EXPECT_EQ(w['Z'], 3);
  EXPECT_EQ(w[kByteSymbols + 0], 40);
  EXPECT_EQ(w[kByteSymbols + 1], 8);
  EXPECT_EQ(model.charfreq['A'], 10 + 2 * 10);
}

TEST(RecordCoder, HugeCountsAreScaledBelowTheSignedWeightRange) {
  std::vector<uint64_t> usage(kByteSymbols, 0);
  for (int b = 0; b < kByteSymbols; ++b) usage[b] = uint64_t{1} << 33;
  RecordModel model;
  ASSERT_TRUE(RecordModel::Build({}, usage, &model));
  int64_t total = 0;
  for (int32_t v : model.charfreq) {
    EXPECT_GT(v, 0);
    total += v;
  }
  EXPECT_LT(total, int64_t{1} << 31);
}

TEST(RecordCoder, FlatWeightsGiveEightBitCodesEqualToTheBytes) {
  // All byte weights equal and no phrases: every code is 8 bits and equals its byte,
  // so the stored form is the coded record itself (bits written most significant first).
  RecordModel model;
  ASSERT_TRUE(RecordModel::Build({}, std::vector<uint64_t>(kByteSymbols, 1), &model));
  RecordEncoder encoder(model);
  std::string out;
  EXPECT_EQ(encoder.Encode(std::string("AB\0\x81", 4), out), 32u);
  EXPECT_EQ(out, std::string("AB\0\x81", 4));
}

TEST(RecordCoder, WritesEachCodeMostSignificantBitFirst) {
  // A frequent byte gets a short code; the encoder writes the low `length` bits of the
  // canonical code value, most significant first, and pads the last byte with zeros.
  std::vector<uint64_t> usage(kByteSymbols, 1);
  usage['A'] = 100000;
  RecordModel model;
  ASSERT_TRUE(RecordModel::Build({}, usage, &model));
  const int len_a = model.code.lengths['A'];
  const int len_b = model.code.lengths['B'];
  ASSERT_LT(len_a, 8);
  RecordEncoder encoder(model);
  std::string out;
  const uint64_t bits = encoder.Encode("AB", out);
  ASSERT_EQ(bits, static_cast<uint64_t>(len_a + len_b));
  uint64_t value = 0;
  for (char c : out) value = (value << 8) | static_cast<uint8_t>(c);
  const int total = static_cast<int>(out.size()) * 8;
  const uint64_t expected = ((model.code.codes['A'] << len_b) | model.code.codes['B']) << (total - len_a - len_b);
  EXPECT_EQ(value, expected);
}

TEST(PhraseChooser, PrefersRepeatedTextsAndSkipsRareOnes) {
  PhraseChooser chooser;
  for (int i = 0; i < 20; ++i) chooser.AddSample(Coded(std::string("KABELBINDER SORT\0STK\0", 21)));
  chooser.AddSample(Coded(std::string("ENGANG\0", 7)));
  const std::vector<std::string> phrases = chooser.Choose(3);
  ASSERT_EQ(phrases.size(), 3u);
  EXPECT_EQ(phrases[0], "KABELBINDER SORT");
  for (const std::string& p : phrases) {
    EXPECT_EQ(p.find('\0'), std::string::npos);
    EXPECT_NE(p, "ENGANG");
  }
}

TEST(PhraseTrie, FindsEveryPhraseAtAPositionShortestFirst) {
  PhraseTrie trie({"AB", "ABCD", "B"});
  std::vector<std::pair<int32_t, size_t>> found;
  trie.ForEachMatch("ABCDE", 0, [&](int32_t s, size_t l) { found.emplace_back(s, l); });
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], std::make_pair(256, size_t{2}));
  EXPECT_EQ(found[1], std::make_pair(257, size_t{4}));
  EXPECT_EQ(trie.Longest("ABC", 0), std::make_pair(256, size_t{2}));
  EXPECT_EQ(trie.Longest("XBC", 0).second, 0u);
  EXPECT_EQ(trie.Longest("AB", 2).second, 0u);  // past the end
}

}  // namespace
}  // namespace lodex::build
