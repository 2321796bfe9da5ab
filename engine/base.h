// An open base: the database directory's files, schema, decoders and word index,
// and the two locks that serialise searches and record fetches on its shared streams.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "codec.h"
#include "fileset.h"
#include "platform.h"
#include "schema.h"
#include "wordindex.h"

namespace lodex {

struct Base {
  int32_t number = 0;

  // Directories as given at opening; an absent one is "".
  std::string base_dir;
  std::string alt_dir;
  std::string temp_dir;
  bool has_alt_dir = false;

  FileSet files;
  Schema schema;
  RecordCodec codec;
  WordIndex index;

  // sort.dat as a view, mapped by the first sort (under fetch_lock); empty when the
  // system would not map it, and sorts then read it through the stream.
  MappedFile sort_view;
  bool sort_view_tried = false;
  // data.dat and mapping.dat likewise, mapped by the first record fetch (under
  // fetch_lock); fetches read them through the streams when they could not be mapped.
  MappedFile data_view;
  MappedFile mapping_view;
  bool record_views_tried = false;

  // (total record count + 7) / 8.
  uint32_t bitmap_bytes = 0;

  // Held for a whole search (let go briefly during long scans) and for each record
  // fetch. Every wait is bounded; see platform.h.
  TimedMutex search_lock;
  TimedMutex fetch_lock;
};

}  // namespace lodex
