// Search queries: search field, conditions and the exact flag of a session.
#pragma once

namespace lodex {

struct Base;

struct SearchState { void Init(const Base&) {} };

}  // namespace lodex
