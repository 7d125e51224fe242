// Steps that save and load documents, move the view, and work with the document's camera
// bookmarks (which the plug-in's bookmark hook keeps).
#include <cstdio>
#include <filesystem>

#include "cli/document_summary.h"
#include "cli/steps.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/docfile/document_file.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/plain_bitmap.h"
#include "hostapp/render/renderer.h"
#include "hostapp/scene/document.h"
#include "hostapp/scene/scene_impl.h"
#include "plugin/managerscenehook.h"

namespace pigmora::cli {

namespace {

std::string withoutStop(std::string s) {
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

std::string megabytes(uintmax_t bytes) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f MB", bytes / 1e6);
  return buf;
}

pigmora::ManagerSceneHook& bookmarks(JobContext& ctx) {
  pigmora::ManagerSceneHook* hook = bookmarksOf(*ctx.doc);
  if (!hook)
    throw StepError("the document has no camera bookmarks: the plug-in made no scene hook " +
                    std::to_string(pigmora::kManagerHookId) + " for it");
  // The hook works on the active document.
  ctx.host.sceneImpl().setActiveDocument(ctx.doc);
  return *hook;
}

std::string idList(const pigmora::ManagerSceneHook& hook) {
  std::string ids;
  for (size_t i = 0; i < hook.count(); ++i) ids += (i ? ", " : "") + std::to_string(hook.at(i)->id);
  return ids.empty() ? "there are none" : "the ids are " + ids;
}

// The bookmark a step names by "id" or by "index" (from 0, in list order).
const pigmora::CameraBookmark& namedBookmark(const pigmora::ManagerSceneHook& hook,
                                             const Json& step) {
  if (step.contains("id")) {
    const int32_t id = intOf(step, "id");
    if (const pigmora::CameraBookmark* b = hook.find(id)) return *b;
    throw StepError("there is no bookmark with the id " + std::to_string(id) + " (" + idList(hook) +
                    ")");
  }
  if (step.contains("index")) {
    const int32_t index = intOf(step, "index");
    if (index >= 0 && static_cast<size_t>(index) < hook.count())
      return *hook.at(static_cast<size_t>(index));
    throw StepError("there is no bookmark at index " + std::to_string(index) + " (there are " +
                    std::to_string(hook.count()) + ")");
  }
  throw StepError("a bookmark is named by \"id\" or \"index\"");
}

std::string bookmarkLine(const pigmora::CameraBookmark& b) {
  return "id " + std::to_string(b.id) + ": " + describeMatrix(b.matrix);
}

std::string saveDocumentStep(JobContext& ctx, const Json& step) {
  // Keys: file.
  const std::filesystem::path file = ctx.outputFile(stringOr(step, "file", "document.pigmora"));
  std::string error;
  if (!hostapp::saveDocument(ctx.host, *ctx.doc, file.string(), error))
    throw StepError(withoutStop(error));
  std::error_code ec;
  return file.filename().string() + " (" + megabytes(std::filesystem::file_size(file, ec)) +
         "): " + describeDocument(*ctx.doc).front();
}

std::string loadDocumentStep(JobContext& ctx, const Json& step) {
  // Keys: file (relative to the job's folder) or output (in the output folder).
  std::filesystem::path file;
  if (step.contains("output")) {
    file = ctx.outDir / stringOf(step, "output");
    ctx.outputFile(stringOf(step, "output"));  // refuses names that leave the folder
  } else {
    file = ctx.inputFile(stringOf(step, "file"));
  }
  std::string error;
  hostapp::DocumentImpl* loaded = hostapp::loadDocument(ctx.host, file.string(), error);
  if (!loaded) throw StepError(withoutStop(error));
  // The loaded document takes the place of the one the job was working on.
  ctx.host.sceneImpl().closeDocument(ctx.doc);
  ctx.doc = loaded;
  ctx.host.sceneImpl().setActiveDocument(loaded);
  return file.filename().string() + ": " + describeDocument(*loaded).front();
}

std::string viewStep(JobContext& ctx, const Json& step) {
  // Keys: position, target, focal, camera.
  hostapp::ViewImpl* view = ctx.doc->activeView();
  std::string summary;
  if (step.contains("camera")) {
    if (step["camera"].is_null()) {
      view->setSceneCamera(nullptr);
      summary = "editor camera";
    } else {
      view->setSceneCamera(ctx.camera(stringOf(step, "camera")));
      summary = "through " + stringOf(step, "camera");
    }
  }
  if (step.contains("position")) {
    hostapp::CameraLens lens = view->editor().lens();
    lens.focalLength = numberOr(step, "focal", lens.focalLength);
    if (!(lens.focalLength > 0)) throw StepError("\"focal\" must be above 0");
    view->editor().setLens(lens);
    const host::Vector at = vectorOf(step["position"], "\"position\"");
    const host::Vector target =
        step.contains("target") ? vectorOf(step["target"], "\"target\"") : host::Vector();
    view->editorCamera()->setGlobalMatrix(hostapp::lookAt(at, target, lens.focalLength).matrix);
    summary += (summary.empty() ? "" : "; ") + std::string("editor camera at ") +
               describeMatrix(view->editor().globalMatrix());
  } else if (step.contains("target") || step.contains("focal")) {
    throw StepError("\"target\" and \"focal\" place the editor camera with \"position\"");
  }
  if (summary.empty()) throw StepError("a view step needs \"position\" or \"camera\"");
  return summary;
}

std::string bookmarkViewStep(JobContext& ctx, const Json& step) {
  // Keys: none.
  (void)step;
  pigmora::ManagerSceneHook& hook = bookmarks(ctx);
  const pigmora::CameraBookmark* b = hook.addViewBookmark();
  if (!b) throw StepError("the bookmark could not be made: the machine ran out of memory");
  return bookmarkLine(*b) + (b->preview ? "" : " (no preview: the view could not be rendered)");
}

std::string bookmarkCamerasStep(JobContext& ctx, const Json& step) {
  // Keys: none.
  (void)step;
  pigmora::ManagerSceneHook& hook = bookmarks(ctx);
  const size_t before = hook.count();
  hook.addSceneCameraBookmarks();
  std::string ids;
  for (size_t i = before; i < hook.count(); ++i)
    ids += (i > before ? ", " : "") + std::to_string(hook.at(i)->id);
  return std::to_string(hook.count() - before) + " cameras bookmarked" +
         (ids.empty() ? "" : " (ids " + ids + ")");
}

std::string bookmarkApplyStep(JobContext& ctx, const Json& step) {
  // Keys: id or index.
  pigmora::ManagerSceneHook& hook = bookmarks(ctx);
  const pigmora::CameraBookmark& b = namedBookmark(hook, step);
  hook.applyBookmark(b);
  return "view moved to bookmark " + bookmarkLine(b);
}

std::string bookmarkRemoveStep(JobContext& ctx, const Json& step) {
  // Keys: id or index.
  pigmora::ManagerSceneHook& hook = bookmarks(ctx);
  const int32_t id = namedBookmark(hook, step).id;
  hook.removeBookmark(id);
  return "bookmark " + std::to_string(id) + " removed, " + std::to_string(hook.count()) + " left";
}

std::string bookmarkListStep(JobContext& ctx, const Json& step) {
  // Keys: none.
  (void)step;
  pigmora::ManagerSceneHook& hook = bookmarks(ctx);
  std::string out = std::to_string(hook.count()) + " bookmarks";
  for (size_t i = 0; i < hook.count(); ++i)
    out += "\n    " + std::to_string(i) + ". " + bookmarkLine(*hook.at(i));
  return out;
}

std::string bookmarkPreviewsStep(JobContext& ctx, const Json& step) {
  // Keys: prefix.
  pigmora::ManagerSceneHook& hook = bookmarks(ctx);
  const std::string prefix = stringOr(step, "prefix", "bookmark_");
  std::string files;
  for (size_t i = 0; i < hook.count(); ++i) {
    const pigmora::CameraBookmark& b = *hook.at(i);
    auto* preview = dynamic_cast<const hostapp::PlainBitmap*>(b.preview.get());
    if (!preview) continue;
    const std::filesystem::path file = ctx.outputFile(prefix + std::to_string(i) + ".png");
    std::string error;
    if (!hostapp::savePlainBitmap(*preview, file.string(), error))
      throw StepError(withoutStop(error));
    files += (files.empty() ? "" : ", ") + file.filename().string();
  }
  if (files.empty()) return "no bookmark has a preview";
  return files;
}

}  // namespace

void addDocumentSteps(StepTable& t) {
  const Rule none = object({});
  const Rule bookmark =
      object({opt("id", whole(), "The bookmark's id."),
              opt("index", whole().from(0), "The bookmark's place in the list, from 0.")})
          .oneOf({"id", "index"});
  t.add("save_document", "Saves the document, with every layer and the bookmarks, to a file.",
        object({opt("file", text(), "The file, in the output folder (document.pigmora).")}),
        saveDocumentStep);
  t.add("load_document", "Loads a document file in place of the job's document.",
        object({opt("file", text(), "A document file, relative to the job's folder."),
                opt("output", text(), "A document file the job wrote into the output folder.")})
            .oneOf({"file", "output"}),
        loadDocumentStep);
  t.add("view", "Places the editor camera, or looks through a scene camera.",
        object({opt("position", vec3(), "Where the editor camera stands."),
                opt("target", vec3(), "What it looks at ([0, 0, 0])."),
                opt("focal", number().above(0), "Its focal length in mm."),
                opt("camera", anyOf({text(), nothing()}),
                    "A camera to look through; null goes back to the editor camera.")})
            .needing("target", "position")
            .needing("focal", "position"),
        viewStep);
  t.add("bookmark_view", "Bookmarks the view, with a rendered preview.", none, bookmarkViewStep);
  t.add("bookmark_cameras", "Bookmarks every camera of the scene.", none, bookmarkCamerasStep);
  t.add("bookmark_apply", "Moves the view to a bookmark.", bookmark, bookmarkApplyStep);
  t.add("bookmark_remove", "Removes a bookmark.", bookmark, bookmarkRemoveStep);
  t.add("bookmark_list", "Lists the bookmarks.", none, bookmarkListStep);
  t.add("bookmark_previews", "Writes the bookmarks' previews as PNG files.",
        object({opt("prefix", text(), "The start of the file names (bookmark_).")}),
        bookmarkPreviewsStep);
}

}  // namespace pigmora::cli
