// The word index: index1.dat in memory, the windowed reader over index2.dat, postings in post.dat.
#pragma once

namespace lodex {

struct Base;

struct WordIndex {};
struct WordCursor { void Init(const Base&) {} };

}  // namespace lodex
