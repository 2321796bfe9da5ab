// Fuzzes opening and using a damaged base. A small valid base (records, mapping.dat,
// sort.dat, flat weights) is the template; the input is a list of edits to its nine
// files: patch bytes at an offset, cut a file to a length, or replace it whole. The
// edited base is opened, and its records are fetched, split, sorted and fetched again.
// Whatever the edits claim in meta.dat, memory stays bounded by the files: scripts/test.sh
// runs this target under -rss_limit_mb and -malloc_limit_mb.
//
// Edits: op byte (file = op % 9, kind = op / 9 % 3), then
//   kind 0: offset (2 bytes LE), length (1 byte), bytes   patch
//   kind 1: length (2 bytes LE)                          cut or extend with zeros
//   kind 2: length (2 bytes LE), bytes                   replace
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "lodex32.h"
#include "testing/record_base_files.h"

namespace {

using lodex::testing::BaseFileNames;

struct Template {
  lodex::testing::TempDir root;  // kept for the whole run
  std::string base_dir, temp_dir;
  std::vector<std::string> files;  // in BaseFileNames order
};

const Template& TheTemplate() {
  static Template* t = [] {
    auto* tpl = new Template;
    tpl->base_dir = tpl->root.Sub("base");
    tpl->temp_dir = tpl->root.Sub("temp");
    lodex::testing::RecordBaseSpec def = lodex::testing::NumberedBase({40, 0, 25});
    def.data_numbers = {100, 120, 140};
    def.read_bytes = 24;
    def.decode_bytes = 24;
    lodex::testing::WriteRecordBase(tpl->base_dir, def);
    for (const std::string& name : BaseFileNames()) {
      tpl->files.push_back(lodex::testing::ReadFile(tpl->base_dir + "/" + name));
    }
    return tpl;
  }();
  return *t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Template& tpl = TheTemplate();
  std::vector<std::string> files = tpl.files;
  const uint8_t* p = data;
  const uint8_t* end = data + size;
  auto byte = [&]() -> uint32_t { return p < end ? *p++ : 0; };
  auto word = [&]() -> uint32_t { uint32_t lo = byte(); return lo | byte() << 8; };
  while (p < end) {
    const uint32_t op = byte();
    std::string& f = files[op % 9];
    switch (op / 9 % 3) {
      case 0: {
        const uint32_t offset = word();
        const uint32_t n = std::min<uint32_t>(byte(), static_cast<uint32_t>(end - p));
        if (f.size() < offset + n) f.resize(offset + n, '\0');
        f.replace(offset, n, reinterpret_cast<const char*>(p), n);
        p += n;
        break;
      }
      case 1:
        f.resize(word(), '\0');
        break;
      default: {
        const uint32_t n = std::min<uint32_t>(word(), static_cast<uint32_t>(end - p));
        f.assign(reinterpret_cast<const char*>(p), n);
        p += n;
        break;
      }
    }
  }
  for (size_t i = 0; i < files.size(); ++i) {
    lodex::testing::WriteFile(tpl.base_dir + "/" + BaseFileNames()[i], files[i]);
  }

  const int32_t base = APIOpenBaseEx(tpl.base_dir.c_str(), nullptr, tpl.temp_dir.c_str(), 0);
  if (base < 0) return 0;
  const int32_t s = APICreateSession(base);
  if (s >= 0) {
    APIFillBitmap(s, 0);
    const int32_t hits = APIHitCount(s);
    const int32_t fields = APIDatafieldCount(base);
    auto touch_fields = [&] {
      for (int32_t i = 0; i < fields && i < 8; ++i) {
        const char* text = APIGetFieldData(s, APIDatafieldNo(base, i));
        volatile size_t n = text ? std::string(text).size() : 0;
        (void)n;
      }
    };
    APIMappingCachePolitics(s, 3, 5);
    for (int32_t h = 0; h < hits && h < 30; ++h) {
      if (h % 2) APIFetchRecord(s, h); else APIFetchRecordOptimized(s, h);
      touch_fields();
    }
    APIFetchRecord(s, hits - 1);
    touch_fields();
    for (int32_t ptr : {0, 7, 1 << 20, -3}) {
      APIFetchRecordByPtr(s, ptr);
      touch_fields();
    }
    const int32_t sorts = APISortfieldCount(base);
    for (int32_t i = 0; i < sorts && i < 3; ++i) {
      APISortConditions(s, APISortfieldNo(base, i), i % 2);
      APISort(s);
      for (int32_t h = 0; h < hits && h < 10; ++h) {
        APIFetchRecord(s, h);
        APIBitmapentryFromListentry(s, h);
        touch_fields();
      }
    }
    APIDestroySession(s);
  }
  APICloseBase(base);
  return 0;
}
