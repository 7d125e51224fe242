// The painting library published to the host for other plug-ins and for our own views: painting,
// filling, bleeding and undo operations, texture preview and channel sampling.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"

namespace pigmora {

constexpr int32_t kPaintLibraryId = 1036240;
constexpr int32_t kPaintLibraryVersion = 1000;
constexpr int32_t kStampEvent = -826267;
constexpr int32_t kRedrawStampChange = 267526;
constexpr int32_t kSettingMaterialStamps = 10626;
constexpr int32_t kSettingApplyMaterial = 20006;
constexpr int32_t kSettingStampImage = 10603;
constexpr int32_t kSettingStencilImage = 10402;

// The record the host keeps: an 8-byte header the host owns, then the entries in this order.
struct PaintLibrary {
  uint8_t header[8];
  bool (*remapPolygon)(const host::UVWPolygon* src, const host::UVWPolygon* dst,
                       host::PaintBitmap* srcBitmap, host::PaintBitmap* dstBitmap, bool quad);
  bool (*colorModeInfo)(int32_t mode, int32_t* bits, int32_t* components);
  void (*useAsStamp)(const std::string* file, bool keepStencil);
  void (*useAsStencil)(const std::string* file, bool keepStamp);
  host::Settings* (*activePaintToolSettings)();
  void (*renderLayerToBitmap)(host::PaintBitmap* source, host::Bitmap* destination);
  void (*fillPolygons)(host::PolygonObject* obj, host::Material* mat, int32_t channel,
                       const host::Selection* selection);
  void (*bleedObject)(host::PolygonObject* obj, double distance);
  void (*bleedLayer)(host::PolygonObject* obj, host::PaintBitmap* layer, host::SelectionTag* sel,
                     int64_t distance);
  void (*beginUndoStep)();
  void (*endUndoStep)();
  void (*saveLayerForUndo)(host::PaintBitmap* layer);
};
static_assert(sizeof(PaintLibrary) == 104, "the host reads 12 entries after an 8-byte header");

// Fills the record and hands it to the host.
bool registerPaintLibrary();

// The entries themselves.
bool remapPolygon(const host::UVWPolygon* src, const host::UVWPolygon* dst,
                  host::PaintBitmap* srcBitmap, host::PaintBitmap* dstBitmap, bool quad);
void useAsStamp(const std::string* file, bool keepStencil);
void useAsStencil(const std::string* file, bool keepStamp);
host::Settings* activePaintToolSettings();
void renderLayerToBitmap(host::PaintBitmap* source, host::Bitmap* destination);
void bleedObjectStep(host::PolygonObject* obj, double distance);
void bleedLayerStep(host::PolygonObject* obj, host::PaintBitmap* layer, host::SelectionTag* sel,
                    int64_t distance);
void beginUndoStepOfActiveDocument();
void endUndoStepOfActiveDocument();
void saveLayerForUndo(host::PaintBitmap* layer);

// Renders the 14 channels of the material (or of the one linked in the tool's 10626) into the
// registry's square per-channel stamps of `size` pixels.
void sampleChannels(host::Settings* toolSettings, host::Material* material, int32_t size);

}  // namespace pigmora
