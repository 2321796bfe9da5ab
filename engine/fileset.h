// The open file streams of a base: the nine database files and the list file.
//
// Files are opened in a fixed order, each from the alternative directory first and the
// base directory second (index2.dat the other way round); the list file "~list<hex>.tmp"
// is created empty in the temporary directory. The first file that cannot be opened ends
// the opening with its own code; the streams opened so far are closed with the FileSet.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace lodex {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Directory and file-name limits of the stored form of a base record: each directory and
// each joined path must fit a 256-byte buffer with its NUL. Longer ones count as places
// where the file cannot be opened, so they are refused with the file's open code.
inline constexpr size_t kMaxPathChars = 255;

struct FileSet {
  FilePtr meta;
  FilePtr charfreq;
  FilePtr wordfreq;
  FilePtr index1;
  FilePtr mapping;
  FilePtr post;
  FilePtr index2;
  FilePtr sort;
  FilePtr data;
  FilePtr list;  // "w+b", shared by the sessions' sorted lists

  int64_t post_size = 0;  // measured right after post.dat is opened
  std::string list_path;

  // Closes every open stream once; safe to call again.
  void Close();
};

// Where a base's files are looked for.
struct Directories {
  std::string base;
  std::string alt;
  std::string temp;
  bool has_alt = false;
};

// Opens the whole set in order into files. Returns 0, or the open code of the first file
// that could not be opened (-300 .. -307, -310, -311); the files opened so far stay in
// files. base_number names the list file.
int32_t OpenFileSet(const Directories& dirs, int32_t base_number, FileSet& files);

// The stream's size in bytes, 0 when it cannot be measured; the stream is left at
// resume_at.
int64_t StreamSize(std::FILE* stream, int64_t resume_at = 0);

// "~list" + base number in lower-case hexadecimal + ".tmp".
std::string ListFileName(int32_t base_number);

}  // namespace lodex
