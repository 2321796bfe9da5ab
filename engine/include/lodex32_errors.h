/* Lodex32: the error and fault codes the C interface answers, with their names.

   Every integer result >= 0 is an answer; a negative one is one of the codes below.
   The ERROR_ codes say what was wrong with the call or the base; the FAULT_ codes are
   what a guarded export answers when something inside it failed unexpectedly (one code
   per export family, all at or below -900, plus -1 from opening and closing a base).

   Lodex32FindError() looks a code up in the one table of names: the name hosts show
   ("ERROR_BadBase"), a short text for users ("no such base"), and whether the code
   belongs to the first interface. Hosts written for the first interface name only
   those 27 codes and show every other code as "Unknown error". */
#ifndef LODEX32_ERRORS_H
#define LODEX32_ERRORS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum Lodex32Error {
  ERROR_BadNumber = -100,
  ERROR_BadBase = -101,
  ERROR_BadSession = -102,
  ERROR_BadField = -103,
  ERROR_BadRecord = -104,
  ERROR_BadTable = -105,
  ERROR_BadBitmap = -106,
  ERROR_BadToken = -107,
  ERROR_BadBit = -108,
  ERROR_BadName = -109,
  ERROR_BadOperationScene = -120,
  ERROR_BadKind = -130,
  ERROR_FileOpen = -200,
  ERROR_FileClose = -201,
  ERROR_FileRead = -202,
  ERROR_FileWrite = -203,
  ERROR_FileSeek = -204,
  ERROR_OpenMetaFile = -300,
  ERROR_OpenDataFile = -301,
  ERROR_OpenMappingFile = -302,
  ERROR_OpenIndex1File = -303,
  ERROR_OpenIndex2File = -304,
  ERROR_OpenPostFile = -305,
  ERROR_OpenSortFile = -306,
  ERROR_CreateListFile = -307,
  ERROR_CreateDebugFile = -308,
  ERROR_OpenCharfreqFile = -310,
  ERROR_OpenWordfreqFile = -311,
  ERROR_NotImplemented = -400,
  ERROR_Userbreak = -401,
  ERROR_BadMetaFile = -402,
  ERROR_NewerMetaFile = -403
};

enum Lodex32Fault {
  FAULT_OpenClose = -1,
  FAULT_FetchRecord = -980,
  FAULT_MemStoreBitmap = -981,
  FAULT_AndBitmaps = -982,
  FAULT_OrBitmaps = -983,
  FAULT_ExclAllTables = -985,
  FAULT_InclAllTables = -986,
  FAULT_ExclTable = -987,
  FAULT_InclTable = -988,
  FAULT_SearchConditions = -989,
  FAULT_Search = -990,
  FAULT_GetIndexWords = -991,
  FAULT_GetIndexWordsEx = -992,
  FAULT_SortConditions = -993,
  FAULT_Sort = -994,
  FAULT_UnSortBitmap = -995
};

/* Fault codes lie at or below this value (FAULT_OpenClose excepted). */
#define LODEX32_FAULT_LIMIT (-900)

typedef struct Lodex32ErrorInfo {
  int32_t code;
  const char* name;   /* the code's name, e.g. "ERROR_BadBase" */
  const char* text;   /* a short text for users, e.g. "no such base" */
  int32_t first_interface; /* non-zero for the 27 codes of the first interface */
} Lodex32ErrorInfo;

/* The entry for an ERROR_ code, or NULL for any other value. */
static inline const Lodex32ErrorInfo* Lodex32FindError(int32_t code) {
  static const Lodex32ErrorInfo kErrors[] = {
      {ERROR_BadNumber, "ERROR_BadNumber", "bad number", 1},
      {ERROR_BadBase, "ERROR_BadBase", "no such base", 1},
      {ERROR_BadSession, "ERROR_BadSession", "no such session", 1},
      {ERROR_BadField, "ERROR_BadField", "no such field", 1},
      {ERROR_BadRecord, "ERROR_BadRecord", "no such hit", 1},
      {ERROR_BadTable, "ERROR_BadTable", "no such table", 1},
      {ERROR_BadBitmap, "ERROR_BadBitmap", "no such bitmap", 1},
      {ERROR_BadToken, "ERROR_BadToken", "word not found", 1},
      {ERROR_BadBit, "ERROR_BadBit", "bit out of range", 1},
      {ERROR_BadName, "ERROR_BadName", "no such name", 1},
      {ERROR_BadOperationScene, "ERROR_BadOperationScene", "not possible now", 1},
      {ERROR_BadKind, "ERROR_BadKind", "bad kind", 0},
      {ERROR_FileOpen, "ERROR_FileOpen", "cannot open a temporary file", 1},
      {ERROR_FileClose, "ERROR_FileClose", "cannot close a temporary file", 1},
      {ERROR_FileRead, "ERROR_FileRead", "cannot read a temporary file", 1},
      {ERROR_FileWrite, "ERROR_FileWrite", "cannot write a temporary file", 1},
      {ERROR_FileSeek, "ERROR_FileSeek", "cannot seek in a temporary file", 1},
      {ERROR_OpenMetaFile, "ERROR_OpenMetaFile", "cannot open meta.dat", 1},
      {ERROR_OpenDataFile, "ERROR_OpenDataFile", "cannot open data.dat", 1},
      {ERROR_OpenMappingFile, "ERROR_OpenMappingFile", "cannot open mapping.dat", 1},
      {ERROR_OpenIndex1File, "ERROR_OpenIndex1File", "cannot open index1.dat", 1},
      {ERROR_OpenIndex2File, "ERROR_OpenIndex2File", "cannot open index2.dat", 1},
      {ERROR_OpenPostFile, "ERROR_OpenPostFile", "cannot open post.dat", 1},
      {ERROR_OpenSortFile, "ERROR_OpenSortFile", "cannot open sort.dat", 1},
      {ERROR_CreateListFile, "ERROR_CreateListFile",
       "cannot create the list file in the temporary directory", 1},
      {ERROR_CreateDebugFile, "ERROR_CreateDebugFile", "cannot create the debug file", 1},
      {ERROR_OpenCharfreqFile, "ERROR_OpenCharfreqFile", "cannot open charfreq.dat", 0},
      {ERROR_OpenWordfreqFile, "ERROR_OpenWordfreqFile", "cannot open wordfreq.dat", 0},
      {ERROR_NotImplemented, "ERROR_NotImplemented", "not implemented", 1},
      {ERROR_Userbreak, "ERROR_Userbreak", "stopped", 1},
      {ERROR_BadMetaFile, "ERROR_BadMetaFile", "meta.dat is damaged", 0},
      {ERROR_NewerMetaFile, "ERROR_NewerMetaFile", "meta.dat is from a newer version", 0},
  };
  size_t i;
  for (i = 0; i < sizeof kErrors / sizeof kErrors[0]; ++i) {
    if (kErrors[i].code == code) return &kErrors[i];
  }
  return NULL;
}

#ifdef __cplusplus
}
#endif

#endif /* LODEX32_ERRORS_H */
