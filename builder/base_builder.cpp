#include "base_builder.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <numeric>
#include <thread>
#include <unordered_map>

#include "encoding.h"
#include "substitute.h"
#include "format/files.h"
#include "format/coding.h"
#include "format/data.h"
#include "format/index2.h"
#include "format/mapping.h"
#include "format/meta.h"
#include "format/post.h"
#include "format/sort.h"
#include "format/wordfreq.h"
#include "meta_writer.h"
#include "out_file.h"
#include "parallel.h"
#include "product_table.h"
#include "record_coder.h"
#include "record_writer.h"
#include "sort_writer.h"
#include "textkeys.h"
#include "word_index_writer.h"

namespace lodex::build {

namespace fmt = lodex::format;
namespace fs = std::filesystem;

uint64_t BuildSummary::TotalBytes() const {
  uint64_t total = 0;
  for (const FileSummary& f : files) total += f.bytes;
  return total;
}

double BuildSummary::CompressionRatio() const {
  return record_bytes ? static_cast<double>(stored_bytes) / static_cast<double>(record_bytes) : 0.0;
}

// ---------------------------------------------------------------------------------
// Words and values

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

std::string NumberWord(std::string_view s) {
  std::string out;
  for (char c : s)
    if (!IsBlank(c)) out.push_back(c);
  return out;
}

KeyNormaliser NormaliserFor(const SearchFieldSpec& f) {
  switch (f.kind) {
    case SearchKind::kNumeric: return KeyNormaliser::Numeric(f.int_digits, f.frac_digits);
    case SearchKind::kSplit: return KeyNormaliser::Split(f.split_mode);
    case SearchKind::kText: break;
  }
  return KeyNormaliser::Text();
}

}  // namespace

bool CellWords(const SearchFieldSpec& field, std::string_view cell, std::vector<std::string>* words,
               std::string* why) {
  words->clear();
  std::vector<std::string_view> pieces;
  if (field.words == WordMode::kValue) {
    pieces.push_back(cell);
  } else {
    const std::string_view seps =
        field.words == WordMode::kLine ? kLineSeparators : std::string_view(field.separators);
    size_t start = 0;
    for (size_t i = 0; i <= cell.size(); ++i) {
      if (i == cell.size() || seps.find(cell[i]) != std::string_view::npos) {
        pieces.push_back(cell.substr(start, i - start));
        start = i + 1;
      }
    }
  }
  const CharTable& upper = UpperCaseTable();
  for (std::string_view piece : pieces) {
    piece = Trim(piece);
    if (piece.empty()) continue;
    std::string word;
    if (field.kind == SearchKind::kNumeric) {
      word = NumberWord(piece);
      int int_digits = 0, frac_digits = 0;
      if (!ParseNumber(word, &int_digits, &frac_digits)) {
        *why = "\"" + Windows1252ToUtf8(piece) + "\" is not a number";
        return false;
      }
      if (int_digits > field.int_digits || frac_digits > field.frac_digits) {
        *why = "\"" + Windows1252ToUtf8(piece) + "\" has more digits than the field holds (" +
               std::to_string(field.int_digits) + " integer, " + std::to_string(field.frac_digits) +
               " fraction)";
        return false;
      }
    } else {
      word = MapThrough(upper, piece);
    }
    if (word.size() > static_cast<size_t>(fmt::kMaxWordLength)) {
      *why = "a word of " + std::to_string(word.size()) + " bytes; words may have at most 255";
      return false;
    }
    words->push_back(std::move(word));
  }
  return true;
}

// ---------------------------------------------------------------------------------
// Rows

BaseBuilder::BaseBuilder(const BuildSchema& schema, const BuildOptions& options)
    : schema_(schema),
      options_(options),
      // Rows take up to two thirds of the memory, so that the largest tables stay in
      // memory at the default; the passes over them take the rest.
      rows_(schema.tables.size(), options.work_dir,
            options.run_bytes > 0 ? options.run_bytes : (options.memory_mb << 20) / 3 * 2) {}

bool BaseBuilder::SetHeader(const std::vector<std::string>& header, std::string* error) {
  header_utf8_.clear();
  for (const std::string& h : header) header_utf8_.push_back(Windows1252ToUtf8(h));
  auto column_of = [&](const std::string& name, const std::string& who, int* column) {
    std::string wanted;
    std::vector<size_t> changed;
    size_t bad = 0;
    // With --substitute the header row's names were replaced like any other cell.
    if (!Utf8ToWindows1252(name, &wanted) &&
        !(options_.substitute && SubstituteToWindows1252(name, '\t', &wanted, &changed, &bad)))
      wanted = name;
    for (size_t c = 0; c < header.size(); ++c) {
      if (Trim(header[c]) == wanted) {
        *column = static_cast<int>(c);
        return true;
      }
    }
    *error = "column \"" + name + "\" (" + who + ") is not in the header row of the product table";
    return false;
  };
  auto slot_of = [&](int column) {
    for (size_t s = 0; s < slot_column_.size(); ++s)
      if (slot_column_[s] == column) return static_cast<int>(s);
    slot_column_.push_back(column);
    return static_cast<int>(slot_column_.size() - 1);
  };
  int column = 0;
  for (size_t i = 0; i < schema_.data_fields.size(); ++i) {
    if (!column_of(schema_.data_fields[i].column, "data_fields[" + std::to_string(i) + "]", &column)) return false;
    data_slot_.push_back(slot_of(column));
  }
  for (size_t i = 0; i < schema_.search_fields.size(); ++i) {
    if (!column_of(schema_.search_fields[i].column, "search_fields[" + std::to_string(i) + "]", &column)) return false;
    search_slot_.push_back(slot_of(column));
  }
  for (size_t i = 0; i < schema_.sort_fields.size(); ++i) {
    if (!column_of(schema_.sort_fields[i].column, "sort_fields[" + std::to_string(i) + "]", &column)) return false;
    sort_slot_.push_back(slot_of(column));
  }
  if (!schema_.table_column.empty() && !column_of(schema_.table_column, "table_column", &table_column_))
    return false;
  return true;
}

bool BaseBuilder::AddRow(uint64_t line, const std::vector<std::string_view>& cells, std::string* error) {
  if (rows_.rows() + 1 >= fmt::kMaxRecords) {
    *error = "line " + std::to_string(line) + ": more than " + std::to_string(fmt::kMaxRecords - 1) +
             " products; a base holds fewer than 2^23 records";
    return false;
  }
  uint16_t table = 0;
  if (table_column_ >= 0) {
    const std::string_view name = Trim(cells[table_column_]);
    size_t t = 0;
    while (t < schema_.tables.size() && schema_.tables[t] != name) ++t;
    if (t == schema_.tables.size()) {
      *error = "line " + std::to_string(line) + ": column \"" + header_utf8_[table_column_] +
               "\": \"" + Windows1252ToUtf8(name) + "\" is not one of the schema's tables";
      return false;
    }
    table = static_cast<uint16_t>(t);
  }
  rows_.Add(table, line, cells, slot_column_);
  return true;
}

std::string BaseBuilder::CellPlace(const StoredRow& row, int slot) const {
  return "line " + std::to_string(row.line) + ": column \"" + header_utf8_[slot_column_[slot]] + "\"";
}

bool BaseBuilder::StopAsked() const {
  return options_.stop && options_.stop->load(std::memory_order_relaxed);
}

bool BaseBuilder::Stopped(std::string* error) const {
  if (!StopAsked()) return false;
  *error = "interrupted";
  return true;
}

bool BaseBuilder::Stopped(BuildError* error) const {
  return StopAsked() && !Fail(error, kExitInterrupted, "interrupted");
}

void BaseBuilder::Phase(const std::string& name, uint64_t total) const {
  if (options_.progress && !name.empty()) options_.progress->Phase(name, total);
  const auto now = std::chrono::steady_clock::now();
  const double cpu = ProcessCpuSeconds();
  if (!phases_.empty()) {
    phases_.back().second = std::chrono::duration<double>(now - phase_start_).count();
    phase_cpu_.back() = cpu - phase_cpu_start_;
  }
  phases_.emplace_back(name, 0.0);
  phase_cpu_.push_back(0.0);
  phase_start_ = now;
  phase_cpu_start_ = cpu;
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BaseBuilder::Tick(uint64_t done) const {
  if (options_.progress) options_.progress->Update(done);
}

size_t BaseBuilder::PassBudget(size_t tasks) const {
  if (options_.work_dir.empty()) return 0;
  if (options_.run_bytes > 0) return options_.run_bytes;
  // What the build holds throughout: the rows kept in memory, the record pointers.
  const size_t held = rows_.HeldBytes() + pointer_.capacity() * 4;
  const size_t total = options_.memory_mb << 20;
  const size_t left = total > held ? total - held : 0;
  // A floor keeps the runs few when the rows alone fill the allowance.
  return std::max<size_t>(left / std::max<size_t>(tasks, 1), size_t{32} << 20);
}

// ---------------------------------------------------------------------------------
// Writing

bool BaseBuilder::Write(const std::string& dir, BuildSummary* summary, BuildError* error) {
  const auto started = std::chrono::steady_clock::now();
  const uint32_t n = rows();

  if (!rows_.Finish(error)) return false;
  table_count_ = rows_.table_rows();

  *summary = BuildSummary();
  summary->records = n;
  for (size_t t = 0; t < schema_.tables.size(); ++t) summary->tables.emplace_back(schema_.tables[t], table_count_[t]);

  if (!WriteRecords(dir, summary, error) || !WriteSortFields(dir, error) ||
      !WriteWordIndex(dir, summary, error) || !WriteMeta(dir, error))
    return false;

  for (const char* name : fmt::kBaseFiles) {
    std::error_code ec;
    const uint64_t size = fs::file_size(fs::path(dir) / name, ec);
    summary->files.push_back({name, ec ? 0 : size});
  }
  Phase("", 0);
  phases_.pop_back();
  phase_cpu_.pop_back();
  summary->phases = phases_;
  summary->phase_cpu = phase_cpu_;
  summary->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return true;
}

bool BaseBuilder::WriteRecords(const std::string& dir, BuildSummary* summary, BuildError* error) {
  const auto pass = [&](uint32_t stride, const RecordEach& each, BuildError* error) {
    RowStore::Reader reader(rows_);
    StoredRow row;
    std::string record;
    while (reader.Next(&row, error)) {
      if (row.bit % stride != 0) continue;
      record.clear();
      for (int slot : data_slot_) {
        record.append(row.Cell(slot));
        record.push_back('\0');
      }
      each(row.bit, record);
    }
    return error->message.empty();
  };
  const WriteHooks hooks{[&](const std::string& name, uint64_t total) { Phase(name, total); },
                         [&](uint64_t done) { Tick(done); }, [&] { return StopAsked(); }};
  RecordsWritten written;
  if (!WriteRecordFiles(dir, rows(), pass, options_.max_phrases, hooks, &written, error))
    return false;
  pointer_ = std::move(written.pointers);
  read_bytes_ = decode_bytes_ = written.read_bytes;
  summary->read_bytes = summary->decode_bytes = written.read_bytes;
  summary->record_bytes = written.record_bytes;
  summary->stored_bytes = written.stored_bytes;
  summary->phrases = written.phrases;
  return true;
}

bool BaseBuilder::WriteSortFields(const std::string& dir, BuildError* error) {
  const uint32_t n = rows();
  OutFile sort;
  if (!sort.Open(dir + "/" + fmt::kSortFile, error)) return false;
  sort_offset_.clear();
  for (size_t f = 0; f < schema_.sort_fields.size(); ++f) {
    const SortFieldSpec& def = schema_.sort_fields[f];
    const int slot = sort_slot_[f];
    Phase("sorting " + Windows1252ToUtf8(def.name), n);
    if (sort.offset() > 0xFFFFFFFFu) {
      return Fail(error, kExitInput, "sort.dat would pass 4 GiB");
    }
    sort_offset_.push_back(static_cast<uint32_t>(sort.offset()));

    // Numbers compare through fixed-width keys as wide as the widest value.
    int widest_int = 0, widest_frac = 0;
    StoredRow row;
    if (def.collation == Collation::kNumeric) {
      RowStore::Reader reader(rows_);
      while (reader.Next(&row, error)) {
        const std::string_view value = Trim(row.Cell(slot));
        if (value.empty()) continue;
        int i = 0, d = 0;
        if (!ParseNumber(NumberWord(value), &i, &d)) {
          return Fail(error, kExitInput, CellPlace(row, slot) + ": \"" + Windows1252ToUtf8(value) +
                   "\" is not a number (sort field \"" + Windows1252ToUtf8(def.name) + "\" is numeric)");
        }
        widest_int = std::max(widest_int, i);
        widest_frac = std::max(widest_frac, d);
      }
      if (!error->message.empty()) return false;
    }
    SortRun run(options_.work_dir, PassBudget(1));
    RowStore::Reader reader(rows_);
    while (reader.Next(&row, error)) {
      const uint32_t bit = row.bit;
      const std::string_view raw = row.Cell(slot);
      const std::string_view value = Trim(raw);
      if (value.empty()) {
        run.AddHollow(bit);
      } else if (def.collation == Collation::kNumeric) {
        run.AddValue(bit, SortKey(def.collation, NumberWord(value), widest_int, widest_frac));
      } else {
        run.AddValue(bit, SortKey(def.collation, def.collation == Collation::kBytes ? raw : value, 0, 0));
      }
      Tick(bit);
    }
    if (!error->message.empty()) return false;
    if (!run.Write(pointer_, &sort, error)) return false;
    if (Stopped(error)) return false;
  }
  return sort.Close(error);
}

bool BaseBuilder::CollectWords(size_t field, size_t budget, FieldWords* out,
                               const std::atomic<size_t>* shown) const {
  const SearchFieldSpec& def = schema_.search_fields[field];
  const bool reverse = def.reverse_of >= 0;
  const SearchFieldSpec& source = reverse ? schema_.search_fields[def.reverse_of] : def;
  const int slot = search_slot_[field];
  const KeyNormaliser norm = NormaliserFor(def);

  // Words with equal key forms are one word: the bytewise smallest spelling is kept and
  // their records are united.
  out->words = std::make_unique<WordCollector>(norm, options_.work_dir, budget);
  WordCollector& words = *out->words;
  std::vector<std::string> cell_words;
  std::string why;
  RowStore::Reader reader(rows_);
  StoredRow row;
  BuildError read_error;
  while (reader.Next(&row, &read_error)) {
    const uint32_t bit = row.bit;
    if (!CellWords(source, row.Cell(slot), &cell_words, &why)) {
      out->error = CellPlace(row, slot) + ": search field \"" + Windows1252ToUtf8(def.name) + "\": " + why;
      return false;
    }
    for (std::string& w : cell_words) {
      if (reverse) std::reverse(w.begin(), w.end());
      words.Add(w, bit);
    }
    words.EndRecord();
    if ((bit & 0xFFFF) == 0 && Stopped(&out->error)) return false;
    if (shown->load(std::memory_order_acquire) == field) Tick(bit);
  }
  if (!read_error.message.empty()) {
    out->error = read_error.message;
    out->code = read_error.code;
    return false;
  }
  if (words.empty()) {
    out->error = "search field " + std::to_string(def.number) + " \"" + Windows1252ToUtf8(def.name) +
                 "\" gets no word from any row; a search field needs at least one word";
    return false;
  }
  BuildError error;
  if (!words.Finish(&error)) {
    out->error = error.message;
    out->code = error.code;
    return false;
  }
  return true;
}

bool BaseBuilder::WriteWordIndex(const std::string& dir, BuildSummary* summary, BuildError* error) {
  const uint32_t n = rows();
  OutFile index1, index2, post;
  if (!index1.Open(dir + "/" + fmt::kIndex1File, error) || !index2.Open(dir + "/" + fmt::kIndex2File, error) ||
      !post.Open(dir + "/" + fmt::kPostFile, error))
    return false;
  WordIndexWriter writer(n, &index1, &index2, &post);
  index1_offset_.clear();
  // The workers collect the fields in field order, at most `held` of them at a time,
  // each within its share of the memory; this thread writes them in field order as
  // they come, so writing one field goes on beside collecting the next ones.
  const size_t fields = schema_.search_fields.size();
  const size_t held = std::min<size_t>(Workers(), std::max<size_t>(fields, 1));
  const size_t budget = PassBudget(held);
  std::vector<FieldWords> collected(fields);
  std::vector<char> done(fields, 0);
  size_t next = 0, written = 0;
  bool abandon = false;
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<size_t> shown{0};
  auto worker = [&] {
    for (;;) {
      size_t field = 0;
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return abandon || next >= fields || next < written + held; });
        if (abandon || next >= fields) return;
        field = next++;
      }
      CollectWords(field, budget, &collected[field], &shown);
      {
        std::lock_guard<std::mutex> lock(mutex);
        done[field] = 1;
      }
      changed.notify_all();
    }
  };
  struct Workforce {  // stops and joins the workers on every way out
    std::vector<std::thread> threads;
    std::function<void()> stop;
    ~Workforce() {
      stop();
      for (std::thread& t : threads) t.join();
    }
  } workforce;
  workforce.stop = [&] {
    {
      std::lock_guard<std::mutex> lock(mutex);
      abandon = true;
    }
    changed.notify_all();
  };
  for (size_t w = 0; w < held; ++w) workforce.threads.emplace_back(worker);

  for (size_t f = 0; f < fields; ++f) {
    Phase("indexing " + Windows1252ToUtf8(schema_.search_fields[f].name), n);
    shown.store(f, std::memory_order_release);
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return done[f] != 0; });
    }
    FieldWords& field = collected[f];
    if (!field.error.empty()) return Fail(error, StopAsked() ? kExitInterrupted : field.code, field.error);
    const SearchFieldSpec& def = schema_.search_fields[f];
    WordCollector& words = *field.words;
    int block_words = options_.block_words > 0 ? options_.block_words : schema_.block_words;
    if (block_words <= 0) {
      uint64_t distinct = 0;
      if (!words.CountWords(&distinct, error)) return false;
      block_words = DefaultBlockWords(distinct);
    }
    uint32_t offset = 0;
    std::string why;
    if (!writer.BeginField(block_words, &offset, &why)) return Fail(error, kExitInput, why);
    std::string_view stored;
    std::span<const uint32_t> postings;
    uint64_t count = 0;
    for (; words.Next(&stored, &postings); ++count)
      if (!writer.AddWord(stored, postings, &why)) return Fail(error, kExitInput, why);
    if (words.Failed(error)) return false;
    writer.EndField();
    index1_offset_.push_back(offset);
    summary->search_fields.push_back({def.number, def.name, static_cast<uint32_t>(count), words.postings()});
    field.words.reset();
    {
      std::lock_guard<std::mutex> lock(mutex);
      written = f + 1;
    }
    changed.notify_all();
  }
  writer.Finish();
  return index1.Close(error) && index2.Close(error) && post.Close(error);
}

bool BaseBuilder::WriteMeta(const std::string& dir, BuildError* error) {
  MetaContents contents;
  for (size_t t = 0; t < schema_.tables.size(); ++t) contents.tables.push_back({schema_.tables[t], table_count_[t]});
  for (const DataFieldSpec& f : schema_.data_fields)
    contents.data.push_back({f.number, f.name, f.Flags(), 0, f.length, f.table_map});
  for (size_t i = 0; i < schema_.search_fields.size(); ++i) {
    const SearchFieldSpec& f = schema_.search_fields[i];
    contents.search.push_back({f.number, f.name, f.Flags(), index1_offset_[i], f.LengthWord(), f.table_map});
  }
  for (size_t i = 0; i < schema_.sort_fields.size(); ++i) {
    const SortFieldSpec& f = schema_.sort_fields[i];
    contents.sort.push_back({f.number, f.name, f.Flags(), sort_offset_[i], f.length, f.table_map});
  }
  contents.read_bytes = read_bytes_;
  contents.decode_bytes = decode_bytes_;
  OutFile meta;
  if (!meta.Open(dir + "/" + fmt::kMetaFile, error)) return false;
  meta.Append(MetaBytes(contents));
  return meta.Close(error);
}

}  // namespace lodex::build
