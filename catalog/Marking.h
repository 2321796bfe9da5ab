// TMarking: the ordered set of marked hit numbers. Lookups start where the last one
// ended, so marking and painting hits in sequence touch only a few entries.
#pragma once

#include <QList>
#include <cstdint>

class TMarking {
 public:
  // A new mark is taken only while the set holds this many marks or fewer.
  static constexpr int32_t kLimit = 32000;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // The i-th mark in ascending order, or -1 when i is not a position of the set.
  int32_t Get(int32_t i) const;
  bool IsMarked(int32_t hit);
  void Toggle(int32_t hit);
  void SetMark(int32_t hit, bool on);
  // SetMark for every hit from a to b inclusive, in the direction from a to b.
  void SetRange(int32_t a, int32_t b, bool on);
  void Clear();

  // Position of the first mark >= hit (Count() when there is none).
  int32_t Find(int32_t hit);

 private:
  QList<int32_t> items_;
  int32_t cursor_ = 0;
};
