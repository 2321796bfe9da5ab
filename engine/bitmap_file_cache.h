// The bytes of the bitmap files the engine wrote last (slot files, saved bitmaps), kept in
// memory so that reading one back soon after, as a combined search does with its slot
// files, copies from memory instead of going through the file system. The files are
// still written in full: callers and other processes may read them.
//
// An entry is used only while its file has the stamp (size, identity, change times) it
// had right after the engine wrote it; a file changed behind the engine's back is read
// from the file again. The engine's own changes in place drop the entry. The cache is
// shared by every session of the process and guarded by its own lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <vector>

#include "platform.h"

namespace lodex {

class BitmapFileCache {
 public:
  // The process's cache.
  static BitmapFileCache& Shared();

  explicit BitmapFileCache(size_t max_entries = 16, size_t max_bytes = size_t{64} << 20)
      : max_entries_(max_entries), max_bytes_(max_bytes) {}

  // The engine has just written these bytes, all of them, to path.
  void Wrote(const std::string& path, const uint8_t* bytes, size_t n);
  // The engine changed or may have changed the file at path in some other way.
  void Forget(const std::string& path);
  // Copies the first n bytes of path's contents into out when the cache holds them and
  // the file is as the engine left it; false otherwise (then read the file).
  bool Read(const std::string& path, uint8_t* out, size_t n);

  size_t entries();

 private:
  struct Entry {
    std::string path;
    FileStamp stamp;
    std::vector<uint8_t> bytes;
  };
  // Most recently used first. Callers hold mu_.
  std::list<Entry>::iterator Find(const std::string& path);
  void Trim();

  std::mutex mu_;
  std::list<Entry> entries_;
  size_t bytes_ = 0;
  const size_t max_entries_, max_bytes_;
};

}  // namespace lodex
