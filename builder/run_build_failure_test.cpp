// lodex-build when the disk fills up or the directory beside the base cannot be
// written: exit code 3 with a message naming the cause, the old base as it was, and no
// work files left. A full disk is a file size limit (RLIMIT_FSIZE) on the child, which
// fails writes as the disk would and holds for root too.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>

#include "build_error.h"
#include "testing/test_support.h"

namespace lodex::build {
namespace {

namespace fs = std::filesystem;
using lodex::testing::ReadFile;
using lodex::testing::TempDir;

struct ToolRun {
  int code = -1;
  std::string output;  // stdout and stderr
};

constexpr rlim_t kNoLimit = RLIM_INFINITY;
constexpr uid_t kNobody = 65534;

// Runs lodex-build with args under a file size limit, as user `as` when not -1.
ToolRun RunTool(const std::vector<std::string>& args, rlim_t file_limit, uid_t as = static_cast<uid_t>(-1)) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], STDOUT_FILENO);
    dup2(pipe_fds[1], STDERR_FILENO);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    const rlimit limit{file_limit, file_limit};
    if (file_limit != kNoLimit && setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(120);
    if (as != static_cast<uid_t>(-1) && (setgid(as) != 0 || setuid(as) != 0)) _exit(121);
    std::vector<char*> argv{const_cast<char*>(LODEX_BUILD_TOOL)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(LODEX_BUILD_TOOL, argv.data());
    _exit(122);
  }
  close(pipe_fds[1]);
  ToolRun run;
  char buf[4096];
  ssize_t n;
  while ((n = read(pipe_fds[0], buf, sizeof buf)) > 0) run.output.append(buf, static_cast<size_t>(n));
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

// Every file under dir with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    files[fs::relative(e.path(), dir).string()] = e.is_regular_file() ? ReadFile(e.path().string()) : "";
  return files;
}

class BuildFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string demo = std::string(LODEX_DEMO_TOOL) + " --count 3000 --out " + (dir_ / "demo") + " >/dev/null";
    ASSERT_EQ(std::system(demo.c_str()), 0);
  }
  std::vector<std::string> Args(const std::string& out) const {
    return {"--quiet", "--no-progress", "--schema", dir_ / "demo/schema.json", "--out", out,
            dir_ / "demo/products.tsv"};
  }
  TempDir dir_;
};

TEST_F(BuildFailure, FullDiskLeavesTheOldBaseAndNoWorkFiles) {
  const std::string base = dir_ / "base";
  ASSERT_EQ(RunTool(Args(base), kNoLimit).code, kExitOk);
  const auto before = Snapshot(base);
  const auto entries = Snapshot(dir_.path());
  uint64_t largest = 0;
  for (const auto& [name, bytes] : before) largest = std::max<uint64_t>(largest, bytes.size());
  ASSERT_GT(largest, 100000u);

  // The disk fills in the first file, in the middle and at the last bytes of the largest.
  for (rlim_t limit : {rlim_t{0}, rlim_t{1}, rlim_t{4096}, rlim_t{65536}, rlim_t{largest / 2}, rlim_t{largest - 1}}) {
    const ToolRun run = RunTool(Args(base), limit);
    EXPECT_EQ(run.code, kExitOutput) << "limit " << limit << ": " << run.output;
    EXPECT_NE(run.output.find("lodex-build: " + base + ": cannot write the base: "), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("write failed: File too large"), std::string::npos) << run.output;
    EXPECT_EQ(Snapshot(dir_.path()), entries) << "limit " << limit;
  }
  // A new base: nothing appears.
  const ToolRun run = RunTool(Args(dir_ / "new"), 4096);
  EXPECT_EQ(run.code, kExitOutput) << run.output;
  EXPECT_EQ(Snapshot(dir_.path()), entries);

  // Room for the largest file is room enough, and the same base comes out.
  ASSERT_EQ(RunTool(Args(base), largest).code, kExitOk);
  EXPECT_EQ(Snapshot(base), before);
}

// A directory the build cannot create its work directory in. Root writes anywhere, so
// as root the build runs as the unprivileged user nobody.
TEST_F(BuildFailure, UnwritableDirectoryLeavesTheOldBaseAndNoWorkFiles) {
  const uid_t as = geteuid() == 0 ? kNobody : static_cast<uid_t>(-1);
  // The user must reach the table through the directories above it.
  for (fs::path p = fs::path(dir_.path()).parent_path(); as == kNobody && p != p.root_path(); p = p.parent_path())
    if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none)
      GTEST_SKIP() << p << " is closed to other users";
  const std::string parent = dir_ / "shelf";
  fs::create_directory(parent);
  const std::string base = parent + "/base";
  ASSERT_EQ(RunTool(Args(base), kNoLimit).code, kExitOk);
  // The table, the schema and the base readable for the build, the shelf not writable.
  for (const auto& e : fs::recursive_directory_iterator(dir_.path()))
    fs::permissions(e.path(), e.is_directory() ? fs::perms(0755) : fs::perms(0644));
  fs::permissions(dir_.path(), fs::perms(0755));
  fs::permissions(parent, fs::perms(0555));
  const auto before = Snapshot(parent);

  const ToolRun run = RunTool(Args(base), kNoLimit, as);
  fs::permissions(parent, fs::perms(0755));
  if (run.code == 121) GTEST_SKIP() << "cannot run as user nobody here";
  EXPECT_EQ(run.code, kExitOutput) << run.output;
  EXPECT_NE(run.output.find("lodex-build: " + parent + ": cannot create a directory to build in: Permission denied"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(Snapshot(parent), before);
}

}  // namespace
}  // namespace lodex::build
