// Sculpt-brush family (library 1028489): brush parameter blocks, the dabs of a stroke, polygon
// marker sets, and the host base of brush tools.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/description.h"
#include "host/paint.h"
#include "host/plugins.h"
#include "host/scene.h"

namespace host {

constexpr int32_t kSculptLibraryId = 1028489;

// DabFlags reported with each dab.
constexpr int32_t kDabFlagSecondary = 1 << 0;  // paint with the secondary colours / invert
constexpr int32_t kDabFlagBlur = 1 << 2;       // blur modifier held

// Host stroke settings of every brush tool.
constexpr int32_t kBrushRadius = 10200;         // real, pixels on screen or object units on a path
constexpr int32_t kBrushStrength = 10201;       // real, 0 .. 1
constexpr int32_t kBrushSpacing = 10202;        // real, dab spacing in radius units (0.25 default)
constexpr int32_t kBrushStabilise = 10211;      // bool
constexpr int32_t kBrushRestrict = 10212;       // bool, restrict painting to the polygon selection
constexpr int32_t kBrushSmoothing = 10213;      // real
constexpr int32_t kBrushStamp = 10603;          // file name of the stamp image
constexpr int32_t kBrushStencil = 10402;        // file name of the stencil image
constexpr int32_t kBrushStencilScale = 10403;   // real, stencil size in object units (path strokes)
constexpr int32_t kBrushStampRotation = 10604;  // real, degrees

class BrushDab;
class SculptBrushToolData;
using DabCallback = bool (*)(BrushDab* dab);

// What a brush tells the host about itself at registration, in the order the host expects the
// calls. The host's stroke engine honours every switch.
class BrushParams {
 public:
  virtual ~BrushParams() = default;
  virtual void setUndoPoints(bool on) = 0;       // the host records point undo for the stroke
  virtual void setUsesFalloff(bool on) = 0;      // dabs report per-point falloff
  virtual void setUsesStamps(bool on) = 0;       // the stamp settings are offered
  virtual void setUsesStencils(bool on) = 0;     // the stencil settings are offered
  virtual void setUsesModifiers(bool on) = 0;    // DabFlags report held modifiers
  virtual void setReportsPolygons(bool on) = 0;  // dabs list the polygons under the brush
  virtual void setUsesSymmetry(bool on) = 0;     // mirrored dabs
  virtual void setModifiesPoints(bool on) = 0;   // the brush moves points; the host refreshes them
  virtual void setDabCallback(DabCallback cb) = 0;
  virtual void setThreaded(bool on) = 0;  // dabs may be painted on several threads
};

// A set of polygon marks, sized to a polygon count. Owned by whoever asked the host for it.
class PolygonMarkerSet {
 public:
  virtual ~PolygonMarkerSet() = default;
  virtual int32_t size() const = 0;
  virtual bool isMarked(int32_t polygon) const = 0;
  virtual void mark(int32_t polygon) = 0;
  virtual void clear() = 0;
};

// One dab of a stroke, as the host hands it to the brush's dab callback. Valid during the
// callback only.
class BrushDab {
 public:
  virtual ~BrushDab() = default;
  virtual PolygonObject* object() const = 0;
  virtual Document* document() const = 0;
  // The brush tool that runs the stroke; null when the dab comes from elsewhere.
  virtual SculptBrushToolData* brushTool() const = 0;
  virtual Settings* settings() const = 0;
  virtual double strength() const = 0;
  virtual double radius() const = 0;
  virtual Vector centre() const = 0;  // object space
  virtual Vector normal() const = 0;  // unit, object space
  virtual int32_t dabFlags() const = 0;

  // Points inside the brush: their indices and falloff (0 .. 1).
  virtual int32_t pointCount() const = 0;
  virtual int32_t pointIndex(int32_t entry) const = 0;
  virtual double pointFalloff(int32_t entry) const = 0;
  // Polygons under the brush; a single polygon with point count 0 when the brush lies inside one.
  virtual int32_t polygonCount() const = 0;
  virtual const int32_t* polygons() const = 0;
  // Edge neighbourhood of the object; owned by the host, null when not built.
  virtual const Neighbour* neighbour() const = 0;

  // The host's falloff of this dab at an object-space point (0 outside the brush).
  virtual double falloffAt(const Vector& p) const = 0;
  // The host's per-point test (brush modes 4, 5 and 6): false rejects the point.
  virtual bool pointTest(const Vector& p) const = 0;
  // Where an object-space point falls in the stamp or stencil bitmap of this dab.
  virtual bool stampCoordinates(const Vector& p, float& sx, float& sy) const = 0;
  // The stamp and stencil images, or null when off or missing. Owned by the host.
  virtual const Bitmap* stamp() const = 0;
  virtual const Bitmap* stencil() const = 0;

  // Point offsets: the dab says which of the two operations applies.
  virtual bool usesSecondOffset() const = 0;
  virtual void offsetPoint(int32_t index, const Vector& offset) = 0;
  virtual void offsetPoint(int32_t index, const Vector& offset, int32_t a, int32_t b) = 0;
};

// The host's side of brush tools: what the base class of a brush does by default.
class SculptLibrary {
 public:
  virtual ~SculptLibrary() = default;
  // A new parameter block; owned by the caller (the brush keeps it). Null on failure.
  virtual std::unique_ptr<BrushParams> createParams() = 0;
  // A new marker set of `count` polygons, owned by the caller. Null on failure.
  virtual std::unique_ptr<PolygonMarkerSet> createMarkerSet(int32_t count) = 0;
  // The host base's default settings of a brush tool (stroke, stamp, stencil, falloff ...).
  virtual void baseDefaults(Settings& data) = 0;
  // The host base's enabling of description parameters.
  virtual bool baseEnabling(Settings& data, int32_t id) = 0;
  // The host base's input handling: runs a stroke from the tool's pending input.
  virtual bool baseInput(SculptBrushToolData* tool, Document* doc, Settings& data) = 0;
  // The host base's apply operation (button 20005): stamps the channel's texture onto the mesh.
  virtual bool baseApply(SculptBrushToolData* tool, Document* doc, Channel* channel, Settings& data,
                         int32_t buttonId) = 0;
  // The host base's strength of the tool and whether it restricts to the selection.
  virtual double baseStrength(Settings& data) = 0;
  virtual bool baseRestrictsToSelection(Settings& data) = 0;
  // The current stamp image of the tool settings, or null. Owned by the host.
  virtual const Bitmap* currentStamp(Settings& data) = 0;
  // The settings of a registered tool in a document, made with the tool's defaults on first use.
  // Owned by the host; null when the id is no tool.
  virtual Settings* toolSettings(Document* doc, int32_t toolId) = 0;
};

// Tools.
class ToolData : public BaseData {
 public:
  virtual bool initTool(Document* doc, Settings& data) {
    (void)doc;
    (void)data;
    return true;
  }
  virtual int32_t getState(Document* doc) {
    (void)doc;
    return CommandData::kStateEnabled;
  }
  virtual bool message(Document* doc, Settings& data, int32_t type, void* tdata) {
    (void)doc;
    (void)data;
    (void)type;
    (void)tdata;
    return true;
  }
};

// The description-command message: a button of the tool's description was pressed.
constexpr int32_t kMessageDescriptionCommand = 18;
struct DescriptionCommand {
  int32_t id;
};

class DescriptionToolData : public ToolData {
 public:
  virtual int32_t getToolPluginId() const = 0;
  virtual const char* getResourceSymbol() const = 0;
  virtual void initDefaultSettings(Document* doc, Settings& data) {
    (void)doc;
    (void)data;
  }
  virtual bool getDEnabling(Document* doc, Settings& data, int32_t id, const Value& v,
                            int32_t flags) {
    (void)doc;
    (void)data;
    (void)id;
    (void)v;
    (void)flags;
    return true;
  }
  // Called after a parameter of the tool changed.
  virtual bool setDParameter(Document* doc, Settings& data, int32_t id, const Value& v,
                             int32_t& flags) {
    (void)doc;
    (void)data;
    (void)id;
    (void)v;
    (void)flags;
    return true;
  }
};

// The base of brush tools. Its defaults run the host base (the sculpt library).
class SculptBrushToolData : public DescriptionToolData {
 public:
  SculptBrushToolData(SculptLibrary& library, std::unique_ptr<BrushParams> params)
      : library_(library), params_(std::move(params)) {}
  BrushParams* params() const { return params_.get(); }
  // The host base (the sculpt library) this brush runs on.
  SculptLibrary& library() const { return library_; }

  // The second default-settings entry point (the first is initDefaultSettings).
  virtual void initDefaults(Document* doc, Settings& data) { initDefaultSettings(doc, data); }
  // Input handling; the default runs the host base's stroke.
  virtual bool mouseInput(Document* doc, Settings& data) {
    return library_.baseInput(this, doc, data);
  }
  virtual void strokeStart(Document* doc, Settings& data) {
    (void)doc;
    (void)data;
  }
  virtual void strokeEnd(Document* doc, Settings& data) {
    (void)doc;
    (void)data;
  }
  // The argument-less notification that follows the stroke operations.
  virtual void afterStroke() {}

 private:
  SculptLibrary& library_;
  std::unique_ptr<BrushParams> params_;
};

}  // namespace host
