// The paint family of the embedded host.
#pragma once

#include <memory>
#include <string>

#include "host/paint.h"
#include "hostapp/paint/painter.h"

namespace hostapp {

class EmbeddedHost;
class PaintTextureImpl;

class PaintImpl : public host::Paint {
 public:
  explicit PaintImpl(EmbeddedHost& host) : host_(host) {}

  host::PaintTexture* textureOf(host::Material* mat, int32_t channel, host::Document* doc) override;
  host::PaintTexture* materialTexture(host::Material* mat, host::Document* doc) override;
  host::PaintTexture* createTexture(host::Document* doc, const std::string& path,
                                    const host::Settings& settings) override;
  // The same texture, opened in the document without writing its file (scenes built in code).
  host::PaintTexture* openNewTexture(host::Document* doc, const std::string& path,
                                     const host::Settings& settings);
  void defaultTextureSettings(int32_t channel, host::Settings& settings) override;
  std::string formatSuffix(int32_t format) override;
  bool convertPixels(int32_t srcMode, const void* src, int32_t dstMode, void* dst,
                     int32_t count) override;
  bool prepareConversion(int32_t srcMode, const double matrix[4], int32_t dstMode) override;
  std::unique_ptr<host::Bitmap> createBitmap() override;
  bool replaceLayerPixels(host::PaintBitmap* layer, const host::Bitmap& bitmap) override;
  bool makePaintable(host::Material* mat, host::Document* doc) override;
  PainterImpl& painter() override { return painter_; }

  // Forgets the painter state (the host is unloading the plug-in).
  void reset() { painter_ = PainterImpl(); }

 private:
  std::unique_ptr<PaintTextureImpl> makeTexture(const std::string& path,
                                                const host::Settings& settings);
  EmbeddedHost& host_;
  PainterImpl painter_;
};

}  // namespace hostapp
