// The document's camera bookmarks: saved view positions, each with a rendered preview, kept by a
// scene hook that exists once per document and stores the list in the document file.
#pragma once

#include <cstdint>
#include <memory>

#include "host/host.h"
#include "lib/owned_array.h"

namespace pigmora {

constexpr int32_t kManagerHookId = 1035528;
constexpr int32_t kManagerHookNameString = 10012;

struct CameraBookmark {
  CameraBookmark() = default;
  CameraBookmark(const CameraBookmark&) = delete;
  CameraBookmark& operator=(const CameraBookmark&) = delete;
  ~CameraBookmark() = default;

  host::Matrix matrix;
  // The camera's lens as the bookmark was taken from a view; kept in memory only.
  int32_t projection = 0;
  double focalLength = 0.0;
  double zoom = 0.0;
  host::Vector filmOffset;
  double aperture = 0.0;
  // A 24-bit image of the view; null when it could not be rendered.
  std::unique_ptr<host::Bitmap> preview;
  // Unique within the process; never saved, never reused.
  int32_t id = 0;
};

class ManagerSceneHook : public host::SceneHookData {
 public:
  static host::NodeData* alloc();
  static bool registerHook();
  // The hook of a document, or null when it has none.
  static ManagerSceneHook* of(host::Document* doc);

  bool init(host::Node* node) override;
  bool read(host::Node* node, host::DocumentFile* file, int32_t level) override;
  bool write(host::Node* node, host::DocumentFile* file) override;
  bool copyTo(host::NodeData* dest, host::Node* node, host::Node* destNode, int32_t flags) override;

  // The operations are virtual so that a host holding the hook's instance (the command line's
  // bookmark steps) reaches the plug-in's own code through the instance.

  // Appends a bookmark of the active view of the active document, with a 256 x 256 preview.
  // Null only when the bookmark could not be allocated.
  virtual CameraBookmark* addViewBookmark();
  // Appends a bookmark with a 512 x 512 preview for every camera object of the active document,
  // depth first; the view is left where it was.
  virtual void addSceneCameraBookmarks();
  // Removes the first bookmark with this id; the ones after it move up.
  virtual void removeBookmark(int32_t id);
  // Moves the active view's editor camera to the bookmark and makes the view use it.
  virtual void applyBookmark(const CameraBookmark& bookmark);
  // Renders the document into a new 24-bit bitmap; null when it cannot.
  static std::unique_ptr<host::Bitmap> renderPreview(host::Document* doc, int32_t width,
                                                     int32_t height);

  size_t count() const { return bookmarks_.size(); }
  CameraBookmark* at(size_t i) const { return i < bookmarks_.size() ? bookmarks_[i] : nullptr; }
  // The bookmark with this id, or null.
  CameraBookmark* find(int32_t id) const {
    for (size_t i = 0; i < bookmarks_.size(); ++i)
      if (bookmarks_[i]->id == id) return bookmarks_[i];
    return nullptr;
  }

 private:
  // A new bookmark at the end of the list with the next id; null on allocation failure.
  CameraBookmark* append();

  OwnedArray<CameraBookmark> bookmarks_;
};

}  // namespace pigmora
