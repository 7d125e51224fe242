#include "hostapp/undo/undo_list.h"

namespace hostapp {

bool UndoList::add(std::unique_ptr<UndoEntry> entry) {
  if (!open_ || !entry) return false;
  recording_.push_back(std::move(entry));
  return true;
}

bool UndoList::end(size_t depth) {
  if (!open_) return false;
  if (--open_ > 0) return true;
  if (recording_.empty()) return true;
  undo_.push_back(std::move(recording_));
  recording_.clear();
  redo_.clear();
  // Depth 0 would make the new group unreachable at once; keep at least the newest.
  const size_t keep = depth ? depth : 1;
  if (undo_.size() > keep)
    undo_.erase(undo_.begin(), undo_.begin() + static_cast<std::ptrdiff_t>(undo_.size() - keep));
  return true;
}

bool UndoList::undo() {
  if (open_ || undo_.empty()) return false;
  Group group = std::move(undo_.back());
  undo_.pop_back();
  for (auto it = group.rbegin(); it != group.rend(); ++it) (*it)->undo();
  redo_.push_back(std::move(group));
  return true;
}

bool UndoList::redo() {
  if (open_ || redo_.empty()) return false;
  Group group = std::move(redo_.back());
  redo_.pop_back();
  for (auto& entry : group) entry->redo();
  undo_.push_back(std::move(group));
  return true;
}

void UndoList::clear() {
  redo_.clear();
  undo_.clear();
  recording_.clear();
  open_ = 0;
}

}  // namespace hostapp
