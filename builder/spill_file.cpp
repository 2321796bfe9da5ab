#include "spill_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "format/coding.h"

namespace lodex::build {

std::string SpillPath(const std::string& dir, const std::string& stem) {
  static std::atomic<uint64_t> next{0};
  return dir + "/" + stem + "-" + std::to_string(next++);
}

void RemoveSpillFiles(const std::vector<std::string>& paths) {
  std::error_code ec;
  for (const std::string& path : paths) std::filesystem::remove(path, ec);
}

SpillReader::~SpillReader() { Close(); }

bool SpillReader::Open(const std::string& path, size_t buffer_bytes, BuildError* error) {
  Close();
  path_ = path;
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) return Fail(error, kExitOutput, path + ": cannot read back: " + std::strerror(errno));
  chunk_ = std::max<size_t>(buffer_bytes, 4096);
  buffer_.clear();
  pos_ = end_ = 0;
  failed_ = false;
  return true;
}

bool SpillReader::Fill(size_t n) {
  if (end_ - pos_ >= n) return true;
  if (!file_) return false;
  // Keep the unread tail, then read at least a chunk after it.
  std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
  end_ -= pos_;
  pos_ = 0;
  const size_t want = std::max(n, chunk_);
  if (buffer_.size() < want) buffer_.resize(want);
  while (end_ < n) {
    const size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    if (got == 0) {
      if (std::ferror(file_)) failed_ = true;
      return false;
    }
    end_ += got;
  }
  return true;
}

const char* SpillReader::Take(size_t n) {
  if (!Fill(n)) return nullptr;
  const char* p = buffer_.data() + pos_;
  pos_ += n;
  return p;
}

bool SpillReader::TakeVarint(uint64_t* value) {
  uint64_t v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    const char* p = Take(1);
    if (!p) return false;
    const auto b = static_cast<uint8_t>(*p);
    v |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (b < 0x80) {
      *value = v;
      return true;
    }
  }
  failed_ = true;
  return false;
}

bool SpillReader::TakeFixed32(uint32_t* value) {
  const char* p = Take(4);
  if (!p) return false;
  *value = format::DecodeFixed32(reinterpret_cast<const uint8_t*>(p));
  return true;
}

bool SpillReader::AtEnd() { return !Fill(1); }

bool SpillReader::Failed(BuildError* error) const {
  return failed_ && !Fail(error, kExitOutput, path_ + ": cannot read back: " + std::strerror(errno ? errno : EIO));
}

void SpillReader::Close() {
  if (!file_) return;
  std::fclose(file_);
  file_ = nullptr;
  std::error_code ec;
  if (!keep_) std::filesystem::remove(path_, ec);
  buffer_.clear();
  buffer_.shrink_to_fit();
}

}  // namespace lodex::build
