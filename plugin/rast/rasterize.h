// The triangle rasterisers: every painted pixel is written by one of them, a row segment at a
// time, through the blend.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "plugin/paintmaterials.h"

namespace pigmora {

// Tool settings the stamp routine reads from the dab's settings.
constexpr int32_t kSettingStampTileX = 10608;
constexpr int32_t kSettingStampTileY = 10609;
constexpr int32_t kSettingStencilFalloff = 10406;

// Fills triangle record `tri` of the target with the solid colour of channel slot `slot` at full
// opacity, or of every slot with a bitmap when the target paints all channels. The secondary
// colours are used when the dab asks for them; `dab` may be null (fills have none).
void rasterize_flat(const host::BrushDab* dab, PaintTarget& target, int32_t slot, int32_t tri);

// Paints triangle record `tri` with the brush: colour with the falloff (or the blur), or the
// dab's stamp or stencil. Reads the target as the brush left it for the current dab.
void rasterize_bary(const host::BrushDab* dab, PaintTarget& target, int32_t slot, int32_t tri);

// Copies the texels of one polygon: the destination triangle (a, b, c), and (a, c, d) with
// `quad`, takes its pixels from the matching place of the source triangle. UVs are scaled by
// each bitmap's size.
void rasterize_remap(const host::UVWPolygon& src, const host::UVWPolygon& dst,
                     host::PaintBitmap* srcBmp, host::PaintBitmap* dstBmp, bool quad);

}  // namespace pigmora
