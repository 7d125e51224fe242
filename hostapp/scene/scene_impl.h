// The scene family of the embedded host.
#pragma once

#include <memory>
#include <vector>

#include "host/host.h"
#include "hostapp/core/large_pages.h"
#include "hostapp/scene/document.h"

namespace hostapp {

class EmbeddedHost;

// Point-to-polygon adjacency in compressed rows, and the polygon across every side, built in
// linear time from it.
class NeighbourImpl : public host::Neighbour {
 public:
  NeighbourImpl(const host::PolygonObject& obj, const host::Selection* restrict);
  int32_t neighbour(int32_t a, int32_t b, int32_t poly) const override;
  int32_t sideNeighbour(int32_t poly, int32_t side) const override;
  std::span<const int32_t> pointPolygons(int32_t p) const override;

 private:
  const host::Polygon* polygons_;
  int32_t polygonCount_;
  // A million-polygon mesh needs tens of MiB here, faulted in as huge pages.
  LargeVector<int32_t> offsets_;  // pointCount + 1
  LargeVector<int32_t> polys_;
  LargeVector<int32_t> sides_;  // 4 per polygon
};

class SceneImpl : public host::Scene {
 public:
  explicit SceneImpl(EmbeddedHost& host) : host_(host) {}

  host::Document* activeDocument() override { return active_; }
  host::Object* createObject(int32_t type) override;
  host::Material* createMaterial(int32_t type) override;
  host::Tag* createTag(int32_t type) override;
  void freeNode(host::Node* node) override;
  host::Node* cloneNode(host::Node* node) override;
  std::unique_ptr<host::Neighbour> buildNeighbour(host::PolygonObject* obj,
                                                  const host::Selection* restrict) override;

  // A new document with its scene hooks, made active.
  DocumentImpl* newDocument();
  void setActiveDocument(DocumentImpl* doc) { active_ = doc; }
  DocumentImpl* activeDocumentImpl() { return active_; }
  // Takes a document made outside (a loaded one) into the open documents and makes it active.
  DocumentImpl* adoptDocument(std::unique_ptr<DocumentImpl> doc);
  // Closes an open document; another open one becomes active when it was.
  void closeDocument(DocumentImpl* doc);
  const std::vector<std::unique_ptr<DocumentImpl>>& documents() const { return documents_; }
  void freeDocuments();

 private:
  EmbeddedHost& host_;
  std::vector<std::unique_ptr<DocumentImpl>> documents_;
  DocumentImpl* active_ = nullptr;
};

}  // namespace hostapp
