// The rows of a build read back in bit order, table after table, whether they were
// held in memory or written to files per table.
#include "row_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/temp_dir.h"

namespace lodex::build {
namespace {

std::vector<std::string> ReadBack(RowStore& store) {
  BuildError error;
  EXPECT_TRUE(store.Finish(&error)) << error.message;
  std::vector<std::string> rows;
  RowStore::Reader reader(store);
  StoredRow row;
  while (reader.Next(&row, &error))
    rows.push_back(std::to_string(row.bit) + " " + std::to_string(row.line) + " " + std::string(row.Cell(0)) +
                   "|" + std::string(row.Cell(1)));
  EXPECT_TRUE(error.message.empty()) << error.message;
  return rows;
}

TEST(RowStore, ReadsRowsTableAfterTableInMemoryAndFromFiles) {
  lodex::testing::TempDir dir;
  RowStore memory(3, "", 0);
  auto files = std::make_unique<RowStore>(3, dir.path(), 300);
  const std::vector<int> columns = {2, 0};  // the slots take columns 2 and 0
  std::vector<std::string> want[3];
  for (uint32_t r = 0; r < 100; ++r) {
    const uint16_t table = static_cast<uint16_t>((r * 7) % 3 == 1 ? 2 : r % 2);
    const std::string a = "a" + std::to_string(r), c = r % 5 ? "c" + std::to_string(r) : "";
    const std::vector<std::string_view> cells = {a, "b", c};
    memory.Add(table, r + 2, cells, columns);
    files->Add(table, r + 2, cells, columns);
    want[table].push_back(std::to_string(r + 2) + " " + c + "|" + a);
  }
  std::vector<std::string> expected;
  for (const auto& rows : want)
    for (const std::string& row : rows) expected.push_back(std::to_string(expected.size()) + " " + row);
  EXPECT_EQ(memory.table_rows(), files->table_rows());
  EXPECT_EQ(ReadBack(memory), expected);
  EXPECT_EQ(ReadBack(*files), expected);
  EXPECT_EQ(ReadBack(*files), expected);  // every pass reads them again
  EXPECT_LT(files->HeldBytes(), memory.HeldBytes());
  files.reset();
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace lodex::build
