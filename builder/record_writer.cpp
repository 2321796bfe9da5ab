#include "record_writer.h"

#include <algorithm>
#include <string_view>

#include "format/charfreq.h"
#include "format/coding.h"
#include "format/data.h"
#include "format/files.h"
#include "format/mapping.h"
#include "format/wordfreq.h"
#include "out_file.h"
#include "parallel.h"
#include "record_coder.h"

namespace lodex::build {

namespace fmt = lodex::format;

bool WriteRecordFiles(const std::string& dir, uint32_t n, const RecordFn& record_of, size_t size_hint,
                      size_t max_phrases, const WriteHooks& hooks, RecordsWritten* out,
                      BuildError* error) {
  auto stopped = [&] { return hooks.stopped() && !Fail(error, kExitInterrupted, "interrupted"); };
  // Zero-run coded records, all in one arena.
  hooks.phase("coding records", n);
  std::string coded;
  coded.reserve(size_hint + n);
  std::vector<uint64_t> coded_at(static_cast<size_t>(n) + 1, 0);
  std::string record;
  size_t longest_record = 0, longest_coded = 0;
  for (uint32_t bit = 0; bit < n; ++bit) {
    record.clear();
    record_of(bit, &record);
    out->record_bytes += record.size();
    longest_record = std::max(longest_record, record.size());
    coded_at[bit] = coded.size();
    ZeroRunEncode(record, coded);
    longest_coded = std::max<size_t>(longest_coded, coded.size() - coded_at[bit]);
    hooks.tick(bit);
  }
  coded_at[n] = coded.size();
  auto coded_record = [&](uint32_t bit) {
    return std::string_view(coded).substr(coded_at[bit], coded_at[bit + 1] - coded_at[bit]);
  };
  if (stopped()) return false;

  // Phrases from a sample, counted over everything, then the code.
  hooks.phase("choosing phrases", n);
  PhraseChooser chooser;
  const uint32_t stride = std::max<uint32_t>(1, n / 40000);
  for (uint32_t bit = 0; bit < n; bit += stride) chooser.AddSample(coded_record(bit));
  std::vector<std::string> phrases = chooser.Choose(std::min<size_t>(max_phrases, fmt::kMaxWordfreqEntries));
  std::vector<uint64_t> usage(kByteSymbols + phrases.size(), 0);
  {
    const PhraseTrie trie(phrases);
    const size_t parts = Workers();
    std::vector<std::vector<uint64_t>> counted(parts, usage);
    ParallelFor(parts, [&](size_t p) {
      const auto [first, last] = Range(n, p, parts);
      for (uint32_t bit = first; bit < last; ++bit) {
        CountGreedy(trie, coded_record(bit), counted[p]);
        if (p == 0) hooks.tick(bit * parts);
      }
    });
    for (const auto& c : counted)
      for (size_t s = 0; s < usage.size(); ++s) usage[s] += c[s];
  }
  phrases = KeepUsedPhrases(phrases, usage, 2);
  RecordModel model;
  if (!RecordModel::Build(phrases, usage, &model)) {
    return Fail(error, kExitInput,
                "the record code cannot be built: " + HuffmanStatusText(model.code.status, model.code.max_length));
  }
  if (stopped()) return false;

  // Records in bit order, mapping.dat alongside.
  hooks.phase("writing records", n);
  OutFile data, mapping;
  if (!data.Open(dir + "/" + fmt::kDataFile, error) ||
      !mapping.Open(dir + "/" + fmt::kMappingFile, error))
    return false;
  out->pointers.assign(n, 0);
  const size_t parts = Workers();
  std::vector<std::string> stored(parts);
  std::vector<std::vector<uint32_t>> stored_length(parts);
  ParallelFor(parts, [&](size_t p) {
    RecordEncoder encoder(model);
    const auto [first, last] = Range(n, p, parts);
    for (uint32_t bit = first; bit < last; ++bit) {
      const size_t before = stored[p].size();
      encoder.Encode(coded_record(bit), stored[p]);
      stored_length[p].push_back(static_cast<uint32_t>(stored[p].size() - before));
      if (p == 0) hooks.tick(bit * parts);
    }
  });
  if (stopped()) return false;
  size_t longest_stored = 0, last_stored = 0;
  uint8_t entry[fmt::kMappingEntryBytes];
  uint32_t bit = 0;
  for (size_t p = 0; p < parts; ++p) {
    size_t at = 0;
    for (uint32_t length : stored_length[p]) {
      if (data.offset() > fmt::kMaxRecordPointer) {
        return Fail(error, kExitInput, "data.dat would pass 2 GiB; record pointers must stay 31-bit");
      }
      out->pointers[bit] = static_cast<uint32_t>(data.offset());
      data.Append(std::string_view(stored[p]).substr(at, length));
      at += length;
      out->stored_bytes += length;
      longest_stored = std::max<size_t>(longest_stored, length);
      last_stored = length;
      fmt::EncodeFixed32(entry, out->pointers[bit]);
      mapping.Append(entry, sizeof entry);
      ++bit;
    }
    stored[p].clear();
    stored[p].shrink_to_fit();
  }

  // Every record decodes whole when R covers its stored, zero-run coded and decoded
  // forms and D = R (see format/data.h).
  const size_t r = std::max({longest_record, longest_coded, longest_stored, size_t{1}});
  if (r > (size_t{1} << 30)) {
    return Fail(error, kExitInput, "a record of " + std::to_string(r) + " bytes is too long to store");
  }
  out->read_bytes = static_cast<int32_t>(r);
  // No read of R bytes at a record pointer may come up short.
  data.AppendZeros(n == 0 ? r : r - last_stored);
  if (!data.Close(error) || !mapping.Close(error)) return false;
  coded.clear();
  coded.shrink_to_fit();

  // The weights the engine rebuilds the code from.
  OutFile charfreq, wordfreq;
  if (!charfreq.Open(dir + "/" + fmt::kCharfreqFile, error) ||
      !wordfreq.Open(dir + "/" + fmt::kWordfreqFile, error))
    return false;
  std::string bytes;
  for (int b = 0; b < fmt::kCharfreqEntries; ++b) fmt::PutFixed32(bytes, static_cast<uint32_t>(model.charfreq[b]));
  charfreq.Append(bytes);
  bytes.clear();
  for (const Phrase& p : model.phrases) {
    fmt::PutFixed32(bytes, static_cast<uint32_t>(p.count));
    bytes.append(p.text);
    bytes.push_back('\0');
  }
  wordfreq.Append(bytes);
  out->phrases = model.phrases.size();
  return charfreq.Close(error) && wordfreq.Close(error);
}

}  // namespace lodex::build
