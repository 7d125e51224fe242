// Calls into the painting library as any plug-in makes them: the host finds the library by its
// id, and each entry is read at its byte offset in the record. Each call does nothing (or answers
// false / null) when the library or the entry is missing.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"

namespace pigmora::library {

bool remapPolygon(const host::UVWPolygon& src, const host::UVWPolygon& dst,
                  host::PaintBitmap* srcBitmap, host::PaintBitmap* dstBitmap, bool quad);
bool colorModeInfo(int32_t mode, int32_t& bits, int32_t& components);
void useAsStamp(const std::string& file, bool keepStencil);
void useAsStencil(const std::string& file, bool keepStamp);
host::Settings* activePaintToolSettings();
void renderLayerToBitmap(host::PaintBitmap* source, host::Bitmap* destination);
void fillPolygons(host::PolygonObject* obj, host::Material* mat, int32_t channel,
                  const host::Selection* selection);
void bleedObject(host::PolygonObject* obj, double distance);
void bleedLayer(host::PolygonObject* obj, host::PaintBitmap* layer, host::SelectionTag* sel,
                int64_t distance);
void beginUndoStep();
void endUndoStep();
void saveLayerForUndo(host::PaintBitmap* layer);

}  // namespace pigmora::library
