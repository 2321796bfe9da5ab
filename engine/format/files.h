// The nine files of a base directory. The engine opens them in this order
// (engine/fileset.cpp) and only reads them; lodex-build writes all nine
// (builder/base_builder.cpp) and replaces a directory that holds nothing else.
#pragma once

#include <array>

namespace lodex::format {

inline constexpr char kMetaFile[] = "meta.dat";
inline constexpr char kCharfreqFile[] = "charfreq.dat";
inline constexpr char kWordfreqFile[] = "wordfreq.dat";
inline constexpr char kIndex1File[] = "index1.dat";
inline constexpr char kMappingFile[] = "mapping.dat";
inline constexpr char kPostFile[] = "post.dat";
inline constexpr char kIndex2File[] = "index2.dat";
inline constexpr char kSortFile[] = "sort.dat";
inline constexpr char kDataFile[] = "data.dat";

inline constexpr std::array<const char*, 9> kBaseFiles = {
    kMetaFile, kCharfreqFile, kWordfreqFile, kIndex1File, kMappingFile,
    kPostFile, kIndex2File,   kSortFile,     kDataFile};

}  // namespace lodex::format
