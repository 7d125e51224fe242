// The host's rendering service: a document rendered into a caller's bitmap through its active
// view, with the software renderer.
#pragma once

#include "host/host.h"

namespace hostapp {

class EmbeddedHost;

class RenderingImpl : public host::Rendering {
 public:
  explicit RenderingImpl(EmbeddedHost& host) : host_(host) {}
  // The standard renderer (0) and the preview renderer (300001061) both are the software
  // renderer here; the flags change nothing, since it always renders the document itself into
  // the given bitmap. The bitmap keeps its depth; a 32-bit one comes back opaque.
  int32_t renderDocument(host::Document* doc, const host::Settings& settings, host::Bitmap* bitmap,
                         int32_t flags) override;

 private:
  EmbeddedHost& host_;
};

}  // namespace hostapp
