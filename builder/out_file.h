// An output file of a base being built, written sequentially through a large buffer,
// with its running length (the offsets other files point at). Backed by a file, or by
// memory for tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "build_error.h"

namespace lodex::build {

class OutFile {
 public:
  OutFile() = default;
  ~OutFile();
  OutFile(const OutFile&) = delete;
  OutFile& operator=(const OutFile&) = delete;

  // Creates path for writing; false with an output error when it cannot be created.
  bool Open(const std::string& path, BuildError* error, size_t buffer_bytes = 1 << 20);
  // Keeps everything in memory instead (see memory()).
  void OpenInMemory() { in_memory_ = true; }

  void Append(std::string_view bytes);
  void Append(const void* data, size_t n) { Append(std::string_view(static_cast<const char*>(data), n)); }
  void AppendZeros(size_t n);
  uint64_t offset() const { return offset_; }

  // Flushes and closes; false with an output error when any write failed.
  bool Close(BuildError* error);
  const std::string& memory() const { return memory_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string memory_;
  bool in_memory_ = false;
  bool failed_ = false;
  int failed_errno_ = 0;  // why the first write failed
  uint64_t offset_ = 0;
};

}  // namespace lodex::build
