#include "UnitKVDiverse.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cmath>

FolderSettings Folders;
std::unique_ptr<TTextTable> TextTable;
CatalogImages Images;
RabatKodeArray RabatKoder;

namespace {

QString g_settings_file;
MessageHandler g_message_handler;
QuestionHandler g_question_handler;
bool g_termination_requested = false;
int g_termination_code = 0;

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const QString& path, QByteArray* bytes) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  *bytes = file.readAll();
  return file.error() == QFileDevice::NoError;
}

}  // namespace

// ---------------------------------------------------------------------------------
// Folder settings

void SetSettingsFile(const QString& path) { g_settings_file = path; }

QString SettingsLocation() { return OpenSettingsStore()->fileName(); }

std::unique_ptr<QSettings> OpenSettingsStore() {
  if (!g_settings_file.isEmpty())
    return std::make_unique<QSettings>(g_settings_file, QSettings::IniFormat);
#ifdef Q_OS_WIN
  // The values sit in a key of their own directly under HKEY_CLASSES_ROOT.
  return std::make_unique<QSettings>(QStringLiteral("HKEY_CLASSES_ROOT"),
                                     QSettings::NativeFormat);
#else
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                     QStringLiteral("Tremora"),
                                     QStringLiteral("TremoraElectronic"));
#endif
}

void LoadSettings(QSettings& store) {
  store.beginGroup(QString::fromLatin1(kSettingsKey));
  auto read = [&store](const char* name) {
    return store.value(QString::fromLatin1(name), QString()).toString();
  };
  Folders.CdFolder = read("CDdrev");
  Folders.BmpFolder = read("BMPS");
  Folders.BaseFolder = read("BASE");
  Folders.TempFolder = read("TEMP");
  store.endGroup();
}

QString ImagePath(const QString& fileName) {
  return Folders.CdFolder + Folders.BmpFolder + fileName;
}

// ---------------------------------------------------------------------------------
// Text table

bool TTextTable::LoadFromFile(const QString& path) {
  QByteArray bytes;
  if (!ReadWholeFile(path, &bytes)) return false;
  LoadFromBytes(bytes);
  return true;
}

void TTextTable::LoadFromBytes(const QByteArray& bytes) {
  texts_.clear();
  // The first four characters of each line number it for the translator's benefit.
  for (const QString& line : SplitLines(FromCp1252(bytes))) texts_.append(line.mid(4));
}

QString TTextTable::Text(int n, const QString& fallback) const {
  return Has(n) ? texts_.at(n) : fallback;
}

QString LoadTextTable(const QString& dataFolder) {
  auto table = std::make_unique<TTextTable>();
  QStringList candidates{QString::fromLatin1(kTextTableFile)};
  if (!dataFolder.isEmpty()) candidates.append(dataFolder + QString::fromLatin1(kTextTableFile));
  for (const QString& path : candidates) {
    if (table->LoadFromFile(path)) {
      TextTable = std::move(table);
      return QFileInfo(path).absoluteFilePath();
    }
  }
  TextTable.reset();
  return QString();
}

void FreeTextTable() { TextTable.reset(); }

QString Text(int n, const QString& fallback) {
  return TextTable ? TextTable->Text(n, fallback) : fallback;
}

// ---------------------------------------------------------------------------------
// Images

QStringList ImageFileNames() {
  return {QStringLiteral("DesLogo.bmp"), QStringLiteral("BG.Bmp"),
          QStringLiteral("Dok.bmp"),     QStringLiteral("Dok_minus.bmp"),
          QStringLiteral("MBlaa.bmp"),   QStringLiteral("LBlaa.bmp")};
}

bool TCatalogImage::load(const QString& path) {
  auto pixmap = std::make_shared<QPixmap>();
  if (!pixmap->load(path)) return false;
  pixmap_ = std::move(pixmap);
  return true;
}

bool LoadImages(QString* failedPath) {
  TCatalogImage* targets[] = {&Images.DesLogo, &Images.BG,    &Images.Dok,
                        &Images.DokMinus, &Images.MBlaa, &Images.LBlaa};
  const QStringList names = ImageFileNames();
  for (int i = 0; i < names.size(); ++i) {
    const QString path = ImagePath(names[i]);
    if (!targets[i]->load(path)) {
      if (failedPath) *failedPath = path;
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------
// Discount codes

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

QString DiscountFilePath(const QString& name) {
  return Folders.CdFolder + QString::fromLatin1(kDiscountFilePrefix) + name +
         QString::fromLatin1(kDiscountFileSuffix);
}

DiscountFileStatus LoadDiscountFile(const QString& path) {
  const DiscountFileStatus status = RabatKoder.LoadFromFile(path);
  switch (status) {
    case DiscountFileStatus::Ok:
      break;
    case DiscountFileStatus::ReadFailed:
      ShowMessage(MessageKind::Error, Text(65));
      RequestTermination();
      break;
    case DiscountFileStatus::BadLine:
      ShowMessage(MessageKind::Error, Text(64) + QLatin1Char(' ') + path + QLatin1Char(')'));
      RequestTermination();
      break;
  }
  return status;
}

QStringList DiscountFileNames(const QString& folder) {
  const QString prefix = QString::fromLatin1(kDiscountFilePrefix);
  const QString suffix = QString::fromLatin1(kDiscountFileSuffix);
  QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
  const QStringList files =
      dir.entryList({prefix + QLatin1Char('*') + suffix},
                    QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  QStringList names;
  for (const QString& file : files)
    names.append(file.mid(prefix.size(), file.size() - prefix.size() - suffix.size()));
  return names;
}

double DiscountPercent(const QString& code) { return RabatKoder.Percent(code); }

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
  return converted ? FormatGeneral(a - a / 100.0 * DiscountPercent(code)) : QString();
}

bool HasTabCount(const QString& line, int n) { return line.count(QLatin1Char('\t')) == n; }

// ---------------------------------------------------------------------------------
// Numbers

QLocale NumberLocale() {
  QLocale locale(QLocale::Danish, QLocale::Denmark);
  locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
  return locale;
}

void UseCommaDecimalSeparator() { QLocale::setDefault(NumberLocale()); }

bool ToNumber(const QString& text, double* value) {
  bool ok = false;
  const double v = NumberLocale().toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

bool ToInteger(const QString& text, int* value) {
  bool ok = false;
  const int v = NumberLocale().toInt(text.trimmed(), &ok);
  if (!ok) return false;
  *value = v;
  return true;
}

QString FormatFixed2(double value) { return NumberLocale().toString(value, 'f', 2); }

QString FormatGeneral(double value) { return NumberLocale().toString(value, 'g', 15); }

// ---------------------------------------------------------------------------------
// Encoding

QString FromCp1252(const QByteArray& bytes) {
  QStringDecoder decoder("windows-1252");
  if (!decoder.isValid()) return QString::fromLatin1(bytes);
  return decoder.decode(bytes);
}

QByteArray ToCp1252(const QString& text) {
  QStringEncoder encoder("windows-1252");
  if (!encoder.isValid()) return text.toLatin1();
  return encoder.encode(text);
}

QStringList SplitLines(const QString& text) {
  QStringList lines;
  QString current;
  bool open = false;  // a line has started and not been ended by a break
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
      lines.append(current);
      current.clear();
      open = false;
      if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
        ++i;
    } else {
      current.append(c);
      open = true;
    }
  }
  if (open) lines.append(current);
  return lines;
}

// ---------------------------------------------------------------------------------
// Messages and ending

void SetMessageHandler(MessageHandler handler) { g_message_handler = std::move(handler); }
void SetQuestionHandler(QuestionHandler handler) { g_question_handler = std::move(handler); }

void ShowMessage(MessageKind kind, const QString& text) {
  if (g_message_handler) {
    g_message_handler(kind, text);
    return;
  }
  const QString title = QString::fromLatin1(kApplicationTitle);
  switch (kind) {
    case MessageKind::Information: QMessageBox::information(nullptr, title, text); break;
    case MessageKind::Warning: QMessageBox::warning(nullptr, title, text); break;
    case MessageKind::Error: QMessageBox::critical(nullptr, title, text); break;
  }
}

bool AskYesNo(const QString& text) {
  if (g_question_handler) return g_question_handler(text);
  return QMessageBox::question(nullptr, QString::fromLatin1(kApplicationTitle), text,
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void RequestTermination(int exitCode) {
  if (!g_termination_requested) g_termination_code = exitCode;
  g_termination_requested = true;
  QCoreApplication::exit(g_termination_code);  // no effect before the event loop runs
}

bool TerminationRequested() { return g_termination_requested; }
int TerminationExitCode() { return g_termination_code; }

void ClearTerminationRequest() {
  g_termination_requested = false;
  g_termination_code = 0;
}
