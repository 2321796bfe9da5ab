#include "schema_bounds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "format/coding.h"
#include "format/data.h"
#include "testing/full_base_files.h"
#include "lodex32.h"
#include "lodex32_errors.h"

namespace lodex {
namespace {

using testing::ReadFile;
using testing::WriteFile;

// A complete base of 150 records (two search fields, one sort field) and its measures.
class SchemaBoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = tmp_.Sub("base");
    temp_ = tmp_.Sub("temp");
    testing::WriteFullBase(dir_, {90, 60});
    FileSet files;
    ASSERT_EQ(OpenFileSet(Directories{dir_, "", temp_, false}, 0, files), 0);
    ASSERT_EQ(ReadSchema(files.meta.get(), schema_), 0);
    sizes_ = MeasureBaseFiles(files, schema_.total_records);
  }

  int32_t Open() { return APIOpenBaseEx(dir_.c_str(), nullptr, temp_.c_str(), 0); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  testing::TempDir tmp_;
  std::string dir_, temp_;
  Schema schema_;
  BaseFileSizes sizes_;
};

TEST_F(SchemaBoundsTest, MeasuresTheFilesAndTheLastRecordsPointer) {
  EXPECT_EQ(sizes_.mapping, 4 * 150);
  EXPECT_EQ(sizes_.data, static_cast<int64_t>(std::filesystem::file_size(Path("data.dat"))));
  EXPECT_EQ(sizes_.index1, static_cast<int64_t>(std::filesystem::file_size(Path("index1.dat"))));
  EXPECT_EQ(sizes_.sort, 8 * 150);
  const std::string mapping = ReadFile(Path("mapping.dat"));
  EXPECT_EQ(sizes_.last_pointer,
            format::DecodeFixed32(reinterpret_cast<const uint8_t*>(mapping.data()) + 4 * 149));
  EXPECT_GT(sizes_.last_pointer, 0);
  EXPECT_EQ(CheckSchemaBounds(schema_, sizes_), 0);
}

TEST_F(SchemaBoundsTest, EachValueAtItsBoundPassesAndOneBeyondIsRefused) {
  // Each case moves one measure or value to its bound, then one step past it.
  struct Case {
    const char* what;
    std::function<void(Schema&, BaseFileSizes&, int64_t beyond)> set;
  };
  const Case cases[] = {
      {"records vs mapping.dat",
       [](Schema& s, BaseFileSizes& z, int64_t b) {
         z.mapping = 4 * int64_t{s.total_records} - b;
       }},
      {"read bytes vs data.dat",
       [](Schema& s, BaseFileSizes& z, int64_t b) {
         s.record_read_bytes = static_cast<int32_t>(z.data - z.last_pointer + b);
       }},
      {"last pointer vs data.dat",
       [](Schema& s, BaseFileSizes& z, int64_t b) {
         z.last_pointer = z.data - s.record_read_bytes + b;
       }},
      {"decode bytes vs record buffers",
       [](Schema& s, BaseFileSizes&, int64_t b) {
         s.record_decode_bytes =
             static_cast<int32_t>(format::RecordBufferBytes(s.record_read_bytes) + b);
       }},
      {"search offset vs index1.dat",
       [](Schema& s, BaseFileSizes& z, int64_t b) {
         s.search.fields.back().offset = static_cast<uint32_t>(z.index1 + b);
       }},
      {"sort run vs sort.dat",
       [](Schema& s, BaseFileSizes& z, int64_t b) {
         s.sort.fields[0].offset = static_cast<uint32_t>(z.sort - 8 * int64_t{s.total_records} + b);
       }},
  };
  for (const Case& c : cases) {
    for (int64_t beyond : {0, 1}) {
      Schema s = schema_;
      BaseFileSizes z = sizes_;
      c.set(s, z, beyond);
      EXPECT_EQ(CheckSchemaBounds(s, z), beyond ? ERROR_BadMetaFile : 0) << c.what;
    }
  }
  // Without records only data.dat's size bounds R: a base is never smaller than a read.
  Schema empty;
  BaseFileSizes none;
  none.data = 64;
  empty.record_read_bytes = 64;
  EXPECT_EQ(CheckSchemaBounds(empty, none), 0);
  empty.record_read_bytes = 65;
  EXPECT_EQ(CheckSchemaBounds(empty, none), ERROR_BadMetaFile);
}

TEST_F(SchemaBoundsTest, OpeningRefusesFilesTooSmallForTheSchema) {
  const int32_t good = Open();
  ASSERT_GE(good, 0);
  EXPECT_EQ(APICloseBase(good), 0);
  // One byte short of what meta.dat's counts need, file by file.
  for (const char* name : {"mapping.dat", "sort.dat"}) {
    const std::string whole = ReadFile(Path(name));
    WriteFile(Path(name), whole.substr(0, whole.size() - 1));
    EXPECT_EQ(Open(), ERROR_BadMetaFile) << name;
    WriteFile(Path(name), whole);
  }
  const std::string index1 = ReadFile(Path("index1.dat"));
  WriteFile(Path("index1.dat"), index1.substr(0, schema_.search.fields.back().offset - 1));
  EXPECT_EQ(Open(), ERROR_BadMetaFile);
  WriteFile(Path("index1.dat"), index1);

  // The last record pointed to where fewer than R bytes remain in data.dat.
  std::string mapping = ReadFile(Path("mapping.dat"));
  auto* last = reinterpret_cast<uint8_t*>(mapping.data()) + 4 * 149;
  for (int64_t beyond : {0, 1}) {
    const int64_t pointer = sizes_.data - schema_.record_read_bytes + beyond;
    format::EncodeFixed32(last, static_cast<uint32_t>(pointer));
    WriteFile(Path("mapping.dat"), mapping);
    const int32_t b = Open();
    if (beyond) {
      EXPECT_EQ(b, ERROR_BadMetaFile);
    } else {
      ASSERT_GE(b, 0);
      EXPECT_EQ(APICloseBase(b), 0);
    }
  }
}

}  // namespace
}  // namespace lodex
