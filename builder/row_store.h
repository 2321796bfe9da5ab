// The rows of a build, as the passes over the whole table read them: in bit order
// (table after table, each table's rows in their order). Rows are held in memory up
// to a limit; past it every table's rows go to a file of their own in the work
// directory, and the passes read them back from there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "build_error.h"
#include "out_file.h"
#include "spill_file.h"

namespace lodex::build {

// One row as a pass sees it.
struct StoredRow {
  uint32_t bit = 0;
  uint32_t line = 0;          // where it starts in the table
  const char* cells = nullptr;  // each slot's text and a NUL

  std::string_view Cell(int slot) const;
};

class RowStore {
 public:
  // limit_bytes 0 or an empty work_dir: everything in memory.
  RowStore(size_t tables, std::string work_dir, size_t limit_bytes);
  ~RowStore();
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;

  // Room for about `bytes` of cells, up to the limit.
  void Reserve(uint64_t bytes);
  // A row of table `table`: the cells of `columns`, in their order.
  void Add(uint16_t table, uint64_t line, const std::vector<std::string_view>& cells,
           const std::vector<int>& columns);
  uint32_t rows() const { return rows_; }
  const std::vector<uint32_t>& table_rows() const { return table_rows_; }
  uint64_t cell_bytes() const { return cell_bytes_; }
  // What the rows hold in memory.
  size_t HeldBytes() const;

  // After the last row: lays out the bit order, or finishes the tables' files. Once;
  // again it answers as the first time.
  bool Finish(BuildError* error);

  // Reads the rows in bit order; several may read at once.
  class Reader {
   public:
    explicit Reader(const RowStore& store) : store_(store) {}
    // The next row, valid until the next call; false after the last or when reading
    // failed (error set).
    bool Next(StoredRow* row, BuildError* error);

   private:
    const RowStore& store_;
    uint32_t bit_ = 0;
    size_t table_ = 0;
    std::unique_ptr<SpillReader> file_;
  };

 private:
  void SpillAll();
  void Write(uint16_t table, uint32_t line, std::string_view cells);

  std::string work_dir_;
  size_t limit_;
  uint32_t rows_ = 0;
  uint64_t cell_bytes_ = 0;
  std::vector<uint32_t> table_rows_;

  // In memory.
  std::string arena_;  // per row: its line (4 bytes) and its cells
  std::vector<uint64_t> row_at_;
  std::vector<uint16_t> row_table_;
  std::vector<uint32_t> bit_row_;

  // In files: per table, records of a 4-byte length, the line and the cells.
  bool spilled_ = false;
  bool finished_ = false;
  std::vector<std::string> paths_;
  std::vector<std::unique_ptr<OutFile>> files_;
  BuildError error_;
  std::string scratch_;
};

}  // namespace lodex::build
