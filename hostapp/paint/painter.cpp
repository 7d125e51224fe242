#include "hostapp/paint/painter.h"

#include "hostapp/paint/paint_bitmap.h"

namespace hostapp {

PainterImpl::PainterImpl() {
  for (int i = 0; i < 14; ++i) {
    enabled_[i] = true;
    colors_[0][i].color = {0, 0, 0};
    colors_[1][i].color = {1, 1, 1};
  }
}

bool PainterImpl::channelEnabled(int32_t channel) const {
  return channel >= 0 && channel < 14 && enabled_[channel];
}

void PainterImpl::setChannelEnabled(int32_t channel, bool on) {
  if (channel >= 0 && channel < 14) enabled_[channel] = on;
}

bool PainterImpl::color(int32_t slot, int32_t channel, host::Vector& color,
                        double& brightness) const {
  if (slot < 0 || slot > 1 || channel < 0 || channel >= 14) return false;
  const Slot& s = colors_[slot][channel];
  if (!s.present) return false;
  color = s.color;
  brightness = s.brightness;
  return true;
}

void PainterImpl::setColor(int32_t slot, int32_t channel, const host::Vector& color,
                           double brightness) {
  if (slot < 0 || slot > 1 || channel < 0 || channel >= 14) return;
  colors_[slot][channel] = {true, color, brightness};
}

void PainterImpl::clearColor(int32_t channel) {
  if (channel < 0 || channel >= 14) return;
  colors_[0][channel].present = colors_[1][channel].present = false;
}

void PainterImpl::activateChannel(int32_t channel, bool multi, bool on) {
  if (channel < 0 || channel >= 14) return;
  active_ = channel;
  if (multi) {
    enabled_[channel] = on;
    return;
  }
  for (int32_t i = 0; i < 14; ++i) enabled_[i] = i == channel;
}

void PainterImpl::activateLayer(host::PaintBitmap* layer, int32_t flags) {
  (void)flags;
  auto* l = dynamic_cast<PaintLayerImpl*>(layer);
  if (!l || !l->owner()) return;
  l->owner()->setActiveLayer(l);
  selected_.set(l->owner());
}

}  // namespace hostapp
