// The lodex-build command's job: reading the schema and the product table, building
// the base in a work directory beside the target and swapping it into place.
#pragma once

#include <string>

#include "base_builder.h"
#include "build_error.h"

namespace lodex::build {

struct BuildRequest {
  std::string schema_path;
  std::string table_path;
  std::string out_dir;
  BuildOptions options;
};

// The whole build: reads the schema and the table, builds into a new directory next
// to out_dir and only then puts it in out_dir's place, so a failed or interrupted build
// leaves no half-written base. An existing out_dir is replaced only when it holds
// nothing but base files. Answers an ExitCode; error holds the message.
int RunBuild(const BuildRequest& request, BuildSummary* summary, std::string* error);

}  // namespace lodex::build
