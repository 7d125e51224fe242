#include "plugin/painting_lib_client.h"

#include <cstring>

#include "host/binding.h"
#include "plugin/painting_lib.h"

namespace pigmora::library {

namespace {
// The entry at `offset` of the record the host holds under the library id, or null.
template <class Fn>
Fn entry(size_t offset) {
  host::Host* h = host::bound();
  const auto* record =
      h ? static_cast<const uint8_t*>(h->registration().findLibrary(kPaintLibraryId)) : nullptr;
  Fn fn = nullptr;
  if (record) std::memcpy(&fn, record + offset, sizeof fn);
  return fn;
}
}  // namespace

bool remapPolygon(const host::UVWPolygon& src, const host::UVWPolygon& dst,
                  host::PaintBitmap* srcBitmap, host::PaintBitmap* dstBitmap, bool quad) {
  auto fn = entry<decltype(PaintLibrary::remapPolygon)>(offsetof(PaintLibrary, remapPolygon));
  return fn && fn(&src, &dst, srcBitmap, dstBitmap, quad);
}

bool colorModeInfo(int32_t mode, int32_t& bits, int32_t& components) {
  auto fn = entry<decltype(PaintLibrary::colorModeInfo)>(offsetof(PaintLibrary, colorModeInfo));
  return fn && fn(mode, &bits, &components);
}

void useAsStamp(const std::string& file, bool keepStencil) {
  if (auto fn = entry<decltype(PaintLibrary::useAsStamp)>(offsetof(PaintLibrary, useAsStamp)))
    fn(&file, keepStencil);
}

void useAsStencil(const std::string& file, bool keepStamp) {
  if (auto fn = entry<decltype(PaintLibrary::useAsStencil)>(offsetof(PaintLibrary, useAsStencil)))
    fn(&file, keepStamp);
}

host::Settings* activePaintToolSettings() {
  auto fn = entry<decltype(PaintLibrary::activePaintToolSettings)>(
      offsetof(PaintLibrary, activePaintToolSettings));
  return fn ? fn() : nullptr;
}

void renderLayerToBitmap(host::PaintBitmap* source, host::Bitmap* destination) {
  if (auto fn = entry<decltype(PaintLibrary::renderLayerToBitmap)>(
          offsetof(PaintLibrary, renderLayerToBitmap)))
    fn(source, destination);
}

void fillPolygons(host::PolygonObject* obj, host::Material* mat, int32_t channel,
                  const host::Selection* selection) {
  if (auto fn = entry<decltype(PaintLibrary::fillPolygons)>(offsetof(PaintLibrary, fillPolygons)))
    fn(obj, mat, channel, selection);
}

void bleedObject(host::PolygonObject* obj, double distance) {
  if (auto fn = entry<decltype(PaintLibrary::bleedObject)>(offsetof(PaintLibrary, bleedObject)))
    fn(obj, distance);
}

void bleedLayer(host::PolygonObject* obj, host::PaintBitmap* layer, host::SelectionTag* sel,
                int64_t distance) {
  if (auto fn = entry<decltype(PaintLibrary::bleedLayer)>(offsetof(PaintLibrary, bleedLayer)))
    fn(obj, layer, sel, distance);
}

void beginUndoStep() {
  if (auto fn = entry<decltype(PaintLibrary::beginUndoStep)>(offsetof(PaintLibrary, beginUndoStep)))
    fn();
}

void endUndoStep() {
  if (auto fn = entry<decltype(PaintLibrary::endUndoStep)>(offsetof(PaintLibrary, endUndoStep)))
    fn();
}

void saveLayerForUndo(host::PaintBitmap* layer) {
  if (auto fn =
          entry<decltype(PaintLibrary::saveLayerForUndo)>(offsetof(PaintLibrary, saveLayerForUndo)))
    fn(layer);
}

}  // namespace pigmora::library
