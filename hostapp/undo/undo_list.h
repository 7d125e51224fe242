// The host's undo list: groups of entries, each entry able to go back to what it recorded and
// forward again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hostapp {

class UndoEntry {
 public:
  virtual ~UndoEntry() = default;
  virtual void undo() = 0;
  virtual void redo() = 0;
  // What the entry is, for listings: its kind, and the text of a scene-hook entry.
  virtual int32_t kind() const = 0;
  virtual std::string text() const { return {}; }
};

class UndoList {
 public:
  // Groups nest; the outermost end closes the group. A closed group with entries becomes the
  // newest undo group and clears the redo list.
  void start() { ++open_; }
  bool add(std::unique_ptr<UndoEntry> entry);
  bool end(size_t depth);
  bool groupOpen() const { return open_ > 0; }

  // Undoes the newest group, newest entry first; redo re-applies it, oldest entry first. False
  // when there is nothing to do or a group is still being recorded.
  bool undo();
  bool redo();

  size_t undoCount() const { return undo_.size(); }
  // The entries of undo group i (0 = oldest), in the order they were recorded.
  const std::vector<std::unique_ptr<UndoEntry>>& undoGroup(size_t i) const { return undo_[i]; }
  size_t redoCount() const { return redo_.size(); }
  void clear();

 private:
  using Group = std::vector<std::unique_ptr<UndoEntry>>;
  std::vector<Group> undo_;  // oldest first
  std::vector<Group> redo_;  // the next to redo last
  Group recording_;
  int32_t open_ = 0;
};

}  // namespace hostapp
