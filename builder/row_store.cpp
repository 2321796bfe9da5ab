#include "row_store.h"

#include <algorithm>
#include <cstring>

#include "format/coding.h"

namespace lodex::build {

namespace fmt = lodex::format;

std::string_view StoredRow::Cell(int slot) const {
  const char* p = cells;
  for (int s = 0; s < slot; ++s) p += std::strlen(p) + 1;
  return std::string_view(p);
}

RowStore::RowStore(size_t tables, std::string work_dir, size_t limit_bytes)
    : work_dir_(std::move(work_dir)), limit_(work_dir_.empty() ? 0 : limit_bytes), table_rows_(tables, 0) {}

RowStore::~RowStore() {
  files_.clear();
  RemoveSpillFiles(paths_);
}

void RowStore::Reserve(uint64_t bytes) {
  arena_.reserve(static_cast<size_t>(limit_ > 0 ? std::min<uint64_t>(bytes, limit_) : bytes));
}

size_t RowStore::HeldBytes() const {
  return arena_.capacity() + row_at_.capacity() * 8 + row_table_.capacity() * 2 + bit_row_.capacity() * 4;
}

void RowStore::Add(uint16_t table, uint64_t line, const std::vector<std::string_view>& cells,
                   const std::vector<int>& columns) {
  const uint32_t at_line = static_cast<uint32_t>(std::min<uint64_t>(line, UINT32_MAX));
  ++rows_;
  ++table_rows_[table];
  if (spilled_) {
    scratch_.clear();
    for (int column : columns) {
      scratch_.append(cells[column]);
      scratch_.push_back('\0');
    }
    cell_bytes_ += scratch_.size();
    Write(table, at_line, scratch_);
    return;
  }
  row_at_.push_back(arena_.size());
  row_table_.push_back(table);
  fmt::PutFixed32(arena_, at_line);
  const size_t before = arena_.size();
  for (int column : columns) {
    arena_.append(cells[column]);
    arena_.push_back('\0');
  }
  cell_bytes_ += arena_.size() - before;
  if (limit_ > 0 && HeldBytes() >= limit_) SpillAll();
}

void RowStore::Write(uint16_t table, uint32_t line, std::string_view cells) {
  std::string head;
  fmt::PutFixed32(head, static_cast<uint32_t>(cells.size() + 4));
  fmt::PutFixed32(head, line);
  files_[table]->Append(head);
  files_[table]->Append(cells);
}

void RowStore::SpillAll() {
  spilled_ = true;
  const size_t tables = table_rows_.size();
  // Each table's file writes through a buffer of its own; together they stay small.
  const size_t buffer = std::clamp<size_t>(limit_ / 8 / std::max<size_t>(tables, 1), 16 << 10, 1 << 20);
  for (size_t t = 0; t < tables; ++t) {
    paths_.push_back(SpillPath(work_dir_, "rows"));
    files_.push_back(std::make_unique<OutFile>());
    if (error_.message.empty()) files_.back()->Open(paths_.back(), &error_, buffer);
  }
  for (size_t r = 0; r < row_at_.size(); ++r) {
    const uint64_t begin = row_at_[r];
    const uint64_t end = r + 1 < row_at_.size() ? row_at_[r + 1] : arena_.size();
    const std::string_view row = std::string_view(arena_).substr(begin, end - begin);
    Write(row_table_[r], fmt::DecodeFixed32(reinterpret_cast<const uint8_t*>(row.data())), row.substr(4));
  }
  std::string().swap(arena_);
  std::vector<uint64_t>().swap(row_at_);
  std::vector<uint16_t>().swap(row_table_);
}

bool RowStore::Finish(BuildError* error) {
  if (finished_) return error_.message.empty() || Fail(error, error_.code, error_.message);
  finished_ = true;
  if (spilled_) {
    for (auto& file : files_)
      if (error_.message.empty()) file->Close(&error_);
    files_.clear();
    if (!error_.message.empty()) return Fail(error, error_.code, error_.message);
    return true;
  }
  // Bit numbers run table after table; rows keep their order within a table.
  std::vector<uint32_t> next(table_rows_.size(), 0);
  for (size_t t = 1; t < next.size(); ++t) next[t] = next[t - 1] + table_rows_[t - 1];
  bit_row_.assign(rows_, 0);
  for (uint32_t r = 0; r < rows_; ++r) bit_row_[next[row_table_[r]]++] = r;
  std::vector<uint16_t>().swap(row_table_);
  return true;
}

bool RowStore::Reader::Next(StoredRow* row, BuildError* error) {
  if (bit_ >= store_.rows_) return false;
  if (!store_.spilled_) {
    const char* p = store_.arena_.data() + store_.row_at_[store_.bit_row_[bit_]];
    row->bit = bit_++;
    row->line = fmt::DecodeFixed32(reinterpret_cast<const uint8_t*>(p));
    row->cells = p + 4;
    return true;
  }
  // The next table's file once this one's rows are read.
  while (!file_ || file_->AtEnd()) {
    if (file_ && file_->Failed(error)) return false;
    if (table_ >= store_.paths_.size()) return false;
    file_ = std::make_unique<SpillReader>();
    if (!file_->Open(store_.paths_[table_++], 1 << 20, error)) return false;
    file_->Keep();
  }
  uint32_t length = 0;
  const char* p = nullptr;
  if (!file_->TakeFixed32(&length) || !(p = file_->Take(length))) {
    if (!file_->Failed(error)) Fail(error, kExitOutput, "the rows written to the work directory end early");
    return false;
  }
  row->bit = bit_++;
  row->line = fmt::DecodeFixed32(reinterpret_cast<const uint8_t*>(p));
  row->cells = p + 4;
  return true;
}

}  // namespace lodex::build
