// A cell of the material view: one texture tag of the painted object, showing the current layer
// of its material in the view's channel with the object's UV wireframe over it, and the
// material's name under it. The cell of the polygons that no selection tag holds has no material.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "lib/gui/layoutelement.h"
#include "plugin/paintchannels.h"

namespace pigmora {

constexpr int32_t kTagPreviewSize = 512;

class TextureTagElement : public LayoutElement {
 public:
  TextureTagElement() = default;
  ~TextureTagElement() override;

  // A preview a cell had, kept while the view is built again: a new cell of the same tag showing
  // the same layer at the same change count takes it instead of rendering the layer again.
  struct KeptPreview {
    host::Link tag, layer;
    ChannelIndex channel = 0;
    int64_t stamp = -1;
    std::unique_ptr<host::Bitmap> preview;
  };
  // Fills the cell from a texture tag of a polygon object; false (the cell stays empty) when the
  // tag has no material or its object is no polygon object.
  bool setFromTag(host::TextureTag* tag, ChannelIndex channel,
                  std::vector<KeptPreview>* kept = nullptr);
  // Hands the preview over for the next cell of this tag; the cell keeps none.
  bool keepPreview(std::vector<KeptPreview>& kept);
  // The "No Material" cell of the polygons in `polygons`.
  bool setNoMaterial(host::PolygonObject* obj, const host::Selection& polygons);

  void draw(ViewAreaBase& area, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
            bool quick) override;
  int32_t handlesHit() override { return 0; }
  bool click(ViewAreaBase& area, const host::InputEvent& event, int32_t qualifiers, int32_t localX,
             int32_t localY, int32_t x, int32_t y) override;
  // Renders the preview again when the current layer changed since it was rendered.
  void update() override;
  std::string label() const override;

  // The active layer of the material's texture in the cell's channel, when it is a bitmap layer.
  host::PaintBitmap* currentLayer() const;
  // The paint texture of the material's channel c, or null.
  host::PaintTexture* texture(ChannelIndex c) const;
  host::Material* material() const { return material_.getAs<host::Material>(); }
  host::TextureTag* tag() const { return tag_.getAs<host::TextureTag>(); }
  host::SelectionTag* selectionTag() const { return selectionTag_.getAs<host::SelectionTag>(); }
  host::PolygonObject* object() const;
  host::UVWTag* uvwTag() const { return uvw_.getAs<host::UVWTag>(); }
  host::Bitmap* preview() const { return preview_.get(); }
  ChannelIndex channel() const { return channel_; }
  // A new channel: the preview is rendered again at the next update.
  void setChannel(ChannelIndex c) {
    channel_ = c;
    lastStamp_ = -1;
  }
  int64_t lastStamp() const { return lastStamp_; }
  // How many times the preview was rendered from the layer.
  int32_t renders() const { return renders_; }

 private:
  bool makePreview();
  void renderPreview(host::PaintBitmap* layer);
  void fillPreview(uint8_t r, uint8_t g, uint8_t b);

  host::Link material_, tag_, selectionTag_, object_, uvw_;
  std::unique_ptr<host::Bitmap> preview_;
  host::Selection polygons_;
  int64_t lastStamp_ = -1;
  ChannelIndex channel_ = 0;
  int32_t renders_ = 0;
};

}  // namespace pigmora
