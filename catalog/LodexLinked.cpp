// The export table of the Lodex32 library the program is linked with. Kept apart
// from the wrapper so that tests can run the wrapper on stand-ins without the library.
#include "LodexKV.h"
#include "lodex32.h"

const LodexExports& LinkedLodexExports() {
  static const LodexExports exports = {
      APIOpenBase,      APICreateSession,    APIDatafieldCount, APIDatafieldNo,
      APIDatafieldName, APISearchfieldNo,    APIStoreBitmap,    APIRestoreBitmap,
      APIAndBitmaps,    APIClearBitmap,      APIHitCount,       APITableHitCount,
      APITableFirstHit, APISearchConditions, APISearch,         APIGetFieldData,
      APIFetchRecord,   APILocateIndexWord,  APIIndexWordCount, APIGetIndexWordsEx,
      APISortfieldIndex, APISortConditions, APISort, APICancelSort, APIBitfromHit,
      APIHitfromBit, APIBitmapentryFromListentry, APIExclAllTables, APIInclTable,
      APIInclAllTables, APIDatafieldIsPublished, APIDatafieldIsMultiline,
  };
  return exports;
}
