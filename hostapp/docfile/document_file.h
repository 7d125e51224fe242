// Document files: everything a document holds of the artist's work (objects with their tags,
// cameras, materials, every paint texture with all its layers, the document's parameters and
// render settings, the view, tool and painter settings, and each scene hook's data), in a chunked
// format meant to be read by later versions of this program (docs/document-format.md).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace hostapp {

class DocumentImpl;
class EmbeddedHost;

struct DocumentReadOptions {
  // The most memory the reader may take for what the file says it holds; 0 allows the machine's
  // physical memory.
  uint64_t maxBytes = 0;
};

// Writes the document to `path`: under a temporary name beside it, renamed when complete, so
// that the file is never half written. False with `error` set to one sentence naming the file.
bool saveDocument(EmbeddedHost& host, DocumentImpl& doc, const std::string& path,
                  std::string& error);
// Reads a document file into a new document that becomes the active one; the documents open
// before stay open. Null with `error` set to one sentence naming the file and the problem.
DocumentImpl* loadDocument(EmbeddedHost& host, const std::string& path, std::string& error,
                           const DocumentReadOptions& options = {});

// The same in memory. `label` names the document in error sentences.
bool writeDocument(EmbeddedHost& host, DocumentImpl& doc, std::string& bytes, std::string& error);
std::unique_ptr<DocumentImpl> readDocument(EmbeddedHost& host, std::string_view bytes,
                                           const std::string& label, std::string& error,
                                           const DocumentReadOptions& options = {});

// A copy of the document, not yet open: its scene hooks copy what their plug-ins copy instead
// of what they save. Null with `error` set when it cannot be made.
std::unique_ptr<DocumentImpl> copyDocument(EmbeddedHost& host, DocumentImpl& doc,
                                           std::string& error);

}  // namespace hostapp
