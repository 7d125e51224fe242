// The stroke engine: turns a stroke into dabs and hands each one to the brush.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "host/link.h"
#include "host/sculpt.h"
#include "hostapp/sculpt/brush_params.h"
#include "hostapp/sculpt/spatial_grid.h"

namespace hostapp {

class EmbeddedHost;

// A stroke as the user makes it: a path on the surface (world-space points at or near the mesh)
// or a path on the screen (pixels) seen through a camera and cast onto the mesh.
struct StrokeInput {
  enum class Space { kSurface, kScreen };
  Space space = Space::kSurface;
  std::vector<host::Vector> path;
  const host::CameraObject* camera = nullptr;
  int32_t viewWidth = 800, viewHeight = 600;
  int32_t dabFlags = 0;
  // Taken from the tool settings (10200 radius, 10201 strength, 10202 spacing) when not given.
  // A surface stroke's radius is in object units, a screen stroke's in pixels.
  std::optional<double> radius, strength, spacing;
  // Told after each dab how many of the stroke's dabs are done.
  std::function<void(int32_t done, int32_t total)> progress;
  // A screen stroke the user is still drawing: asked for more of the path each time the dabs of
  // what has come so far are done. It appends the new points and answers false once the stroke
  // has ended (the points appended with that answer still count). The dabs are the same as those
  // of the whole path given at once.
  std::function<bool(std::vector<host::Vector>& more)> more;
};

struct StrokeStats {
  int32_t dabs = 0;    // dabs handed to the brush
  int32_t missed = 0;  // path samples that found no surface
  int64_t polygonsReported = 0;
  int64_t pointsReported = 0;
  double engineSeconds = 0;  // finding what lies under the dabs
  double brushSeconds = 0;   // inside the brush's dab callback
};

class StrokeEngine {
 public:
  explicit StrokeEngine(EmbeddedHost& host) : host_(host) {}

  // Runs the stroke on obj with the tool's settings. Calls stroke start, each dab and stroke end
  // of the tool, then its after-stroke notification.
  StrokeStats run(host::SculptBrushToolData* tool, const BrushParamsImpl& params,
                  host::Document* doc, host::PolygonObject* obj, host::Settings& data,
                  const StrokeInput& input);
  // How often a stroke had to index its object's geometry from scratch.
  int64_t indexBuilds() const { return indexBuilds_; }

 private:
  // What a stroke needs to find the polygons under its dabs, kept across strokes: building it
  // costs far more than a short stroke, and it only changes when the object's geometry does.
  struct MeshIndex {
    host::Link object;
    int32_t points = -1, polygons = -1;
    uint64_t pointsPrint = 0, polygonsPrint = 0;
    // The object's change counters when the fingerprints were last taken; while they stand
    // still the geometry is unchanged and is not read at all.
    bool counted = false;
    uint64_t pointsRevision = 0, polygonsRevision = 0;
    bool gridValid = false;
    SpatialGrid grid;
    std::unique_ptr<host::Neighbour> neighbour;
  };
  // Brings the index up to date with obj, rebuilding only the parts whose input changed.
  void prepareIndex(host::PolygonObject* obj, bool wantNeighbour);
  // Notes the object's points as indexed just now.
  void notePointsIndexed(host::PolygonObject* obj);
  int64_t indexBuilds_ = 0;

  EmbeddedHost& host_;
  MeshIndex index_;
};

// A fingerprint of bytes, for telling whether an object's geometry changed since it was last
// indexed: four independent lanes so that it runs near memory speed.
uint64_t geometryFingerprint(const void* data, size_t bytes);

// The inverse of an affine matrix; the identity when it is singular.
host::Matrix affineInverse(const host::Matrix& m);

// Image lookups for stamps and stencils: loaded once per path.
const host::Bitmap* brushImage(EmbeddedHost& host, const std::string& path);

}  // namespace hostapp
