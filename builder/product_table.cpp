#include "product_table.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "encoding.h"
#include "substitute.h"

namespace lodex::build {

bool ProductTable::Load(const std::string& path, const TableFormat& format, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": cannot open the product table";
    return false;
  }
  std::string text;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  text.resize(static_cast<size_t>(size < 0 ? 0 : size));
  if (!in.read(text.data(), static_cast<std::streamsize>(text.size()))) {
    *error = path + ": cannot read the product table";
    return false;
  }
  return LoadText(std::move(text), path, format, error);
}

bool ProductTable::LoadText(std::string text, const std::string& name, const TableFormat& format,
                            std::string* error) {
  name_ = name;
  source_bytes_ = text.size();
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);

  // The delimiter comes from the header line, which is plain in either encoding.
  const std::string_view first_line(text.data(), std::min(text.find('\n'), text.size()));
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

  was_utf8_ = format.encoding == "utf-8" || (format.encoding == "auto" && IsUtf8(text));
  bool ascii = true;
  for (char c : text) ascii = ascii && static_cast<uint8_t>(c) < 0x80;
  substituted_cells_ = 0;
  first_substituted_.clear();
  if (was_utf8_ && !ascii) {
    size_t bad = 0;
    std::vector<size_t> changed;
    if (!Utf8ToWindows1252(text, &text_, &bad) &&
        !(format.substitute && SubstituteToWindows1252(text, delimiter_, &text_, &changed, &bad))) {
      text_ = text;  // for locating the cell: delimiters and quotes are ASCII
      *error = Where(text, bad) + (IsUtf8(text) ? ": text that Windows-1252 cannot represent"
                                                : ": text that is not UTF-8");
      if (!format.substitute && IsUtf8(text)) error->append(" (--substitute replaces it by a close form)");
      return false;
    }
    if (!changed.empty()) NoteSubstitutions(text, changed);
  } else {
    text_ = std::move(text);
  }

  size_t pos = 0;
  uint64_t line = 1;
  std::vector<std::string_view> cells;
  std::deque<std::string> scratch;
  if (pos >= text_.size()) {
    *error = name_ + ": the product table is empty (no header row)";
    return false;
  }
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

bool ProductTable::ForEachRow(const RowSink& sink, std::string* error) const {
  size_t pos = body_;
  uint64_t line = body_line_;
  std::vector<std::string_view> cells;
  std::deque<std::string> scratch;
  while (pos < text_.size()) {
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
  return true;
}

void ProductTable::NoteSubstitutions(const std::string& source, const std::vector<size_t>& changed) {
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
    raw.text_ = source;
    raw.delimiter_ = delimiter_;
    if (raw.NextRow(pos, line, cells, scratch, &ignored)) names.assign(cells.begin(), cells.end());
  }
  for (const CellAt& cell : first) {
    first_substituted_.push_back(
        {cell.line, cell.column < names.size() ? names[cell.column] : "#" + std::to_string(cell.column + 1),
         cell.text});
  }
}

std::string ProductTable::Where(const std::string& source, size_t offset) const {
  // Re-split the source (still in its own encoding) until the row holding offset.
  ProductTable raw;
  raw.name_ = name_;
  raw.text_ = source;
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
