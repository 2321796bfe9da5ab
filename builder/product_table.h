// Reading a product table: a header row, then one row per product, tab-separated or
// CSV (comma or semicolon) with double-quoted cells ("" inside a quoted cell is one
// quote; quoted cells may hold delimiters and line breaks). UTF-8 or Windows-1252;
// cells are handed on in Windows-1252.
//
// A table file is mapped, not read in: the rows are converted and split a window of
// some MiB at a time (windows end between rows), and the pages read are let go again,
// so a table of any size takes little memory.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lodex::build {

struct TableFormat {
  std::string encoding = "auto";  // "auto", "utf-8", "windows-1252"
  char delimiter = 0;             // 0: taken from the header row
  bool substitute = false;        // replace what Windows-1252 cannot hold (substitute.h)
};

// A cell whose text was replaced to fit Windows-1252.
struct SubstitutedCell {
  uint64_t line = 0;     // where its row starts
  std::string column;    // the header row's name of its column (UTF-8)
  std::string original;  // the cell as written (UTF-8)
};

// One row: the line it starts on (1 = header) and its cells, Windows-1252. Answers
// false to stop reading (the reader then answers false with the sink's error).
using RowSink = std::function<bool(uint64_t line, const std::vector<std::string_view>& cells)>;

class ProductTable {
 public:
  ProductTable() = default;
  ~ProductTable();
  ProductTable(const ProductTable&) = delete;
  ProductTable& operator=(const ProductTable&) = delete;

  // Opens the file and reads its header row. False with a message when the file cannot
  // be read or its header holds text that Windows-1252 cannot represent (text further
  // on is found by ForEachRow).
  bool Load(const std::string& path, const TableFormat& format, std::string* error);
  // The same from text in memory (name is used in messages).
  bool LoadText(std::string text, const std::string& name, const TableFormat& format,
                std::string* error);

  const std::vector<std::string>& header() const { return header_; }  // Windows-1252
  bool was_utf8() const { return was_utf8_; }
  char delimiter() const { return delimiter_; }
  uint64_t bytes() const { return source_bytes_; }
  // About how many bytes of the table ForEachRow has read.
  uint64_t position() const { return window_from_; }
  // With TableFormat::substitute: the number of cells replaced and the first ten.
  uint64_t substituted_cells() const { return substituted_cells_; }
  const std::vector<SubstitutedCell>& first_substituted() const { return first_substituted_; }

  // Calls sink for every data row. False with a message naming the line (and column)
  // for a malformed row, text that Windows-1252 cannot represent, or when sink answers
  // false. Once only.
  bool ForEachRow(const RowSink& sink, std::string* error);

  // For tests: the bytes of table text converted and split at a time.
  void set_window_bytes(size_t bytes) { window_bytes_ = bytes; }

 private:
  // Splits the next row starting at pos; false with a message when it is malformed.
  bool NextRow(size_t& pos, uint64_t& line, std::vector<std::string_view>& cells,
               std::deque<std::string>& scratch, std::string* error) const;
  // Decides the delimiter and the encoding and reads the header row from source_.
  bool Start(const TableFormat& format, std::string* error);
  // Converts the window of rows from source_ offset `from` into text_.
  bool LoadWindow(size_t from, std::string* error);
  // Where the first row that ends at or after `at` ends (past its line break).
  size_t RowEndAfter(size_t at) const;
  // Lets go of the mapped pages before `end`.
  void Release(size_t end);
  // Counts the cells that --substitute changed and keeps the first ten.
  void NoteSubstitutions(std::string_view source, const std::vector<size_t>& changed);
  // Line and column (header name) of a byte offset of the source text.
  std::string Where(std::string_view source, size_t offset) const;

  std::string name_;
  std::string owned_;          // LoadText's text
  void* mapped_ = nullptr;     // Load's file
  size_t mapped_bytes_ = 0;
  std::string_view source_;    // the table as written, without a byte order mark
  size_t released_ = 0;        // source_ bytes let go
  size_t window_bytes_ = 16 << 20;
  size_t window_from_ = 0;     // text_ holds source_ [window_from_, window_to_)
  size_t window_to_ = 0;
  bool convert_ = false;       // UTF-8 with more than ASCII
  bool substitute_ = false;
  std::string text_;  // Windows-1252: the current window
  std::vector<std::string> header_;
  size_t body_ = 0;   // offset of the first data row in text_
  uint64_t body_line_ = 2;
  char delimiter_ = '\t';
  bool was_utf8_ = false;
  uint64_t source_bytes_ = 0;
  uint64_t substituted_cells_ = 0;
  std::vector<SubstitutedCell> first_substituted_;
};

}  // namespace lodex::build
