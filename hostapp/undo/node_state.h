// What undo entries record about scene nodes: snapshots of their contents, their selection state,
// their place in the document, and copies of whole nodes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"

namespace hostapp {

class DocumentImpl;

// The contents of a node that a change entry (kind 40) restores.
struct NodeContents {
  std::string name;
  host::Settings data;
  bool polygonObject = false;
  std::vector<host::Vector> points;
  std::vector<host::Polygon> polygons;
  host::Selection pointSelection, edgeSelection, polygonSelection;
  bool uvwTag = false;
  std::vector<host::UVWPolygon> uvs;
  bool selectionTag = false;
  host::Selection selection;
  bool material = false;
  bool channelEnabled[14] = {};
  host::Settings channelData[14];
};
NodeContents captureContents(host::Node* node);
void applyContents(host::Node* node, const NodeContents& contents);

// The selection state of an object that a selection entry (kind 43) restores.
struct SelectionState {
  bool selected = false;
  bool active = false;
  bool polygonObject = false;
  host::Selection points, edges, polygons;
};
SelectionState captureSelection(DocumentImpl& doc, host::Object* obj);
void applySelection(DocumentImpl& doc, host::Object* obj, const SelectionState& state);

// Where an object, tag, material or paint layer sits, so that it can be put back there.
struct Placement {
  enum class Kind { kObject, kTag, kMaterial, kLayer } kind = Kind::kObject;
  // The parent object of an object, the owner object of a tag, the texture of a layer.
  host::Link parent;
  bool hadParent = false;
  host::Link prev;  // the sibling before it
  bool hadPrev = false;
  int32_t index = 0;  // its position among its siblings, for when `prev` is gone
};
// False when the node is no object, tag or material of the document.
bool placementOf(DocumentImpl& doc, host::Node* node, Placement& where);
// Records the node's place and takes it out of the document; null when it is not in it.
std::unique_ptr<host::Node> detachNode(DocumentImpl& doc, host::Node* node, Placement& where);
// Puts a detached node back at its place and hands it to the document. On failure (a tag whose
// object is gone) the node stays with the caller.
bool attachNode(DocumentImpl& doc, std::unique_ptr<host::Node>& node, const Placement& where);

// A copy of an object (with its tags and children), a tag or a material, not in any document.
std::unique_ptr<host::Node> cloneNode(host::Node* node);

}  // namespace hostapp
