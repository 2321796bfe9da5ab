// Fuzzes the meta.dat reader: the input is meta.dat. A schema that reads is then put to
// use the way opening a base does — key normalisers built and run on a few texts, every
// field list looked up by number — so counts, names and flags of any value are tried.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "schema.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.empty()) bytes.push_back('\0');
  std::FILE* file = fmemopen(bytes.data(), size == 0 ? 1 : size, "rb");
  if (file == nullptr) return 0;
  if (size == 0) std::fgetc(file);  // an empty meta.dat
  lodex::Schema schema;
  const int32_t rc = lodex::ReadSchema(file, schema);
  std::fclose(file);
  if (rc != 0) return 0;

  lodex::BuildNormalisers(schema);
  for (const lodex::KeyNormaliser& n : schema.normalisers) {
    for (const char* text : {"", "12,50 mm", "-0,001", "ABC def 42", "\xE6\xF8\xE5 99999999999"}) {
      n.DisplayForm(text);
      n.KeyForm(text);
    }
  }
  for (const lodex::FieldList* list : {&schema.data, &schema.search, &schema.sort}) {
    list->Clamp(-1);
    list->Clamp(1 << 20);
    for (const lodex::FieldInfo& f : list->fields) list->by_number.Find(f.number);
  }
  schema.ClampTable(7);
  return 0;
}
