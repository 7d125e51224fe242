// Feeds arbitrary bytes to the Megascans description reader, as the text of a description file:
// zero-terminated, parsed into a fresh asset. Every outcome must be a clean yes or no.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hostapp/core/embedded_host.h"
#include "lib/megascan/megascanimporter.h"

namespace {

hostapp::EmbeddedHost* startHost() {
  static hostapp::EmbeddedHost host;
  std::string error;
  if (!host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error)) std::abort();
  return &host;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static hostapp::EmbeddedHost* host = startHost();
  const int64_t live = host->memory().live();
  std::vector<char> text(data, data + size);
  text.push_back(0);
  {
    pigmora::MegascanAsset asset;
    if (asset.parse(text.data())) {
      // Nothing read can be longer than the text, and copies are deep and whole.
      if (asset.id.size() > size || asset.name.size() > size) std::abort();
      for (const pigmora::TemplateComponent* c : asset.components) {
        (void)pigmora::megascanChannel(c->type);
        const pigmora::TemplateComponent copy(*c);
        if (copy.type != c->type || copy.averageColor != c->averageColor ||
            copy.uris.size() != c->uris.size())
          std::abort();
      }
    }
  }
  // Everything parsing took from the host went back to it.
  if (host->memory().live() != live) std::abort();
  return 0;
}
