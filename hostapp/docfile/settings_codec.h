// Settings containers in document files, with links written as references to the document's
// objects, tags and materials and resolved once every node has been read.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "host/host.h"
#include "hostapp/docfile/byte_io.h"

namespace hostapp::docfile {

// What a link points at: an object (a = its depth-first index), a material (a = its index) or a
// tag (a = its object, b = its index among the object's tags); none for anything else.
struct NodeRef {
  enum Kind : uint8_t { kNone = 0, kObject = 1, kMaterial = 2, kTag = 3 };
  uint8_t kind = kNone;
  int32_t a = -1, b = -1;
};

using NodeRefs = std::map<const host::Node*, NodeRef>;

struct PendingLink {
  host::Settings* settings;
  int32_t key;
  NodeRef ref;
};

// `skip` leaves out one key of the outermost container (0 for none).
void writeSettings(ByteWriter& w, const host::Settings& s, const NodeRefs& refs, int32_t skip = 0);
// Links are stored empty and listed in `links` for the caller to resolve.
bool readSettings(ByteReader& r, host::Settings& s, std::vector<PendingLink>& links, int depth = 0);

}  // namespace hostapp::docfile
