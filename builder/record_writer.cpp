#include "record_writer.h"

#include <algorithm>
#include <memory>
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

namespace {

// Zero-run coded records gathered for the workers, about this many bytes at a time.
constexpr size_t kBatchBytes = 8 << 20;

// A batch of zero-run coded records, bits first_bit on, and the sizes of all records
// batched so far.
struct CodedBatch {
  uint32_t first_bit = 0;
  std::string coded;
  std::vector<size_t> ends;
  uint64_t record_bytes = 0;
  size_t longest_record = 0;
  size_t longest_coded = 0;

  size_t size() const { return ends.size(); }
  std::string_view Record(size_t i) const {
    const size_t begin = i == 0 ? 0 : ends[i - 1];
    return std::string_view(coded).substr(begin, ends[i] - begin);
  }
  void Add(std::string_view record) {
    if (ends.empty()) coded.reserve(kBatchBytes + (kBatchBytes >> 3));
    const size_t before = coded.size();
    ZeroRunEncode(record, coded);
    ends.push_back(coded.size());
    record_bytes += record.size();
    longest_record = std::max(longest_record, record.size());
    longest_coded = std::max(longest_coded, coded.size() - before);
  }
  bool Full() const { return coded.size() >= kBatchBytes; }
  void Clear(uint32_t next_bit) {
    first_bit = next_bit;
    coded.clear();
    ends.clear();
  }
};

// Runs one pass over every record, handing each full batch (and the last) to work.
// *sizes: the batch with the sizes of all records.
bool BatchedPass(const RecordPass& pass, const std::function<void(const CodedBatch&)>& work, CodedBatch* sizes,
                 BuildError* error) {
  CodedBatch& batch = *sizes;
  const bool ok = pass(
      1,
      [&](uint32_t bit, std::string_view record) {
        batch.Add(record);
        if (batch.Full()) {
          work(batch);
          batch.Clear(bit + 1);
        }
      },
      error);
  if (ok && batch.size() > 0) work(batch);
  return ok;
}

}  // namespace

bool WriteRecordFiles(const std::string& dir, uint32_t n, const RecordPass& pass, size_t max_phrases,
                      const WriteHooks& hooks, RecordsWritten* out, BuildError* error) {
  auto stopped = [&] { return hooks.stopped() && !Fail(error, kExitInterrupted, "interrupted"); };
  // A sample of the records for choosing phrases.
  hooks.phase("coding records", n);
  PhraseChooser chooser;
  const uint32_t stride = std::max<uint32_t>(1, n / 40000);
  std::string coded;
  if (!pass(
          stride,
          [&](uint32_t bit, std::string_view record) {
            coded.clear();
            ZeroRunEncode(record, coded);
            chooser.AddSample(coded);
            hooks.tick(bit);
          },
          error))
    return false;
  if (stopped()) return false;

  // Phrases from the sample, their uses counted over everything, then the code.
  hooks.phase("choosing phrases", n);
  std::vector<std::string> phrases = chooser.Choose(std::min<size_t>(max_phrases, fmt::kMaxWordfreqEntries));
  std::vector<uint64_t> usage(kByteSymbols + phrases.size(), 0);
  size_t longest_record = 0, longest_coded = 0;
  {
    const PhraseTrie trie(phrases);
    const size_t parts = Workers();
    std::vector<std::vector<uint64_t>> counted(parts, usage);
    CodedBatch sizes;
    if (!BatchedPass(
            pass,
            [&](const CodedBatch& batch) {
              ParallelFor(parts, [&](size_t p) {
                const auto [first, last] = Range(static_cast<uint32_t>(batch.size()), p, parts);
                for (uint32_t i = first; i < last; ++i) CountGreedy(trie, batch.Record(i), counted[p]);
              });
              hooks.tick(batch.first_bit & ~1023u);  // the bar redraws on multiples of 1024
            },
            &sizes, error))
      return false;
    out->record_bytes = sizes.record_bytes;
    longest_record = sizes.longest_record;
    longest_coded = sizes.longest_coded;
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
  std::vector<std::unique_ptr<RecordEncoder>> encoders;
  for (size_t p = 0; p < parts; ++p) encoders.push_back(std::make_unique<RecordEncoder>(model));
  std::vector<std::string> stored(parts);
  std::vector<std::vector<uint32_t>> stored_length(parts);
  size_t longest_stored = 0, last_stored = 0;
  uint8_t entry[fmt::kMappingEntryBytes];
  uint32_t bit = 0;
  bool too_big = false;
  CodedBatch sizes;
  const bool passed = BatchedPass(
      pass,
      [&](const CodedBatch& batch) {
        ParallelFor(parts, [&](size_t p) {
          stored[p].clear();
          stored_length[p].clear();
          const auto [first, last] = Range(static_cast<uint32_t>(batch.size()), p, parts);
          for (uint32_t i = first; i < last; ++i) {
            const size_t before = stored[p].size();
            encoders[p]->Encode(batch.Record(i), stored[p]);
            stored_length[p].push_back(static_cast<uint32_t>(stored[p].size() - before));
          }
        });
        for (size_t p = 0; p < parts && !too_big; ++p) {
          size_t at = 0;
          for (uint32_t length : stored_length[p]) {
            if (data.offset() > fmt::kMaxRecordPointer) {
              too_big = true;
              break;
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
        }
        hooks.tick(batch.first_bit & ~1023u);  // the bar redraws on multiples of 1024
      },
      &sizes, error);
  if (!passed) return false;
  if (too_big) return Fail(error, kExitInput, "data.dat would pass 2 GiB; record pointers must stay 31-bit");
  if (stopped()) return false;
  stored.clear();
  stored_length.clear();

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
