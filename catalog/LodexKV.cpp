#include "LodexKV.h"

#include <QMessageBox>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cstring>
#include <vector>

#include "lodex32_errors.h"

namespace {

bool AskCancelInDialog(const QString& text) {
  const auto answer = QMessageBox::critical(nullptr, TLodexKV::ErrorCaption(), text,
                                            QMessageBox::Ok | QMessageBox::Cancel);
  return answer == QMessageBox::Cancel;
}

}  // namespace

TLodexKV::TLodexKV(const LodexExports& api) : ErrorDialog(AskCancelInDialog), api_(api) {}

QByteArray TLodexKV::ToEngineText(const QString& text) {
  thread_local QStringEncoder encoder("windows-1252", QStringConverter::Flag::Stateless);
  QByteArray bytes = encoder.encode(text);
  // A NUL would end the text early on the engine's side; the fixed buffers hold 255.
  const qsizetype nul = bytes.indexOf('\0');
  if (nul >= 0) bytes.truncate(nul);
  if (bytes.size() > kMaxTextBytes) bytes.truncate(kMaxTextBytes);
  return bytes;
}

QString TLodexKV::FromEngineText(const char* text) {
  if (text == nullptr) return QString();
  thread_local QStringDecoder decoder("windows-1252", QStringConverter::Flag::Stateless);
  return decoder.decode(QByteArrayView(text, static_cast<qsizetype>(std::strlen(text))));
}

// The program names the 27 codes of the engine's first interface; any other code is
// "Unknown error".
QString TLodexKV::ErrorName(int32_t code) {
  const Lodex32ErrorInfo* error = Lodex32FindError(code);
  if (error == nullptr || !error->first_interface) return QStringLiteral("Unknown error");
  return QString::fromLatin1(error->name);
}

QString TLodexKV::ErrorText(const QString& label, int32_t code) {
  return QStringLiteral("Function \"") + label + QStringLiteral("\" returned (") +
         QString::number(code) + QStringLiteral(") : ") + ErrorName(code) +
         QStringLiteral("\r\n\r\nSelect OK to continue reporting errors, or CANCEL to stop");
}

QString TLodexKV::ErrorCaption() { return QStringLiteral("Warning: Lodex32 returned an error"); }

void TLodexKV::ReportError(const char* label, int32_t code) {
  if (!ReportErrors) return;
  if (ErrorDialog && ErrorDialog(ErrorText(QString::fromLatin1(label), code))) ReportErrors = false;
}

int32_t TLodexKV::Checked(const char* label, int32_t result) {
  if (result < 0) ReportError(label, result);
  return result;
}

int32_t TLodexKV::OpenBase(const QString& base_dir, const QString& temp_dir, int32_t reserved) {
  const int32_t result = Checked(
      "OpenBase",
      api_.OpenBase(ToEngineText(base_dir).constData(), ToEngineText(temp_dir).constData(), reserved));
  if (result >= 0) opened_base_ = result;
  return result;
}

int32_t TLodexKV::CreateSession(int32_t base) {
  return Checked("CreateSession", api_.CreateSession(base));
}

int32_t TLodexKV::DatafieldCount() {
  return Checked("DatafieldCount", api_.DatafieldCount(opened_base_));
}

int32_t TLodexKV::DatafieldNo(int32_t base, int32_t field_index) {
  return Checked("DatafieldNo", api_.DatafieldNo(base, field_index));
}

QString TLodexKV::DatafieldName(int32_t base, int32_t field_index) {
  return FromEngineText(api_.DatafieldName(base, field_index));
}

int32_t TLodexKV::SearchfieldNo(int32_t base, int32_t field_index) {
  return Checked("SearchfieldNo", api_.SearchfieldNo(base, field_index));
}

int32_t TLodexKV::StoreBitmap(int32_t session, int32_t slot) {
  return Checked("StoreBitmap", api_.StoreBitmap(session, slot));
}

int32_t TLodexKV::RestoreBitmap(int32_t session, int32_t slot) {
  return Checked("Restorebitmap", api_.RestoreBitmap(session, slot));
}

int32_t TLodexKV::AndBitmaps(int32_t session, int32_t target, int16_t first, int16_t second) {
  return Checked("AndBitmaps", api_.AndBitmaps(session, target, first, second));
}

int32_t TLodexKV::ClearBitmap(int32_t session, int32_t slot) {
  return Checked("ClearBitmap", api_.ClearBitmap(session, slot));
}

int32_t TLodexKV::HitCount(int32_t session) {
  return Checked("HitCount", api_.HitCount(session));
}

int32_t TLodexKV::TableHitCount(int32_t session, int32_t table) {
  return Checked("TableHitcount", api_.TableHitCount(session, table));
}

int32_t TLodexKV::TableFirstHit(int32_t session, int32_t table) {
  if (table == -1 || table == 0) return 0;
  return Checked("TableFirstHit", api_.TableFirstHit(session, table));
}

int32_t TLodexKV::SearchConditions(int32_t session, int32_t field, const QString& text,
                                   uint8_t combine) {
  return Checked("SearchConditions",
                 api_.SearchConditions(session, field, ToEngineText(text).constData(), combine));
}

int32_t TLodexKV::Search(int32_t session) { return Checked("Search", api_.Search(session)); }

QString TLodexKV::GetFieldData(int32_t session, int32_t data_field_number) {
  return FromEngineText(api_.GetFieldData(session, data_field_number));
}

int32_t TLodexKV::FetchRecord(int32_t session, int32_t hit) {
  return Checked("FetchRecord", api_.FetchRecord(session, hit));
}

int32_t TLodexKV::LocateIndexWord(int32_t session, int32_t field, const QString& text,
                                  uint8_t mode) {
  const int32_t result =
      api_.LocateIndexWord(session, field, ToEngineText(text).constData(), mode);
  if (result == ERROR_BadToken) return 0;
  return Checked("LocateIndexWord", result);
}

int32_t TLodexKV::IndexWordCount(int32_t session, int32_t field) {
  return Checked("IndexWordCount", api_.IndexWordCount(session, field));
}

int32_t TLodexKV::GetIndexWordsEx(int32_t session, int32_t field, int32_t first, int32_t count,
                                  uint8_t mode, QList<TIndexWord>& words, int32_t page_size) {
  (void)page_size;
  words.clear();
  // The buffer is sized for the count asked, so a long page can never overrun it.
  std::vector<char> buffer(static_cast<size_t>(count > 0 ? count : 0) * kWordEntrySize + 1, 0);
  const int32_t written =
      Checked("GetindexWordsEx",
              api_.GetIndexWordsEx(session, field, first, count, mode, buffer.data()));
  const int32_t usable = written < count ? written : count;
  for (int32_t i = 0; i < usable; ++i) {
    const char* entry = buffer.data() + static_cast<size_t>(i) * kWordEntrySize;
    char word[257];
    std::memcpy(word, entry, 256);
    word[256] = '\0';  // an entry without its NUL is cut at 256 bytes
    int32_t number;
    std::memcpy(&number, entry + 256, sizeof number);
    words.append(TIndexWord{FromEngineText(word), number});
  }
  return written;
}

// The later exports may be missing from a stand-in table; a missing one answers
// ERROR_NotImplemented like an engine that lacks it.
#define LODEX_CALL(member, ...) (api_.member ? api_.member(__VA_ARGS__) : ERROR_NotImplemented)

int32_t TLodexKV::SortfieldIndex(int32_t base, int32_t field_number) {
  // -1 is the answer for "no sort field has that number", not an error.
  const int32_t result = LODEX_CALL(SortfieldIndex, base, field_number);
  return result == -1 ? -1 : Checked("SortfieldIndex", result);
}

int32_t TLodexKV::SortConditions(int32_t session, int32_t sort_field_number, int32_t direction) {
  return Checked("SortConditions", LODEX_CALL(SortConditions, session, sort_field_number, direction));
}

int32_t TLodexKV::Sort(int32_t session) { return Checked("Sort", LODEX_CALL(Sort, session)); }

int32_t TLodexKV::CancelSort(int32_t session) {
  return Checked("CancelSort", LODEX_CALL(CancelSort, session));
}

int32_t TLodexKV::BitfromHit(int32_t session, int32_t slot, int32_t hit) {
  return Checked("BitfromHit", LODEX_CALL(BitfromHit, session, slot, hit));
}

int32_t TLodexKV::HitfromBit(int32_t session, int32_t slot, int32_t table, int32_t bit) {
  return Checked("HitfromBit", LODEX_CALL(HitfromBit, session, slot, table, bit));
}

int32_t TLodexKV::BitmapentryFromListentry(int32_t session, int32_t entry) {
  return Checked("BitmapentryFromListentry", LODEX_CALL(BitmapentryFromListentry, session, entry));
}

int32_t TLodexKV::ExclAllTables(int32_t session) {
  return Checked("ExclAllTables", LODEX_CALL(ExclAllTables, session));
}

int32_t TLodexKV::InclTable(int32_t session, int32_t table) {
  return Checked("InclTable", LODEX_CALL(InclTable, session, table));
}

int32_t TLodexKV::InclAllTables(int32_t session) {
  return Checked("InclAllTables", LODEX_CALL(InclAllTables, session));
}

bool TLodexKV::DatafieldIsPublished(int32_t base, int32_t field_index) {
  return Checked("DatafieldIsPublished", LODEX_CALL(DatafieldIsPublished, base, field_index)) > 0;
}

bool TLodexKV::DatafieldIsMultiline(int32_t base, int32_t field_index) {
  return Checked("DatafieldIsMultiline", LODEX_CALL(DatafieldIsMultiline, base, field_index)) > 0;
}

#undef LODEX_CALL
