// The "library" step: calls an entry of the plug-in's painting library, found through the host
// by its id as any plug-in finds it.
#include <filesystem>

#include "cli/layer_ref.h"
#include "cli/steps.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/plain_bitmap.h"
#include "hostapp/scene/document.h"
#include "plugin/painting_lib.h"

namespace pigmora::cli {

namespace {

host::PolygonObject* namedObject(JobContext& ctx, const Json& step) {
  return ctx.polygonObject(stringOf(step, "object"));
}

host::SelectionTag* selectionTag(host::PolygonObject* obj, const std::string& name) {
  for (int32_t i = 0; i < obj->tagCount(); ++i) {
    host::Tag* t = obj->tagAt(i);
    if (t->type() == host::kTypePolygonSelectionTag && t->name() == name)
      return static_cast<host::SelectionTag*>(t);
  }
  throw StepError(obj->name() + " has no selection named \"" + name + "\"");
}

std::string libraryStep(JobContext& ctx, const Json& step) {
  const auto* lib =
      static_cast<const PaintLibrary*>(ctx.host.registration().findLibrary(kPaintLibraryId));
  if (!lib)
    throw StepError("the plug-in has not installed its painting library " +
                    std::to_string(kPaintLibraryId));
  const std::string entry = stringOf(step, "entry");
  if (entry == "colorModeInfo") {
    int32_t bits = 0, components = 0;
    const int32_t mode = intOf(step, "mode");
    if (!lib->colorModeInfo(mode, &bits, &components))
      return "mode " + std::to_string(mode) + ": not paintable";
    return "mode " + std::to_string(mode) + ": " + std::to_string(bits) + " bits, " +
           std::to_string(components) + " components";
  }
  if (entry == "useAsStamp" || entry == "useAsStencil") {
    const std::string file =
        std::filesystem::absolute(ctx.inputFile(stringOf(step, "file"))).string();
    const bool keep = boolOr(step, "keep", false);
    // The entry reports nothing back: an image it cannot use is refused here, as the host's
    // file dialog would not offer it.
    ctx.requireImage(file);
    (entry == "useAsStamp" ? lib->useAsStamp : lib->useAsStencil)(&file, keep);
    return entry + " " + std::filesystem::path(file).filename().string();
  }
  if (entry == "activePaintToolSettings")
    return lib->activePaintToolSettings() ? "a paint tool is active" : "no paint tool is active";
  if (entry == "renderLayerToBitmap") {
    const LayerRef ref = layerRef(ctx, step, true);
    const int32_t size = intOr(step, "size", 256);
    if (size < 1 || size > 16384) throw StepError("\"size\" must lie between 1 and 16384");
    hostapp::PlainBitmap preview(ctx.host.memory());
    if (!preview.init(size, size, 24))
      throw StepError("the preview bitmap could not be made: the machine ran out of memory");
    lib->renderLayerToBitmap(ref.layer ? ref.layer : ref.texture, &preview);
    const std::filesystem::path file =
        ctx.outputFile(stringOr(step, "file", safeFileName(ref.label()) + "_preview.png"));
    std::string error;
    if (!hostapp::savePlainBitmap(preview, file.string(), error)) throw StepError(error);
    return "preview " + file.filename().string();
  }
  if (entry == "fillPolygons") {
    host::PolygonObject* obj = namedObject(ctx, step);
    host::Material* mat = ctx.material(stringOf(step, "material"));
    const int32_t channel = step.contains("channel") ? channelOf(step["channel"]) : 0;
    host::Selection* sel = step.contains("selection")
                               ? &selectionTag(obj, stringOf(step, "selection"))->selection()
                               : nullptr;
    lib->fillPolygons(obj, mat, channel, sel);
    return obj->name() + ": polygons filled into " + mat->name() + " " + channelKey(channel);
  }
  if (entry == "bleedObject") {
    host::PolygonObject* obj = namedObject(ctx, step);
    lib->bleedObject(obj, numberOr(step, "distance", 5.0));
    return obj->name() + " bled";
  }
  if (entry == "bleedLayer") {
    host::PolygonObject* obj = namedObject(ctx, step);
    const LayerRef ref = layerRef(ctx, step, true);
    host::SelectionTag* sel = selectionTag(obj, stringOf(step, "selection"));
    lib->bleedLayer(obj, ref.layer, sel, static_cast<int64_t>(numberOr(step, "distance", 5.0)));
    return ref.label() + " bled";
  }
  if (entry == "beginUndoStep") {
    lib->beginUndoStep();
    return "undo step begun";
  }
  if (entry == "endUndoStep") {
    lib->endUndoStep();
    return "undo step ended";
  }
  if (entry == "saveLayerForUndo") {
    const LayerRef ref = layerRef(ctx, step, true);
    lib->saveLayerForUndo(ref.layer);
    return ref.label() + " saved for undo";
  }
  if (entry == "remapPolygon") {
    // Copies what one polygon shows in one texture into the same UV area of another.
    host::PolygonObject* obj = namedObject(ctx, step);
    const int32_t polygon = intOf(step, "polygon");
    if (polygon < 0 || polygon >= obj->polygonCount())
      throw StepError("polygon " + std::to_string(polygon) + " is out of range: " + obj->name() +
                      " has " + std::to_string(obj->polygonCount()) + " polygons");
    auto* uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
    if (!uvw) throw StepError(obj->name() + " has no UVs");
    const LayerRef from = layerRef(ctx, require(step, "from"), true);
    const LayerRef to = layerRef(ctx, require(step, "to"), true);
    const host::UVWPolygon uv = uvw->get(polygon);
    const bool quad = !obj->polygons()[polygon].isTriangle();
    lib->remapPolygon(&uv, &uv, from.layer, to.layer, quad);
    return "polygon " + std::to_string(polygon) + ": " + from.label() + " -> " + to.label();
  }
  throw StepError("the painting library has no entry named \"" + entry + "\"");
}

}  // namespace

void addLibrarySteps(StepTable& t) {
  const Rule layer = object({req("material", text(), "The material."),
                             opt("channel", channelName(), "The channel (color)."),
                             opt("layer", layerName(), "The layer (the active one).")});
  t.add("library",
        "Calls an entry of the plug-in's painting library (1036240), found through the host.",
        object({req("entry",
                    word({"colorModeInfo", "useAsStamp", "useAsStencil", "activePaintToolSettings",
                          "renderLayerToBitmap", "fillPolygons", "bleedObject", "bleedLayer",
                          "beginUndoStep", "endUndoStep", "saveLayerForUndo", "remapPolygon"}),
                    "The library entry."),
                opt("mode", whole(), "colorModeInfo: the colour-mode code."),
                opt("file", text(),
                    "useAsStamp, useAsStencil: the image; renderLayerToBitmap: "
                    "the output file."),
                opt("keep", flag(), "useAsStamp, useAsStencil: keep the current image's mode."),
                opt("material", text(), "The material of the layer or fill."),
                opt("channel", channelName(), "The channel (color)."),
                opt("layer", layerName(), "The layer (the active one)."),
                opt("size", whole().between(1, 16384), "renderLayerToBitmap: preview size (256)."),
                opt("object", text(), "The polygon object."),
                opt("selection", text(), "A polygon selection tag of the object."),
                opt("distance", number().from(0), "bleedObject, bleedLayer: distance (5)."),
                opt("polygon", whole().from(0), "remapPolygon: the polygon."),
                opt("from", layer, "remapPolygon: the layer read."),
                opt("to", layer, "remapPolygon: the layer written.")}),
        libraryStep);
}

}  // namespace pigmora::cli
