#include "out_file.h"

#include <cerrno>
#include <cstring>

namespace lodex::build {


OutFile::~OutFile() {
  if (file_) std::fclose(file_);
}

bool OutFile::Open(const std::string& path, BuildError* error, size_t buffer_bytes) {
  path_ = path;
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    return Fail(error, kExitOutput, path + ": cannot create: " + std::strerror(errno));
  }
  std::setvbuf(file_, nullptr, _IOFBF, buffer_bytes);
  return true;
}

void OutFile::Append(std::string_view bytes) {
  offset_ += bytes.size();
  if (in_memory_) {
    memory_.append(bytes);
    return;
  }
  if (!file_ || failed_) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    failed_ = true;
    failed_errno_ = errno;
  }
}

void OutFile::AppendZeros(size_t n) {
  static const char kZeros[4096] = {};
  while (n > 0) {
    const size_t k = n < sizeof kZeros ? n : sizeof kZeros;
    Append(kZeros, k);
    n -= k;
  }
}

bool OutFile::Close(BuildError* error) {
  if (in_memory_) return true;
  if (!file_) return false;
  if (std::fflush(file_) != 0 && !failed_) {
    failed_ = true;
    failed_errno_ = errno;
  }
  if (std::fclose(file_) != 0 && !failed_) {
    failed_ = true;
    failed_errno_ = errno;
  }
  file_ = nullptr;
  if (failed_) {
    return Fail(error, kExitOutput,
                path_ + ": write failed: " + std::strerror(failed_errno_ ? failed_errno_ : EIO));
  }
  return true;
}

}  // namespace lodex::build
