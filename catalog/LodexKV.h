// TLodexKV: the program's one door to the data engine. Every engine call of the
// program goes through an object of this class, which passes the process's base and
// session numbers, converts texts between QString and the engine's Windows-1252 bytes,
// and, while ReportErrors is on, shows a dialog naming the failing call and its code.
#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <functional>

// The engine exports the program uses: the 20 the search window was built on, then the
// sort family and the schema flags the sorted grid and the details window need. The
// default table points at the linked library; tests hand in a table of stand-ins, in
// which the later members may be left null (the wrapper then answers
// ERROR_NotImplemented).
struct LodexExports {
  int32_t (*OpenBase)(const char* base_dir, const char* temp_dir, int32_t reserved);
  int32_t (*CreateSession)(int32_t base);
  int32_t (*DatafieldCount)(int32_t base);
  int32_t (*DatafieldNo)(int32_t base, int32_t field_index);
  const char* (*DatafieldName)(int32_t base, int32_t field_index);
  int32_t (*SearchfieldNo)(int32_t base, int32_t field_index);
  int32_t (*StoreBitmap)(int32_t session, int32_t slot);
  int32_t (*RestoreBitmap)(int32_t session, int32_t slot);
  int32_t (*AndBitmaps)(int32_t session, int32_t target, int32_t first, int32_t second);
  int32_t (*ClearBitmap)(int32_t session, int32_t slot);
  int32_t (*HitCount)(int32_t session);
  int32_t (*TableHitCount)(int32_t session, int32_t table);
  int32_t (*TableFirstHit)(int32_t session, int32_t table);
  int32_t (*SearchConditions)(int32_t session, int32_t field, const char* text, int32_t combine);
  int32_t (*Search)(int32_t session);
  const char* (*GetFieldData)(int32_t session, int32_t data_field_number);
  int32_t (*FetchRecord)(int32_t session, int32_t hit);
  int32_t (*LocateIndexWord)(int32_t session, int32_t field, const char* text, int32_t mode);
  int32_t (*IndexWordCount)(int32_t session, int32_t field);
  int32_t (*GetIndexWordsEx)(int32_t session, int32_t field, int32_t first, int32_t count,
                             int32_t mode, void* entries);
  // Sorting the hits by a sort field, and mapping hits to records and back.
  int32_t (*SortfieldIndex)(int32_t base, int32_t field_number) = nullptr;
  int32_t (*SortConditions)(int32_t session, int32_t sort_field_number, int32_t direction) = nullptr;
  int32_t (*Sort)(int32_t session) = nullptr;
  int32_t (*CancelSort)(int32_t session) = nullptr;
  int32_t (*BitfromHit)(int32_t session, int32_t slot, int32_t hit) = nullptr;
  int32_t (*HitfromBit)(int32_t session, int32_t slot, int32_t table, int32_t bit) = nullptr;
  int32_t (*BitmapentryFromListentry)(int32_t session, int32_t entry) = nullptr;
  int32_t (*ExclAllTables)(int32_t session) = nullptr;
  int32_t (*InclTable)(int32_t session, int32_t table) = nullptr;
  int32_t (*InclAllTables)(int32_t session) = nullptr;
  // Schema flags of a data field.
  int32_t (*DatafieldIsPublished)(int32_t base, int32_t field_index) = nullptr;
  int32_t (*DatafieldIsMultiline)(int32_t base, int32_t field_index) = nullptr;
};

// The exports of the Lodex32 library the program is linked with.
const LodexExports& LinkedLodexExports();

// One entry of an index-word page: the word's display form and the number the
// engine delivers with it (its posting count in mode 1).
struct TIndexWord {
  QString Word;
  int32_t Count = 0;
};

class TLodexKV {
 public:
  // Size of one entry of the engine's word-list buffers: 256 bytes of text, then a
  // 32-bit number.
  static constexpr int kWordEntrySize = 260;
  // Longest text argument the engine is given; longer texts are cut to it.
  static constexpr int kMaxTextBytes = 255;

  explicit TLodexKV(const LodexExports& api = LinkedLodexExports());

  // true: a negative result is shown in the error dialog. Cleared for good by
  // Cancel in that dialog.
  bool ReportErrors = true;

  // Shows the error dialog and answers true when the user chose Cancel. Replaceable
  // so that tests can answer without a window.
  std::function<bool(const QString& text)> ErrorDialog;

  int32_t OpenBase(const QString& base_dir, const QString& temp_dir, int32_t reserved);
  int32_t CreateSession(int32_t base);
  // Counts the data fields of the base this wrapper opened (0 when it opened none).
  int32_t DatafieldCount();
  int32_t DatafieldNo(int32_t base, int32_t field_index);
  QString DatafieldName(int32_t base, int32_t field_index);
  int32_t SearchfieldNo(int32_t base, int32_t field_index);
  int32_t StoreBitmap(int32_t session, int32_t slot);
  int32_t RestoreBitmap(int32_t session, int32_t slot);
  int32_t AndBitmaps(int32_t session, int32_t target, int16_t first, int16_t second);
  int32_t ClearBitmap(int32_t session, int32_t slot);
  int32_t HitCount(int32_t session);
  int32_t TableHitCount(int32_t session, int32_t table);
  // 0 without asking the engine for the table -1 (all tables) and table 0, whose
  // first hit is always hit 0.
  int32_t TableFirstHit(int32_t session, int32_t table);
  int32_t SearchConditions(int32_t session, int32_t field, const QString& text, uint8_t combine);
  int32_t Search(int32_t session);
  // The field's text in the last fetched record; "" when the engine has none.
  QString GetFieldData(int32_t session, int32_t data_field_number);
  int32_t FetchRecord(int32_t session, int32_t hit);
  // The ordinal of the first word at or after the text; "no such word" (-107) is
  // answered as 0, the first word, without a report.
  int32_t LocateIndexWord(int32_t session, int32_t field, const QString& text, uint8_t mode);
  int32_t IndexWordCount(int32_t session, int32_t field);
  // Lists up to count words from ordinal first into words and answers how many the
  // engine wrote. page_size is the caller's page length; the engine does not use it.
  int32_t GetIndexWordsEx(int32_t session, int32_t field, int32_t first, int32_t count,
                          uint8_t mode, QList<TIndexWord>& words, int32_t page_size);

  // Index of the sort field with that number; -1 when the base has none.
  int32_t SortfieldIndex(int32_t base, int32_t field_number);
  // direction: 0 ascending, 1 descending.
  int32_t SortConditions(int32_t session, int32_t sort_field_number, int32_t direction);
  int32_t Sort(int32_t session);
  // Back to bitmap order: hit k is the k-th hit again.
  int32_t CancelSort(int32_t session);
  // The base-wide record (bit) number of a hit in bitmap order, and back.
  int32_t BitfromHit(int32_t session, int32_t slot, int32_t hit);
  int32_t HitfromBit(int32_t session, int32_t slot, int32_t table, int32_t bit);
  // The record (bit) number of entry k of the sorted list.
  int32_t BitmapentryFromListentry(int32_t session, int32_t entry);
  int32_t ExclAllTables(int32_t session);
  int32_t InclTable(int32_t session, int32_t table);
  int32_t InclAllTables(int32_t session);
  bool DatafieldIsPublished(int32_t base, int32_t field_index);
  bool DatafieldIsMultiline(int32_t base, int32_t field_index);

  // "ERROR_BadSession" for -102, ..., "Unknown error" for codes the program does not know.
  static QString ErrorName(int32_t code);
  // The error dialog's message for a call label and a code.
  static QString ErrorText(const QString& label, int32_t code);
  static QString ErrorCaption();

  // Conversions at the engine boundary.
  static QByteArray ToEngineText(const QString& text);
  static QString FromEngineText(const char* text);

 private:
  int32_t Checked(const char* label, int32_t result);
  void ReportError(const char* label, int32_t code);

  const LodexExports& api_;
  int32_t opened_base_ = 0;
};
