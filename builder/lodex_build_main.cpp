// lodex-build: writes a base (the nine files the engine reads) from a product table
// and a schema file.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "run_build.h"
#include "build_schema.h"
#include "encoding.h"
#include "progress.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnSignal(int) { g_stop.store(true); }

void PrintHelp() {
  std::printf(
      "Usage: lodex-build --schema FILE --out DIR [options] TABLE\n"
      "\n"
      "Builds the base DIR (meta.dat, data.dat, mapping.dat, index1.dat, index2.dat,\n"
      "post.dat, sort.dat, charfreq.dat, wordfreq.dat) from the product table TABLE.\n"
      "TABLE has a header row; tab-separated, or CSV with comma or semicolon and\n"
      "double-quoted cells; UTF-8 or Windows-1252.\n"
      "\n"
      "The base is built in a new directory next to DIR and moved into place only when\n"
      "complete: a failed or interrupted build leaves DIR as it was. An existing DIR\n"
      "is replaced only when it holds nothing but base files.\n"
      "\n"
      "Options:\n"
      "  --schema FILE      the schema (JSON; see below). Required.\n"
      "  --out DIR          the base directory to build. Required.\n"
      "  --block-words N    words per index block (default: from the schema, else\n"
      "                     about the square root of each field's word count, 16..128)\n"
      "  --phrases N        at most N phrases in the record code (0..5000, default 5000)\n"
      "  --memory MB        memory the build may use, in MiB (at least 256, default\n"
      "                     1536); passes over the whole table that need more sort in\n"
      "                     runs written next to DIR and merge them\n"
      "  --substitute       replace text that Windows-1252 cannot represent by a close\n"
      "                     form: common symbols spelled out (\"Ohm\", \"<=\", \">=\", \"->\",\n"
      "                     \"sqrt\", \"-\"), else the compatibility decomposition without\n"
      "                     the accents the code page lacks, else \"?\"; the summary\n"
      "                     counts the cells changed and shows the first ten\n"
      "  --quiet            no closing summary\n"
      "  --no-progress      no progress bar (it is shown only on a terminal, and only\n"
      "                     for builds that run longer than a second)\n"
      "  --help             this text\n"
      "\n"
      "Exit codes: 0 built; 1 the schema or the table is wrong or holds what a base\n"
      "cannot store (the message names the line and column); 2 wrong command line;\n"
      "3 the base cannot be written where asked; 130 interrupted.\n"
      "\n%s",
      lodex::build::SchemaHelp());
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "lodex-build: %s\nTry 'lodex-build --help'.\n", message.c_str());
  return lodex::build::kExitUsage;
}

bool ParseCount(const char* text, long lo, long hi, long* value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < lo || v > hi) return false;
  *value = v;
  return true;
}

std::string Grouped(uint64_t v) {
  std::string digits = std::to_string(v), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(' ');
    out.push_back(digits[i]);
  }
  return out;
}

void PrintSummary(const std::string& out, const lodex::build::BuildSummary& s) {
  using lodex::Windows1252ToUtf8;
  std::printf("Built %s in %.1f s\n", out.c_str(), s.seconds);
  std::printf("  records   %s:", Grouped(s.records).c_str());
  for (const auto& [name, count] : s.tables)
    std::printf(" %s %s;", Windows1252ToUtf8(name).c_str(), Grouped(count).c_str());
  std::printf("\n");
  for (const auto& f : s.search_fields)
    std::printf("  words     %-24s %10s words, %12s postings\n",
                (std::to_string(f.number) + " " + Windows1252ToUtf8(f.name)).c_str(),
                Grouped(f.words).c_str(), Grouped(f.postings).c_str());
  std::printf("  data      %s bytes of records stored in %s bytes: ratio %.3f (%zu phrases,"
              " %d bytes read per record)\n",
              Grouped(s.record_bytes).c_str(), Grouped(s.stored_bytes).c_str(), s.CompressionRatio(),
              s.phrases, s.read_bytes);
  std::printf("  files    ");
  for (const auto& f : s.files) std::printf(" %s %s;", f.name.c_str(), Grouped(f.bytes).c_str());
  std::printf("\n  total     %s bytes\n  time     ", Grouped(s.TotalBytes()).c_str());
  for (const auto& [name, secs] : s.phases) std::printf(" %s %.1f s;", name.c_str(), secs);
  // Processor time: the phases' share of the machine, whatever else runs on it.
  std::printf("\n  cpu      ");
  for (size_t i = 0; i < s.phases.size() && i < s.phase_cpu.size(); ++i)
    std::printf(" %s %.1f s;", s.phases[i].first.c_str(), s.phase_cpu[i]);
  std::printf("\n");
  if (s.substituted_cells > 0) {
    std::printf("  replaced  %s cell%s holding text that Windows-1252 cannot represent%s\n",
                Grouped(s.substituted_cells).c_str(), s.substituted_cells == 1 ? "" : "s",
                s.substituted_cells > s.first_substituted.size() ? "; the first ten:" : ":");
    for (const auto& cell : s.first_substituted)
      std::printf("            line %llu, column \"%s\": \"%s\"\n", static_cast<unsigned long long>(cell.line),
                  cell.column.c_str(), cell.original.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  lodex::build::BuildRequest request;
  bool quiet = false, progress = true;
  std::string table;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)name;
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      PrintHelp();
      return 0;
    } else if (arg == "--schema") {
      const char* v = value("--schema");
      if (!v) return Usage("--schema needs a file");
      request.schema_path = v;
    } else if (arg == "--out") {
      const char* v = value("--out");
      if (!v) return Usage("--out needs a directory");
      request.out_dir = v;
    } else if (arg == "--block-words") {
      const char* v = value("--block-words");
      long n = 0;
      if (!v || !ParseCount(v, 1, 4096, &n)) return Usage("--block-words needs a number 1..4096");
      request.options.block_words = static_cast<int>(n);
    } else if (arg == "--phrases") {
      const char* v = value("--phrases");
      long n = 0;
      if (!v || !ParseCount(v, 0, 5000, &n)) return Usage("--phrases needs a number 0..5000");
      request.options.max_phrases = static_cast<size_t>(n);
    } else if (arg == "--memory") {
      const char* v = value("--memory");
      long n = 0;
      if (!v || !ParseCount(v, 0, 1L << 24, &n)) return Usage("--memory needs a number of MiB (at least 256)");
      if (n < static_cast<long>(lodex::build::kMinMemoryMb))
        return Usage("--memory " + std::to_string(n) + " is too little; a build needs at least 256 MiB");
      request.options.memory_mb = static_cast<size_t>(n);
    } else if (arg == "--substitute") {
      request.options.substitute = true;
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--no-progress") {
      progress = false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (table.empty()) {
      table = arg;
    } else {
      return Usage("more than one product table given");
    }
  }
  if (request.schema_path.empty()) return Usage("--schema is required");
  if (request.out_dir.empty()) return Usage("--out is required");
  if (table.empty()) return Usage("no product table given");
  request.table_path = table;

  // Set by the tests only: a tiny share of memory per pass makes small tables take the
  // paths that large ones take.
  if (const char* run_bytes = std::getenv("LODEX_BUILD_RUN_BYTES")) {
    long n = 0;
    if (ParseCount(run_bytes, 1, 1L << 40, &n)) request.options.run_bytes = static_cast<size_t>(n);
  }

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGHUP, OnSignal);
  // Past a file size limit a write fails like on a full disk, and is reported as such.
  std::signal(SIGXFSZ, SIG_IGN);
  lodex::build::Progress bar(progress && isatty(STDERR_FILENO));
  request.options.progress = &bar;
  request.options.stop = &g_stop;

  lodex::build::BuildSummary summary;
  std::string error;
  int code = lodex::build::kExitOutput;
  try {
    code = lodex::build::RunBuild(request, &summary, &error);
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  } catch (const std::exception& e) {
    error = e.what();
  }
  bar.Clear();
  if (code != lodex::build::kExitOk) {
    std::fprintf(stderr, "lodex-build: %s\n", error.c_str());
    return code;
  }
  if (!quiet) PrintSummary(request.out_dir, summary);
  return 0;
}
