// A selection of element indices (points, edges or polygons), walked as sorted segments.
#pragma once

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
