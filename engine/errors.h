// The engine's error and fault codes. A result >= 0 is an answer; these are the
// negative ones. Names are the ones hosts show to users.
#pragma once

#include <cstdint>

namespace lodex {

enum Error : int32_t {
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
  ERROR_NewerMetaFile = -403,
};

// Fault codes: what a guarded export answers when something inside it throws.
enum Fault : int32_t {
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
  FAULT_UnSortBitmap = -995,
};

}  // namespace lodex
