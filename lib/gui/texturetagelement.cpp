#include "lib/gui/texturetagelement.h"

#include <algorithm>

#include "host/binding.h"
#include "lib/gui/uvdecoration.h"
#include "lib/gui/viewarea.h"
#include "plugin/painting_lib_client.h"
#include "plugin/paintmaterials.h"
#include "plugin/uvislands.h"

namespace pigmora {

namespace {
constexpr int32_t kCaptionGap = 5;

uint8_t component(double v) {
  return static_cast<uint8_t>(std::clamp(v, 0.0, 1.0) * 255.0);
}

// The first UVW tag after `tag` in the object's tag list, else the object's first.
host::UVWTag* uvwTagFor(host::Object* obj, host::Tag* tag) {
  bool after = false;
  for (int32_t i = 0; i < obj->tagCount(); ++i) {
    host::Tag* t = obj->tagAt(i);
    if (t == tag) after = true;
    if (after && t->type() == host::kTypeUVWTag) return static_cast<host::UVWTag*>(t);
  }
  return static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
}

// The caption cut to the cell's width, so that it never runs under the next cell.
std::string fitted(ViewAreaBase& area, const std::string& text, int32_t width) {
  if (area.textWidth(text) <= width) return text;
  const std::string ellipsis = "...";
  std::string cut = text;
  while (!cut.empty() && area.textWidth(cut + ellipsis) > width) cut.pop_back();
  // Never leave half of a UTF-8 character behind.
  while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0x80) cut.pop_back();
  if (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0xC0) cut.pop_back();
  return cut + ellipsis;
}
}  // namespace

TextureTagElement::~TextureTagElement() = default;

host::PolygonObject* TextureTagElement::object() const {
  host::Node* n = object_.get();
  return n && n->type() == host::kTypePolygonObject ? static_cast<host::PolygonObject*>(n)
                                                    : nullptr;
}

bool TextureTagElement::makePreview() {
  host::Host* h = host::bound();
  preview_ = h ? h->paint().createBitmap() : nullptr;
  if (preview_ && !preview_->init(kTagPreviewSize, kTagPreviewSize, 24)) preview_.reset();
  return preview_ != nullptr;
}

void TextureTagElement::fillPreview(uint8_t r, uint8_t g, uint8_t b) {
  if (preview_) preview_->clear(r, g, b);
}

void TextureTagElement::renderPreview(host::PaintBitmap* layer) {
  if (!preview_ || !layer) return;
  library::renderLayerToBitmap(layer, preview_.get());
  lastStamp_ = static_cast<int64_t>(layer->changeCount());
  ++renders_;
}

bool TextureTagElement::keepPreview(std::vector<KeptPreview>& kept) {
  host::PaintBitmap* layer = currentLayer();
  if (!tag() || !layer || !preview_ || lastStamp_ < 0) return false;
  KeptPreview k;
  k.tag.set(tag());
  k.layer.set(layer);
  k.channel = channel_;
  k.stamp = lastStamp_;
  k.preview = std::move(preview_);
  kept.push_back(std::move(k));
  return true;
}

bool TextureTagElement::setFromTag(host::TextureTag* tag, ChannelIndex channel,
                                   std::vector<KeptPreview>* kept) {
  host::Object* owner = tag ? tag->object() : nullptr;
  host::Material* mat = tag ? tag->material() : nullptr;
  if (!owner || owner->type() != host::kTypePolygonObject || !mat) return false;
  auto* obj = static_cast<host::PolygonObject*>(owner);
  channel_ = channel;
  material_.set(mat);
  tag_.set(tag);
  object_.set(obj);
  host::SelectionTag* selTag = restrictionSelectionTag(obj, tag);
  selectionTag_.set(selTag);
  host::UVWTag* uvw = uvwTagFor(obj, tag);
  uvw_.set(uvw);
  addDecoration(host::make<UVDecoration>(obj, tag, uvw, selTag, nullptr));
  host::PaintBitmap* layer = currentLayer();
  if (layer && kept) {
    const auto stamp = static_cast<int64_t>(layer->changeCount());
    for (KeptPreview& k : *kept) {
      if (!k.preview || k.tag.get() != tag || k.layer.get() != layer || k.channel != channel ||
          k.stamp != stamp)
        continue;
      preview_ = std::move(k.preview);
      lastStamp_ = stamp;
      return true;
    }
  }
  makePreview();
  if (layer) {
    renderPreview(layer);
  } else {
    const host::Vector c = mat->data().getVector(host::kMatColor);
    fillPreview(component(c.x), component(c.y), component(c.z));
  }
  return true;
}

bool TextureTagElement::setNoMaterial(host::PolygonObject* obj, const host::Selection& polygons) {
  if (!obj || polygons.empty()) return false;
  polygons_ = polygons;
  object_.set(obj);
  auto* uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  uvw_.set(uvw);
  addDecoration(host::make<UVDecoration>(obj, nullptr, uvw, nullptr, &polygons_));
  makePreview();
  fillPreview(128, 128, 128);
  return true;
}

host::PaintTexture* TextureTagElement::texture(ChannelIndex c) const {
  host::Material* mat = material();
  host::Document* doc = mat ? mat->document() : nullptr;
  return doc ? host::api().paint().textureOf(mat, c, doc) : nullptr;
}

host::PaintBitmap* TextureTagElement::currentLayer() const {
  host::PaintTexture* tex = texture(channel_);
  host::PaintBitmap* layer = tex ? tex->activeLayer() : nullptr;
  return layer && layer->isInstanceOf(host::kTypeBitmapLayer) ? layer : nullptr;
}

void TextureTagElement::update() {
  host::PaintBitmap* layer = currentLayer();
  if (layer && static_cast<int64_t>(layer->changeCount()) != lastStamp_) renderPreview(layer);
}

std::string TextureTagElement::label() const {
  host::Material* mat = material();
  return mat ? mat->name() : "No Material";
}

void TextureTagElement::draw(ViewAreaBase& area, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                             bool quick) {
  const int32_t w = x1 - x0, h = y1 - y0;
  if (currentLayer() && preview_) {
    area.drawBitmap(*preview_, x0, y0, w, h);
  } else {
    host::Material* mat = material();
    area.setPen(mat ? mat->data().getVector(host::kMatColor) : host::Vector(0.5, 0.5, 0.5));
    area.fillRect(x0, y0, x1, y1);
  }
  if (!quick) drawDecorations(area, preview_.get(), {x0, y0, x1, y1});
  area.setTextColor(host::kColorText, host::kColorTransparent);
  area.drawText(fitted(area, label(), w), x0, y1 + kCaptionGap);
}

bool TextureTagElement::click(ViewAreaBase& area, const host::InputEvent& event, int32_t qualifiers,
                              int32_t localX, int32_t localY, int32_t x, int32_t y) {
  host::PolygonObject* obj = object();
  host::Document* doc = obj ? obj->document() : nullptr;
  if (doc) {
    doc->setActiveObject(obj);
    if (host::TextureTag* t = tag()) doc->setActiveTag(t);
    if (host::Material* mat = material()) doc->setActiveMaterial(mat, false);
  }
  host::PainterState& painter = host::api().paint().painter();
  // The painter goes on in the channel it paints, now on this cell's material.
  if (painter.selectedTexture()) {
    if (host::PaintTexture* tex = texture(painter.activeChannel())) {
      painter.setSelectedTexture(tex);
      tex->layerChanged(1);
    }
  }
  if (host::PaintBitmap* layer = currentLayer()) painter.activateLayer(layer, 0);
  return LayoutElement::click(area, event, qualifiers, localX, localY, x, y);
}

}  // namespace pigmora
