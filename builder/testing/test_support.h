// Helpers shared by the builder's tests: temporary directories, building a base from
// texts in memory, and a session on a base through the engine's C interface.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base_builder.h"
#include "build_schema.h"
#include "lodex32.h"
#include "product_table.h"
#include "testing/temp_dir.h"

namespace lodex::build::testing {

using lodex::testing::TempDir;

// Builds a base into dir from a schema and a product table given as texts. Answers
// the error message, empty on success.
inline std::string BuildFromText(const std::string& schema_json, const std::string& table,
                                 const std::string& dir, BuildSummary* summary = nullptr) {
  BuildSchema schema;
  std::string error;
  if (!ParseSchema(schema_json, &schema, &error)) return error;
  ProductTable t;
  TableFormat format;
  format.encoding = schema.encoding;
  format.delimiter = schema.delimiter;
  if (!t.LoadText(table, "table", format, &error)) return error;
  BaseBuilder builder(schema, BuildOptions());
  if (!builder.SetHeader(t.header(), &error)) return error;
  std::string row_error;
  if (!t.ForEachRow([&](uint64_t line, const std::vector<std::string_view>& cells) {
        return builder.AddRow(line, cells, &row_error);
      }, &error))
    return row_error.empty() ? error : row_error;
  std::filesystem::create_directories(dir);
  BuildSummary local;
  BuildError build_error;
  if (!builder.Write(dir, summary ? summary : &local, &build_error)) return build_error.message;
  return "";
}

// One open base with one session, closed at the end.
class EngineSession {
 public:
  explicit EngineSession(const std::string& base_dir) {
    base_ = APIOpenBaseEx(base_dir.c_str(), nullptr, temp_.path().c_str(), 0);
    if (base_ >= 0) session_ = APICreateSession(base_);
  }
  ~EngineSession() {
    if (session_ >= 0) APIDestroySession(session_);
    if (base_ >= 0) APICloseBase(base_);
  }
  int32_t base() const { return base_; }
  int32_t session() const { return session_; }

  std::string Field(int32_t number) const {
    const char* text = APIGetFieldData(session_, number);
    return text ? text : "<null>";
  }
  // Searches field for query (exact words); answers the hit total or an error code.
  int32_t Search(int32_t field, const std::string& query) const {
    const int32_t rc = APISearchConditions(session_, field, query.c_str(), 0);
    if (rc < 0) return rc;
    const int32_t s = APISearch(session_);
    return s < 0 ? s : APIHitCount(session_);
  }
  // Every word of a search field with its posting count, in index order.
  std::vector<std::pair<std::string, int32_t>> Words(int32_t field) const {
    const int32_t count = APIIndexWordCount(session_, field);
    std::vector<char> buf(static_cast<size_t>(std::max(count, 1)) * 260);
    const int32_t got = APIGetIndexWordsEx(session_, field, 0, count, 1, buf.data());
    std::vector<std::pair<std::string, int32_t>> out;
    for (int32_t i = 0; i < got; ++i) {
      int32_t c = 0;
      std::memcpy(&c, buf.data() + i * 260 + 256, 4);
      out.emplace_back(std::string(buf.data() + i * 260), c);
    }
    return out;
  }

 private:
  TempDir temp_;
  int32_t base_ = -1;
  int32_t session_ = -1;
};

}  // namespace lodex::build::testing
