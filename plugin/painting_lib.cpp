#include "plugin/painting_lib.h"

#include <algorithm>
#include <cstring>

#include "host/binding.h"
#include "lib/bleed.h"
#include "plugin/fill/floodlayers.h"
#include "plugin/paintchannels.h"
#include "plugin/paintmaterials.h"
#include "plugin/paintundo.h"
#include "plugin/rast/rasterize.h"

namespace pigmora {

namespace {
constexpr int32_t kPaintToolInfoBit = 0x400;
constexpr int32_t kCheckerSquare = 50;

PaintLibrary gLibrary;

bool colorModeInfoEntry(int32_t mode, int32_t* bits, int32_t* components) {
  if (!bits || !components) return false;
  return ColorModeInfo(mode, *bits, *components);
}

void fillPolygonsEntry(host::PolygonObject* obj, host::Material* mat, int32_t channel,
                       const host::Selection* selection) {
  fillPolygons(obj, mat, channel, selection);
}

// Sets a stamp or stencil image on the active paint tool and tells everyone who shows it.
void useImage(const std::string* file, int32_t onId, int32_t imageId, int32_t otherId,
              bool keepOther) {
  if (!file || file->empty()) return;
  if (host::Settings* s = activePaintToolSettings()) {
    s->setBool(onId, true);
    s->setFilename(imageId, *file);
    if (!keepOther) s->setBool(otherId, false);
  }
  host::Events& events = host::api().events();
  events.update();
  events.special(kStampEvent, 0, 0);
  events.drawViews(kRedrawStampChange);
}
}  // namespace

bool remapPolygon(const host::UVWPolygon* src, const host::UVWPolygon* dst,
                  host::PaintBitmap* srcBitmap, host::PaintBitmap* dstBitmap, bool quad) {
  if (!src || !dst || !srcBitmap || !dstBitmap) return false;
  rasterize_remap(*src, *dst, srcBitmap, dstBitmap, quad);
  return true;
}

void useAsStamp(const std::string* file, bool keepStencil) {
  useImage(file, kSettingStampOn, kSettingStampImage, kSettingStencilOn, keepStencil);
}

void useAsStencil(const std::string* file, bool keepStamp) {
  useImage(file, kSettingStencilOn, kSettingStencilImage, kSettingStampOn, keepStamp);
}

host::Settings* activePaintToolSettings() {
  host::Host& h = host::api();
  host::Document* doc = h.scene().activeDocument();
  if (!doc) return nullptr;
  const int32_t toolId = doc->data().getInt32(host::kDocActiveTool);
  const int32_t info = h.registration().toolInfo(toolId);
  if (info < 0 || !(info & kPaintToolInfoBit)) return nullptr;
  return h.sculpt().toolSettings(doc, toolId);
}

void renderLayerToBitmap(host::PaintBitmap* source, host::Bitmap* destination) {
  if (!source) return;
  host::Paint& paint = host::api().paint();
  std::unique_ptr<host::Bitmap> temp = paint.createBitmap();
  const int32_t w = source->width(), h = source->height();
  if (!temp || !temp->init(w, h, 24)) return;
  const int32_t mode = source->colorMode();
  const int32_t bpp = bytesPerPixel(mode);
  if (bpp <= 0) return;
  const double identity[4] = {1, 0, 0, 1};
  if (!paint.prepareConversion(mode, identity, host::kModeRGBF)) return;
  uint8_t* row = host::makeArray<uint8_t>(static_cast<size_t>(bpp) * w);
  if (!row) return;
  for (int32_t y = 0; y < h; ++y) {
    source->getPixelRow(0, y, w, row, mode);
    if (mode == host::kModeARGB8) {
      // Transparency shows as a checkerboard of 50-pixel grey squares: v * A + (1 - A) * g with
      // A = alpha / 255, worked in integers so that exact results are not truncated one short.
      for (int32_t x = 0; x < w; ++x) {
        uint8_t* p = row + static_cast<size_t>(x) * 4;
        const uint32_t a = p[0];
        if (a == 255) continue;
        const uint32_t g = ((y / kCheckerSquare) + (x / kCheckerSquare)) % 2 ? 100 : 200;
        p[0] = 255;
        for (int c = 1; c < 4; ++c) p[c] = static_cast<uint8_t>((p[c] * a + (255 - a) * g) / 255);
      }
    }
    temp->setPixelRow(0, y, w, row, mode);
  }
  host::destroyArray(row);
  if (destination) temp->scaleInto(*destination, 256, false, false);
}

// Both bleeds need the document's undo hook; a hook without an undo store bleeds all the same,
// only without an undo step (beginStep and endStep then do nothing).
void bleedObjectStep(host::PolygonObject* obj, double distance) {
  host::Document* doc = obj ? obj->document() : nullptr;
  if (!findUndoHook(doc)) return;
  beginStep(doc);
  FloodLayers(obj, kFloodBleed, 1.0, 1, distance, 1);
  endStep(doc);
}

void bleedLayerStep(host::PolygonObject* obj, host::PaintBitmap* layer, host::SelectionTag* sel,
                    int64_t distance) {
  host::Document* doc = obj ? obj->document() : nullptr;
  if (!layer || !sel || !findUndoHook(doc)) return;
  beginStep(doc);
  if (layer->isInstanceOf(host::kTypeBitmapLayer)) {
    BleedLayer(layer, sel, obj, distance);
    layer->notifyChanged(0, 0, layer->width(), layer->height(), host::kUpdateLayerChanged);
  }
  endStep(doc);
}

void beginUndoStepOfActiveDocument() {
  beginStep(host::api().scene().activeDocument());
}

void endUndoStepOfActiveDocument() {
  endStep(host::api().scene().activeDocument());
}

void saveLayerForUndo(host::PaintBitmap* layer) {
  PaintUndoStore* store = findUndoStore(host::api().scene().activeDocument());
  if (store && layer) store->saveBitmap(layer);
}

void sampleChannels(host::Settings* toolSettings, host::Material* material, int32_t size) {
  if (!toolSettings) return;
  PaintMaterialRegistry* registry = PaintMaterialRegistry::instance();
  if (!registry) return;
  registry->freeSampledChannels();
  if (size <= 0) return;
  host::Host& h = host::api();
  host::Document* doc = h.scene().activeDocument();
  if (!material) {
    host::Node* linked = toolSettings->getLink(kSettingMaterialStamps);
    material = linked && linked->type() == host::kTypeMaterial
                   ? static_cast<host::Material*>(linked)
                   : nullptr;
  }
  host::Events& events = h.events();
  if (!material) {
    events.statusClear();
    return;
  }
  for (int32_t i = 0; i < kChannelCount; ++i) {
    events.statusSetBar(0);
    events.statusSetText(std::string("Sampling Channel: ") + channelKey(i));
    std::unique_ptr<host::Bitmap> bmp = h.paint().createBitmap();
    if (!bmp) continue;
    host::Bitmap* raw = bmp.get();
    registry->setSampledChannel(i, std::move(bmp));
    if (!raw->init(size, size, 24)) continue;
    host::Channel* channel = material->channel(i);
    if (!channel || !doc || !channel->initSampling(doc)) continue;
    const bool textured = channel->hasTextureSource();
    for (int32_t j = 0; j < size; ++j) {
      for (int32_t k = 0; k < size; ++k) {
        const host::Vector point(static_cast<double>(j) / size, static_cast<double>(k) / size, 0);
        const host::Vector c = textured ? channel->sample(point) : host::Vector();
        auto byte = [](double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 1.0) * 255); };
        raw->setPixel(k, j, byte(c.x), byte(c.y), byte(c.z));
      }
      events.statusSetBar(static_cast<double>(j) / size * 100.0);
    }
    channel->freeSampling();
  }
  events.statusClear();
}

bool registerPaintLibrary() {
  std::memset(&gLibrary, 0, sizeof gLibrary);
  gLibrary.remapPolygon = &remapPolygon;
  gLibrary.colorModeInfo = &colorModeInfoEntry;
  gLibrary.useAsStamp = &useAsStamp;
  gLibrary.useAsStencil = &useAsStencil;
  gLibrary.activePaintToolSettings = &activePaintToolSettings;
  gLibrary.renderLayerToBitmap = &renderLayerToBitmap;
  gLibrary.fillPolygons = &fillPolygonsEntry;
  gLibrary.bleedObject = &bleedObjectStep;
  gLibrary.bleedLayer = &bleedLayerStep;
  gLibrary.beginUndoStep = &beginUndoStepOfActiveDocument;
  gLibrary.endUndoStep = &endUndoStepOfActiveDocument;
  gLibrary.saveLayerForUndo = &saveLayerForUndo;
  return host::api().registration().installLibrary(kPaintLibraryId, &gLibrary, kPaintLibraryVersion,
                                                   static_cast<int32_t>(sizeof gLibrary));
}

}  // namespace pigmora
