#include "cli/stroke_feedback.h"

#include <vector>

#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/document.h"
#include "hostapp/sculpt/sculpt_impl.h"

namespace pigmora::cli {

namespace {

constexpr int32_t kFixedStrength = 20013;
constexpr int32_t kFixedStrengthValue = 10207;
constexpr int32_t kBrushMode = 10221;
constexpr int32_t kModePolygons = 7, kModePolygonsRestricted = 14;

std::string quoted(const std::string& s) {
  return "\"" + s + "\"";
}

std::vector<host::Material*> materialsOf(host::PolygonObject* obj) {
  std::vector<host::Material*> out;
  for (int32_t i = 0; i < obj->tagCount(); ++i) {
    host::Tag* t = obj->tagAt(i);
    if (t->type() != host::kTypeTextureTag) continue;
    host::Material* m = static_cast<host::TextureTag*>(t)->material();
    if (m) out.push_back(m);
  }
  return out;
}

std::string sizeText(const host::PaintTexture* t) {
  return std::to_string(t->width()) + " x " + std::to_string(t->height());
}

}  // namespace

PaintWatch watchTextures(const JobContext& ctx) {
  PaintWatch watch;
  for (const auto& [path, tex] : ctx.doc->textures()) watch[tex.get()] = tex->changedWrites();
  return watch;
}

bool paintedSince(const JobContext& ctx, const PaintWatch& watch) {
  for (const auto& [path, tex] : ctx.doc->textures()) {
    auto it = watch.find(tex.get());
    if (tex->changedWrites() != (it == watch.end() ? 0 : it->second)) return true;
  }
  return false;
}

std::string whyNothingPainted(JobContext& ctx, host::PolygonObject* obj,
                              const hostapp::StrokeStats& stats,
                              const hostapp::StrokeInput& input) {
  const std::string name = quoted(obj->name());
  if (stats.dabs == 0)
    return stats.missed > 0 ? "every dab was off the surface of " + name +
                                  " (the primitives' orientation and the editor camera are in "
                                  "docs/jobs.md)"
                            : "the stroke made no dabs on " + name;
  const int32_t toolId = ctx.doc->data().getInt32(host::kDocActiveTool);
  const host::Settings* data = ctx.host.sculptImpl().toolData(ctx.doc, toolId);
  double strength = input.strength.value_or(data ? data->getReal(host::kBrushStrength, 0.5) : 0.5);
  if (data && data->getBool(kFixedStrength)) strength = data->getReal(kFixedStrengthValue, 1.0);
  if (!(strength > 0)) return "the strength is 0";
  if (!obj->tag(host::kTypeUVWTag)) return name + " has no UVs";
  const std::vector<host::Material*> materials = materialsOf(obj);
  if (materials.empty()) return name + " has no texture tag with a material";

  host::PainterState& painter = ctx.host.paintImpl().painter();
  if (painter.paintAllChannels()) {
    bool anyEnabled = false, anyTexture = false;
    for (host::Material* m : materials) {
      const host::PaintTexture* first = nullptr;
      std::string sizes;
      bool differ = false;
      for (int32_t c = 0; c < 14; ++c) {
        if (!painter.channelEnabled(c)) continue;
        anyEnabled = true;
        host::PaintTexture* tex =
            m->channelEnabled(c) && m->channel(c) &&
                    !m->channel(c)->data().getFilename(host::kChannelFile).empty()
                ? ctx.host.paintImpl().textureOf(m, c, ctx.doc)
                : nullptr;
        if (!tex) continue;
        anyTexture = true;
        sizes += (sizes.empty() ? "" : ", ") + std::string(channelKey(c)) + " " + sizeText(tex);
        if (first && (first->width() != tex->width() || first->height() != tex->height()))
          differ = true;
        if (!first) first = tex;
      }
      if (differ)
        return "the channel textures of the material " + quoted(m->name()) + " differ in size (" +
               sizes + "); painting several channels needs one size";
    }
    if (!anyEnabled) return "no channel is enabled in the painter";
    if (!anyTexture && !painter.selectedTexture())
      return "no enabled channel of the materials of " + name + " has a texture";
  } else {
    host::PaintTexture* selected = painter.selectedTexture();
    if (!selected)
      return "no texture is selected for painting (give the painter a \"texture\", or "
             "\"paint_all\")";
    bool belongs = false;
    for (host::Material* m : materials)
      for (int32_t c = 0; c < 14 && !belongs; ++c)
        belongs = m->channelEnabled(c) && m->channel(c) &&
                  !m->channel(c)->data().getFilename(host::kChannelFile).empty() &&
                  ctx.host.paintImpl().textureOf(m, c, ctx.doc) == selected;
    if (!belongs) return "the texture selected for painting is in none of the materials of " + name;
  }
  // The brush keeps to the selected polygons in mode 14, and in mode 7 with a point test.
  const int32_t mode = ctx.doc->data().getInt32(host::kDocMode);
  const int32_t brushMode = data ? data->getInt32(kBrushMode) : 0;
  const bool pointTest = brushMode == 4 || brushMode == 5 || brushMode == 6;
  if (data && data->getBool(host::kBrushRestrict) &&
      (mode == kModePolygonsRestricted || (mode == kModePolygons && pointTest)))
    return obj->polygonSelection().empty()
               ? "painting is restricted to the selection, and no polygon of " + name +
                     " is selected"
               : "painting is restricted to the selection, and the dabs touched no selected "
                 "polygon of " +
                     name;
  // Writes are counted only where they change a texel, so both cases look the same here.
  return "the dabs changed no texel of the textures of " + name +
         " (they reached none, or the texels already hold what the brush paints)";
}

}  // namespace pigmora::cli
