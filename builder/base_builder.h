// Building a base: product rows in, the nine files out. BaseBuilder keeps the rows'
// needed cells (row_store.h: in memory, or in files past their share of the memory),
// then writes the records (record_writer.h: data.dat, mapping.dat and the code in
// charfreq.dat and wordfreq.dat), the sort runs (sort_writer.h: sort.dat), the word
// index (word_collector.h, word_index_writer.h: index1.dat, index2.dat, post.dat) and
// last the schema (meta_writer.h: meta.dat). Each pass over the rows holds at most its
// share of BuildOptions::memory_mb and sorts in runs on disk past it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "build_error.h"
#include "build_schema.h"
#include "product_table.h"
#include "progress.h"
#include "row_store.h"
#include "word_collector.h"
#include "word_index_writer.h"

namespace lodex::build {

inline constexpr size_t kDefaultMemoryMb = 1536;
inline constexpr size_t kMinMemoryMb = 256;

struct BuildOptions {
  size_t max_phrases = 5000;
  int block_words = 0;  // > 0 overrides the schema and the default
  bool substitute = false;  // replace text Windows-1252 cannot hold (substitute.h)
  // What the build may hold in memory, in MiB (lodex-build --memory). Whole-table passes
  // that need more sort in runs written to work_dir and merge them.
  size_t memory_mb = kDefaultMemoryMb;
  // Where those runs go (a directory of their own, emptied by the caller); empty: the
  // passes keep everything in memory.
  std::string work_dir;
  // For tests: > 0 caps every pass's share of memory, the rows held and the window the
  // table is read through at this many bytes, so that small tables run the paths that
  // large ones take.
  size_t run_bytes = 0;
  Progress* progress = nullptr;
  const std::atomic<bool>* stop = nullptr;  // set from outside to abandon the build
};

struct SearchFieldSummary {
  uint16_t number = 0;
  std::string name;  // Windows-1252
  uint32_t words = 0;
  uint64_t postings = 0;
};

struct FileSummary {
  std::string name;
  uint64_t bytes = 0;
};

struct BuildSummary {
  uint32_t records = 0;
  std::vector<std::pair<std::string, uint32_t>> tables;  // name (Windows-1252), records
  std::vector<SearchFieldSummary> search_fields;
  uint64_t record_bytes = 0;  // decoded records, all together
  uint64_t stored_bytes = 0;  // their stored forms in data.dat, without padding
  int32_t read_bytes = 0;
  int32_t decode_bytes = 0;
  size_t phrases = 0;
  std::vector<FileSummary> files;
  double seconds = 0;
  std::vector<std::pair<std::string, double>> phases;  // name, seconds
  std::vector<double> phase_cpu;  // per phase: processor seconds of all its threads
  uint64_t substituted_cells = 0;  // cells --substitute changed
  std::vector<SubstitutedCell> first_substituted;  // the first ten of them

  uint64_t TotalBytes() const;
  // Stored bytes per decoded byte of the records (below 1 is smaller).
  double CompressionRatio() const;
};

// The words one cell gives a search field, in stored form: upper case for text and
// split fields, the number without blanks for numeric fields. Empty pieces give no
// word. False with a reason when a word is too long or not a number the field holds.
bool CellWords(const SearchFieldSpec& field, std::string_view cell, std::vector<std::string>* words,
               std::string* why);

// Processor seconds this process has used so far, all its threads, user and system.
double ProcessCpuSeconds();

class BaseBuilder {
 public:
  BaseBuilder(const BuildSchema& schema, const BuildOptions& options);

  // Finds the schema's columns in the header row (Windows-1252 names).
  bool SetHeader(const std::vector<std::string>& header, std::string* error);
  // Room for the rows' cells, about table_bytes in all (up to the rows' share of the
  // memory), taken at once rather than grown.
  void Reserve(uint64_t table_bytes) { rows_.Reserve(table_bytes); }
  // Takes one product row; `line` is where it starts in the table, for messages.
  bool AddRow(uint64_t line, const std::vector<std::string_view>& cells, std::string* error);
  uint32_t rows() const { return rows_.rows(); }

  // Writes the nine files into the existing directory dir.
  bool Write(const std::string& dir, BuildSummary* summary, BuildError* error);

 private:
  std::string CellPlace(const StoredRow& row, int slot) const;  // "line N: column "X"" for messages
  bool StopAsked() const;
  bool Stopped(std::string* error) const;  // sets "interrupted" when the stop was asked
  bool Stopped(BuildError* error) const;
  void Phase(const std::string& name, uint64_t total) const;
  void Tick(uint64_t done) const;
  // Bytes each of `tasks` whole-table passes running at once may hold.
  size_t PassBudget(size_t tasks) const;

  bool WriteRecords(const std::string& dir, BuildSummary* summary, BuildError* error);
  bool WriteSortFields(const std::string& dir, BuildError* error);
  // One search field's words in key order, or the error that stopped collecting them.
  struct FieldWords {
    std::unique_ptr<WordCollector> words;
    std::string error;
    ExitCode code = kExitInput;
  };
  // Holds at most budget bytes of words; more go to runs in the work directory. Shows
  // its progress while *shown is field.
  bool CollectWords(size_t field, size_t budget, FieldWords* out, const std::atomic<size_t>* shown) const;
  bool WriteWordIndex(const std::string& dir, BuildSummary* summary, BuildError* error);
  bool WriteMeta(const std::string& dir, BuildError* error);

  const BuildSchema& schema_;
  BuildOptions options_;

  std::vector<std::string> header_utf8_;
  std::vector<int> slot_column_;     // slot -> header column
  std::vector<int> data_slot_;       // per data field
  std::vector<int> search_slot_;     // per search field
  std::vector<int> sort_slot_;       // per sort field
  int table_column_ = -1;

  RowStore rows_;                    // each row's slots, in memory or spilled

  // Filled by Write.
  std::vector<uint32_t> table_count_;
  std::vector<uint32_t> pointer_;    // bit number -> record pointer
  std::vector<uint32_t> index1_offset_;
  std::vector<uint32_t> sort_offset_;
  int32_t read_bytes_ = 0;
  int32_t decode_bytes_ = 0;
  mutable std::vector<std::pair<std::string, double>> phases_;
  mutable std::chrono::steady_clock::time_point phase_start_;
  mutable std::vector<double> phase_cpu_;
  mutable double phase_cpu_start_ = 0;
};

}  // namespace lodex::build
