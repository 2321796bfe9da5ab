// Record fetching: record buffers, mapping and prefetch windows, field pointer cache.
#pragma once

namespace lodex {

struct Base;

struct RecordState { void Init(const Base&) {} };

}  // namespace lodex
