#include "demo_catalog.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace lodex::build {

namespace {

// splitmix64: small, fast and the same on every platform (unlike std distributions).
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  template <class T>
  const T& Pick(const std::vector<T>& v) { return v[Below(static_cast<uint32_t>(v.size()))]; }
  bool Chance(uint32_t percent) { return Below(100) < percent; }

 private:
  uint64_t state_;
};

using Strings = std::vector<std::string>;

const Strings kMakers = {"Nordlys",     "Kabelværket",   "Strømmen A/S", "Dansk Kontakt",
                         "Lysteknik",   "Ærø Elektro",   "Østjysk Kabel", "Hvidsten El",
                         "Fynsk Lys",   "Skærbæk Værk"};
const Strings kMakerPrefix = {"NL", "KV", "ST", "DK", "LT", "ÆE", "ØK", "HE", "FL", "SV"};

struct Family {
  const char* discount_group;  // first letter of the family's discount codes
  int price_lo, price_hi;      // øre
  const char* unit;
};

std::string Num(uint32_t v) { return std::to_string(v); }

// Item text of one family; the family decides the discount group and price range.
std::string ItemText(uint32_t family, Rng& rng) {
  static const Strings colours = {"HVID", "SORT", "GRÅ", "ALU", "RØD", "BLÅ", "GUL/GRØN", "BRUN", "BEIGE"};
  static const Strings cable_types = {"PVIKJ", "NOIKLX", "NYM-J", "H07RN-F", "H05VV-F", "PR-KABEL", "EXQ"};
  static const Strings cores = {"3G1,5", "3G2,5", "5G1,5", "5G2,5", "5G6", "3X1,5", "2X0,75", "4G10", "5G16"};
  static const Strings lengths = {"25M", "50M", "100M", "RING 100M", "TROMLE 500M"};
  static const Strings sockets = {"E27", "E14", "GU10", "GU5,3", "G9", "R7S", "MR16"};
  static const Strings kelvin = {"2200K", "2700K", "3000K", "4000K", "6500K"};
  static const Strings watts = {"3W", "4,9W", "5W", "6W", "8W", "9,5W", "12W", "15W", "18W", "24W", "36W"};
  static const Strings amps = {"6A", "10A", "13A", "16A", "20A", "25A", "32A", "40A", "63A"};
  static const Strings curves = {"B", "C", "D"};
  static const Strings poles = {"1P", "1P+N", "2P", "3P", "3P+N", "4P"};
  static const Strings ip = {"IP20", "IP44", "IP54", "IP65", "IP67"};
  static const Strings sizes = {"16MM", "20MM", "25MM", "32MM", "40MM"};
  static const Strings plug_words = {"STIKKONTAKT", "DOBBELT STIKKONTAKT", "UDTAG", "AFBRYDER",
                                     "KRONEAFBRYDER", "TRAPPEAFBRYDER", "KORRESPONDANCE"};
  static const Strings fittings = {"PLAFOND", "LAMPET", "DOWNLIGHT", "PENDEL", "ARMATUR", "PROJEKTØR"};
  static const Strings tools = {"SKRUETRÆKKER ISOLERET 1000V", "AFISOLERINGSTANG", "KOMBITANG 180MM",
                                "SPÆNDINGSPRØVER 12-690V", "MULTIMETER CAT III", "KABELSAKS 200MM"};
  switch (family) {
    case 0:
      return "INSTALLATIONSKABEL " + rng.Pick(cable_types) + " " + rng.Pick(cores) + " " + rng.Pick(lengths);
    case 1:
      return "AUTOMATSIKRING " + rng.Pick(poles) + " " + rng.Pick(curves) + rng.Pick(amps) + " 6KA";
    case 2:
      return "HPFI-AFBRYDER " + std::string(rng.Chance(50) ? "2P " : "4P ") + rng.Pick(amps) + " 30MA TYPE " +
             (rng.Chance(70) ? "A" : "B");
    case 3:
      return "LED PÆRE " + rng.Pick(sockets) + " " + rng.Pick(watts) + " " + rng.Pick(kelvin) + " " +
             Num(200 + 50 * rng.Below(30)) + "LM" + (rng.Chance(40) ? " DÆMPBAR" : "") +
             (rng.Chance(30) ? " MAT" : " KLAR");
    case 4:
      return "LED SPOT " + rng.Pick(sockets) + " " + rng.Pick(watts) + " " + rng.Pick(kelvin) + " " +
             Num(24 + 12 * rng.Below(4)) + "°";
    case 5:
      return rng.Pick(plug_words) + " " + std::string(rng.Chance(60) ? "1-POL" : "2-POL") +
             (rng.Chance(70) ? " M/JORD " : " ") + rng.Pick(colours);
    case 6:
      return "KABELBINDER " + Num(2 + rng.Below(8)) + "," + Num(rng.Below(10)) + "X" + Num(100 + 50 * rng.Below(8)) +
             " " + rng.Pick(colours) + " 100STK";
    case 7:
      return (rng.Chance(50) ? "FLEXRØR " : "PANSERRØR ") + rng.Pick(sizes) + " " + rng.Pick(colours) + " " +
             rng.Pick(lengths);
    case 8:
      return "SAMLEKLEMME " + Num(2 + rng.Below(4)) + "-LEDER 0,2-4MM² " + Num(50 * (1 + rng.Below(4))) + "STK";
    case 9:
      return rng.Pick(fittings) + " Ø" + Num(20 + 5 * rng.Below(20)) + " " + rng.Pick(watts) + " LED " +
             rng.Pick(ip) + " " + rng.Pick(colours);
    case 10:
      return rng.Pick(tools);
    case 11:
      return "VARMEKABEL " + Num(10 + 5 * rng.Below(3)) + "W/M 230V " + Num(5 + 5 * rng.Below(20)) + "M";
    case 12:
      return "SMELTEPATRON D0" + Num(1 + rng.Below(3)) + " " + rng.Pick(amps) + " GL/GG";
    case 13:
      return "LED PANEL " + std::string(rng.Chance(50) ? "60X60 " : "30X120 ") + rng.Pick(watts) + " " +
             rng.Pick(kelvin) + " UGR<19";
    case 14:
      return "DÅSE " + std::string(rng.Chance(50) ? "UNDERLAG " : "INDMURING ") + Num(1 + rng.Below(3)) +
             "," + Num(5 * rng.Below(2)) + " MODUL " + rng.Pick(colours);
    case 15:
      return "KONTAKTOR " + std::string(rng.Chance(50) ? "3P " : "4P ") + rng.Pick(amps) + " SPOLE " +
             (rng.Chance(60) ? "230V AC" : "24V DC") + (rng.Chance(40) ? " M/HJÆLPEKONTAKT" : "");
    case 16:
      return "FORGRENINGSDÅSE " + rng.Pick(ip) + " " + Num(75 + 25 * rng.Below(6)) + "X" +
             Num(75 + 25 * rng.Below(6)) + "MM " + Num(4 + 2 * rng.Below(4)) + " INDFØRINGER " + rng.Pick(colours);
    case 17:
      return "KABELFORSKRUNING M" + Num(12 + 4 * rng.Below(6)) + " " + rng.Pick(ip) + " " +
             (rng.Chance(50) ? "POLYAMID " : "MESSING ") + rng.Pick(colours);
    case 18:
      return "BEVÆGELSESSENSOR " + Num(180 + 180 * rng.Below(2)) + "° " + rng.Pick(ip) + " " +
             (rng.Chance(50) ? "LOFTMONTERET " : "VÆGMONTERET ") + rng.Pick(colours);
    case 19:
      return "FORLÆNGERLEDNING " + Num(1 + rng.Below(6)) + "-VEJS " + Num(rng.Chance(50) ? 3 : 5) + "M " +
             (rng.Chance(40) ? "M/AFBRYDER " : "") + rng.Pick(colours);
    case 20:
      return "UDENDØRSLAMPE " + rng.Pick(watts) + " LED " + rng.Pick(kelvin) + " " + rng.Pick(ip) +
             (rng.Chance(50) ? " M/SENSOR " : " ") + rng.Pick(colours);
    case 21:
      return "LADEBOKS ELBIL " + std::string(rng.Chance(50) ? "11KW 16A 3-FASET" : "22KW 32A 3-FASET") +
             (rng.Chance(50) ? " TYPE 2 KABEL " + Num(5 + 2 * rng.Below(3)) + "M" : " TYPE 2 UDTAG");
    case 22:
      return "GRUPPETAVLE " + Num(12 + 6 * rng.Below(6)) + " MODULER " + rng.Pick(ip) +
             (rng.Chance(50) ? " UNDERLAG" : " INDBYGNING");
    case 23:
      return "KABELSKO " + std::string(rng.Chance(50) ? "RØRKABELSKO " : "PRESKABELSKO ") +
             Num(6 + 4 * rng.Below(10)) + "MM² M" + Num(6 + 2 * rng.Below(5)) + " " + Num(10 * (1 + rng.Below(10))) + "STK";
    default:
      return "BATTERI " + std::string(rng.Chance(50) ? "ALKALINE " : "LITHIUM ") +
             (rng.Chance(50) ? "AA LR6 " : "AAA LR03 ") + Num(4 * (1 + rng.Below(6))) + "STK";
  }
}

const Family kFamilies[] = {
    {"K", 1500, 650000, "RL"}, {"I", 2500, 45000, "STK"}, {"I", 30000, 250000, "STK"},
    {"B", 1500, 15000, "STK"}, {"B", 2000, 25000, "STK"}, {"I", 2500, 30000, "STK"},
    {"T", 2000, 20000, "PK"},  {"K", 5000, 90000, "RL"},  {"I", 3000, 40000, "PK"},
    {"B", 20000, 300000, "STK"}, {"T", 8000, 120000, "STK"}, {"V", 40000, 400000, "STK"},
    {"I", 500, 3000, "STK"},   {"B", 30000, 150000, "STK"}, {"I", 300, 4000, "STK"},
    {"I", 25000, 180000, "STK"}, {"I", 4000, 35000, "STK"}, {"I", 800, 9000, "STK"},
    {"B", 15000, 90000, "STK"}, {"T", 6000, 40000, "STK"}, {"B", 20000, 160000, "STK"},
    {"V", 500000, 1500000, "STK"}, {"I", 60000, 450000, "STK"}, {"I", 1500, 30000, "PK"},
    {"T", 2000, 15000, "PK"},
};
constexpr uint32_t kFamilyCount = sizeof kFamilies / sizeof kFamilies[0];

// Capitalises a trade text the way some makers write it ("Led pære e27 ...").
std::string MixedCase(const std::string& upper) {
  std::string out;
  bool start = true;
  for (size_t i = 0; i < upper.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(upper[i]);
    if (c >= 'A' && c <= 'Z') {
      out.push_back(start ? static_cast<char>(c) : static_cast<char>(c + 32));
    } else if (c == 0xC3 && i + 1 < upper.size() && !start) {  // Æ Ø Å É in UTF-8
      const unsigned char d = static_cast<unsigned char>(upper[i + 1]);
      out.push_back(static_cast<char>(c));
      out.push_back(static_cast<char>(d >= 0x80 && d <= 0x9E ? d + 0x20 : d));
      ++i;
    } else {
      out.push_back(static_cast<char>(c));
    }
    start = c == ' ';
  }
  return out;
}

}  // namespace

const std::vector<std::string>& DemoDiscountCodes() {
  static const std::vector<std::string> codes = {"K1", "K2", "K3", "K4", "B1", "B2", "B3", "B4",
                                                 "I1", "I2", "I3", "I4", "T1", "T2", "T3", "V1",
                                                 "V2", "V3", "10", "20", "30", "40", "50", "NN"};
  return codes;
}

char Ean13CheckDigit(const std::string& first12) {
  int sum = 0;
  for (size_t i = 0; i < 12; ++i) sum += (first12[i] - '0') * (i % 2 == 0 ? 1 : 3);
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

DemoProduct MakeDemoProduct(uint64_t i, uint64_t seed) {
  // Each product draws from its own stream; mixing (seed, i) through one splitmix step
  // keeps neighbouring products' streams unrelated.
  Rng mix(seed ^ (i * 0xD1B54A32D192ED03ull));
  Rng rng(mix.Next());
  DemoProduct p;
  const uint32_t t = rng.Below(100);
  p.table = t < 90 ? "VARER" : t < 98 ? "UDGÅEDE VARER" : "KAMPAGNE";

  const uint32_t family = rng.Below(kFamilyCount);
  const Family& fam = kFamilies[family];
  p.text = ItemText(family, rng);
  if (rng.Chance(25)) p.text = MixedCase(p.text);

  const uint32_t maker = rng.Below(static_cast<uint32_t>(kMakers.size()));
  p.maker = kMakers[maker];
  // Type numbers: the maker's letters, digits, sometimes a variant suffix.
  // No hyphens or blanks: the catalogue program passes a typed type number to the search
  // as it is, where a hyphen would make it a range and a blank two words.
  p.type_number = kMakerPrefix[maker] + Num(1000 + rng.Below(99000)) +
                  (rng.Chance(30) ? "/" + Num(10 + rng.Below(90)) : "") +
                  (rng.Chance(15) ? std::string(1, static_cast<char>('A' + rng.Below(6))) : "");

  // El. numbers and EAN codes run through bijections of the product number, so they
  // never repeat (7919 and 104729 are prime to the moduli).
  const uint64_t el = 1000000 + (i * 7919 + seed * 31 + 4990427) % 9000000;
  const std::string el_digits = std::to_string(el);
  p.el_number = el_digits.substr(0, 2) + " " + el_digits.substr(2, 3) + " " + el_digits.substr(5, 2);
  if (rng.Chance(92)) {
    char body[16];
    std::snprintf(body, sizeof body, "57%010llu",
                  static_cast<unsigned long long>((i * 104729 + seed * 7 + 12345) % 10000000000ull));
    p.ean = std::string(body) + Ean13CheckDigit(body);
  }

  const uint32_t ore = static_cast<uint32_t>(fam.price_lo) +
                       rng.Below(static_cast<uint32_t>(fam.price_hi - fam.price_lo));
  const uint32_t rounded = ore - ore % 5;
  p.price = Num(rounded / 100) + "," + (rounded % 100 < 10 ? "0" : "") + Num(rounded % 100);

  if (rng.Chance(10)) {
    static const Strings round_codes = {"10", "20", "30", "40", "50", "NN"};
    p.discount = rng.Pick(round_codes);
  } else {
    const uint32_t groups = fam.discount_group[0] == 'V' || fam.discount_group[0] == 'T' ? 3 : 4;
    p.discount = std::string(fam.discount_group) + Num(1 + rng.Below(groups));
  }
  p.unit = fam.unit;
  return p;
}

std::string DemoSchemaJson() {
  return R"({
  "tables": ["VARER", "UDGÅEDE VARER", "KAMPAGNE"],
  "table_column": "Tabel",
  "encoding": "utf-8",
  "delimiter": "tab",
  "data_fields": [
    {"number": 100, "name": "Varetekst", "column": "Varetekst", "length": 60,
     "searchable": true, "sortable": true, "published": true, "exportable": true},
    {"number": 120, "name": "Typenr", "column": "Typenr", "length": 30,
     "searchable": true, "published": true, "exportable": true},
    {"number": 140, "name": "El.nr.", "column": "El.nr.", "length": 9,
     "searchable": true, "numeric": true, "int_digits": 7, "published": true, "exportable": true},
    {"number": 160, "name": "EAN", "column": "EAN", "length": 13,
     "searchable": true, "numeric": true, "int_digits": 13, "published": true},
    {"number": 180, "name": "Bruttopris", "column": "Bruttopris", "length": 10,
     "sortable": true, "numeric": true, "int_digits": 7, "frac_digits": 2,
     "published": true, "exportable": true},
    {"number": 190, "name": "Rabatkode", "column": "Rabatkode", "length": 2, "published": true},
    {"number": 200, "name": "Leverandør", "column": "Leverandør", "length": 30,
     "published": true, "exportable": true},
    {"number": 210, "name": "Enhed", "column": "Enhed", "length": 8, "published": true}
  ],
  "search_fields": [
    {"number": 100, "name": "Varetekst", "column": "Varetekst", "length": 60, "words": "word",
     "published": true, "exportable": true},
    {"reverse_of": 100, "name": "Varetekst baglæns"},
    {"number": 120, "name": "Typenr", "column": "Typenr", "length": 30, "words": "line",
     "published": true},
    {"number": 140, "name": "El.nr.", "column": "El.nr.", "length": 9, "words": "line",
     "kind": "numeric", "int_digits": 7, "published": true, "exportable": true},
    {"number": 160, "name": "EAN", "column": "EAN", "length": 13, "words": "line",
     "kind": "numeric", "int_digits": 13, "published": true}
  ],
  "sort_fields": [
    {"number": 100, "name": "Varetekst", "column": "Varetekst", "length": 60, "published": true},
    {"number": 180, "name": "Bruttopris", "column": "Bruttopris", "length": 10,
     "numeric": true, "int_digits": 7, "frac_digits": 2, "published": true, "exportable": true}
  ]
}
)";
}

bool WriteDemoCatalog(uint64_t count, uint64_t seed, const std::string& dir, std::string* table_path,
                      std::string* schema_path, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (!std::filesystem::is_directory(dir)) {
    *error = dir + ": cannot create the directory";
    return false;
  }
  *table_path = (std::filesystem::path(dir) / "products.tsv").string();
  *schema_path = (std::filesystem::path(dir) / "schema.json").string();
  {
    std::ofstream schema(*schema_path, std::ios::binary | std::ios::trunc);
    schema << DemoSchemaJson();
    if (!schema.flush()) {
      *error = *schema_path + ": cannot write";
      return false;
    }
  }
  std::FILE* out = std::fopen(table_path->c_str(), "wb");
  if (!out) {
    *error = *table_path + ": cannot create";
    return false;
  }
  std::setvbuf(out, nullptr, _IOFBF, 1 << 20);
  std::fputs("Tabel\tVaretekst\tTypenr\tEl.nr.\tEAN\tBruttopris\tRabatkode\tLeverandør\tEnhed\n", out);
  std::string line;
  for (uint64_t i = 0; i < count; ++i) {
    const DemoProduct p = MakeDemoProduct(i, seed);
    line = p.table + '\t' + p.text + '\t' + p.type_number + '\t' + p.el_number + '\t' + p.ean + '\t' +
           p.price + '\t' + p.discount + '\t' + p.maker + '\t' + p.unit + '\n';
    std::fwrite(line.data(), 1, line.size(), out);
  }
  const bool ok = std::fflush(out) == 0 && !std::ferror(out);
  if (std::fclose(out) != 0 || !ok) {
    *error = *table_path + ": write failed";
    return false;
  }
  return true;
}

}  // namespace lodex::build
