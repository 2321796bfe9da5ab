/* Lodex32: the catalogue data engine's C interface.

   A host opens a database directory (a base) with APIOpenBaseEx, creates one or more
   sessions on it and then searches, counts, sorts and fetches records through the
   functions below. Every integer result >= 0 is an answer; a negative one is an error
   code (lodex32_errors.h lists them with their names).

   Integers are 32 bits, texts are NUL-terminated Windows-1252 bytes, and the Tablemap
   queries answer a pointer-sized integer because a 64-bit address does not fit 32 bits.

   APIUncancelSort is exported under the decorated name "?APIUncancelSort@@YAJJ@Z" on
   Windows (see Lodex32.def). ELF linkers read "@@" inside a symbol name as a symbol
   version, so on Linux and other ELF systems it is exported plainly as APIUncancelSort. */
#ifndef LODEX32_H
#define LODEX32_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(LODEX32_BUILDING)
#    define LODEX_API __declspec(dllexport)
#  elif defined(LODEX32_STATIC)  /* linked with the static lodex_engine */
#    define LODEX_API
#  else
#    define LODEX_API __declspec(dllimport)
#  endif
#else
#  define LODEX_API __attribute__((visibility("default")))
#endif

/* APIUncancelSort: on Windows only Lodex32.def exports it, under its decorated name, so
   Windows callers bind it by that name (GetProcAddress). */
#if defined(_WIN32)
#  define LODEX_API_DECORATED
#else
#  define LODEX_API_DECORATED LODEX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Installs the function the engine calls where it reads the Escape key's state:
   non-zero means pressed since the previous call. NULL removes it. */
LODEX_API void LodexSetEscapeProbe(int32_t (*probe)(void));

/* Base and session (7) */
LODEX_API int32_t APIOpenBase(const char* base_dir, const char* temp_dir, int32_t reserved);
LODEX_API int32_t APIOpenBaseEx(const char* base_dir, const char* alt_dir, const char* temp_dir, int32_t reserved);
LODEX_API int32_t APICloseBase(int32_t base);
LODEX_API int32_t APICreateSession(int32_t base);
LODEX_API int32_t APICopySession(int32_t ignored);
LODEX_API int32_t APICancelSession(int32_t session);
LODEX_API int32_t APIDestroySession(int32_t session);

/* Schema (53) */
LODEX_API int32_t APINameToNumber(int32_t base, const char* name, int32_t kind);
LODEX_API int32_t APITableCount(int32_t base);
LODEX_API int32_t APITableRecordCount(int32_t base, int32_t table);
LODEX_API const char* APITableName(int32_t base, int32_t table);
LODEX_API int32_t APIRecordCount(int32_t base);
LODEX_API int32_t APIDatafieldCount(int32_t base);
LODEX_API int32_t APIDatafieldExportableCount(int32_t base);
LODEX_API int32_t APIDatafieldFracDigits(int32_t base, int32_t field_index);
LODEX_API int32_t APIDatafieldInTable(int32_t base, int32_t field_index, int32_t table);
LODEX_API int32_t APIDatafieldIndex(int32_t base, int32_t field_number);
LODEX_API int32_t APIDatafieldIntDigits(int32_t base, int32_t field_index);
LODEX_API int32_t APIDatafieldIsExportable(int32_t base, int32_t field_index);
LODEX_API int32_t APIDatafieldIsMultiline(int32_t base, int32_t field_index);
LODEX_API int32_t APIDatafieldIsNumeric(int32_t base, int32_t field_index);
LODEX_API int32_t APIDatafieldIsPublished(int32_t base, int32_t field_index);
LODEX_API int32_t APIDatafieldIsSearchable(int32_t base, int32_t field_index);
LODEX_API int32_t APIDatafieldIsSortable(int32_t base, int32_t field_index);
LODEX_API int32_t APIDatafieldLength(int32_t base, int32_t field_index);
LODEX_API const char* APIDatafieldName(int32_t base, int32_t field_index);
LODEX_API int32_t APIDatafieldNo(int32_t base, int32_t field_index);
LODEX_API int32_t APIDatafieldNotInBase(int32_t base, int32_t field_index);
LODEX_API int32_t APIDatafieldPublishedCount(int32_t base);
LODEX_API intptr_t APIDatafieldTablemap(int32_t base, int32_t field_index);  /* address of 8 uint32 */
LODEX_API int32_t APISearchfieldCount(int32_t base);
LODEX_API int32_t APISearchfieldExportableCount(int32_t base);
LODEX_API int32_t APISearchfieldFracDigits(int32_t base, int32_t field_index);
LODEX_API int32_t APISearchfieldInTable(int32_t base, int32_t field_index, int32_t table);
LODEX_API int32_t APISearchfieldIndex(int32_t base, int32_t field_number);
LODEX_API int32_t APISearchfieldIntDigits(int32_t base, int32_t field_index);
LODEX_API int32_t APISearchfieldIsByLine(int32_t base, int32_t field_index);
LODEX_API int32_t APISearchfieldIsByWord(int32_t base, int32_t field_index);
LODEX_API int32_t APISearchfieldIsExportable(int32_t base, int32_t field_index);
LODEX_API int32_t APISearchfieldIsNumeric(int32_t base, int32_t field_index);
LODEX_API int32_t APISearchfieldIsPublished(int32_t base, int32_t field_index);
LODEX_API int32_t APISearchfieldLength(int32_t base, int32_t field_index);
LODEX_API const char* APISearchfieldName(int32_t base, int32_t field_index);
LODEX_API int32_t APISearchfieldNo(int32_t base, int32_t field_index);
LODEX_API int32_t APISearchfieldPublishedCount(int32_t base);
LODEX_API intptr_t APISearchfieldTablemap(int32_t base, int32_t field_index);  /* address of 8 uint32 */
LODEX_API int32_t APISortfieldCount(int32_t base);
LODEX_API int32_t APISortfieldExportableCount(int32_t base);
LODEX_API int32_t APISortfieldFracDigits(int32_t base, int32_t field_index);
LODEX_API int32_t APISortfieldInTable(int32_t base, int32_t field_index, int32_t table);
LODEX_API int32_t APISortfieldIndex(int32_t base, int32_t field_number);
LODEX_API int32_t APISortfieldIntDigits(int32_t base, int32_t field_index);
LODEX_API int32_t APISortfieldIsExportable(int32_t base, int32_t field_index);
LODEX_API int32_t APISortfieldIsNumeric(int32_t base, int32_t field_index);
LODEX_API int32_t APISortfieldIsPublished(int32_t base, int32_t field_index);
LODEX_API int32_t APISortfieldLength(int32_t base, int32_t field_index);
LODEX_API const char* APISortfieldName(int32_t base, int32_t field_index);
LODEX_API int32_t APISortfieldNo(int32_t base, int32_t field_index);
LODEX_API int32_t APISortfieldPublishedCount(int32_t base);
LODEX_API intptr_t APISortfieldTablemap(int32_t base, int32_t field_index);  /* address of 8 uint32 */

/* Records (8) */
LODEX_API int32_t APIFetchRecord(int32_t session, int32_t hit);
LODEX_API int32_t APIFetchRecordOptimized(int32_t session, int32_t hit);
LODEX_API int32_t APIFetchRecordByPtr(int32_t session, int32_t record_ptr);
LODEX_API int32_t APIGetCurrentRecordPtr(int32_t session);
LODEX_API const char* APIGetFieldData(int32_t session, int32_t data_field_number);
LODEX_API int32_t APIMappingCachePolitics(int32_t session, int32_t before, int32_t after);
LODEX_API int32_t APIMappingCacheHit(int32_t session);
LODEX_API int32_t APIMappingCacheMiss(int32_t session);

/* Bitmaps and tables (28) */
LODEX_API int32_t APIMemStoreBitmap(int32_t session);
LODEX_API int32_t APIMemRestoreBitmap(int32_t session);
LODEX_API int32_t APIStoreBitmap(int32_t session, int32_t slot);
LODEX_API int32_t APIRestoreBitmap(int32_t session, int32_t slot);
LODEX_API int32_t APISaveBitmap(int32_t session, const char* path);
LODEX_API int32_t APILoadBitmap(int32_t session, const char* path);
LODEX_API int32_t APIAndBitmaps(int32_t session, int32_t target, int32_t first, int32_t second);
LODEX_API int32_t APIOrBitmaps(int32_t session, int32_t target, int32_t first, int32_t second);
LODEX_API int32_t APIAndNotBitmaps(int32_t session, int32_t target, int32_t first, int32_t second);
LODEX_API int32_t APIClearBitmap(int32_t session, int32_t slot);
LODEX_API int32_t APIClearAllBitmap(int32_t session);
LODEX_API int32_t APIFillBitmap(int32_t session, int32_t slot);
LODEX_API int32_t APISetBit(int32_t session, int32_t slot, int32_t table, int32_t record);
LODEX_API int32_t APIBitSet(int32_t session, int32_t slot, int32_t table, int32_t record);
LODEX_API int32_t APIClearBit(int32_t session, int32_t slot, int32_t table, int32_t record);
LODEX_API int32_t APISetHitbit(int32_t session, int32_t slot, int32_t hit);
LODEX_API int32_t APIBitfromHit(int32_t session, int32_t slot, int32_t hit);
LODEX_API int32_t APIHitfromBit(int32_t session, int32_t slot, int32_t table, int32_t bit);
LODEX_API int32_t APIBitmapentryFromListentry(int32_t session, int32_t entry);
LODEX_API int32_t APIIsRecordInBitmap(int32_t session, int32_t slot, int32_t bit);
LODEX_API int32_t APIHitCount(int32_t session);
LODEX_API int32_t APITableHitCount(int32_t session, int32_t table);
LODEX_API int32_t APITableFirstHit(int32_t session, int32_t table);
LODEX_API int32_t APITableFirstBit(int32_t session, int32_t table);
LODEX_API int32_t APIInclTable(int32_t session, int32_t table);
LODEX_API int32_t APIExclTable(int32_t session, int32_t table);
LODEX_API int32_t APIInclAllTables(int32_t session);
LODEX_API int32_t APIExclAllTables(int32_t session);

/* Search (3) */
LODEX_API int32_t APISearch(int32_t session);
LODEX_API int32_t APISearchConditions(int32_t session, int32_t search_field_number, const char* text, int32_t combine);
LODEX_API int32_t APISearchExact(int32_t session, int32_t flag);

/* Index words (7) */
LODEX_API int32_t APIIndexWordCount(int32_t session, int32_t search_field_number);
LODEX_API int32_t APILocateIndexWord(int32_t session, int32_t search_field_number, const char* text, int32_t mode);
LODEX_API int32_t APIGetIndexWords(int32_t session, int32_t search_field_number, const char* text, int32_t count, int32_t mode, void* entries);
LODEX_API int32_t APIGetIndexWordsEx(int32_t session, int32_t search_field_number, int32_t first, int32_t count, int32_t mode, void* entries);
LODEX_API int32_t APIHearYeTheIndexWordsOfTheLord(int32_t session, int32_t search_field_number, const char* text, int32_t count, int32_t mode, void* entries);
LODEX_API int32_t APIFilteredIndexWordCount(int32_t session, int32_t search_field_number);
LODEX_API int32_t APIGetFilteredIndexWords(int32_t session, int32_t search_field_number, int32_t count, void* entries);

/* Sorting (5) */
LODEX_API int32_t APISortConditions(int32_t session, int32_t sort_field_number, int32_t direction);
LODEX_API int32_t APISort(int32_t session);
LODEX_API int32_t APIUnSortBitmap(int32_t session, int32_t slot);
LODEX_API int32_t APICancelSort(int32_t session);
LODEX_API_DECORATED int32_t APIUncancelSort(int32_t session);

#ifdef __cplusplus
}
#endif

#endif /* LODEX32_H */
