#include "run_build.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "build_schema.h"
#include "format/files.h"
#include "product_table.h"

namespace lodex::build {

namespace fmt = lodex::format;
namespace fs = std::filesystem;

namespace {

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The build's runs and spilled rows, inside the directory the base is built in.
constexpr const char* kWorkDir = "work";

void RemoveBaseDir(const fs::path& dir) {
  std::error_code ec;
  fs::remove_all(dir / kWorkDir, ec);
  for (const char* name : fmt::kBaseFiles) fs::remove(dir / name, ec);
  fs::remove(dir, ec);
}

// Removes the directory being built in unless the build was put in place.
struct BuildDirGuard {
  fs::path dir;
  ~BuildDirGuard() {
    if (!dir.empty()) RemoveBaseDir(dir);
  }
};

}  // namespace

int RunBuild(const BuildRequest& request, BuildSummary* summary, std::string* error) {
  std::string schema_text;
  if (!ReadFile(request.schema_path, &schema_text)) {
    *error = request.schema_path + ": cannot read the schema file";
    return kExitInput;
  }
  BuildSchema schema;
  if (!ParseSchema(schema_text, &schema, error)) {
    *error = request.schema_path + ": " + *error;
    return kExitInput;
  }

  // Where the base goes: a new directory, or one that holds only base files.
  const fs::path target = fs::absolute(fs::path(request.out_dir)).lexically_normal();
  const fs::path out = target.has_filename() ? target : target.parent_path();
  const fs::path parent = out.parent_path();
  std::error_code ec;
  if (!fs::is_directory(parent, ec)) {
    *error = parent.string() + ": no such directory to build the base in";
    return kExitOutput;
  }
  const bool replacing = fs::exists(out, ec);
  if (replacing) {
    if (!fs::is_directory(out, ec)) {
      *error = out.string() + " exists and is not a directory";
      return kExitOutput;
    }
    const auto& names = fmt::kBaseFiles;
    for (const auto& entry : fs::directory_iterator(out, ec)) {
      const std::string name = entry.path().filename().string();
      if (std::find(names.begin(), names.end(), name) == names.end()) {
        *error = out.string() + " holds \"" + name + "\", which is not a base file; it is not replaced";
        return kExitOutput;
      }
    }
  }

  std::string temp_template = (parent / ("." + out.filename().string() + ".building-XXXXXX")).string();
  if (!mkdtemp(temp_template.data())) {
    *error = parent.string() + ": cannot create a directory to build in: " + std::strerror(errno);
    return kExitOutput;
  }
  const fs::path temp(temp_template);
  // mkdtemp makes the directory private; the base gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(temp_template.c_str(), 0777 & ~mask);
  BuildDirGuard guard{temp};
  BuildOptions options = request.options;
  options.work_dir = (temp / kWorkDir).string();
  if (!fs::create_directory(options.work_dir, ec)) {
    *error = options.work_dir + ": cannot create: " + ec.message();
    return kExitOutput;
  }

  TableFormat format;
  format.encoding = schema.encoding;
  format.delimiter = schema.delimiter;
  format.substitute = request.options.substitute;
  auto table_owner = std::make_unique<ProductTable>();
  ProductTable& table = *table_owner;
  if (request.options.run_bytes > 0) table.set_window_bytes(request.options.run_bytes);
  if (request.options.progress) request.options.progress->Phase("reading table", 1);
  const auto reading = std::chrono::steady_clock::now();
  const double reading_cpu = ProcessCpuSeconds();
  if (!table.Load(request.table_path, format, error)) return kExitInput;
  BaseBuilder builder(schema, options);
  if (!builder.SetHeader(table.header(), error)) {
    *error = request.table_path + ": " + *error;
    return kExitInput;
  }
  builder.Reserve(table.bytes());
  if (request.options.progress) request.options.progress->Phase("reading table", table.bytes());
  std::string row_error;
  uint64_t rows_read = 0;
  const bool rows_ok = table.ForEachRow(
      [&](uint64_t line, const std::vector<std::string_view>& cells) {
        if (request.options.progress && (++rows_read & 0xFFF) == 0)
          request.options.progress->Update(table.position() & ~uint64_t{1023});
        if (request.options.stop && request.options.stop->load(std::memory_order_relaxed)) {
          row_error = "interrupted";
          return false;
        }
        return builder.AddRow(line, cells, &row_error);
      },
      error);
  if (!rows_ok) {
    if (request.options.stop && request.options.stop->load()) {
      *error = "interrupted";
      return kExitInterrupted;
    }
    if (!row_error.empty()) *error = request.table_path + ": " + row_error;
    return kExitInput;
  }

  const double read_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - reading).count();
  const double read_cpu = ProcessCpuSeconds() - reading_cpu;
  // The rows are in the builder now: the table's text is not needed any more.
  const uint64_t substituted_cells = table.substituted_cells();
  const std::vector<SubstitutedCell> first_substituted = table.first_substituted();
  table_owner.reset();

  bool written = false;
  BuildError build_error;
  try {
    written = builder.Write(temp.string(), summary, &build_error);
  } catch (...) {  // out of memory, above all: leave no work directory behind
    RemoveBaseDir(temp);
    throw;
  }
  if (!written) {
    RemoveBaseDir(temp);
    *error = build_error.message;
    if (error->rfind("line ", 0) == 0) *error = request.table_path + ": " + *error;
    // A file of the work directory, which is gone now: name the base and the file.
    if (build_error.code == kExitOutput && error->rfind(temp.string() + "/", 0) == 0)
      *error = out.string() + ": cannot write the base: " + error->substr(temp.string().size() + 1);
    if (request.options.stop && request.options.stop->load()) return kExitInterrupted;
    return build_error.code;
  }
  fs::remove_all(options.work_dir, ec);
  summary->phases.insert(summary->phases.begin(), {"reading table", read_seconds});
  summary->phase_cpu.insert(summary->phase_cpu.begin(), read_cpu);
  summary->seconds += read_seconds;
  summary->substituted_cells = substituted_cells;
  summary->first_substituted = first_substituted;
  if (request.options.stop && request.options.stop->load()) {
    RemoveBaseDir(temp);
    *error = "interrupted";
    return kExitInterrupted;
  }

  // Swap the finished base into place: in one step where the file system can exchange
  // two directories, so readers see the old base or the new one, never neither.
  guard.dir.clear();
  if (replacing && renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, out.c_str(), RENAME_EXCHANGE) == 0) {
    RemoveBaseDir(temp);  // now the old base
    return kExitOk;
  }
  fs::path old;
  if (replacing) {
    std::string old_template = (parent / ("." + out.filename().string() + ".old-XXXXXX")).string();
    if (!mkdtemp(old_template.data())) {
      RemoveBaseDir(temp);
      *error = parent.string() + ": cannot make room for the old base";
      return kExitOutput;
    }
    old = old_template;
    fs::remove(old, ec);
    fs::rename(out, old, ec);
    if (ec) {
      RemoveBaseDir(temp);
      *error = out.string() + ": cannot move the old base aside: " + ec.message();
      return kExitOutput;
    }
  }
  fs::rename(temp, out, ec);
  if (ec) {
    if (!old.empty()) fs::rename(old, out, ec);
    RemoveBaseDir(temp);
    *error = out.string() + ": cannot put the new base in place";
    return kExitOutput;
  }
  if (!old.empty()) RemoveBaseDir(old);
  return kExitOk;
}

}  // namespace lodex::build
