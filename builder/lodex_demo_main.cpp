// lodex-demo: writes the demo catalogue (a product table and its schema) for lodex-build.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo_catalog.h"

namespace {

void PrintHelp() {
  std::printf(
      "Usage: lodex-demo [--count N] [--seed S] --out DIR\n"
      "\n"
      "Writes a realistic, deterministic electrical catalogue of N products into DIR:\n"
      "products.tsv (UTF-8, tab-separated) and schema.json, ready for\n"
      "  lodex-build --schema DIR/schema.json --out BASE DIR/products.tsv\n"
      "The same N and S always give the same files.\n"
      "\n"
      "Options:\n"
      "  --count N   number of products (default 50000)\n"
      "  --seed S    variant of the catalogue (default 1)\n"
      "  --out DIR   directory for the two files (created when missing). Required.\n"
      "  --help      this text\n"
      "\n"
      "Exit codes: 0 written; 2 wrong command line; 3 the files cannot be written.\n");
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "lodex-demo: %s\nTry 'lodex-demo --help'.\n", message.c_str());
  return 2;
}

bool ParseNumber(const char* text, unsigned long long* value) {
  char* end = nullptr;
  if (!*text || *text == '-') return false;
  *value = std::strtoull(text, &end, 10);
  return *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long long count = 50000, seed = 1;
  std::string out;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintHelp();
      return 0;
    }
    if (i + 1 >= argc) return Usage(arg == "--count" || arg == "--seed" || arg == "--out"
                                        ? arg + " needs a value"
                                        : "unknown argument " + arg);
    if (arg == "--count") {
      if (!ParseNumber(argv[++i], &count) || count >= (1ull << 23)) return Usage("--count needs a number below 8388608");
    } else if (arg == "--seed") {
      if (!ParseNumber(argv[++i], &seed)) return Usage("--seed needs a number");
    } else if (arg == "--out") {
      out = argv[++i];
    } else {
      return Usage("unknown argument " + arg);
    }
  }
  if (out.empty()) return Usage("--out is required");
  std::string table, schema, error;
  if (!lodex::build::WriteDemoCatalog(count, seed, out, &table, &schema, &error)) {
    std::fprintf(stderr, "lodex-demo: %s\n", error.c_str());
    return 3;
  }
  std::printf("%s\n%s\n", table.c_str(), schema.c_str());
  return 0;
}
