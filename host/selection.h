// A selection of element indices (points, edges or polygons), walked as sorted segments.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace host {

class Selection {
 public:
  struct Segment {
    int32_t first = 0, last = 0;  // inclusive
    bool operator==(const Segment&) const = default;
  };

  bool select(int32_t i);
  bool deselect(int32_t i);
  bool toggle(int32_t i) { return isSelected(i) ? deselect(i) : select(i); }
  bool isSelected(int32_t i) const;
  void selectAll(int32_t count);  // selects 0 .. count - 1
  void deselectAll() {
    bits_.clear();
    count_ = 0;
  }
  int32_t count() const { return count_; }
  bool empty() const { return count_ == 0; }
  // Calls fn(index) for every selected index in ascending order, allocating nothing.
  template <class Fn>
  void forEachIndex(Fn&& fn) const {
    for (size_t w = 0; w < bits_.size(); ++w)
      for (uint64_t word = bits_[w]; word; word &= word - 1)
        fn(static_cast<int32_t>(w * 64 + static_cast<size_t>(std::countr_zero(word))));
  }
  // Calls fn(segment) for every maximal run of selected indices in ascending order, allocating
  // nothing.
  template <class Fn>
  void forEachSegment(Fn&& fn) const {
    Segment run{0, -2};
    forEachIndex([&](int32_t i) {
      if (run.last == i - 1) {
        run.last = i;
        return;
      }
      if (run.last >= run.first) fn(run);
      run = {i, i};
    });
    if (run.last >= run.first) fn(run);
  }
  // The selected indices as maximal runs, in ascending order.
  std::vector<Segment> segments() const;
  // The selected indices in ascending order.
  std::vector<int32_t> indices() const;
  bool operator==(const Selection& o) const { return indices() == o.indices(); }

 private:
  std::vector<uint64_t> bits_;
  int32_t count_ = 0;
};

}  // namespace host
