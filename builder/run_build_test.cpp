// The commands as scripts use them: lodex-build's exit codes and its promise that a
// failed build never leaves a half-written base; lodex-demo's determinism and data.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "run_build.h"
#include "demo_catalog.h"
#include "format/files.h"
#include "testing/test_support.h"

namespace lodex::build {
namespace {

namespace fs = std::filesystem;
using testing::EngineSession;
using testing::TempDir;

using lodex::testing::ReadFile;
using lodex::testing::WriteFile;

// Runs a command line; answers its exit code and sets output to stdout + stderr.
int RunCommand(const std::string& command, std::string* output = nullptr) {
  std::string text;
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  const int status = pclose(p);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr const char* kSchema = R"({"tables": ["A"],
  "data_fields": [{"number": 1, "name": "Tekst"}],
  "search_fields": [{"number": 1, "name": "Tekst"}],
  "sort_fields": [{"number": 1, "name": "Tekst"}]})";

// Entries of dir other than the given ones.
std::set<std::string> Entries(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

TEST(RunBuild, BuildsReplacesAndLeavesNothingBehindOnFailure) {
  TempDir dir;
  WriteFile(dir / "schema.json", kSchema);
  WriteFile(dir / "good.tsv", "Tekst\nfoo bar\nbaz\n");
  WriteFile(dir / "bad.tsv", "Tekst\nfoo\n" + std::string(300, 'x') + "\n");
  BuildRequest request{dir / "schema.json", dir / "good.tsv", dir / "base", {}};
  BuildSummary summary;
  std::string error;
  ASSERT_EQ(RunBuild(request, &summary, &error), kExitOk) << error;
  EXPECT_EQ(summary.records, 2u);
  EXPECT_EQ(Entries(dir / "base").size(), 9u);
  {
    EngineSession s(dir / "base");
    EXPECT_EQ(s.Search(1, "FOO"), 1);
  }

  // A failing build: the old base stays as it was and no work directory is left.
  const std::string before = ReadFile(dir / "base/data.dat");
  request.table_path = dir / "bad.tsv";
  EXPECT_EQ(RunBuild(request, &summary, &error), kExitInput);
  EXPECT_NE(error.find("bad.tsv: line 3"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(dir / "base/data.dat"), before);
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"bad.tsv", "base", "good.tsv", "schema.json"}));

  // Rebuilding over a base replaces it.
  WriteFile(dir / "good.tsv", "Tekst\nqux\n");
  request.table_path = dir / "good.tsv";
  ASSERT_EQ(RunBuild(request, &summary, &error), kExitOk) << error;
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"bad.tsv", "base", "good.tsv", "schema.json"}));
  {
    EngineSession s(dir / "base");
    EXPECT_EQ(APIRecordCount(s.base()), 1);
  }

  // A directory with other files is never replaced.
  fs::create_directories(dir / "mine");
  WriteFile(dir / "mine/notes.txt", "keep");
  request.out_dir = dir / "mine";
  EXPECT_EQ(RunBuild(request, &summary, &error), kExitOutput);
  EXPECT_NE(error.find("notes.txt"), std::string::npos) << error;
  EXPECT_EQ(Entries(dir / "mine"), (std::set<std::string>{"notes.txt"}));

  request.out_dir = dir / "base";
  request.schema_path = dir / "missing.json";
  EXPECT_EQ(RunBuild(request, &summary, &error), kExitInput);
  request.schema_path = dir / "schema.json";
  request.out_dir = dir / "no/such/dir/base";
  EXPECT_EQ(RunBuild(request, &summary, &error), kExitOutput);
}

// The exit code comes with the failure, whatever its message says: a cell that reads
// like a file error is still the table's fault, and a file that cannot be created is
// an output error.
TEST(RunBuild, ExitCodesComeFromTheFailureNotFromItsMessage) {
  TempDir dir;
  WriteFile(dir / "schema.json", R"({"tables": ["A"],
    "data_fields": [{"number": 1, "name": "Tekst"}],
    "search_fields": [{"number": 2, "name": "Pris", "column": "Pris", "kind": "numeric",
                       "int_digits": 5, "frac_digits": 2, "words": "value"}]})");
  WriteFile(dir / "prices.tsv", "Tekst\tPris\nfoo\t12\nbar\tcannot create\n");
  BuildRequest request{dir / "schema.json", dir / "prices.tsv", dir / "base", {}};
  BuildSummary summary;
  std::string error;
  EXPECT_EQ(RunBuild(request, &summary, &error), kExitInput) << error;
  EXPECT_NE(error.find("is not a number"), std::string::npos) << error;

  BuildSchema schema;
  ASSERT_TRUE(ParseSchema(kSchema, &schema, &error)) << error;
  BaseBuilder builder(schema, BuildOptions());
  ASSERT_TRUE(builder.SetHeader({"Tekst"}, &error)) << error;
  ASSERT_TRUE(builder.AddRow(2, {"foo"}, &error)) << error;
  BuildError failure;
  EXPECT_FALSE(builder.Write(dir / "missing", &summary, &failure));
  EXPECT_EQ(failure.code, kExitOutput);
  EXPECT_NE(failure.message.find("cannot create"), std::string::npos) << failure.message;
}

TEST(RunBuild, CommandLineExitCodesAndMessages) {
  TempDir dir;
  WriteFile(dir / "schema.json", kSchema);
  WriteFile(dir / "t.tsv", "Tekst\nfoo\n");
  const std::string tool = LODEX_BUILD_TOOL;
  std::string out;
  EXPECT_EQ(RunCommand(tool + " --help", &out), 0);
  for (const char* option : {"--schema", "--out", "--block-words", "--phrases", "--quiet", "--no-progress",
                             "Exit codes", "reverse_of", "collation"})
    EXPECT_NE(out.find(option), std::string::npos) << option;
  EXPECT_EQ(RunCommand(tool + " --schema " + (dir / "schema.json") + " " + (dir / "t.tsv"), &out), kExitUsage);
  EXPECT_NE(out.find("--out is required"), std::string::npos) << out;
  EXPECT_EQ(RunCommand(tool + " --bogus", &out), kExitUsage);
  EXPECT_EQ(RunCommand(tool + " --schema " + (dir / "schema.json") + " --out " + (dir / "b") + " " + (dir / "t.tsv"), &out), 0);
  EXPECT_NE(out.find("records   1"), std::string::npos) << out;
  EXPECT_NE(out.find("ratio"), std::string::npos) << out;
  WriteFile(dir / "t.tsv", "Tekst\n\n");
  EXPECT_EQ(RunCommand(tool + " --quiet --schema " + (dir / "schema.json") + " --out " + (dir / "b") + " " + (dir / "t.tsv"), &out),
            kExitInput);
  EXPECT_NE(out.find("lodex-build: search field 1 \"Tekst\" gets no word"), std::string::npos) << out;
  EXPECT_EQ(RunCommand(tool + " --memory 255 --schema " + (dir / "schema.json") + " --out " + (dir / "b") + " " + (dir / "t.tsv"), &out),
            kExitUsage);
  EXPECT_NE(out.find("--memory 255 is too little; a build needs at least 256 MiB"), std::string::npos) << out;
  EXPECT_EQ(RunCommand(tool + " --memory lots --schema " + (dir / "schema.json") + " --out " + (dir / "b") + " " + (dir / "t.tsv"), &out),
            kExitUsage);
}

// Whatever the memory allowed, the base comes out the same byte for byte: with the
// default, and with the least memory and runs of a few KiB, so that every whole-table
// pass sorts in runs on disk and merges them. No run file is left behind.
TEST(RunBuild, BasesAreTheSameWhateverTheMemory) {
  TempDir dir;
  ASSERT_EQ(RunCommand(std::string(LODEX_DEMO_TOOL) + " --count 20000 --out " + (dir / "demo")), 0);
  const std::string build = std::string(LODEX_BUILD_TOOL) + " --quiet --schema " + (dir / "demo/schema.json");
  const std::string table = " " + (dir / "demo/products.tsv");
  std::string out;
  ASSERT_EQ(RunCommand(build + " --out " + (dir / "default") + table, &out), 0) << out;
  ASSERT_EQ(RunCommand("LODEX_BUILD_RUN_BYTES=4096 " + build + " --memory 256 --out " + (dir / "least") + table, &out), 0)
      << out;
  for (const char* name : format::kBaseFiles)
    EXPECT_TRUE(ReadFile(dir / ("default/" + std::string(name))) == ReadFile(dir / ("least/" + std::string(name)))) << name;
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"default", "demo", "least"}));
}

TEST(Demo, IsDeterministicAndBuildsTheCatalogueBase) {
  TempDir dir;
  const std::string tool = LODEX_DEMO_TOOL;
  std::string out;
  ASSERT_EQ(RunCommand(tool + " --count 2000 --out " + (dir / "a"), &out), 0);
  EXPECT_EQ(out, (dir / "a/products.tsv") + "\n" + (dir / "a/schema.json") + "\n");
  ASSERT_EQ(RunCommand(tool + " --count 2000 --out " + (dir / "b")), 0);
  EXPECT_EQ(ReadFile(dir / "a/products.tsv"), ReadFile(dir / "b/products.tsv"));
  EXPECT_EQ(RunCommand(tool + " --count x --out " + (dir / "c")), 2);

  BuildRequest request{dir / "a/schema.json", dir / "a/products.tsv", dir / "base", {}};
  BuildSummary summary;
  std::string error;
  ASSERT_EQ(RunBuild(request, &summary, &error), kExitOk) << error;
  EngineSession s(dir / "base");
  EXPECT_EQ(APIRecordCount(s.base()), 2000);
  EXPECT_EQ(APITableCount(s.base()), 3);
  EXPECT_EQ(APISearchfieldIndex(s.base(), 32868), 1);  // the item text's reverse field
  EXPECT_GT(s.Search(100, "LED"), 0);
}

TEST(Demo, ProductsCarryValidCodesAndNumbers) {
  std::set<std::string> file_codes;
  std::istringstream lines(ReadFile(std::string(LODEX_BUILDER_SOURCE_DIR) + "/demo_discount_codes.txt"));
  std::string line;
  std::getline(lines, line);  // heading
  while (std::getline(lines, line)) file_codes.insert(line.substr(0, line.find('\t')));
  const std::set<std::string> codes(DemoDiscountCodes().begin(), DemoDiscountCodes().end());
  EXPECT_EQ(codes, file_codes);

  const std::regex el("[1-9][0-9] [0-9]{3} [0-9]{2}"), price("[0-9]+,[0-9]{2}"), ean("57[0-9]{11}");
  std::set<std::string> els, eans;
  for (uint64_t i = 0; i < 5000; ++i) {
    const DemoProduct p = MakeDemoProduct(i, 1);
    ASSERT_TRUE(std::regex_match(p.el_number, el)) << p.el_number;
    ASSERT_TRUE(std::regex_match(p.price, price)) << p.price;
    ASSERT_TRUE(codes.count(p.discount)) << p.discount;
    ASSERT_EQ(p.discount.size(), 2u);
    ASSERT_FALSE(p.text.empty());
    EXPECT_TRUE(els.insert(p.el_number).second) << "el. number repeats: " << p.el_number;
    if (p.ean.empty()) continue;
    ASSERT_TRUE(std::regex_match(p.ean, ean)) << p.ean;
    EXPECT_EQ(Ean13CheckDigit(p.ean.substr(0, 12)), p.ean[12]) << p.ean;
    EXPECT_TRUE(eans.insert(p.ean).second) << "EAN repeats: " << p.ean;
  }
  EXPECT_EQ(Ean13CheckDigit("400638133393"), '1');  // 4006381333931
  EXPECT_EQ(MakeDemoProduct(17, 1).text, MakeDemoProduct(17, 1).text);
  EXPECT_NE(MakeDemoProduct(17, 1).type_number + MakeDemoProduct(17, 1).ean,
            MakeDemoProduct(17, 2).type_number + MakeDemoProduct(17, 2).ean);
}

}  // namespace
}  // namespace lodex::build
