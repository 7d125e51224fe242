// The chunk-level halves of document writing and reading, shared by the file and memory forms.
#pragma once

#include <memory>
#include <string>

#include "hostapp/docfile/chunk_stream.h"

namespace hostapp {
class DocumentImpl;
class EmbeddedHost;
}  // namespace hostapp

namespace hostapp::docfile {

// `why` ends a sentence that begins with the document's name.
bool writeChunks(EmbeddedHost& host, DocumentImpl& doc, Sink& sink, bool withHooks,
                 std::string& why);
// A new document (not yet open) from the chunks; without hooks its scene hooks read nothing.
std::unique_ptr<DocumentImpl> readChunks(EmbeddedHost& host, Source& source, ReadBudget& budget,
                                         bool withHooks, std::string& why);

}  // namespace hostapp::docfile
