// The painter-state library: what the user chose to paint with.
#pragma once

#include "host/link.h"
#include "host/paint.h"

namespace hostapp {

// Starts with every channel enabled, black as colour 0 and white as colour 1 at brightness 1.
class PainterImpl : public host::PainterState {
 public:
  PainterImpl();
  bool channelEnabled(int32_t channel) const override;
  void setChannelEnabled(int32_t channel, bool on) override;
  bool color(int32_t slot, int32_t channel, host::Vector& color, double& brightness) const override;
  void setColor(int32_t slot, int32_t channel, const host::Vector& color,
                double brightness) override;
  bool paintAllChannels() const override { return paintAll_; }
  void setPaintAllChannels(bool on) override { paintAll_ = on; }
  bool multiChannel() const override { return multi_; }
  void setMultiChannel(bool on) override { multi_ = on; }
  int32_t activeChannel() const override { return active_; }
  void setActiveChannel(int32_t channel) override { active_ = channel; }
  host::PaintTexture* selectedTexture() const override {
    return selected_.getAs<host::PaintTexture>();
  }
  void setSelectedTexture(host::PaintTexture* texture) override { selected_.set(texture); }
  void activateChannel(int32_t channel, bool multi, bool on) override;
  void activateLayer(host::PaintBitmap* layer, int32_t flags) override;
  // Removes the colours of a channel, so that the painter has none for it.
  void clearColor(int32_t channel);

 private:
  struct Slot {
    bool present = true;
    host::Vector color;
    double brightness = 1.0;
  };
  bool enabled_[14];
  Slot colors_[2][14];
  bool paintAll_ = false;
  bool multi_ = false;
  int32_t active_ = 0;
  host::Link selected_;
};

}  // namespace hostapp
