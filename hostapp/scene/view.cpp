#include "hostapp/scene/view.h"

#include "hostapp/core/events.h"
#include "hostapp/scene/document.h"

namespace hostapp {

namespace {
constexpr double kViewportAspect = 800.0 / 600.0;
}

host::CameraObject* ViewImpl::editorCamera() {
  if (!editor_.placed())
    editor_.setGlobalMatrix(hostapp::editorCamera(doc_, kViewportAspect).matrix);
  return &editor_;
}

void ViewImpl::redraw(int32_t flags) {
  ++redraws_;
  events_.drawViews(flags);
}

RenderCamera ViewImpl::camera(double aspect) const {
  if (const host::CameraObject* cam = sceneCamera()) return cameraView(*cam);
  if (editor_.placed()) return cameraView(editor_);
  return hostapp::editorCamera(doc_, aspect);
}

}  // namespace hostapp
