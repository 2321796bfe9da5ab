// The record decoders: CHuffmanFilter and CRleFilter, and the model they are built from
// (charfreq.dat byte weights and wordfreq.dat phrases), one pair per open base.
//
// Both decoders share one contract: decode(input length in bits, source, capacity,
// destination), where capacity holds the room in the destination, in bits, on entry and
// the length written (8 x bytes written) on a successful return. Each operation leaves a
// status code (0 = ok) and a status text in the filter. The source is read through a
// bound: bytes at or past source_bytes read as zero, so a damaged record never makes a
// decoder read outside its buffer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "huffman_model.h"

namespace lodex {

class CHuffmanFilter {
 public:
  CHuffmanFilter();

  // Builds the code and the decoding tables for symbol_count symbols. phrases[k] is the
  // text of symbol 256 + k; both arrays are borrowed and must outlive the decoder.
  bool createDecoder(int32_t symbol_count, const std::string* phrases, const int32_t* weights);

  // Writes whole 16-byte blocks while the room allows, so bytes of the room past the
  // output may be overwritten; nothing past the room is.
  //
  // With stop_nuls, decoding may also end early, once the output holds at least that
  // many 0 bytes and no zero-run escape byte (0xFF): its zero-run decoding then already
  // holds the first stop_nuls field ends of a record, which is all a reader of that
  // many fields looks at. The output is then a prefix of the whole decode's output.
  static constexpr int64_t kNoStop = INT64_MAX;
  bool decode(int32_t input_bits, const uint8_t* source, size_t source_bytes, int32_t& capacity,
              uint8_t* destination, int64_t stop_nuls = kNoStop);

  bool destroyDecoder();

  int32_t status() const { return status_; }
  const std::string& status_text() const { return status_text_; }
  bool built() const { return built_; }
  // Whether the last decode ended early at stop_nuls 0 bytes.
  bool stopped() const { return stopped_; }

  // The code lengths and codes of the last build (empty when none).
  const std::vector<int16_t>& code_lengths() const { return lengths_; }
  const std::vector<uint64_t>& codes() const { return codes_; }
  int32_t max_code_length() const { return max_length_; }

  // Codes up to kPrimaryBits long decode in one lookup of the primary table, codes up
  // to kPrimaryBits + kSecondaryBits in a second lookup, longer ones through their
  // lengths' code ranges.
  static constexpr int kPrimaryBits = 11;
  static constexpr int kSecondaryBits = 8;
  // Codes up to kFastBits long with texts up to kFastText bytes decode through the fast
  // table, several at a time (the texts of one lookup fill at most kFastText bytes).
  static constexpr int kFastBits = 12;
  static constexpr int kFastText = 16;

 private:
  void SetStatus(int32_t code, std::string text);
  // Leaves status 0 and the text of a successful decode, assigned only when it changed.
  void SetDecodeOk();
  void BuildTables();
  // The symbol whose code starts the 64 bits v, and its length, for a code longer than
  // kPrimaryBits; false when no code matches.
  bool DecodeLong(uint64_t v, int32_t& symbol, int32_t& length) const;
  void BuildSecondaryTables();
  void BuildFastTable();

  int32_t status_ = 0;
  std::string status_text_;
  bool decode_ok_ = false;  // status_text_ holds the text of a successful decode
  bool stopped_ = false;
  int32_t symbol_count_ = 0;
  const std::string* phrases_ = nullptr;
  const int32_t* weights_ = nullptr;
  std::vector<uint64_t> codes_;
  std::vector<int16_t> lengths_;
  int32_t max_length_ = 0;
  bool built_ = false;

  // A symbol's entry: code length in bits 0-7, output length in bits 8-30, whether the
  // output holds the escape byte 0xFF in bit 31, where the output starts in text_ in
  // bits 32-63 (symbol_entries_). The primary entry of a kPrimaryBits-bit prefix is the
  // symbol entry of the code the prefix starts, or, for a prefix of longer codes, 0 in
  // bits 0-7, the secondary table's index bits in bits 8-15 and its start in secondary_
  // in bits 32-63. A secondary table holds the symbol
  // entries of the codes its bits complete, and 0 where the code is longer.
  std::vector<uint64_t> symbol_entries_;
  std::vector<uint64_t> secondary_;
  std::vector<uint64_t> primary_;
  // The fast table, one entry per kFastBits-bit prefix: every whole code the prefix
  // holds, from its start and in order, as long as their texts fit kFastText bytes
  // together, so one lookup yields several symbols or one phrase. An entry holds the
  // code bits of all its symbols in bits 0-5, where their texts lie end to end in
  // fast_text_ in bits 6-21, whether they hold the escape byte 0xFF in bit 22, their
  // length in bits 23-27 and how many 0 bytes they hold (at most 15) in bits 28-31. An
  // entry whose bits 0-5 are 0 holds no symbol: the prefix starts a code longer than
  // kFastBits or a longer text. Its bits 6-25 then hold that symbol, or, for a code
  // longer than kPrimaryBits, where the secondary table that its bits after kPrimaryBits
  // index starts, with that table's index bits in bits 26-29.
  std::vector<uint32_t> fast_;
  std::vector<uint8_t> fast_text_;
  // Codes longer than kPrimaryBits, per length L: the first (smallest) code value, how
  // many codes have that length and where their symbols start in long_symbols_.
  struct LengthRange {
    uint64_t first = 0;
    uint64_t count = 0;
    uint32_t at = 0;
  };
  std::vector<LengthRange> ranges_;
  std::vector<uint32_t> long_symbols_;
  // The output of every symbol laid end to end (the 256 bytes, then the phrases), with
  // room after the last for the decoder's 16-byte copies.
  std::string text_;
};

class CRleFilter {
 public:
  CRleFilter();
  bool createDecoder();
  bool decode(int32_t input_bits, const uint8_t* source, size_t source_bytes, int32_t& capacity,
              uint8_t* destination);
  bool destroyDecoder();

  int32_t status() const { return status_; }
  const std::string& status_text() const { return status_text_; }

 private:
  int32_t status_ = 0;
  std::string status_text_;
  bool decode_ok_ = false;  // status_text_ holds the text of a successful decode
};

// wordfreq.dat as far as it is well formed: entries stop at the first incomplete count;
// reading fails (returns false) on more than 5000 entries, a text longer than 255 bytes
// or a text cut off before its 0 byte.
bool ParseWordfreq(const uint8_t* data, size_t size, std::vector<Phrase>& phrases);

// The decoding model of a base: phrase texts, symbol weights and the two decoders.
struct RecordCodec {
  std::vector<std::string> phrases;
  std::vector<int32_t> weights;
  CHuffmanFilter huffman;
  CRleFilter rle;

  // Builds the model from the two weight files' contents. Answers 0, or
  // ERROR_OpenWordfreqFile when wordfreq.dat is malformed and ERROR_OpenCharfreqFile
  // when charfreq.dat is short or the weights give no usable code.
  int32_t Build(const uint8_t* charfreq, size_t charfreq_size, const uint8_t* wordfreq,
                size_t wordfreq_size);

  // Releases the decoders and the model.
  void Release();

  // Decodes one stored record (the two stages, Huffman then zero-run) from buf1 into
  // buf1, using buf2 as the intermediate; both buffers are buf_size bytes. Reads at most
  // read_bytes bytes of input and writes at most decode_bytes bytes of output. The
  // output depends only on the record's own bytes, never on what buf2 held before.
  // Decoding may stop once the first field_count fields are whole: the texts of those
  // fields (as SplitRecordFields finds them) are the same as after a whole decode.
  void DecodeRecord(uint8_t* buf1, uint8_t* buf2, size_t buf_size, int32_t read_bytes,
                    int32_t decode_bytes, int64_t field_count = CHuffmanFilter::kNoStop);

  // DecodeRecord of the stored bytes at source (of which at most read_bytes are read;
  // bytes past source_bytes read as zero) without copying them into buf1 first. The
  // fields read from buf1 are the same as DecodeRecord's; bytes of buf1 past them may not
  // be, and buf2's may not either.
  void DecodeStored(const uint8_t* source, size_t source_bytes, uint8_t* buf1, uint8_t* buf2,
                    size_t buf_size, int32_t read_bytes, int32_t decode_bytes,
                    int64_t field_count = CHuffmanFilter::kNoStop);
};

// Opening a base, before its schema is read: reads charfreq.dat and wordfreq.dat from
// the start of the base's open streams and builds its codec, e.g.
//   OpenRecordCodec(base.files.charfreq.get(), base.files.wordfreq.get(), base.codec).
// Answers 0 or a negative open error (see RecordCodec::Build); the open must then fail.
int32_t OpenRecordCodec(std::FILE* charfreq, std::FILE* wordfreq, RecordCodec& codec);

}  // namespace lodex
