// Discount codes: the table read from a discount-code file ("Rabattkod NAME.txt" in the
// catalogue folder), the percent of a code, and the price rules that apply it. Every net
// price and net amount in the program comes from NetPrice.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

inline constexpr int kMaxDiscountCodes = 350;
inline constexpr char kDiscountFilePrefix[] = "Rabattkod ";
inline constexpr char kDiscountFileSuffix[] = ".txt";
inline constexpr char kDefaultDiscountName[] = "Default";

struct RabatKodeEntry {
  QString code;          // at most 2 characters, blanks kept
  double percent = 0.0;  // 0 to 100
};

enum class DiscountFileStatus {
  Ok,          // the table holds the codes read
  ReadFailed,  // the file could not be opened or read
  BadLine,     // a code line without exactly one TAB; lines before it were kept
};

class RabatKodeArray {
 public:
  // Reads a discount-code file: a heading line, then up to 350 lines "code TAB percent"
  // with a comma as decimal separator. A percent that is empty, not a number or
  // outside 0..100 counts as 0. Lines past the 350th are ignored.
  DiscountFileStatus LoadFromFile(const QString& path);
  DiscountFileStatus LoadFromBytes(const QByteArray& bytes);
  // Gives the table 350 empty entries (its state before every load).
  void Reset();
  // Percent of the first entry whose code equals the trimmed code, case-sensitively,
  // or 0 when none does.
  double Percent(const QString& code) const;
  int Count() const { return entries_.size(); }
  const RabatKodeEntry& At(int i) const { return entries_.at(i); }

 private:
  QVector<RabatKodeEntry> entries_;
};

// The process's discount-code table: the file selected in the search window, whose
// codes both windows' net prices use.
extern RabatKodeArray RabatKoder;

// folder + "Rabattkod " + name + ".txt".
QString DiscountFilePath(const QString& folder, const QString& name);
// Fills RabatKoder from the file. An unreadable file shows the text FileUnreadable, a
// malformed line InvalidFileLine + " " + path + ")"; both then ask the program to end.
// Answers the status.
DiscountFileStatus LoadDiscountFile(const QString& path);
// The selector names of the discount-code files in folder ("Rabattkod X.txt" gives
// "X"), sorted by name.
QStringList DiscountFileNames(const QString& folder);

// The percent of code in RabatKoder.
double DiscountPercent(const QString& code);
// The price rule: amount less percent per cent of it.
double NetPrice(double amount, double percent);
// quantity (whole number) x price, in the general number format. Sets *ok to false and
// answers an empty text when either does not convert.
QString LineAmount(const QString& quantity, const QString& price, bool* ok = nullptr);
// NetPrice(amount, DiscountPercent(code)), in the general number format.
QString NetAmount(const QString& code, const QString& amount, bool* ok = nullptr);
// True when the line holds exactly n TAB characters.
bool HasTabCount(const QString& line, int n);
