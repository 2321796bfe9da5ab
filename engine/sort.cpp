#include "sort.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
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

// Where the entries of a sort.dat run come from: the mapped file when it could be
// mapped (no copy at all), else pieces read through the stream into a buffer.
class RunSource {
 public:
  explicit RunSource(Base& base) : stream_(base.files.sort.get()) {
    if (!base.sort_view_tried) {
      base.sort_view_tried = true;
      base.sort_view.Map(stream_);
    }
    view_ = &base.sort_view;
    if (!view_->data()) buffer_.resize(kPieceBytes);
  }

  // count (<= kSortPieceEntries) entries of sort.dat from byte at; *got tells how many
  // could be had, fewer at a damaged file's end.
  const uint8_t* Piece(int64_t at, int64_t count, size_t* got) {
    if (view_->data()) {
      const int64_t size = static_cast<int64_t>(view_->size());
      const int64_t bytes = at >= size ? 0 : std::min<int64_t>(size - at, count * format::kSortEntryBytes);
      *got = static_cast<size_t>(bytes / format::kSortEntryBytes);
      return view_->data() + (*got ? at : 0);
    }
    *got = 0;
    if (!stream_ || std::fseek(stream_, static_cast<long>(at), SEEK_SET) != 0) return buffer_.data();
    *got = std::fread(buffer_.data(), format::kSortEntryBytes, static_cast<size_t>(count), stream_);
    return buffer_.data();
  }

 private:
  std::FILE* stream_;
  const MappedFile* view_;
  std::vector<uint8_t> buffer_;
};

// The records of hollow entries, kept in order: in the hollow file, piece by piece,
// or in memory when that file cannot be made. The file is made on the first one.
class HollowEntries {
 public:
  explicit HollowEntries(std::string path) : path_(std::move(path)) {}
  ~HollowEntries() {
    if (file_) {
      file_.reset();
      std::remove(path_.c_str());
    }
  }

  // Takes the entries out of entries (whole 8-byte entries), leaving it empty.
  void Take(std::vector<uint8_t>& entries) {
    if (entries.empty()) return;
    if (!tried_) {
      tried_ = true;
      file_.reset(std::fopen(path_.c_str(), "w+b"));
    }
    pending_.insert(pending_.end(), entries.begin(), entries.end());
    entries.clear();
    if (file_ && pending_.size() >= kPieceBytes) Flush();
  }

  // Appends every entry to list, in the order they were added.
  void CopyTo(std::FILE* list) {
    if (!file_) {
      if (list && !pending_.empty()) std::fwrite(pending_.data(), 1, pending_.size(), list);
      return;
    }
    Flush();
    std::fflush(file_.get());
    std::fseek(file_.get(), 0, SEEK_SET);
    std::vector<uint8_t> piece(kPieceBytes);
    size_t got;
    while ((got = std::fread(piece.data(), 1, piece.size(), file_.get())) > 0) {
      if (list) std::fwrite(piece.data(), 1, got, list);
    }
  }

 private:
  void Flush() {
    std::fwrite(pending_.data(), 1, pending_.size(), file_.get());
    pending_.clear();
  }

  std::string path_;
  bool tried_ = false;
  FilePtr file_;
  std::vector<uint8_t> pending_;
};

// How far the walk asks for memory ahead of the entry it tests: the run 256 entries
// (2 KiB) ahead, since the processor's own streaming stops at the page ends of the
// mapped file, and, for a large bitmap, the hit bitmap's byte of the record 64 entries
// ahead: the streamed run pushes a bitmap of more than kFetchBitsFrom bytes (1 MiB at
// the format's limit) out of the cache, while a smaller one stays there and its
// fetching would only cost time.
constexpr size_t kRunAhead = 256;
constexpr size_t kBitmapAhead = 64;
constexpr uint32_t kFetchBitsFrom = 256 * 1024;

inline void PrefetchRead(const void* p) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p, 0, 3);
#else
  (void)p;
#endif
}

// FilterSortEntries in one direction, fetching the bitmap ahead or not.
template <bool Backwards, bool FetchBits>
size_t FilterEntries(const uint8_t* in, size_t count, const uint8_t* hits, uint32_t nbits,
                     uint8_t* out, std::vector<uint8_t>& hollow) {
  // Every word with the hollow mark is then at or past nbits, so one rarely taken
  // branch sorts out the entries that are not plain candidates.
  nbits = std::min(nbits, format::kHollowMark);
  const size_t last_bit_byte = nbits ? (nbits - 1) >> 3 : 0;
  auto at = [&](size_t j) {
    return in + (Backwards ? count - 1 - j : j) * format::kSortEntryBytes;
  };
  size_t n = 0;
  auto take = [&](const uint8_t* e) {
    const uint32_t word = format::DecodeFixed32(e);
    if (word >= nbits) {
      const uint32_t r = word & format::kSortRecordMask;
      if ((word & format::kHollowMark) && r < nbits && TestBit(hits, r)) {
        uint8_t entry[format::kSortEntryBytes];
        PutEntry(entry, r, format::DecodeFixed32(e + 4));
        hollow.insert(hollow.end(), entry, entry + sizeof entry);
      }
      return;
    }
    // A plain candidate: its entry, mark clear, is the list entry. It is copied
    // whether or not it is a hit, and only the write position depends on the hit, so
    // scattered hits cost no mispredicted branch.
    std::memcpy(out + n * format::kSortEntryBytes, e, format::kSortEntryBytes);
    n += (hits[word >> 3] >> (7 - (word & 7))) & 1u;
  };
  // Eight entries (a cache line's worth) at a time while the entries asked for ahead
  // are inside the piece, then the rest one by one.
  size_t j = 0;
  for (; j + kRunAhead + 8 <= count; j += 8) {
    PrefetchRead(at(j + kRunAhead));
    for (size_t k = j; k < j + 8; ++k) {
      if (FetchBits) {
        const uint32_t ahead = format::DecodeFixed32(at(k + kBitmapAhead)) & format::kSortRecordMask;
        PrefetchRead(hits + std::min<size_t>(ahead >> 3, last_bit_byte));
      }
      take(at(k));
    }
  }
  for (; j < count; ++j) take(at(j));
  return n;
}

}  // namespace

size_t FilterSortEntries(const uint8_t* in, size_t count, bool backwards, const uint8_t* hits,
                         uint32_t nbits, uint8_t* out, std::vector<uint8_t>& hollow) {
  const bool fetch_bits = nbits / 8 > kFetchBitsFrom;
  if (backwards) {
    return fetch_bits ? FilterEntries<true, true>(in, count, hits, nbits, out, hollow)
                      : FilterEntries<true, false>(in, count, hits, nbits, out, hollow);
  }
  return fetch_bits ? FilterEntries<false, true>(in, count, hits, nbits, out, hollow)
                    : FilterEntries<false, false>(in, count, hits, nbits, out, hollow);
}

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

  std::FILE* list = base.files.list.get();
  RunSource source(base);
  HollowEntries hollow(HollowFilePath(base));

  const int64_t n = base.schema.total_records;
  const FieldInfo& field = base.schema.sort.fields[s.sort.field_index];
  const bool descending = s.sort.direction != 0;

  std::vector<uint8_t> out(kPieceBytes);
  std::vector<uint8_t> hollow_piece;
  if (list) std::fseek(list, 0, SEEK_SET);

  // Every record stands once in a run, so the walk is over once it has met every hit:
  // a search sorted by the field it searched stops at the end of its stretch of values.
  // Padding bits past the last record (a bitmap loaded from a file may have them) are
  // no records of any run, and are not waited for.
  const uint32_t records = static_cast<uint32_t>(std::max<int64_t>(0, std::min<int64_t>(n, nbits)));
  const uint64_t wanted = CountBits(bm.scratch.data(), 0, records);
  uint64_t met = 0;

  // The field's run, piece by piece: forwards, or from its end backwards with each
  // piece taken from its last entry to its first. A run cut short by a damaged
  // sort.dat ends where the reading stops.
  for (int64_t done = 0; done < n && met < wanted;) {
    const int64_t count = std::min<int64_t>(kSortPieceEntries, n - done);
    const int64_t first = descending ? n - done - count : done;
    size_t got = 0;
    const uint8_t* in =
        source.Piece(int64_t{field.offset} + first * format::kSortEntryBytes, count, &got);
    // Backwards, a short piece holds the entries from its first on.
    const size_t kept = FilterSortEntries(in, got, descending, bm.scratch.data(), nbits,
                                          out.data(), hollow_piece);
    met += kept + hollow_piece.size() / format::kSortEntryBytes;
    hollow.Take(hollow_piece);
    if (list && kept) std::fwrite(out.data(), format::kSortEntryBytes, kept, list);
    if (got < static_cast<size_t>(count)) break;
    done += count;
  }

  // The records with empty values follow, in the order they were taken.
  hollow.CopyTo(list);
  if (list) std::fflush(list);
  s.sort.list_offset = 0;
  s.sort.order_mode = kSortedListOrder;
}

}  // namespace lodex
