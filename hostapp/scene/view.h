// The active view of a document: its editor camera, an optional scene camera, and redraws.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "hostapp/render/renderer.h"
#include "hostapp/scene/objects.h"

namespace hostapp {

class DocumentImpl;
class EventLog;

// The editor camera notices when it is placed, so that the view knows it no longer has to frame
// the scene for the user.
class EditorCamera : public CameraObjectImpl {
 public:
  void setGlobalMatrix(const host::Matrix& m) override {
    CameraObjectImpl::setGlobalMatrix(m);
    placed_ = true;
  }
  bool placed() const { return placed_; }
  void setPlaced(bool on) { placed_ = on; }

 private:
  bool placed_ = false;
};

class ViewImpl : public host::View {
 public:
  ViewImpl(DocumentImpl& doc, EventLog& events) : doc_(doc), events_(events) {}

  // Until someone places it, the editor camera frames every polygon object of the document as
  // the view first shows it (an 800 x 600 viewport).
  host::CameraObject* editorCamera() override;
  host::CameraObject* sceneCamera() const override { return scene_.getAs<host::CameraObject>(); }
  void setSceneCamera(host::CameraObject* camera) override { scene_.set(camera); }
  void redraw(int32_t flags) override;

  // The editor camera as it is, without framing.
  EditorCamera& editor() { return editor_; }
  const EditorCamera& editor() const { return editor_; }
  // What the view shows in an image of the given aspect (width / height): the scene camera, the
  // placed editor camera, or the scene framed for that aspect.
  RenderCamera camera(double aspect) const;
  int64_t redrawCount() const { return redraws_; }

 private:
  DocumentImpl& doc_;
  EventLog& events_;
  EditorCamera editor_;
  host::Link scene_;
  int64_t redraws_ = 0;
};

}  // namespace hostapp
