// The builder's threads change how fast a base is built, never its bytes.
#include "parallel.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "format/files.h"
#include "run_build.h"
#include "testing/test_support.h"

namespace lodex::build {
namespace {

using lodex::testing::ReadFile;
using lodex::testing::TempDir;

TEST(Parallel, BasesAreTheSameWhateverTheThreads) {
  TempDir dir;
  const std::string demo = std::string(LODEX_DEMO_TOOL) + " --count 20000 --out " + (dir / "demo") + " >/dev/null";
  ASSERT_EQ(std::system(demo.c_str()), 0);
  // Three threads split the records and the fields unevenly; tiny runs put the sorts
  // on disk as well.
  struct Setting {
    unsigned threads;
    size_t run_bytes;
  };
  const Setting settings[] = {{1, 0}, {2, 0}, {3, 0}, {1, 4096}, {3, 4096}};
  std::vector<std::string> bases;
  for (const Setting& s : settings) {
    const std::string out = dir / ("base-" + std::to_string(s.threads) + "-" + std::to_string(s.run_bytes));
    WorkersOverride() = s.threads;
    BuildRequest request{dir / "demo/schema.json", dir / "demo/products.tsv", out, {}};
    request.options.run_bytes = s.run_bytes;
    BuildSummary summary;
    std::string error;
    const int code = RunBuild(request, &summary, &error);
    WorkersOverride() = 0;
    ASSERT_EQ(code, kExitOk) << error;
    // Each phase with its processor time too.
    EXPECT_EQ(summary.phase_cpu.size(), summary.phases.size());
    bases.push_back(out);
  }
  for (size_t b = 1; b < bases.size(); ++b)
    for (const char* name : format::kBaseFiles)
      EXPECT_TRUE(ReadFile(bases[0] + "/" + name) == ReadFile(bases[b] + "/" + name)) << bases[b] << " " << name;
}

}  // namespace
}  // namespace lodex::build
