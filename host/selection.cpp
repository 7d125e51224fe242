#include "host/selection.h"

namespace host {

bool Selection::select(int32_t i) {
  if (i < 0) return false;
  const size_t word = static_cast<size_t>(i) >> 6;
  if (word >= bits_.size()) bits_.resize(word + 1, 0);
  const uint64_t mask = uint64_t{1} << (i & 63);
  if (bits_[word] & mask) return true;
  bits_[word] |= mask;
  ++count_;
  return true;
}

bool Selection::deselect(int32_t i) {
  if (!isSelected(i)) return false;
  bits_[static_cast<size_t>(i) >> 6] &= ~(uint64_t{1} << (i & 63));
  --count_;
  return true;
}

bool Selection::isSelected(int32_t i) const {
  if (i < 0) return false;
  const size_t word = static_cast<size_t>(i) >> 6;
  return word < bits_.size() && (bits_[word] >> (i & 63)) & 1;
}

void Selection::selectAll(int32_t count) {
  deselectAll();
  if (count <= 0) return;
  bits_.assign((static_cast<size_t>(count) + 63) / 64, ~uint64_t{0});
  if (count & 63) bits_.back() = (uint64_t{1} << (count & 63)) - 1;
  count_ = count;
}

std::vector<Selection::Segment> Selection::segments() const {
  std::vector<Segment> out;
  forEachSegment([&out](const Segment& seg) { out.push_back(seg); });
  return out;
}

std::vector<int32_t> Selection::indices() const {
  std::vector<int32_t> out;
  out.reserve(static_cast<size_t>(count_));
  forEachIndex([&out](int32_t i) { out.push_back(i); });
  return out;
}

}  // namespace host
