#include "DiscountCodes.h"

#include <QDir>

#include "Cp1252.h"
#include "Messages.h"
#include "NumberFormat.h"
#include "TextTable.h"

RabatKodeArray RabatKoder;

DiscountFileStatus RabatKodeArray::LoadFromFile(const QString& path) {
  QByteArray bytes;
  if (!ReadWholeFile(path, &bytes)) {
    entries_.clear();
    return DiscountFileStatus::ReadFailed;
  }
  return LoadFromBytes(bytes);
}

DiscountFileStatus RabatKodeArray::LoadFromBytes(const QByteArray& bytes) {
  entries_.clear();
  const QStringList lines = SplitLines(FromCp1252(bytes));
  // Line 0 is the heading.
  for (int i = 1; i < lines.size() && entries_.size() < kMaxDiscountCodes; ++i) {
    const QString& line = lines[i];
    if (!HasTabCount(line, 1)) return DiscountFileStatus::BadLine;
    const int tab = line.indexOf(QLatin1Char('\t'));
    RabatKodeEntry entry;
    entry.code = line.left(tab).left(2);
    double percent = 0.0;
    if (ToNumber(line.mid(tab + 1), &percent) && percent >= 0.0 && percent <= 100.0)
      entry.percent = percent;
    entries_.append(entry);
  }
  return DiscountFileStatus::Ok;
}

void RabatKodeArray::Reset() {
  entries_.clear();
  entries_.resize(kMaxDiscountCodes);
}

double RabatKodeArray::Percent(const QString& code) const {
  const QString wanted = code.trimmed();
  for (const RabatKodeEntry& entry : entries_)
    if (entry.code == wanted) return entry.percent;
  return 0.0;
}

QString DiscountFilePath(const QString& folder, const QString& name) {
  return folder + QString::fromLatin1(kDiscountFilePrefix) + name +
         QString::fromLatin1(kDiscountFileSuffix);
}

DiscountFileStatus LoadDiscountFile(const QString& path) {
  const DiscountFileStatus status = RabatKoder.LoadFromFile(path);
  switch (status) {
    case DiscountFileStatus::Ok:
      break;
    case DiscountFileStatus::ReadFailed:
      ShowMessage(MessageKind::Error, Text(TextId::FileUnreadable));
      RequestTermination();
      break;
    case DiscountFileStatus::BadLine:
      ShowMessage(MessageKind::Error,
                  Text(TextId::InvalidFileLine) + QLatin1Char(' ') + path + QLatin1Char(')'));
      RequestTermination();
      break;
  }
  return status;
}

QStringList DiscountFileNames(const QString& folder) {
  const QString prefix = QString::fromLatin1(kDiscountFilePrefix);
  const QString suffix = QString::fromLatin1(kDiscountFileSuffix);
  QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
  // The files in the order a Windows (NTFS) folder listing gives them: by name, ignoring
  // case. A Linux folder listing has no defined order (ext4 returns hash order), so the
  // order is asked for rather than taken from the listing.
  const QStringList files =
      dir.entryList({prefix + QLatin1Char('*') + suffix},
                    QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
  QStringList names;
  for (const QString& file : files)
    names.append(file.mid(prefix.size(), file.size() - prefix.size() - suffix.size()));
  return names;
}

double DiscountPercent(const QString& code) { return RabatKoder.Percent(code); }

double NetPrice(double amount, double percent) { return amount - amount / 100.0 * percent; }

QString LineAmount(const QString& quantity, const QString& price, bool* ok) {
  int count = 0;
  double unit = 0.0;
  const bool converted = ToInteger(quantity, &count) && ToNumber(price, &unit);
  if (ok) *ok = converted;
  return converted ? FormatGeneral(count * unit) : QString();
}

QString NetAmount(const QString& code, const QString& amount, bool* ok) {
  double a = 0.0;
  const bool converted = ToNumber(amount, &a);
  if (ok) *ok = converted;
  return converted ? FormatGeneral(NetPrice(a, DiscountPercent(code))) : QString();
}

bool HasTabCount(const QString& line, int n) { return line.count(QLatin1Char('\t')) == n; }
