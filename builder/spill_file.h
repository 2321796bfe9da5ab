// The files of a build's whole-table passes that do not fit in memory: sorted runs and
// spilled rows, written through OutFile into the build's work directory, read back
// front to back through a buffer and removed once read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "build_error.h"

namespace lodex::build {

// Appends v as unsigned LEB128 (as SpillReader::TakeVarint reads it).
inline void PutVarint64(std::string& out, uint64_t v) {
  while (v >= 0x80) {
    out.push_back(static_cast<char>((v & 0x7F) | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<char>(v));
}

// Removes the files of paths that are still there (runs never read back).
void RemoveSpillFiles(const std::vector<std::string>& paths);

// A new file name in dir for a pass's file: dir/stem-N, N counting up per process.
std::string SpillPath(const std::string& dir, const std::string& stem);

// Reads a spill file sequentially; removes it when closed or destroyed (unless kept).
class SpillReader {
 public:
  SpillReader() = default;
  ~SpillReader();
  SpillReader(const SpillReader&) = delete;
  SpillReader& operator=(const SpillReader&) = delete;

  // buffer_bytes: how much of the file is held at a time.
  bool Open(const std::string& path, size_t buffer_bytes, BuildError* error);
  // The next n bytes (valid until the next call), or nullptr at the end of the file.
  const char* Take(size_t n);
  bool TakeVarint(uint64_t* value);
  bool TakeFixed32(uint32_t* value);
  bool AtEnd();
  // Whether reading failed (as against reaching the end); error says why.
  bool Failed(BuildError* error) const;
  void Close();
  // Leaves the file in place when closed (it is read more than once).
  void Keep() { keep_ = true; }

 private:
  bool Fill(size_t n);

  std::FILE* file_ = nullptr;
  std::string path_;
  std::string buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  size_t chunk_ = 0;
  bool failed_ = false;
  bool keep_ = false;
};

}  // namespace lodex::build
