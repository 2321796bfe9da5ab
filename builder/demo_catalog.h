// The demo catalogue: a deterministic, realistic electrical product table (Danish
// trade-style item texts, maker type numbers, 7-digit el. numbers, EAN-13 codes,
// prices with a decimal comma, 2-character discount codes) and the schema that builds
// the catalogue program's base from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lodex::build {

struct DemoProduct {
  std::string table;     // "VARER", "UDGÅEDE VARER" or "KAMPAGNE"
  std::string text;      // item text (UTF-8)
  std::string type_number;
  std::string el_number;  // "49 904 27"
  std::string ean;        // 13 digits, or empty
  std::string price;      // "1234,50"
  std::string discount;   // 2 characters, one of DemoDiscountCodes()
  std::string maker;
  std::string unit;
};

// The discount codes the demo uses (the codes of builder/demo_discount_codes.txt).
const std::vector<std::string>& DemoDiscountCodes();

// Product number i (0-based) of the demo catalogue; the same i and seed always give the
// same product, and el. numbers and EAN codes never repeat within a catalogue.
DemoProduct MakeDemoProduct(uint64_t i, uint64_t seed);

// The check digit that completes the first 12 digits of an EAN-13 code.
char Ean13CheckDigit(const std::string& first12);

// Writes DIR/products.tsv (UTF-8, tab-separated, header row) with count products and
// DIR/schema.json; creates DIR when needed. Sets the two paths. False with a message.
bool WriteDemoCatalog(uint64_t count, uint64_t seed, const std::string& dir, std::string* table_path,
                      std::string* schema_path, std::string* error);

// The schema text of the demo catalogue.
std::string DemoSchemaJson();

}  // namespace lodex::build
