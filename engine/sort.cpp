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

  void Add(uint32_t record, uint32_t pointer) {
    if (!tried_) {
      tried_ = true;
      file_.reset(std::fopen(path_.c_str(), "w+b"));
    }
    uint8_t entry[format::kSortEntryBytes];
    PutEntry(entry, record, pointer);
    pending_.insert(pending_.end(), entry, entry + sizeof entry);
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

// Copies the entries of in[0, count) whose records are hits to out, in order or (when
// Backwards) from the last to the first, with the hollow mark cleared; hollow ones go to
// hollow instead. Answers the number written to out. The copy is unconditional and only
// the write position depends on the hit, so scattered hits cost no mispredicted branch.
template <bool Backwards>
size_t FilterPiece(const uint8_t* in, size_t count, const uint8_t* hits, uint32_t nbits,
                   uint8_t* out, HollowEntries& hollow) {
  size_t n = 0;
  for (size_t j = 0; j < count; ++j) {
    const uint8_t* e = in + (Backwards ? count - 1 - j : j) * format::kSortEntryBytes;
    const uint32_t word = format::DecodeFixed32(e);
    const uint32_t r = word & format::kSortRecordMask;
    if (r >= nbits) continue;
    const bool hit = TestBit(hits, r);
    if (word & format::kHollowMark) {
      if (hit) hollow.Add(r, format::DecodeFixed32(e + 4));
      continue;
    }
    uint8_t* o = out + n * format::kSortEntryBytes;
    format::EncodeFixed32(o, r);
    std::memcpy(o + 4, e + 4, 4);
    n += hit;
  }
  return n;
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

  std::FILE* list = base.files.list.get();
  RunSource source(base);
  HollowEntries hollow(HollowFilePath(base));

  const int64_t n = base.schema.total_records;
  const FieldInfo& field = base.schema.sort.fields[s.sort.field_index];
  const bool descending = s.sort.direction != 0;

  std::vector<uint8_t> out(kPieceBytes);
  if (list) std::fseek(list, 0, SEEK_SET);

  // The field's run, piece by piece: forwards, or from its end backwards with each
  // piece taken from its last entry to its first. A run cut short by a damaged
  // sort.dat ends where the reading stops.
  for (int64_t done = 0; done < n;) {
    const int64_t count = std::min<int64_t>(kSortPieceEntries, n - done);
    const int64_t first = descending ? n - done - count : done;
    size_t got = 0;
    const uint8_t* in =
        source.Piece(int64_t{field.offset} + first * format::kSortEntryBytes, count, &got);
    // Backwards, a short piece holds the entries from its first on.
    const size_t kept = descending
                            ? FilterPiece<true>(in, got, bm.scratch.data(), nbits, out.data(), hollow)
                            : FilterPiece<false>(in, got, bm.scratch.data(), nbits, out.data(), hollow);
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
