// The scene family of the embedded host.
#pragma once

#include <memory>
#include <vector>

#include "host/host.h"
#include "hostapp/scene/document.h"

namespace hostapp {

class EmbeddedHost;

class NeighbourImpl : public host::Neighbour {
 public:
  NeighbourImpl(const host::PolygonObject& obj, const host::Selection* restrict);
  int32_t neighbour(int32_t a, int32_t b, int32_t poly) const override;
  const std::vector<int32_t>& pointPolygons(int32_t p) const override;

 private:
  struct Edge {
    int64_t key;
    int32_t first, second;
  };
  static int64_t edgeKey(int32_t a, int32_t b);
  std::vector<Edge> edges_;  // sorted by key
  std::vector<std::vector<int32_t>> pointPolys_;
  std::vector<int32_t> none_;
};

class SceneImpl : public host::Scene {
 public:
  explicit SceneImpl(EmbeddedHost& host) : host_(host) {}

  host::Document* activeDocument() override { return active_; }
  host::Object* createObject(int32_t type) override;
  host::Material* createMaterial(int32_t type) override;
  host::Tag* createTag(int32_t type) override;
  void freeNode(host::Node* node) override;
  std::unique_ptr<host::Neighbour> buildNeighbour(host::PolygonObject* obj,
                                                  const host::Selection* restrict) override;

  // A new document with its scene hooks, made active.
  DocumentImpl* newDocument();
  void setActiveDocument(DocumentImpl* doc) { active_ = doc; }
  DocumentImpl* activeDocumentImpl() { return active_; }
  void freeDocuments();

 private:
  EmbeddedHost& host_;
  std::vector<std::unique_ptr<DocumentImpl>> documents_;
  DocumentImpl* active_ = nullptr;
};

}  // namespace hostapp
