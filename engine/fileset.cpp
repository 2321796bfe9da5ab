#include "fileset.h"

#include <cinttypes>

#include "format/files.h"
#include "lodex32_errors.h"
#include "platform.h"

namespace lodex {
namespace {

// Opens dir/name, or gives null when the directory or the joined path is too long for
// the base record's buffers.
FilePtr OpenIn(const std::string& dir, const char* name, const char* mode) {
  if (dir.size() > kMaxPathChars) return nullptr;
  const std::string path = JoinPath(dir, name);
  if (path.size() > kMaxPathChars) return nullptr;
  return FilePtr(std::fopen(path.c_str(), mode));
}

// Tries first, then second when there is one.
FilePtr OpenEither(const std::string& first, const std::string* second, const char* name) {
  FilePtr f = OpenIn(first, name, "rb");
  if (!f && second) f = OpenIn(*second, name, "rb");
  return f;
}

}  // namespace

void FileSet::Close() {
  meta.reset();
  charfreq.reset();
  wordfreq.reset();
  index1.reset();
  mapping.reset();
  post.reset();
  index2.reset();
  sort.reset();
  data.reset();
  list.reset();
}

int64_t StreamSize(std::FILE* stream, int64_t resume_at) {
  if (!stream) return 0;
  long size = -1;
  if (std::fseek(stream, 0, SEEK_END) == 0) size = std::ftell(stream);
  std::fseek(stream, static_cast<long>(resume_at), SEEK_SET);
  return size < 0 ? 0 : size;
}

std::string ListFileName(int32_t base_number) {
  char name[32];
  std::snprintf(name, sizeof name, "~list%" PRIx32 ".tmp", static_cast<uint32_t>(base_number));
  return name;
}

int32_t OpenFileSet(const Directories& dirs, int32_t base_number, FileSet& files) {
  // Most files: the alternative directory first, then the base directory.
  const std::string& first = dirs.has_alt ? dirs.alt : dirs.base;
  const std::string* second = dirs.has_alt ? &dirs.base : nullptr;
  auto open = [&](FilePtr& slot, const char* name, int32_t code) {
    slot = OpenEither(first, second, name);
    return slot ? 0 : code;
  };

  if (int32_t rc = open(files.meta, format::kMetaFile, ERROR_OpenMetaFile)) return rc;
  if (int32_t rc = open(files.charfreq, format::kCharfreqFile, ERROR_OpenCharfreqFile)) return rc;
  if (int32_t rc = open(files.wordfreq, format::kWordfreqFile, ERROR_OpenWordfreqFile)) return rc;
  if (int32_t rc = open(files.index1, format::kIndex1File, ERROR_OpenIndex1File)) return rc;
  if (int32_t rc = open(files.mapping, format::kMappingFile, ERROR_OpenMappingFile)) return rc;
  if (int32_t rc = open(files.post, format::kPostFile, ERROR_OpenPostFile)) return rc;

  files.post_size = StreamSize(files.post.get());

  // index2.dat alone prefers the base directory.
  files.index2 = OpenEither(dirs.base, dirs.has_alt ? &dirs.alt : nullptr, format::kIndex2File);
  if (!files.index2) return ERROR_OpenIndex2File;

  if (int32_t rc = open(files.sort, format::kSortFile, ERROR_OpenSortFile)) return rc;
  if (int32_t rc = open(files.data, format::kDataFile, ERROR_OpenDataFile)) return rc;

  files.list_path = JoinPath(dirs.temp, ListFileName(base_number));
  files.list = OpenIn(dirs.temp, ListFileName(base_number).c_str(), "w+b");
  if (!files.list) return ERROR_CreateListFile;
  return 0;
}

}  // namespace lodex
