#include "hostapp/scene/material.h"

#include <cmath>

#include "host/host.h"
#include "host/paint.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/scene/document.h"

namespace hostapp {

ChannelImpl::ChannelImpl(MaterialImpl* material, int32_t index)
    : material_(material), index_(index) {}

host::Material* ChannelImpl::material() const {
  return material_;
}

std::string ChannelImpl::texturePath() const {
  const std::string file = data().getString(host::kChannelFile);
  if (file.empty()) return {};
  if (!file.empty() && file[0] == '/') return file;
  // 1017 holds either the folder the file lies in or, as importers set it, the file itself.
  const std::string dir = data().getString(host::kChannelDirectory);
  return dir == file ? file : host::joinPath(dir, file);
}

bool ChannelImpl::hasTextureSource() const {
  return !texturePath().empty();
}

bool ChannelImpl::initSampling(host::Document* doc) {
  samplingDoc_ = doc;
  return doc != nullptr;
}

host::Vector ChannelImpl::sample(const host::Vector& uv) {
  auto* doc = static_cast<DocumentImpl*>(samplingDoc_);
  host::PaintTexture* tex = doc ? doc->textureAt(texturePath()) : nullptr;
  if (!tex || tex->width() <= 0 || tex->height() <= 0) return {};
  const double u = uv.x - std::floor(uv.x), v = uv.y - std::floor(uv.y);
  const int32_t x = std::min(tex->width() - 1, static_cast<int32_t>(u * tex->width()));
  const int32_t y = std::min(tex->height() - 1, static_cast<int32_t>(v * tex->height()));
  float rgb[3] = {0.f, 0.f, 0.f};
  tex->getPixelRow(x, y, 1, rgb, host::kModeRGBF);
  return {rgb[0], rgb[1], rgb[2]};
}

MaterialImpl::MaterialImpl() {
  data().setVector(host::kMatColor, {0.8, 0.8, 0.8});
  data().setInt32(host::kMatColorUsed, 0);
  enableChannel(0, true);
}

host::Material* MaterialImpl::next() const {
  return doc_ ? doc_->materialAfter(this) : nullptr;
}

host::Document* MaterialImpl::document() const {
  return doc_;
}

host::Channel* MaterialImpl::channel(int32_t index) {
  return index >= 0 && index < 14 ? channels_[index].get() : nullptr;
}

bool MaterialImpl::channelEnabled(int32_t index) const {
  return index >= 0 && index < 14 && channels_[index] != nullptr;
}

void MaterialImpl::enableChannel(int32_t index, bool on) {
  if (index < 0 || index >= 14) return;
  if (on && !channels_[index]) channels_[index] = std::make_unique<ChannelImpl>(this, index);
  if (!on) channels_[index].reset();
}

}  // namespace hostapp
