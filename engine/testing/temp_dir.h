// Test support shared by the engine's and the builder's tests and the fuzz targets: a
// temporary directory and whole-file reads and writes.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

namespace lodex::testing {

// A fresh directory under the system's temporary directory, removed with the object.
class TempDir {
 public:
  TempDir() {
    // create_directory answers false when the name is taken, so a fresh name is ours.
    const std::filesystem::path root = std::filesystem::temp_directory_path();
    std::random_device random;
    for (;;) {
      std::filesystem::path dir = root / ("lodex-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(dir)) {
        path_ = dir.string();
        return;
      }
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  const char* c_str() const { return path_.c_str(); }
  // The path of name inside the directory.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  // The subdirectory name, created if need be.
  std::string Sub(const std::string& name) const {
    std::filesystem::create_directories(path_ + "/" + name);
    return path_ + "/" + name;
  }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The whole file, or "" when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace lodex::testing
