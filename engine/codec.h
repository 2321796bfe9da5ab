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

  // Builds the code and the 4-bit lookup tables for symbol_count symbols. phrases[k]
  // is the text of symbol 256 + k; both arrays are borrowed and must outlive the
  // decoder.
  bool createDecoder(int32_t symbol_count, const std::string* phrases, const int32_t* weights);

  bool decode(int32_t input_bits, const uint8_t* source, size_t source_bytes, int32_t& capacity,
              uint8_t* destination);

  bool destroyDecoder();

  int32_t status() const { return status_; }
  const std::string& status_text() const { return status_text_; }
  bool built() const { return built_; }

  // The code lengths and codes of the last build (empty when none).
  const std::vector<int16_t>& code_lengths() const { return lengths_; }
  const std::vector<uint64_t>& codes() const { return codes_; }
  int32_t max_code_length() const { return max_length_; }
  int32_t table_count() const { return static_cast<int32_t>(tables_.size() / 16); }

 private:
  void SetStatus(int32_t code, std::string text);
  bool BuildTables();
  void BuildFastTable();

  int32_t status_ = 0;
  std::string status_text_;
  int32_t symbol_count_ = 0;
  const std::string* phrases_ = nullptr;
  std::vector<int32_t> out_lengths_;
  const int32_t* weights_ = nullptr;
  std::vector<uint64_t> codes_;
  std::vector<int16_t> lengths_;
  int32_t max_length_ = 0;
  // Lookup tables, 16 entries each: 0x80000000 empty, -t continue in table t, else symbol.
  std::vector<int32_t> tables_;
  bool built_ = false;

  // Decoding speed-up derived from the 4-bit tables: for every 12-bit window, the symbol
  // whose whole code lies in it and that code's length, or 0 when the code is longer.
  struct FastEntry { uint16_t symbol; uint8_t length; };
  std::vector<FastEntry> fast_;
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
  // read_bytes bytes of input and writes at most decode_bytes bytes of output.
  void DecodeRecord(uint8_t* buf1, uint8_t* buf2, size_t buf_size, int32_t read_bytes,
                    int32_t decode_bytes);
};

// Opening a base, before its schema is read: reads charfreq.dat and wordfreq.dat from
// the start of the base's open streams and builds its codec, e.g.
//   OpenRecordCodec(base.files.charfreq.get(), base.files.wordfreq.get(), base.codec).
// Answers 0 or a negative open error (see RecordCodec::Build); the open must then fail.
int32_t OpenRecordCodec(std::FILE* charfreq, std::FILE* wordfreq, RecordCodec& codec);

}  // namespace lodex
