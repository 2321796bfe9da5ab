#include "bitmap_file_cache.h"

#include <cstring>

namespace lodex {

BitmapFileCache& BitmapFileCache::Shared() {
  static BitmapFileCache* cache = new BitmapFileCache();  // never destroyed: used at exit
  return *cache;
}

std::list<BitmapFileCache::Entry>::iterator BitmapFileCache::Find(const std::string& path) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->path == path) return it;
  }
  return entries_.end();
}

void BitmapFileCache::Trim() {
  while (!entries_.empty() && (entries_.size() > max_entries_ || bytes_ > max_bytes_)) {
    bytes_ -= entries_.back().bytes.size();
    entries_.pop_back();
  }
}

void BitmapFileCache::Wrote(const std::string& path, const uint8_t* bytes, size_t n) {
  FileStamp stamp;
  const bool stamped = ReadFileStamp(path, &stamp) && stamp.size == n;
  std::lock_guard<std::mutex> lock(mu_);
  auto it = Find(path);
  if (it != entries_.end()) {
    bytes_ -= it->bytes.size();
    entries_.erase(it);
  }
  if (!stamped || n > max_bytes_) return;
  entries_.push_front({path, stamp, std::vector<uint8_t>(bytes, bytes + n)});
  bytes_ += n;
  Trim();
}

void BitmapFileCache::Forget(const std::string& path) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = Find(path);
  if (it == entries_.end()) return;
  bytes_ -= it->bytes.size();
  entries_.erase(it);
}

bool BitmapFileCache::Read(const std::string& path, uint8_t* out, size_t n) {
  FileStamp now;
  const bool stamped = ReadFileStamp(path, &now);
  std::lock_guard<std::mutex> lock(mu_);
  auto it = Find(path);
  if (it == entries_.end()) return false;
  if (!stamped || !(now == it->stamp) || it->bytes.size() < n) {
    bytes_ -= it->bytes.size();
    entries_.erase(it);
    return false;
  }
  if (n > 0) std::memcpy(out, it->bytes.data(), n);
  entries_.splice(entries_.begin(), entries_, it);
  return true;
}

size_t BitmapFileCache::entries() {
  std::lock_guard<std::mutex> lock(mu_);
  return entries_.size();
}

}  // namespace lodex
