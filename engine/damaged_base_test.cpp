// Damaged bases: each of the nine files of a complete base is cut at many lengths and
// has bytes flipped at random; the base is then opened and, when it opens, searched,
// listed, fetched and sorted. Every call must come back with an error code or an
// answer — no crash, no hang, nothing for the sanitizers to find, and no more memory
// than the undamaged base needs plus 512 MB: the damaged opens run in a child process
// under that address-space limit. A watchdog ends the run with the case's name if one
// case takes far too long. LODEX_DAMAGE_ROUNDS (default 12) sets the random rounds per
// file; raise it for a longer run.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "format/coding.h"
#include "format/meta.h"
#include "lodex32.h"
#include "lodex32_errors.h"
#include "testing/full_base_files.h"

namespace lodex {
namespace {

using testing::kFullSort;
using testing::kFullText;
using testing::ReadFile;

// What a damaged base may use beyond the undamaged base's needs.
constexpr uint64_t kDamageHeadroomBytes = uint64_t{512} << 20;

// AddressSanitizer and ThreadSanitizer reserve terabytes of address space for their
// shadow memory, so a limit on it means nothing there: those builds run the damaged
// cases in the child without one (their fuzz targets bound memory instead).
// Windows has no address-space limit; its counterpart, a job object's memory limit, is
// not enforced under Wine, where the Windows build is tested.
#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kAddressLimitApplies = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
constexpr bool kAddressLimitApplies = false;
#else
constexpr bool kAddressLimitApplies = true;
#endif
#else
constexpr bool kAddressLimitApplies = true;
#endif

// The case running now, for the message of an allocation that fails.
char g_case[256] = "(starting)";

#if !defined(_WIN32)
// Bytes of address space the process holds now.
uint64_t AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  uint64_t pages = 0;
  statm >> pages;
  return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}
#endif

// Aborts the process when a case runs longer than the limit: a hang must fail loudly
// rather than stall the whole test run.
int DamageRounds() {
  const char* s = std::getenv("LODEX_DAMAGE_ROUNDS");
  const int v = s ? std::atoi(s) : 0;
  return v > 0 ? v : 12;
}

class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit) : limit_(limit), thread_([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  void Start(const std::string& name) {
    std::lock_guard<std::mutex> lock(mu_);
    name_ = name;
    std::snprintf(g_case, sizeof g_case, "%s", name.c_str());
    started_ = std::chrono::steady_clock::now();
    ++generation_;
  }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mu_);
    while (!done_) {
      const uint64_t seen = generation_;
      const auto until = started_ + limit_;
      if (cv_.wait_until(lock, until, [&] { return done_ || generation_ != seen; })) continue;
      std::fprintf(stderr, "damaged base case hangs: %s\n", name_.c_str());
      std::abort();
    }
  }

  std::chrono::seconds limit_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool done_ = false;
  std::string name_ = "(starting)";
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  uint64_t generation_ = 0;
  std::thread thread_;
};

class DamagedFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string good = tmp_.Sub("good");
    testing::WriteFullBase(good, {90, 60});
    for (const std::string& name : testing::BaseFileNames()) {
      files_.push_back(ReadFile(good + "/" + name));
    }
    base_dir_ = tmp_.Sub("base");
    temp_dir_ = tmp_.Sub("temp");
  }

  // Writes the good base with file `which` replaced by bytes.
  void Write(size_t which, const std::string& bytes) {
    const auto& names = testing::BaseFileNames();
    for (size_t i = 0; i < names.size(); ++i) {
      testing::WriteFile(base_dir_ + "/" + names[i], i == which ? bytes : files_[i]);
    }
  }
  int32_t Open() { return APIOpenBaseEx(base_dir_.c_str(), nullptr, temp_dir_.c_str(), 0); }

  // Writes the good base with file `which` replaced by bytes, opens it and works it.
  // Answers the open's result; a close that fails counts in failures_.
  int32_t OpenAndWork(size_t which, const std::string& bytes) {
    Write(which, bytes);
    const int32_t base = Open();
    if (base < 0) return base;
    Work(base);
    if (APICloseBase(base) != 0) {
      std::fprintf(stderr, "close failed: %s\n", g_case);
      ++failures_;
    }
    return base;
  }

  // Runs cases in a child process. The child first works the undamaged base, then limits
  // its address space to what it holds at that point plus kDamageHeadroomBytes; an
  // allocation the limit refuses ends it with the case's name. The child passes when
  // cases ran through without failures.
  void InBoundedChild(const std::function<void()>& cases) {
    EXPECT_EXIT(RunBounded(cases), ::testing::ExitedWithCode(0), "");
  }

  [[noreturn]] void RunBounded(const std::function<void()>& cases) {
    if (OpenAndWork(0, files_[0]) < 0) _exit(4);
#if !defined(_WIN32)
    if (kAddressLimitApplies) {
      const uint64_t limit = AddressSpaceInUse() + kDamageHeadroomBytes;
      const rlimit bound{limit, limit};
      if (setrlimit(RLIMIT_AS, &bound) != 0) _exit(5);
      // The limit is in force: the headroom cannot be taken at once.
      void* all = std::malloc(kDamageHeadroomBytes + (uint64_t{64} << 20));
      if (all != nullptr) _exit(6);
    }
#endif
    std::set_new_handler([] {
      std::fprintf(stderr, "damaged base case needs more than 512 MB more: %s\n", g_case);
      _exit(3);
    });
    cases();
    _exit(failures_ == 0 ? 0 : 1);
  }

  // Every family once: schema, search, counts, fetches, listings, sorting.
  static void Work(int32_t base) {
    APIDatafieldCount(base);
    for (int32_t i = 0; i < APISearchfieldCount(base) && i < 4; ++i) {
      APISearchfieldName(base, i);
      APISearchfieldLength(base, i);
    }
    const int32_t s = APICreateSession(base);
    if (s < 0) return;
    char entries[8 * 260];
    for (const char* q : {"AAQ", "A*", "*BQ", "?C*", "*A*", "ZZZ AAQ", "B-D", "*"}) {
      if (APISearchConditions(s, kFullText, q, 0) != 0) continue;
      APISearch(s);
      const int32_t hits = APIHitCount(s);
      for (int32_t t = 0; t < 3; ++t) APITableHitCount(s, t);
      for (int32_t h : {0, 1, hits / 2, hits - 1, hits}) {
        if (APIFetchRecord(s, h) == 0) {
          APIGetFieldData(s, kFullText);
          APIGetFieldData(s, testing::kFullCode);
        }
      }
      APIMappingCachePolitics(s, 2, 4);
      for (int32_t h = 0; h < 4; ++h) APIFetchRecordOptimized(s, h);
    }
    for (const char* prefix : {"", "B", "ZZ"}) {
      APIGetIndexWords(s, kFullText, prefix, 8, 0, entries);
      APILocateIndexWord(s, kFullText, prefix, 0);
      APIGetIndexWordsEx(s, kFullText, 0, 8, 0, entries);
    }
    APIIndexWordCount(s, kFullText);
    if (APISortConditions(s, kFullSort, 1) == 0 && APISort(s) == 0) {
      for (int32_t h = 0; h < 3; ++h) {
        if (APIFetchRecord(s, h) == 0) APIGetFieldData(s, kFullText);
      }
      APICancelSort(s);
    }
    APIDestroySession(s);
  }

  testing::TempDir tmp_;
  std::vector<std::string> files_;
  std::string base_dir_, temp_dir_;
  int failures_ = 0;
};

TEST_F(DamagedFilesTest, TheUndamagedBaseOpensAndAnswers) {
  // Without this the cases below could all fail to open and prove nothing.
  const int32_t base = OpenAndWork(0, files_[0]);
  ASSERT_GE(base, 0);
}

TEST_F(DamagedFilesTest, EveryFileCutAtManyLengths) {
  InBoundedChild([this] {
    Watchdog watchdog(std::chrono::seconds(60));
    const auto& names = testing::BaseFileNames();
    for (size_t which = 0; which < names.size(); ++which) {
      const std::string& whole = files_[which];
      std::vector<size_t> cuts = {0, 1, 3, 4, 5, 8, 12, 24};
      for (int k = 1; k < 12; ++k) cuts.push_back(whole.size() * k / 12);
      for (size_t back = 1; back <= 9; back += 2) {
        if (back <= whole.size()) cuts.push_back(whole.size() - back);
      }
      for (size_t cut : cuts) {
        if (cut >= whole.size()) continue;
        watchdog.Start(names[which] + " cut at " + std::to_string(cut));
        OpenAndWork(which, whole.substr(0, cut));
      }
    }
  });
}

TEST_F(DamagedFilesTest, EveryFileWithRandomBytesFlipped) {
  InBoundedChild([this] {
    Watchdog watchdog(std::chrono::seconds(60));
    const auto& names = testing::BaseFileNames();
    std::mt19937 rng(20261207);
    for (size_t which = 0; which < names.size(); ++which) {
      const std::string& whole = files_[which];
      if (whole.empty()) continue;
      for (int round = 0; round < DamageRounds(); ++round) {
        std::string bytes = whole;
        const int flips = 1 + static_cast<int>(rng() % 8);
        for (int f = 0; f < flips; ++f) {
          // Half the rounds favour the first bytes, where counts and offsets sit.
          const size_t span = round % 2 == 0 ? std::min<size_t>(bytes.size(), 64) : bytes.size();
          const size_t at = rng() % span;
          bytes[at] = static_cast<char>(round % 4 == 1 ? 0xFF : bytes[at] ^ (1u << (rng() % 8)));
        }
        watchdog.Start(names[which] + " flip round " + std::to_string(round));
        OpenAndWork(which, bytes);
      }
    }
  });
}

TEST_F(DamagedFilesTest, EveryHeaderValueAtItsExtremes) {
  // Each of the six header words, and each table's record count, set to values a
  // damaged or hostile meta.dat may hold.
  InBoundedChild([this] {
    Watchdog watchdog(std::chrono::seconds(60));
    std::vector<size_t> words;
    for (size_t at = 0; at < format::kMetaHeaderBytes; at += 4) words.push_back(at);
    size_t at = format::kMetaHeaderBytes;
    for (int table = 0; table < 2; ++table) {  // each table's record count, after its name
      at = files_[0].find('\0', at) + 1;
      words.push_back(at);
      at += 4;
    }
    for (size_t at : words) {
      for (uint32_t value : {0u, 1u, 255u, 65536u, 0x00FFFFFFu, 0x7FFFFFFFu, 0x80000000u,
                             0xFFFFFFFFu}) {
        std::string meta = files_[0];
        format::EncodeFixed32(reinterpret_cast<uint8_t*>(meta.data()) + at, value);
        watchdog.Start("meta.dat word at " + std::to_string(at) + " = " + std::to_string(value));
        OpenAndWork(0, meta);
      }
    }
  });
}

// The two damages that opened before the counts were checked against the files.
TEST_F(DamagedFilesTest, TableNameNulFlippedClaimsBillionsOfRecords) {
  // With the NUL after the first table's name turned into a letter, the name runs on
  // into its record count, and the count is read from the bytes after that.
  std::string meta = files_[0];
  const size_t nul = meta.find('\0', format::kMetaHeaderBytes);
  meta[nul] = 'X';
  const size_t name_end = meta.find('\0', nul);
  const uint32_t claimed =
      format::DecodeFixed32(reinterpret_cast<const uint8_t*>(meta.data()) + name_end + 1);
  EXPECT_GT(claimed, 1000000000u);
  Write(0, meta);
  EXPECT_EQ(Open(), ERROR_BadMetaFile);

  // The count of the report: 1 426 068 360 records over both tables.
  meta = files_[0];
  format::EncodeFixed32(reinterpret_cast<uint8_t*>(meta.data()) + nul + 1, 1426068360u - 60u);
  Write(0, meta);
  EXPECT_EQ(Open(), ERROR_BadMetaFile);
}

TEST_F(DamagedFilesTest, RecordReadBytesOfTwoGigabytesIsRefused) {
  std::string meta = files_[0];
  format::EncodeFixed32(reinterpret_cast<uint8_t*>(meta.data()) + 16, 0x7FFFFFFFu);
  Write(0, meta);
  EXPECT_EQ(Open(), ERROR_BadMetaFile);
  // recordDecodeBytes likewise.
  meta = files_[0];
  format::EncodeFixed32(reinterpret_cast<uint8_t*>(meta.data()) + 20, 0x7FFFFFFFu);
  Write(0, meta);
  EXPECT_EQ(Open(), ERROR_BadMetaFile);
}

TEST_F(DamagedFilesTest, MissingFilesAreRefusedWithTheirCodes) {
  const auto& names = testing::BaseFileNames();
  for (size_t which = 0; which < names.size(); ++which) {
    for (size_t i = 0; i < names.size(); ++i) {
      std::remove((base_dir_ + "/" + names[i]).c_str());
      if (i != which) testing::WriteFile(base_dir_ + "/" + names[i], files_[i]);
    }
    const int32_t base = APIOpenBaseEx(base_dir_.c_str(), nullptr, temp_dir_.c_str(), 0);
    EXPECT_LT(base, 0) << names[which];
    if (base >= 0) APICloseBase(base);
  }
}

}  // namespace
}  // namespace lodex
