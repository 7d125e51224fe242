// The camera-bookmark scene hook.
#include "plugin/managerscenehook.h"

#include "host/binding.h"
#include "plugin/resource.h"

namespace pigmora {

namespace {
constexpr int32_t kHookInfo = 0x20000004;
constexpr int32_t kHookPriority = 5000;
constexpr int32_t kHookDiskLevel = 0;
constexpr int32_t kViewPreviewSize = 256;
constexpr int32_t kCameraPreviewSize = 512;
constexpr int32_t kPreviewBits = 24;
constexpr int32_t kPreviewRenderFlags = 11;
constexpr int32_t kCameraChanged = 2;

// Ids of every bookmark the process makes, by any hook.
int32_t gLastBookmarkId = 0;

host::View* activeView() {
  host::Document* doc = host::api().scene().activeDocument();
  return doc ? doc->activeView() : nullptr;
}
}  // namespace

host::NodeData* ManagerSceneHook::alloc() {
  return host::make<ManagerSceneHook>();
}

bool ManagerSceneHook::registerHook() {
  const ModuleResource* res = moduleResource();
  const std::string name = res ? res->string(kManagerHookNameString) : std::string();
  return host::api().registration().registerSceneHook(
      kManagerHookId, name, kHookInfo, &ManagerSceneHook::alloc, kHookPriority, kHookDiskLevel);
}

ManagerSceneHook* ManagerSceneHook::of(host::Document* doc) {
  auto* node = doc ? static_cast<host::HookNode*>(doc->sceneHook(kManagerHookId)) : nullptr;
  return node ? dynamic_cast<ManagerSceneHook*>(node->nodeData()) : nullptr;
}

bool ManagerSceneHook::init(host::Node* node) {
  (void)node;
  return true;
}

CameraBookmark* ManagerSceneHook::append() {
  CameraBookmark* b = host::make<CameraBookmark>();
  if (!b) return nullptr;
  if (!bookmarks_.push(b)) {
    host::destroy(b);
    return nullptr;
  }
  b->id = ++gLastBookmarkId;
  return b;
}

std::unique_ptr<host::Bitmap> ManagerSceneHook::renderPreview(host::Document* doc, int32_t width,
                                                              int32_t height) {
  host::Host& h = host::api();
  std::unique_ptr<host::Bitmap> bmp = h.paint().createBitmap();
  if (!bmp) return nullptr;
  host::RenderData* rd = doc ? doc->activeRenderData() : nullptr;
  if (!rd) return nullptr;
  host::Settings settings = rd->data();
  settings.setInt32(host::kRenderWidth, width);
  settings.setInt32(host::kRenderHeight, height);
  const int32_t w = settings.getInt32(host::kRenderWidth);
  const int32_t ht = settings.getInt32(host::kRenderHeight);
  settings.setInt32(host::kRenderEngine, host::kRenderEnginePreview);
  bmp->init(w, ht, kPreviewBits);
  if (h.rendering().renderDocument(doc, settings, bmp.get(), kPreviewRenderFlags) !=
      host::kRenderResultOk)
    return nullptr;
  return bmp;
}

CameraBookmark* ManagerSceneHook::addViewBookmark() {
  CameraBookmark* b = append();
  if (!b) return nullptr;
  host::Document* doc = host::api().scene().activeDocument();
  host::View* view = doc ? doc->activeView() : nullptr;
  host::CameraObject* cam = nullptr;
  if (view) cam = view->sceneCamera() ? view->sceneCamera() : view->editorCamera();
  if (cam) {
    b->matrix = cam->globalMatrix();
    b->projection = cam->projection();
    b->focalLength = cam->focalLength();
    b->zoom = cam->zoom();
    b->filmOffset = cam->filmOffset();
    b->aperture = cam->aperture();
  }
  b->preview = renderPreview(doc, kViewPreviewSize, kViewPreviewSize);
  return b;
}

void ManagerSceneHook::addSceneCameraBookmarks() {
  host::Document* doc = host::api().scene().activeDocument();
  host::Object* first = doc ? doc->firstObject() : nullptr;
  if (!first) return;
  host::View* view = doc->activeView();
  host::CameraObject* editor = view ? view->editorCamera() : nullptr;
  CameraBookmark start;
  if (editor) start.matrix = editor->globalMatrix();
  host::forEachObject(first, [&](host::Object* o) {
    if (o->type() != host::kTypeCamera) return;
    CameraBookmark* b = append();
    if (!b) return;
    b->matrix = o->globalMatrix();
    applyBookmark(*b);
    b->preview = renderPreview(doc, kCameraPreviewSize, kCameraPreviewSize);
  });
  applyBookmark(start);
}

void ManagerSceneHook::removeBookmark(int32_t id) {
  for (size_t i = 0; i < bookmarks_.size(); ++i) {
    if (bookmarks_[i]->id != id) continue;
    host::destroy(bookmarks_.take(i));
    return;
  }
}

void ManagerSceneHook::applyBookmark(const CameraBookmark& bookmark) {
  host::View* view = activeView();
  if (!view) return;
  if (host::CameraObject* cam = view->editorCamera()) {
    cam->setGlobalMatrix(bookmark.matrix);
    cam->setDirty(kCameraChanged);
  }
  view->setSceneCamera(nullptr);
  view->redraw(host::kDrawFlagsFull);
  host::api().events().update();
}

bool ManagerSceneHook::read(host::Node* node, host::DocumentFile* file, int32_t level) {
  (void)node;
  if (level != kHookDiskLevel) return true;
  int32_t count = 0;
  if (!file || !file->readInt32(count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    CameraBookmark* b = append();
    if (!b) return false;
    b->preview = host::api().paint().createBitmap();
    if (!b->preview || !file->readImage(*b->preview)) return false;
    // A bookmark saved without a preview comes back without one.
    if (b->preview->width() <= 0) b->preview.reset();
    if (!file->readMatrix(b->matrix)) return false;
  }
  return true;
}

bool ManagerSceneHook::write(host::Node* node, host::DocumentFile* file) {
  (void)node;
  if (!file || !file->writeInt32(static_cast<int32_t>(bookmarks_.size()))) return false;
  for (size_t i = 0; i < bookmarks_.size(); ++i) {
    const CameraBookmark& b = *bookmarks_[i];
    // A bookmark whose preview could not be rendered still keeps its place and matrix.
    if (!file->writeImage(b.preview.get(), host::kFormatPNG, nullptr, host::kSaveBitAlpha))
      return false;
    if (!file->writeMatrix(b.matrix)) return false;
  }
  return true;
}

bool ManagerSceneHook::copyTo(host::NodeData* dest, host::Node* node, host::Node* destNode,
                              int32_t flags) {
  (void)dest;
  (void)node;
  (void)destNode;
  (void)flags;
  return true;
}

}  // namespace pigmora
