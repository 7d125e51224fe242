// Scene family: documents, objects, tags, materials and their channels.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/node.h"
#include "host/selection.h"
#include "host/values.h"

namespace host {

class Document;
class Material;
class NodeData;
class Tag;

// Document parameters.
constexpr int32_t kDocPath = 1012;        // folder of the document file (file name)
constexpr int32_t kDocMode = 1019;        // editing mode (5 points, 6 edges, 7 polygons, ...)
constexpr int32_t kDocActiveTool = 1020;  // plug-in id of the active tool
// Texture tag parameters.
constexpr int32_t kTexProjection = 1004;   // 6 = UVW mapping
constexpr int32_t kTexRestriction = 1006;  // name of a polygon selection tag
constexpr int32_t kTexTiling = 1007;
// Material parameters.
constexpr int32_t kMatColor = 2100;
constexpr int32_t kMatColorUsed = 500;
// Channel parameters.
constexpr int32_t kChannelFile = 1002;
constexpr int32_t kChannelDirectory = 1017;
constexpr int32_t kChannelMode = 1005;
constexpr int32_t kMessageUpdate = 5;
constexpr int32_t kDirtyAll = -1;

class Object : public Node {
 public:
  // Hierarchy. Owned by the document.
  virtual Object* next() const = 0;
  virtual Object* prev() const = 0;
  virtual Object* down() const = 0;
  virtual Object* up() const = 0;
  virtual Document* document() const = 0;

  // Tags in order. Owned by the object.
  virtual int32_t tagCount() const = 0;
  virtual Tag* tagAt(int32_t index) const = 0;
  // The nr-th tag of the given type (0 = first), or null.
  virtual Tag* tag(int32_t type, int32_t nr = 0) const = 0;
  // Takes ownership; inserts after `after`, or first when null.
  virtual void insertTag(Tag* tag, Tag* after) = 0;
  // Creates a tag of the type, inserted after `after` (first when null). Null on failure.
  virtual Tag* makeTag(int32_t type, Tag* after) = 0;
  // Detaches the tag and hands ownership to the caller.
  virtual Tag* removeTag(Tag* tag) = 0;

  virtual Matrix globalMatrix() const = 0;
  virtual void setGlobalMatrix(const Matrix& m) = 0;
  virtual bool isSelected() const = 0;
  virtual void setSelected(bool on) = 0;
  // Half the extent of the object's bounding box and its centre, in object space.
  virtual Vector boundingRadius() const = 0;
  virtual Vector boundingCenter() const = 0;
};

class PolygonObject : public Object {
 public:
  virtual int32_t pointCount() const = 0;
  virtual int32_t polygonCount() const = 0;
  // Arrays owned by the object; valid until it is resized or freed.
  virtual const Vector* points() const = 0;
  virtual Vector* writablePoints() = 0;
  virtual const Polygon* polygons() const = 0;
  virtual Polygon* writablePolygons() = 0;
  virtual bool resize(int32_t pointCount, int32_t polygonCount) = 0;
  virtual Selection& pointSelection() = 0;
  virtual Selection& edgeSelection() = 0;  // edge 4 * polygon + side
  virtual Selection& polygonSelection() = 0;
};

class CameraObject : public Object {
 public:
  virtual int32_t projection() const = 0;  // 0 perspective
  virtual double focalLength() const = 0;  // millimetres
  virtual void setFocalLength(double mm) = 0;
  virtual double zoom() const = 0;  // scale of parallel projections; 1 for perspective
  // Shift of the film in its own plane, as a share of its width (x) and height (y).
  virtual Vector filmOffset() const = 0;
  virtual double aperture() const = 0;  // film width in millimetres, 36 by default
};

// A document's render settings: its parameters are the container of render values.
constexpr int32_t kTypeRenderData = 110304;
constexpr int32_t kRenderWidth = 5008;   // pixels
constexpr int32_t kRenderHeight = 5009;  // pixels
constexpr int32_t kRenderEngine = 5300;  // renderer plug-in id, 0 for the standard one
constexpr int32_t kRenderEnginePreview = 300001061;
class RenderData : public Node {};

// A viewport of a document. It looks through its scene camera when one is set and through its
// own editor camera otherwise.
class View {
 public:
  virtual ~View() = default;
  // The view's own camera, which is no part of the object tree. Owned by the view.
  virtual CameraObject* editorCamera() = 0;
  // The scene camera the view looks through, or null. Owned by the document.
  virtual CameraObject* sceneCamera() const = 0;
  // Null makes the view use its editor camera.
  virtual void setSceneCamera(CameraObject* camera) = 0;
  // Redraws the view with the host's draw flags (0x8000 everything).
  virtual void redraw(int32_t flags) = 0;
};

class Tag : public Node {
 public:
  virtual Object* object() const = 0;
};

class UVWTag : public Tag {
 public:
  virtual int32_t count() const = 0;
  virtual UVWPolygon get(int32_t polygon) const = 0;
  // All entries at once, `count()` of them in polygon order. Valid until the tag is resized.
  virtual const UVWPolygon* uvwArray() const = 0;
  virtual void set(int32_t polygon, const UVWPolygon& uvw) = 0;
  virtual bool resize(int32_t count) = 0;
};

class TextureTag : public Tag {
 public:
  // The linked material, or null once it is gone.
  virtual Material* material() const = 0;
  virtual void setMaterial(Material* material) = 0;
};

class SelectionTag : public Tag {
 public:
  virtual Selection& selection() = 0;
};

// Point and polygon data tags that the host keeps on polygon objects.
class DataTag : public Tag {
 public:
  virtual int32_t count() const = 0;
};

constexpr int32_t kTypeChannel = 5701;

// One of the 14 channels of a standard material; exists only while the channel is enabled.
class Channel : public Node {
 public:
  virtual Material* material() const = 0;
  virtual int32_t index() const = 0;
  // True when the channel takes its values from a texture file.
  virtual bool hasTextureSource() const = 0;
  // Sampling: prepare for a document, sample at a UV point (colour in [0, 1]), release.
  virtual bool initSampling(Document* doc) = 0;
  virtual Vector sample(const Vector& uv) = 0;
  virtual void freeSampling() = 0;
};

class Material : public Node {
 public:
  virtual Material* next() const = 0;
  virtual Document* document() const = 0;
  // The channel, or null when it is not enabled. Owned by the material.
  virtual Channel* channel(int32_t index) = 0;
  virtual bool channelEnabled(int32_t index) const = 0;
  virtual void enableChannel(int32_t index, bool on) = 0;
};

class Document : public Node {
 public:
  virtual Object* firstObject() const = 0;
  // Takes ownership; inserts under `parent` (top level when null) after `after` (first when null).
  virtual void insertObject(Object* obj, Object* parent, Object* after) = 0;
  virtual Object* activeObject() const = 0;
  virtual void setActiveObject(Object* obj) = 0;  // also selects it alone
  virtual std::vector<Object*> selectedObjects() const = 0;
  // The tag the user works on, or null once it is gone; setting one replaces the tag selection.
  virtual Tag* activeTag() const = 0;
  virtual void setActiveTag(Tag* tag) = 0;

  virtual Material* firstMaterial() const = 0;
  virtual void insertMaterial(Material* mat, Material* after) = 0;  // takes ownership
  virtual Material* activeMaterial() const = 0;
  // Selects the material; `add` keeps the materials selected before.
  virtual void setActiveMaterial(Material* mat, bool add) = 0;
  virtual std::vector<Material*> selectedMaterials() const = 0;

  // The node of the scene hook registered under id in this document, or null.
  virtual Node* sceneHook(int32_t id) const = 0;
  // The view the user works in, or null. Owned by the document.
  virtual View* activeView() = 0;
  // The render settings used for rendering the document, or null. Owned by the document.
  virtual RenderData* activeRenderData() = 0;

  // Undo: entries are collected in groups; each entry restores what it recorded about the node
  // when the user undoes the group, and re-applies it on redo. Kinds: 40 change, 43 selection
  // change, 44 new object, tag, material or paint layer (record after inserting), 45 delete
  // (record before removing),
  // 9996 scene-hook entry (the text under id 9996 of the hook node's data is kept with it).
  virtual bool startUndo() = 0;
  virtual bool addUndo(int32_t kind, Node* node) = 0;
  virtual bool endUndo() = 0;
};

// Undo kinds.
constexpr int32_t kUndoChange = 40;
constexpr int32_t kUndoChangeSelection = 43;
constexpr int32_t kUndoNew = 44;
constexpr int32_t kUndoDelete = 45;
constexpr int32_t kUndoSceneHook = 9996;
// The node message a scene hook receives when one of its undo entries is undone or redone.
constexpr int32_t kMessageSceneHookUndo = 300001071;
struct SceneHookUndoData {
  const std::string* text;  // the entry's text
  bool redo;
};

// Hook nodes expose the plug-in instance that the host created for them.
class HookNode : public Node {
 public:
  // The plug-in's node data. Owned by the host; valid while the document lives.
  virtual NodeData* nodeData() const = 0;
  virtual Document* document() const = 0;
};

// Visits `first`, its children and the siblings after it, depth first: an object's children come
// before its next sibling.
template <class Fn>
void forEachObject(Object* first, Fn&& fn) {
  std::vector<Object*> stack;
  for (Object* o = first; o;) {
    fn(o);
    if (o->down()) {
      if (o->next()) stack.push_back(o->next());
      o = o->down();
    } else if (o->next()) {
      o = o->next();
    } else if (!stack.empty()) {
      o = stack.back();
      stack.pop_back();
    } else {
      o = nullptr;
    }
  }
}

// Edge neighbourhood of a polygon object.
class Neighbour {
 public:
  virtual ~Neighbour() = default;
  // The polygon other than `poly` that shares the edge (a, b), or -1.
  virtual int32_t neighbour(int32_t a, int32_t b, int32_t poly) const = 0;
  // The polygon across side `side` (0 a-b, 1 b-c, 2 c-d or c-a, 3 d-a) of `poly`, or -1.
  virtual int32_t sideNeighbour(int32_t poly, int32_t side) const = 0;
  // The polygons that use point p, in ascending order. Valid while the neighbourhood lives.
  virtual std::span<const int32_t> pointPolygons(int32_t p) const = 0;
};

class Scene {
 public:
  virtual ~Scene() = default;
  // The document being edited. Owned by the host.
  virtual Document* activeDocument() = 0;
  // New nodes, owned by the caller until inserted. Null on allocation failure.
  virtual Object* createObject(int32_t type) = 0;
  virtual Material* createMaterial(int32_t type) = 0;
  virtual Tag* createTag(int32_t type) = 0;
  // Frees a node that is not in a document.
  virtual void freeNode(Node* node) = 0;
  // A copy of an object (with its tags and children), a tag or a material, in no document and
  // owned by the caller until inserted. Null for other nodes or on allocation failure.
  virtual Node* cloneNode(Node* node) = 0;
  // Builds the edge neighbourhood, over the selected polygons only when `restrict` is given.
  // Owned by the caller; null on failure.
  virtual std::unique_ptr<Neighbour> buildNeighbour(PolygonObject* obj,
                                                    const Selection* restrict) = 0;
};

}  // namespace host
