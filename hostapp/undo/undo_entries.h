// The entries of the host's undo list, one kind each: change (40), selection change (43), new
// object (44), delete (45) and scene-hook entries (9996).
#pragma once

#include <cstdint>
#include <memory>

#include "host/host.h"
#include "hostapp/undo/undo_list.h"

namespace hostapp {

class DocumentImpl;

// Records what an entry of the kind needs about the node now. Null when the kind is unknown or
// does not apply to the node (a new-object entry for a node outside the document, ...).
std::unique_ptr<UndoEntry> makeUndoEntry(DocumentImpl& doc, int32_t kind, host::Node* node);

}  // namespace hostapp
