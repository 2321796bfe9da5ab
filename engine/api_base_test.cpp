// Opening and closing bases and the life of sessions, through the C interface.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "lodex32_errors.h"
#include "fileset.h"
#include "lodex32.h"
#include "registry.h"
#include "testing/test_base_files.h"

namespace lodex {
namespace {

using testing::TempDir;

class OpenBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_dir_ = tmp_.Sub("base");
    temp_dir_ = tmp_.Sub("temp");
    testing::WriteBase(base_dir_, testing::SmallCatalogue());
  }

  int32_t Open() { return APIOpenBaseEx(base_dir_.c_str(), nullptr, temp_dir_.c_str(), 0); }

  TempDir tmp_;
  std::string base_dir_;
  std::string temp_dir_;
};

TEST_F(OpenBaseTest, NumbersGrowAndAFailedOpenUsesOneUp) {
  const int32_t first = Open();
  ASSERT_GE(first, 0);
  EXPECT_EQ(APIOpenBaseEx("/nonexistent/dir", nullptr, temp_dir_.c_str(), 0), ERROR_OpenMetaFile);
  const int32_t second = Open();
  EXPECT_EQ(second, first + 2);
  EXPECT_EQ(APIRecordCount(first + 1), ERROR_BadBase);
  EXPECT_TRUE(std::filesystem::exists(temp_dir_ + "/" + ListFileName(first)));
  EXPECT_FALSE(std::filesystem::exists(temp_dir_ + "/" + ListFileName(first + 1)));
  EXPECT_EQ(APICloseBase(first), 0);
  EXPECT_EQ(APICloseBase(second), 0);
}

TEST_F(OpenBaseTest, CloseTwiceAndUnknownNumbersAnswerBadBase) {
  const int32_t b = Open();
  ASSERT_GE(b, 0);
  EXPECT_EQ(APIRecordCount(b), 5);
  EXPECT_EQ(APICloseBase(b), 0);
  EXPECT_EQ(APICloseBase(b), ERROR_BadBase);
  EXPECT_EQ(APICloseBase(-1), ERROR_BadBase);
  EXPECT_EQ(APIRecordCount(b), ERROR_BadBase);
  // The list file stays behind.
  EXPECT_TRUE(std::filesystem::exists(temp_dir_ + "/" + ListFileName(b)));
}

TEST_F(OpenBaseTest, EachMissingFileAnswersItsOwnCode) {
  const std::pair<const char*, int32_t> files[] = {
      {"meta.dat", ERROR_OpenMetaFile},         {"charfreq.dat", ERROR_OpenCharfreqFile},
      {"wordfreq.dat", ERROR_OpenWordfreqFile}, {"index1.dat", ERROR_OpenIndex1File},
      {"mapping.dat", ERROR_OpenMappingFile},   {"post.dat", ERROR_OpenPostFile},
      {"index2.dat", ERROR_OpenIndex2File},     {"sort.dat", ERROR_OpenSortFile},
      {"data.dat", ERROR_OpenDataFile}};
  const size_t bases_before = OpenBaseCount();
  for (auto [name, code] : files) {
    const std::string dir = tmp_.Sub(std::string("without-") + name);
    testing::WriteBase(dir, testing::SmallCatalogue(), {name});
    EXPECT_EQ(APIOpenBaseEx(dir.c_str(), nullptr, temp_dir_.c_str(), 0), code) << name;
  }
  EXPECT_EQ(APIOpenBaseEx(base_dir_.c_str(), nullptr, (temp_dir_ + "/missing").c_str(), 0),
            ERROR_CreateListFile);
  EXPECT_EQ(APIOpenBase(nullptr, nullptr, 0), ERROR_OpenMetaFile);
  // Failed opens leave nothing registered.
  EXPECT_EQ(OpenBaseCount(), bases_before);
}

TEST_F(OpenBaseTest, DamagedMetaFilesAreRefused) {
  testing::MetaContents m = testing::SmallCatalogue();
  m.version = 3;
  testing::WriteFile(base_dir_ + "/meta.dat", m.Bytes());
  EXPECT_EQ(Open(), ERROR_NewerMetaFile);
  testing::WriteFile(base_dir_ + "/meta.dat", std::string(20, '\1'));
  EXPECT_EQ(Open(), ERROR_BadMetaFile);
}

TEST_F(OpenBaseTest, OverlongDirectoriesAndPathsAreRefusedNotOverrun) {
  const std::string long_dir = base_dir_ + "/" + std::string(300, 'd');
  EXPECT_EQ(APIOpenBaseEx(long_dir.c_str(), nullptr, temp_dir_.c_str(), 0), ERROR_OpenMetaFile);
  EXPECT_EQ(APIOpenBaseEx(base_dir_.c_str(), nullptr, long_dir.c_str(), 0), ERROR_CreateListFile);

  // A real directory of 250 characters: the directory fits, "dir/meta.dat" does not.
  std::string deep = tmp_.path();
  while (deep.size() < 250) deep += "/" + std::string(std::min<size_t>(60, 250 - deep.size() - 1), 'p');
  deep.resize(250);
  std::filesystem::create_directories(deep);
  testing::WriteBase(deep, testing::SmallCatalogue());
  EXPECT_EQ(APIOpenBaseEx(deep.c_str(), nullptr, temp_dir_.c_str(), 0), ERROR_OpenMetaFile);

  // An overlong alternative directory is just a place without the files.
  const int32_t b = APIOpenBaseEx(base_dir_.c_str(), long_dir.c_str(), temp_dir_.c_str(), 0);
  EXPECT_GE(b, 0);
  APICloseBase(b);
}

TEST_F(OpenBaseTest, AlternativeDirectoryIsTriedFirstExceptForIndex2) {
  // The alternative directory holds a different meta.dat and its own index2.dat.
  const std::string alt = tmp_.Sub("alt");
  testing::MetaContents other = testing::SmallCatalogue();
  other.tables = {{"Elsewhere", 9}};
  testing::WriteBase(alt, other);
  testing::WriteFile(alt + "/index2.dat", "alt");
  testing::WriteFile(base_dir_ + "/index2.dat", "base-copy");

  int32_t b = APIOpenBaseEx(base_dir_.c_str(), alt.c_str(), temp_dir_.c_str(), 0);
  ASSERT_GE(b, 0);
  EXPECT_EQ(APIRecordCount(b), 9);
  std::shared_ptr<Base> base = FindBase(b);
  ASSERT_TRUE(base);
  char got[16] = {};
  std::rewind(base->files.index2.get());
  std::fread(got, 1, sizeof got - 1, base->files.index2.get());
  EXPECT_STREQ(got, "base-copy");
  base.reset();
  EXPECT_EQ(APICloseBase(b), 0);

  // Without index2.dat in the base directory it comes from the alternative one; every
  // other file falls back to the base directory.
  const std::string sparse = tmp_.Sub("sparse");
  testing::WriteFile(sparse + "/index2.dat", "only");
  std::filesystem::remove(base_dir_ + "/index2.dat");
  b = APIOpenBaseEx(base_dir_.c_str(), sparse.c_str(), temp_dir_.c_str(), 0);
  ASSERT_GE(b, 0);
  EXPECT_EQ(APIRecordCount(b), 5);
  EXPECT_EQ(APICloseBase(b), 0);
}

TEST_F(OpenBaseTest, PostFileSizeIsMeasured) {
  testing::WriteFile(base_dir_ + "/post.dat", std::string(777, 'p'));
  const int32_t b = Open();
  ASSERT_GE(b, 0);
  std::shared_ptr<Base> base = FindBase(b);
  EXPECT_EQ(base->files.post_size, 777);
  EXPECT_EQ(std::ftell(base->files.post.get()), 0);
  EXPECT_EQ(base->bitmap_bytes, 1u);
  base.reset();
  APICloseBase(b);
}

TEST_F(OpenBaseTest, SessionLife) {
  const int32_t b = Open();
  ASSERT_GE(b, 0);
  const int32_t s = APICreateSession(b);
  ASSERT_GE(s, 0);
  const int32_t t = APICreateSession(b);
  EXPECT_EQ(t, s + 1);
  EXPECT_EQ(APICreateSession(-7), ERROR_BadBase);
  EXPECT_EQ(APICopySession(s), ERROR_NotImplemented);
  EXPECT_EQ(APICopySession(-1), ERROR_NotImplemented);

  EXPECT_EQ(APICancelSession(s), 0);
  EXPECT_EQ(FindSession(s).session->cancelled.load(), 1);
  EXPECT_EQ(FindSession(t).session->cancelled.load(), 0);
  EXPECT_EQ(APICancelSession(-3), ERROR_BadSession);

  EXPECT_EQ(APIDestroySession(t), 0);
  EXPECT_EQ(APIDestroySession(t), ERROR_BadSession);
  EXPECT_EQ(FindSession(t).error, ERROR_BadSession);

  // Closing the base leaves the session registered, answering -101.
  const size_t sessions = SessionCount();
  EXPECT_EQ(APICloseBase(b), 0);
  EXPECT_EQ(FindSession(s).error, ERROR_BadBase);
  EXPECT_EQ(APIDestroySession(s), ERROR_BadBase);
  EXPECT_EQ(APIDestroySession(s), ERROR_BadBase);
  EXPECT_EQ(SessionCount(), sessions);
  EXPECT_EQ(APICancelSession(s), 0);
}

// Many threads open, query and close bases while others create, cancel and destroy
// sessions on a base that stays open. Run under ThreadSanitizer in CI.
TEST_F(OpenBaseTest, ThreadedOpenQueryCloseAndSessions) {
  const int32_t shared = Open();
  ASSERT_GE(shared, 0);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      for (int round = 0; round < 25; ++round) {
        const int32_t b = Open();
        if (b < 0 || APIRecordCount(b) != 5 || APIDatafieldNo(b, 2) != 180 ||
            std::string(APIDatafieldName(b, 0)) != "Item text" ||
            APINameToNumber(b, "ean", 1) != 160) {
          ++failures;
        }
        // Queries on the shared base from all threads at once.
        if (APISearchfieldIndex(shared, 160) != 1) ++failures;
        if (APICloseBase(b) != 0) ++failures;
        if (APIRecordCount(b) != ERROR_BadBase) ++failures;
      }
    });
  }
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      for (int round = 0; round < 50; ++round) {
        const int32_t s = APICreateSession(shared);
        if (s < 0) {
          ++failures;
          continue;
        }
        if (APICancelSession(s) != 0) ++failures;
        if (APIDestroySession(s) != 0) ++failures;
        if (APIDestroySession(s) != ERROR_BadSession) ++failures;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(APICloseBase(shared), 0);
}

// Queries racing the close of their base answer either from the open base or -101.
// (Names are left out: their texts are only promised while the base is open.)
TEST_F(OpenBaseTest, ThreadQueriesRaceTheCloseOfTheirBase) {
  for (int round = 0; round < 20; ++round) {
    const int32_t b = Open();
    ASSERT_GE(b, 0);
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
      readers.emplace_back([&] {
        for (int q = 0; q < 200; ++q) {
          const int32_t count = APIDatafieldCount(b);
          const int32_t index = APISearchfieldIndex(b, 160);
          if (count != 3 && count != ERROR_BadBase) ++wrong;
          if (index != 1 && index != ERROR_BadBase) ++wrong;
        }
      });
    }
    EXPECT_EQ(APICloseBase(b), 0);
    for (std::thread& t : readers) t.join();
    EXPECT_EQ(wrong.load(), 0);
  }
}

// A base closed while another thread still holds it stays alive for that thread.
TEST_F(OpenBaseTest, ThreadHoldingABaseOutlivesItsClose) {
  const int32_t b = Open();
  ASSERT_GE(b, 0);
  std::shared_ptr<Base> held = FindBase(b);
  std::thread closer([b] { EXPECT_EQ(APICloseBase(b), 0); });
  closer.join();
  EXPECT_EQ(FindBase(b), nullptr);
  EXPECT_EQ(held->schema.total_records, 5u);
  EXPECT_NE(held->files.meta, nullptr);
}

}  // namespace
}  // namespace lodex
