// The in-memory schema read from meta.dat: tables, data, search and sort fields.
#pragma once

namespace lodex {

struct Base;

struct Schema {};

}  // namespace lodex
