// Hit bitmaps of a session: current, scratch and working bitmaps, memory slot, slot files, table accounting and the hit cursor.
#pragma once

namespace lodex {

struct Base;

struct BitmapState { void Init(const Base&) {} };

}  // namespace lodex
