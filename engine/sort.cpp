#include "sort.h"

#include <cstdio>
#include <vector>

#include "base.h"
#include "bitmaps.h"
#include "lodex32_errors.h"
#include "format/coding.h"
#include "format/sort.h"
#include "platform.h"
#include "session.h"

namespace lodex {

namespace {

constexpr size_t kPieceBytes = size_t{kSortPieceEntries} * format::kSortEntryBytes;

void PutEntry(uint8_t* p, uint32_t record, uint32_t pointer) {
  format::EncodeFixed32(p, record);
  format::EncodeFixed32(p + 4, pointer);
}

}  // namespace

void SortState::Init(const Base&) {
  field_index = 0;
  direction = 0;
  order_mode = kBitmapOrder;
  list_offset = 0;
}

std::string HollowFilePath(const Base& base) {
  char name[48];
  std::snprintf(name, sizeof name, "~list%xHOLLOW.tmp", static_cast<unsigned>(base.number));
  return JoinPath(base.temp_dir, name);
}

int32_t ReadListEntry(const Session& session, Base& base, int64_t k, ListEntry& entry) {
  std::FILE* list = base.files.list.get();
  const int64_t offset = int64_t{session.sort.list_offset} + format::kSortEntryBytes * k;
  uint8_t raw[format::kSortEntryBytes];
  if (!list || k < 0 || std::fseek(list, static_cast<long>(offset), SEEK_SET) != 0 ||
      std::fread(raw, 1, sizeof raw, list) != sizeof raw) {
    return ERROR_FileRead;
  }
  entry.record = format::DecodeFixed32(raw);
  entry.pointer = format::DecodeFixed32(raw + 4);
  return 0;
}

void SortHits(Session& s, Base& base) {
  BitmapState& bm = s.bitmaps;
  // The hits that have hit numbers: the current bitmap less the excluded tables.
  CopyIncludedHits(bm, bm.current, bm.scratch);
  const uint32_t nbits = static_cast<uint32_t>(bm.scratch.size()) * 8;

  std::FILE* sort = base.files.sort.get();
  std::FILE* list = base.files.list.get();
  const std::string hollow_path = HollowFilePath(base);
  FilePtr hollow(std::fopen(hollow_path.c_str(), "w+b"));
  // Without a hollow file the records with empty values wait in memory instead.
  std::vector<uint8_t> hollow_memory;

  const int64_t n = base.schema.total_records;
  const FieldInfo& field = base.schema.sort.fields[s.sort.field_index];
  const bool descending = s.sort.direction != 0;

  std::vector<uint8_t> in(kPieceBytes), out(kPieceBytes);
  size_t out_entries = 0;
  if (list) std::fseek(list, 0, SEEK_SET);
  auto flush = [&] {
    if (list && out_entries) std::fwrite(out.data(), format::kSortEntryBytes, out_entries, list);
    out_entries = 0;
  };
  auto take = [&](const uint8_t* e) {
    const uint32_t word = format::DecodeFixed32(e);
    const uint32_t r = word & format::kSortRecordMask;
    if (r >= nbits || !TestBit(bm.scratch.data(), r)) return;
    const uint32_t pointer = format::DecodeFixed32(e + 4);
    if (word & format::kHollowMark) {
      uint8_t entry[format::kSortEntryBytes];
      PutEntry(entry, r, pointer);
      if (hollow) {
        std::fwrite(entry, 1, sizeof entry, hollow.get());
      } else {
        hollow_memory.insert(hollow_memory.end(), entry, entry + sizeof entry);
      }
      return;
    }
    PutEntry(out.data() + out_entries * format::kSortEntryBytes, r, pointer);
    if (++out_entries == static_cast<size_t>(kSortPieceEntries)) flush();
  };

  // The field's run, piece by piece: forwards, or from its end backwards with each
  // piece taken from its last entry to its first. A run cut short by a damaged
  // sort.dat ends where the reading stops.
  for (int64_t done = 0; done < n && sort;) {
    const int64_t count = std::min<int64_t>(kSortPieceEntries, n - done);
    const int64_t first = descending ? n - done - count : done;
    const int64_t at = int64_t{field.offset} + first * format::kSortEntryBytes;
    if (std::fseek(sort, static_cast<long>(at), SEEK_SET) != 0) break;
    const size_t got = std::fread(in.data(), format::kSortEntryBytes, static_cast<size_t>(count), sort);
    if (descending) {
      for (size_t i = got; i-- > 0;) take(in.data() + i * format::kSortEntryBytes);
    } else {
      for (size_t i = 0; i < got; ++i) take(in.data() + i * format::kSortEntryBytes);
    }
    if (got < static_cast<size_t>(count)) break;
    done += count;
  }
  flush();

  // The records with empty values follow, in the order they were taken.
  if (hollow) {
    std::fflush(hollow.get());
    std::fseek(hollow.get(), 0, SEEK_SET);
    size_t got;
    while ((got = std::fread(in.data(), 1, kPieceBytes, hollow.get())) > 0) {
      if (list) std::fwrite(in.data(), 1, got, list);
    }
    hollow.reset();
    std::remove(hollow_path.c_str());
  } else if (list && !hollow_memory.empty()) {
    std::fwrite(hollow_memory.data(), 1, hollow_memory.size(), list);
  }
  if (list) std::fflush(list);
  s.sort.list_offset = 0;
  s.sort.order_mode = kSortedListOrder;
}

}  // namespace lodex
