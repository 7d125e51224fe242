// Standard materials and their channels.
#pragma once

#include <memory>

#include "host/scene.h"

namespace hostapp {

class DocumentImpl;
class MaterialImpl;

class ChannelImpl : public host::Channel {
 public:
  ChannelImpl(MaterialImpl* material, int32_t index);
  int32_t type() const override { return host::kTypeChannel; }
  host::Material* material() const override;
  int32_t index() const override { return index_; }
  bool hasTextureSource() const override;
  bool initSampling(host::Document* doc) override;
  host::Vector sample(const host::Vector& uv) override;
  void freeSampling() override { samplingDoc_ = nullptr; }
  // The file path the channel links: directory 1017 joined with file 1002; empty when none.
  std::string texturePath() const;

 private:
  MaterialImpl* material_;
  int32_t index_;
  host::Document* samplingDoc_ = nullptr;
};

class MaterialImpl : public host::Material {
 public:
  MaterialImpl();
  int32_t type() const override { return host::kTypeMaterial; }
  host::Material* next() const override;
  host::Document* document() const override;
  host::Channel* channel(int32_t index) override;
  bool channelEnabled(int32_t index) const override;
  void enableChannel(int32_t index, bool on) override;

  DocumentImpl* doc_ = nullptr;

 private:
  std::unique_ptr<ChannelImpl> channels_[14];
};

}  // namespace hostapp
