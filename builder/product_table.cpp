#include "product_table.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "encoding.h"
#include "substitute.h"

namespace lodex::build {

ProductTable::~ProductTable() {
  if (mapped_) munmap(mapped_, mapped_bytes_);
}

bool ProductTable::Load(const std::string& path, const TableFormat& format, std::string* error) {
  name_ = path;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = path + ": cannot open the product table";
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    *error = path + ": cannot read the product table";
    return false;
  }
  mapped_bytes_ = static_cast<size_t>(st.st_size);
  if (mapped_bytes_ > 0) {
    mapped_ = mmap(nullptr, mapped_bytes_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped_ == MAP_FAILED) {
      mapped_ = nullptr;
      close(fd);
      *error = path + ": cannot read the product table";
      return false;
    }
    madvise(mapped_, mapped_bytes_, MADV_SEQUENTIAL);
  }
  close(fd);
  source_ = std::string_view(static_cast<const char*>(mapped_), mapped_bytes_);
  return Start(format, error);
}

bool ProductTable::LoadText(std::string text, const std::string& name, const TableFormat& format,
                            std::string* error) {
  name_ = name;
  owned_ = std::move(text);
  source_ = owned_;
  return Start(format, error);
}

void ProductTable::Release(size_t end) {
  if (!mapped_) return;
  // Whole pages only; the mapping starts on a page.
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t from = released_ / page * page;
  const size_t base = static_cast<size_t>(source_.data() - static_cast<const char*>(mapped_));
  const size_t to = (base + end) / page * page;
  if (to <= from + (size_t{8} << 20)) return;  // let go in steps of some MiB
  madvise(static_cast<char*>(mapped_) + from, to - from, MADV_DONTNEED);
  released_ = to;
}

size_t ProductTable::RowEndAfter(size_t at) const {
  // The rows' structure as NextRow reads it: a quote opens a quoted cell only at the
  // start of a cell, and a line break inside one does not end the row.
  const std::string_view t = source_;
  const size_t n = t.size();
  size_t pos = window_to_;
  bool cell_start = true;
  while (pos < n) {
    const char c = t[pos];
    if (cell_start && c == '"') {
      ++pos;
      while (pos < n) {
        if (t[pos] == '"') {
          if (pos + 1 < n && t[pos + 1] == '"') {
            pos += 2;
            continue;
          }
          break;
        }
        ++pos;
      }
      if (pos < n) ++pos;  // the closing quote
      cell_start = false;
      continue;
    }
    cell_start = false;
    ++pos;
    if (c == delimiter_) {
      cell_start = true;
    } else if (c == '\n') {
      cell_start = true;
      if (pos >= at) return pos;
    }
  }
  return n;
}

bool ProductTable::LoadWindow(size_t from, std::string* error) {
  window_from_ = window_to_ = from;
  const size_t to = RowEndAfter(std::min(source_.size(), from + window_bytes_));
  const std::string_view window = source_.substr(from, to - from);
  window_to_ = to;
  Release(from);
  if (!convert_) {
    text_.assign(window);
    return true;
  }
  size_t bad = 0;
  if (Utf8ToWindows1252(window, &text_, &bad)) return true;
  std::vector<size_t> changed;
  if (substitute_ && SubstituteToWindows1252(window, delimiter_, &text_, &changed, &bad)) return true;
  bad += from;
  const bool utf8 = IsUtf8(source_);
  *error = Where(source_, bad) + (utf8 ? ": text that Windows-1252 cannot represent" : ": text that is not UTF-8");
  if (!substitute_ && utf8) error->append(" (--substitute replaces it by a close form)");
  return false;
}

bool ProductTable::Start(const TableFormat& format, std::string* error) {
  source_bytes_ = source_.size();
  if (source_.size() >= 3 && source_.compare(0, 3, "\xEF\xBB\xBF") == 0) source_.remove_prefix(3);
  substitute_ = format.substitute;

  // The delimiter comes from the header line, which is plain in either encoding.
  const std::string_view first_line = source_.substr(0, std::min(source_.find('\n'), source_.size()));
  delimiter_ = format.delimiter;
  if (delimiter_ == 0) {
    size_t commas = 0, semicolons = 0;
    for (char c : first_line) {
      commas += c == ',';
      semicolons += c == ';';
    }
    delimiter_ = first_line.find('\t') != std::string_view::npos ? '\t'
                 : semicolons > commas                          ? ';'
                                                                : ',';
  }

  // The encoding, from the whole text, a window at a time.
  bool utf8 = true, ascii = true;
  for (size_t from = 0; format.encoding != "windows-1252" && from < source_.size() && (ascii || utf8);) {
    size_t to = std::min(source_.size(), from + window_bytes_);
    while (to < source_.size() && source_[to - 1] != '\n') ++to;  // a line break ends no character
    const std::string_view part = source_.substr(from, to - from);
    for (char c : part) ascii = ascii && static_cast<uint8_t>(c) < 0x80;
    if (utf8 && format.encoding == "auto" && !ascii) utf8 = IsUtf8(part);
    from = to;
    Release(from);
  }
  was_utf8_ = format.encoding == "utf-8" || (format.encoding == "auto" && utf8);
  convert_ = was_utf8_ && !ascii;
  substituted_cells_ = 0;
  first_substituted_.clear();
  released_ = 0;
  // With --substitute the cells changed are counted first, a window at a time, so
  // that they are known before the rows are read.
  if (convert_ && substitute_) {
    std::vector<size_t> changed, all;
    std::string converted;
    for (size_t from = 0; from < source_.size();) {
      size_t to = std::min(source_.size(), from + window_bytes_);
      while (to < source_.size() && source_[to - 1] != '\n') ++to;
      const std::string_view part = source_.substr(from, to - from);
      size_t bad = 0;
      if (!Utf8ToWindows1252(part, &converted, &bad)) {
        if (!SubstituteToWindows1252(part, delimiter_, &converted, &changed, &bad)) {
          *error = Where(source_, from + bad) + ": text that is not UTF-8";
          return false;
        }
        for (size_t at : changed) all.push_back(from + at);
      }
      from = to;
      Release(from);
    }
    released_ = 0;
    if (!all.empty()) NoteSubstitutions(source_, all);
  }

  if (source_.empty()) {
    *error = name_ + ": the product table is empty (no header row)";
    return false;
  }
  if (!LoadWindow(0, error)) return false;
  size_t pos = 0;
  uint64_t line = 1;
  std::vector<std::string_view> cells;
  std::deque<std::string> scratch;
  if (!NextRow(pos, line, cells, scratch, error)) return false;
  header_.assign(cells.begin(), cells.end());
  body_ = pos;
  body_line_ = line;
  return true;
}

bool ProductTable::NextRow(size_t& pos, uint64_t& line, std::vector<std::string_view>& cells,
                           std::deque<std::string>& scratch, std::string* error) const {
  cells.clear();
  size_t used_scratch = 0;
  const std::string& t = text_;
  const size_t n = t.size();
  const uint64_t row_line = line;
  while (true) {
    if (pos < n && t[pos] == '"') {
      // Quoted cell: runs to the closing quote; "" stands for one quote.
      if (used_scratch == scratch.size()) scratch.emplace_back();
      std::string& cell = scratch[used_scratch++];
      cell.clear();
      ++pos;
      while (true) {
        if (pos >= n) {
          *error = name_ + ": line " + std::to_string(row_line) + ": a quoted cell is not closed";
          return false;
        }
        const char c = t[pos];
        if (c == '"') {
          if (pos + 1 < n && t[pos + 1] == '"') {
            cell.push_back('"');
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        if (c == '\n') ++line;
        cell.push_back(c);
        ++pos;
      }
      if (pos < n && t[pos] == '\r' && (pos + 1 == n || t[pos + 1] == '\n')) ++pos;
      if (pos < n && t[pos] != delimiter_ && t[pos] != '\n') {
        *error = name_ + ": line " + std::to_string(line) + ": text after the closing quote of cell " +
                 std::to_string(cells.size() + 1);
        return false;
      }
      cells.emplace_back(cell);
    } else {
      const size_t start = pos;
      while (pos < n && t[pos] != delimiter_ && t[pos] != '\n') ++pos;
      size_t end = pos;
      if (end > start && t[end - 1] == '\r' && (pos == n || t[pos] == '\n')) --end;
      cells.emplace_back(t.data() + start, end - start);
    }
    if (pos < n && t[pos] == delimiter_) {
      ++pos;
      continue;
    }
    if (pos < n) {  // '\n'
      ++pos;
      ++line;
    }
    return true;
  }
}

bool ProductTable::ForEachRow(const RowSink& sink, std::string* error) {
  size_t pos = body_;
  uint64_t line = body_line_;
  std::vector<std::string_view> cells;
  std::deque<std::string> scratch;
  while (true) {
    if (pos >= text_.size()) {
      if (window_to_ >= source_.size()) break;
      if (!LoadWindow(window_to_, error)) return false;
      pos = 0;
      continue;
    }
    const uint64_t row_line = line;
    const size_t row_start = pos;
    if (!NextRow(pos, line, cells, scratch, error)) return false;
    // A blank line holds no row; a quoted empty cell ("") is a row of one empty cell.
    const std::string_view raw(text_.data() + row_start, pos - row_start);
    if (raw.find_first_not_of("\r\n") == std::string_view::npos) continue;
    if (cells.size() != header_.size()) {
      *error = name_ + ": line " + std::to_string(row_line) + ": " + std::to_string(cells.size()) +
               " cells, but the header row has " + std::to_string(header_.size());
      return false;
    }
    for (size_t c = 0; c < cells.size(); ++c) {
      if (cells[c].find('\0') != std::string_view::npos) {
        *error = name_ + ": line " + std::to_string(row_line) + ": column \"" +
                 Windows1252ToUtf8(header_[c]) + "\": the text contains a NUL byte";
        return false;
      }
    }
    if (!sink(row_line, cells)) return false;
  }
  std::string().swap(text_);
  Release(source_.size());
  return true;
}

void ProductTable::NoteSubstitutions(std::string_view source, const std::vector<size_t>& changed) {
  constexpr size_t kShown = 10;
  std::vector<CellAt> first;
  substituted_cells_ = CellsAt(source, delimiter_, changed, kShown, &first);
  // The header row's names, for the columns of the cells shown.
  std::vector<std::string> names;
  {
    size_t pos = 0;
    uint64_t line = 1;
    std::vector<std::string_view> cells;
    std::deque<std::string> scratch;
    std::string ignored;
    ProductTable raw;
    raw.text_ = source.substr(0, std::min(source.find('\n'), source.size()) + 1);  // the header row
    raw.delimiter_ = delimiter_;
    if (raw.NextRow(pos, line, cells, scratch, &ignored)) names.assign(cells.begin(), cells.end());
  }
  for (const CellAt& cell : first) {
    first_substituted_.push_back(
        {cell.line, cell.column < names.size() ? names[cell.column] : "#" + std::to_string(cell.column + 1),
         cell.text});
  }
}

std::string ProductTable::Where(std::string_view source, size_t offset) const {
  // Re-split the source (still in its own encoding) until the row holding offset.
  ProductTable raw;
  raw.name_ = name_;
  raw.text_ = std::string(source);
  raw.delimiter_ = delimiter_;
  size_t pos = 0;
  uint64_t line = 1;
  std::vector<std::string_view> cells, header;
  std::deque<std::string> scratch;
  std::vector<std::string> header_store;
  std::string ignored;
  bool first = true;
  while (pos < source.size()) {
    const size_t row_start = pos;
    const uint64_t row_line = line;
    if (!raw.NextRow(pos, line, cells, scratch, &ignored)) break;
    if (first) {
      header_store.assign(cells.begin(), cells.end());
      first = false;
    }
    if (offset < pos) {
      // Which cell: the last one that starts at or before offset.
      size_t column = 0;
      for (size_t c = 0; c < cells.size(); ++c) {
        const char* p = cells[c].data();
        const char* base = raw.text_.data();
        if (p >= base + row_start && p <= base + offset) column = c;
      }
      std::string where = name_ + ": line " + std::to_string(row_line);
      if (column < header_store.size()) where += ": column \"" + header_store[column] + "\"";
      return where;
    }
  }
  return name_ + ": byte " + std::to_string(offset);
}

}  // namespace lodex::build
