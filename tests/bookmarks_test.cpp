// Camera bookmarks: the scene hook driven as the host drives it, through its document.
#include <gtest/gtest.h>

#include "hostapp/docfile/document_file.h"
#include "hostapp/docfile/hook_file.h"
#include "hostapp/paint/plain_bitmap.h"
#include "hostapp/render/renderer.h"
#include "hostapp/scene/primitives.h"
#include "plugin/managerscenehook.h"
#include "tests/support/plugin_host.h"

namespace {

using pigmora::CameraBookmark;
using pigmora::ManagerSceneHook;

class BookmarksTest : public PluginHostTest {
 protected:
  void SetUp() override {
    PluginHostTest::SetUp();
    hostapp::SceneBuilder b = builder();
    ball_ = b.addMesh("Ball", hostapp::uvSphere(24, 12, 100.0));
    host::Material* mat = b.addMaterial("Paint");
    const host::Vector red(200, 30, 30);
    b.addTexture(mat, 0, 64, 64, host::kModeARGB8, &red);
    b.addTextureTag(ball_, mat);
  }

  host::CameraObject* addCamera(const std::string& name, const host::Vector& at,
                                host::Object* parent = nullptr) {
    auto* cam = static_cast<host::CameraObject*>(host_.scene().createObject(host::kTypeCamera));
    cam->setName(name);
    doc_->insertObject(cam, parent, nullptr);
    cam->setGlobalMatrix(hostapp::lookAt(at, {0, 0, 0}, 36.0).matrix);
    return cam;
  }

  ManagerSceneHook* hook() { return ManagerSceneHook::of(doc_); }

  // Pixel-for-pixel equality of two plain bitmaps.
  static bool samePixels(const host::Bitmap& a, const host::Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int32_t y = 0; y < a.height(); ++y) {
      for (int32_t x = 0; x < a.width(); ++x) {
        uint8_t r1, g1, b1, r2, g2, b2;
        a.getPixel(x, y, r1, g1, b1);
        b.getPixel(x, y, r2, g2, b2);
        if (r1 != r2 || g1 != g2 || b1 != b2) return false;
      }
    }
    return true;
  }

  host::PolygonObject* ball_ = nullptr;
};

TEST_F(BookmarksTest, HookIsRegisteredLastAsTheTableSays) {
  const auto& plugins = host_.registration().plugins();
  ASSERT_FALSE(plugins.empty());
  const hostapp::RegisteredPlugin& last = plugins.back();
  EXPECT_EQ(last.id, 1035528);
  EXPECT_EQ(last.kind, hostapp::PluginKind::kSceneHook);
  EXPECT_EQ(last.name, "Pigmora Camera Bookmarks");  // resource string 10012
  EXPECT_EQ(last.info, 0x20000004);
  EXPECT_EQ(last.priority, 5000);
  EXPECT_EQ(last.diskLevel, 0);
  ASSERT_NE(hook(), nullptr);
  EXPECT_EQ(hook()->count(), 0u);
  // One per document.
  hostapp::DocumentImpl* other = host_.sceneImpl().newDocument();
  EXPECT_NE(ManagerSceneHook::of(other), nullptr);
  EXPECT_NE(ManagerSceneHook::of(other), hook());
}

TEST_F(BookmarksTest, SceneCamerasAreBookmarkedDepthFirstAndTheViewReturns) {
  host::CameraObject* a = addCamera("A", {0, 50, -400});
  host::CameraObject* b = addCamera("B", {300, 0, -300});
  // C is a child of A, so the walk reaches it before B.
  host::CameraObject* c = addCamera("C", {-300, 100, -200}, a);
  // insertObject puts new top-level objects first: B, A (with C), Ball.
  host::View* view = doc_->activeView();
  const host::Matrix start = hostapp::lookAt({10, 20, -500}, {0, 0, 0}, 36.0).matrix;
  view->editorCamera()->setGlobalMatrix(start);
  const size_t redraws = host_.events().redraws().size();

  hook()->addSceneCameraBookmarks();

  ASSERT_EQ(hook()->count(), 3u);
  EXPECT_EQ(hook()->at(0)->matrix, b->globalMatrix());
  EXPECT_EQ(hook()->at(1)->matrix, a->globalMatrix());
  EXPECT_EQ(hook()->at(2)->matrix, c->globalMatrix());
  for (size_t i = 0; i < 3; ++i) {
    ASSERT_NE(hook()->at(i)->preview, nullptr);
    EXPECT_EQ(hook()->at(i)->preview->width(), 512);
    EXPECT_EQ(hook()->at(i)->preview->height(), 512);
    EXPECT_EQ(hook()->at(i)->preview->bits(), 24);
  }
  EXPECT_EQ(hook()->at(1)->id, hook()->at(0)->id + 1);
  EXPECT_EQ(hook()->at(2)->id, hook()->at(1)->id + 1);
  EXPECT_EQ(view->editorCamera()->globalMatrix(), start);
  EXPECT_EQ(view->sceneCamera(), nullptr);
  // Each camera and the return apply a bookmark, each with a full redraw.
  const std::vector<int32_t>& log = host_.events().redraws();
  ASSERT_EQ(log.size(), redraws + 4);
  for (size_t i = redraws; i < log.size(); ++i) EXPECT_EQ(log[i], 0x8000);
}

TEST_F(BookmarksTest, PreviewsShowWhatEachCameraSees) {
  // One camera looks at the red ball, the other away from it: their previews differ, and the
  // first is the renderer's own picture from that camera.
  host::CameraObject* at = addCamera("At", {0, 0, -400});
  auto* away = static_cast<host::CameraObject*>(host_.scene().createObject(host::kTypeCamera));
  doc_->insertObject(away, nullptr, at);
  away->setGlobalMatrix(hostapp::lookAt({0, 0, -400}, {0, 0, -800}, 36.0).matrix);
  hook()->addSceneCameraBookmarks();
  ASSERT_EQ(hook()->count(), 2u);
  hostapp::PlainBitmap expected(host_.memory());
  hostapp::RenderOptions options;
  options.width = options.height = 512;
  ASSERT_TRUE(hostapp::renderDocument(host_, *doc_, hostapp::cameraView(*at), options, expected));
  EXPECT_TRUE(samePixels(*hook()->at(0)->preview, expected));
  EXPECT_FALSE(samePixels(*hook()->at(1)->preview, expected));
}

TEST_F(BookmarksTest, ViewBookmarkTakesTheSceneCameraAndItsLens) {
  host::CameraObject* cam = addCamera("Shot", {100, 100, -300});
  cam->setFocalLength(50.0);
  host::View* view = doc_->activeView();
  view->setSceneCamera(cam);
  CameraBookmark* b = hook()->addViewBookmark();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->matrix, cam->globalMatrix());
  EXPECT_EQ(b->projection, 0);
  EXPECT_EQ(b->focalLength, 50.0);
  EXPECT_EQ(b->zoom, 1.0);
  EXPECT_EQ(b->filmOffset, host::Vector());
  EXPECT_EQ(b->aperture, 36.0);
  ASSERT_NE(b->preview, nullptr);
  EXPECT_EQ(b->preview->width(), 256);
  EXPECT_EQ(b->preview->height(), 256);

  // Without a scene camera the editor camera is taken.
  view->setSceneCamera(nullptr);
  const host::Matrix editor = hostapp::lookAt({0, 300, -300}, {0, 0, 0}, 36.0).matrix;
  view->editorCamera()->setGlobalMatrix(editor);
  CameraBookmark* e = hook()->addViewBookmark();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->matrix, editor);
  EXPECT_EQ(e->id, b->id + 1);
}

TEST_F(BookmarksTest, ApplyMovesTheEditorCameraAndClearsTheSceneCamera) {
  host::CameraObject* cam = addCamera("Shot", {100, 100, -300});
  host::View* view = doc_->activeView();
  view->setSceneCamera(cam);
  CameraBookmark mark;
  mark.matrix = hostapp::lookAt({-50, 10, -250}, {0, 0, 0}, 36.0).matrix;
  const int64_t updates = host_.events().updates();
  const uint32_t dirty = view->editorCamera()->dirtyCount();
  hook()->applyBookmark(mark);
  EXPECT_EQ(view->editorCamera()->globalMatrix(), mark.matrix);
  EXPECT_EQ(view->editorCamera()->dirtyCount(), dirty + 1);
  EXPECT_EQ(view->sceneCamera(), nullptr);
  EXPECT_EQ(host_.events().redraws().back(), 0x8000);
  EXPECT_EQ(host_.events().updates(), updates + 1);
}

TEST_F(BookmarksTest, RemovingKeepsTheOrderAndAnUnknownIdChangesNothing) {
  for (int i = 0; i < 3; ++i) hook()->addViewBookmark();
  const int32_t first = hook()->at(0)->id, middle = hook()->at(1)->id, last = hook()->at(2)->id;
  hook()->removeBookmark(last + 1000);
  ASSERT_EQ(hook()->count(), 3u);
  hook()->removeBookmark(middle);
  ASSERT_EQ(hook()->count(), 2u);
  EXPECT_EQ(hook()->at(0)->id, first);
  EXPECT_EQ(hook()->at(1)->id, last);
  EXPECT_EQ(hook()->find(middle), nullptr);
}

TEST_F(BookmarksTest, PreviewFailsWithoutRenderSettingsAndTheBookmarkStays) {
  doc_->clearRenderData();
  CameraBookmark* b = hook()->addViewBookmark();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->preview, nullptr);
  EXPECT_EQ(ManagerSceneHook::renderPreview(doc_, 64, 64), nullptr);
  EXPECT_EQ(ManagerSceneHook::renderPreview(nullptr, 64, 64), nullptr);
}

TEST_F(BookmarksTest, SaveAndLoadRestorePreviewsAndMatricesWithNewIds) {
  addCamera("A", {0, 50, -400});
  host::CameraObject* b = addCamera("B", {300, 0, -300});
  // A matrix that no text round trip would keep: every bit has to come back.
  host::Matrix odd = b->globalMatrix();
  odd.off.x = 0.1 + 0.2;
  b->setGlobalMatrix(odd);
  hook()->addSceneCameraBookmarks();
  ASSERT_EQ(hook()->count(), 2u);
  const int32_t lastId = hook()->at(1)->id;

  std::string bytes, error;
  ASSERT_TRUE(hostapp::writeDocument(host_, *doc_, bytes, error)) << error;
  std::unique_ptr<hostapp::DocumentImpl> loaded = hostapp::readDocument(host_, bytes, "t", error);
  ASSERT_NE(loaded, nullptr) << error;
  ManagerSceneHook* again = ManagerSceneHook::of(loaded.get());
  ASSERT_NE(again, nullptr);
  ASSERT_EQ(again->count(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(std::memcmp(&again->at(i)->matrix, &hook()->at(i)->matrix, sizeof(host::Matrix)), 0);
    ASSERT_NE(again->at(i)->preview, nullptr);
    EXPECT_TRUE(samePixels(*again->at(i)->preview, *hook()->at(i)->preview));
    // The lens is kept in memory only.
    EXPECT_EQ(again->at(i)->focalLength, 0.0);
  }
  EXPECT_EQ(again->at(0)->id, lastId + 1);
  EXPECT_EQ(again->at(1)->id, lastId + 2);
}

TEST_F(BookmarksTest, DataOfAnotherDiskLevelReadsAsAnEmptyList) {
  hook()->addViewBookmark();
  hook()->addViewBookmark();
  auto* node = static_cast<hostapp::HookNodeImpl*>(doc_->sceneHook(1035528));
  hostapp::docfile::HookFileWriter out(doc_);
  ASSERT_TRUE(hook()->write(node, &out));

  hostapp::DocumentImpl* other = host_.sceneImpl().newDocument();
  ManagerSceneHook* fresh = ManagerSceneHook::of(other);
  auto* otherNode = static_cast<host::HookNode*>(other->sceneHook(1035528));
  hostapp::docfile::HookFileReader atLevel1(other, out.bytes());
  EXPECT_TRUE(fresh->read(otherNode, &atLevel1, 1));
  EXPECT_EQ(fresh->count(), 0u);
  hostapp::docfile::HookFileReader atLevel0(other, out.bytes());
  EXPECT_TRUE(fresh->read(otherNode, &atLevel0, 0));
  EXPECT_EQ(fresh->count(), 2u);
  // Bookmarks already there stay in front of the loaded ones.
  hostapp::docfile::HookFileReader once(other, out.bytes());
  const int32_t before = fresh->at(1)->id;
  EXPECT_TRUE(fresh->read(otherNode, &once, 0));
  ASSERT_EQ(fresh->count(), 4u);
  EXPECT_EQ(fresh->at(1)->id, before);
  // Data that ends early is refused.
  hostapp::docfile::HookFileReader cut(other, std::string_view(out.bytes()).substr(0, 20));
  EXPECT_FALSE(fresh->read(otherNode, &cut, 0));
}

TEST_F(BookmarksTest, CopyingADocumentCopiesNoBookmarks) {
  hook()->addViewBookmark();
  std::string error;
  std::unique_ptr<hostapp::DocumentImpl> copy = hostapp::copyDocument(host_, *doc_, error);
  ASSERT_NE(copy, nullptr) << error;
  ASSERT_NE(ManagerSceneHook::of(copy.get()), nullptr);
  EXPECT_EQ(ManagerSceneHook::of(copy.get())->count(), 0u);
  EXPECT_EQ(copy->allObjects().size(), doc_->allObjects().size());
}

TEST_F(BookmarksTest, HostRendererReportsWhatARealRendererWould) {
  host::Rendering& r = host_.rendering();
  host::Settings settings = doc_->activeRenderData()->data();
  settings.setInt32(host::kRenderWidth, 32);
  settings.setInt32(host::kRenderHeight, 16);
  std::unique_ptr<host::Bitmap> bmp = host_.paint().createBitmap();
  ASSERT_TRUE(bmp->init(32, 16, 32));
  EXPECT_EQ(r.renderDocument(doc_, settings, bmp.get(), 11), host::kRenderResultOk);
  EXPECT_EQ(bmp->getAlpha(5, 5), 255);
  EXPECT_EQ(r.renderDocument(nullptr, settings, bmp.get(), 11), host::kRenderResultNoDocument);
  EXPECT_EQ(r.renderDocument(doc_, settings, nullptr, 11), host::kRenderResultBadImage);
  host::Settings wrongSize = settings;
  wrongSize.setInt32(host::kRenderWidth, 33);
  EXPECT_EQ(r.renderDocument(doc_, wrongSize, bmp.get(), 11), host::kRenderResultBadImage);
  host::Settings empty = settings;
  empty.setInt32(host::kRenderHeight, 0);
  EXPECT_EQ(r.renderDocument(doc_, empty, bmp.get(), 11), host::kRenderResultBadSize);
  host::Settings engine = settings;
  engine.setInt32(host::kRenderEngine, 1023342);
  EXPECT_EQ(r.renderDocument(doc_, engine, bmp.get(), 11), host::kRenderResultNoRenderer);
  host_.memory().failAt(1);
  EXPECT_EQ(r.renderDocument(doc_, settings, bmp.get(), 11), host::kRenderResultOutOfMemory);
  host_.memory().failAt(0);
}

}  // namespace
