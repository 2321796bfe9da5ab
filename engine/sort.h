// Sorting: order mode and the session's sorted list in the base's list file.
#pragma once

namespace lodex {

struct Base;

struct SortState { void Init(const Base&) {} };

}  // namespace lodex
