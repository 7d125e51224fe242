#include "hostapp/sculpt/stroke_engine.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#include "hostapp/core/embedded_host.h"
#include "hostapp/scene/objects.h"
#include "hostapp/sculpt/dab.h"
#include "hostapp/sculpt/sculpt_impl.h"

namespace hostapp {

namespace {
using Clock = std::chrono::steady_clock;
double seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// Two unit axes on the plane of the normal, turned by the rotation in degrees.
void planeAxes(const host::Vector& n, double degrees, host::Vector& u, host::Vector& v) {
  const host::Vector ref = std::abs(n.z) < 0.9 ? host::Vector(0, 0, 1) : host::Vector(0, 1, 0);
  host::Vector a = host::normalize(host::cross(ref, n));
  if (host::dot(a, a) == 0) a = {1, 0, 0};
  const host::Vector b = host::normalize(host::cross(n, a));
  const double r = degrees * M_PI / 180.0;
  u = a * std::cos(r) + b * std::sin(r);
  v = b * std::cos(r) - a * std::sin(r);
}

// Samples along a polyline every `step`, starting at its first point; fed a point at a time, so
// that a path that is still growing gives the same samples as the whole of it.
class Resampler {
 public:
  explicit Resampler(double step) : step_(step) {}
  void add(const host::Vector& p, std::vector<host::Vector>& out) {
    if (!started_) {
      started_ = true;
      last_ = p;
      out.push_back(p);
      return;
    }
    const host::Vector from = last_;
    last_ = p;
    if (!(step_ > 0) || count_ > 1000000) return;  // a runaway path is cut, not followed forever
    const host::Vector d = p - from;
    const double len = host::length(d);
    if (!(len > 0)) return;
    double t = step_ - carry_;
    while (t <= len) {
      out.push_back(from + d * (t / len));
      t += step_;
      if (++count_ > 1000000) return;
    }
    carry_ = len - (t - step_);
  }

 private:
  double step_, carry_ = 0;
  host::Vector last_;
  bool started_ = false;
  int64_t count_ = 0;
};

std::vector<host::Vector> resample(const std::vector<host::Vector>& path, double step) {
  std::vector<host::Vector> out;
  Resampler r(step);
  for (const host::Vector& p : path) r.add(p, out);
  return out;
}

std::vector<host::Vector> smooth(const std::vector<host::Vector>& path, int32_t window) {
  if (window <= 1 || path.size() < 3) return path;
  std::vector<host::Vector> out(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    host::Vector sum;
    int n = 0;
    for (int32_t k = -window; k <= window; ++k) {
      const int64_t j = static_cast<int64_t>(i) + k;
      if (j < 0 || j >= static_cast<int64_t>(path.size())) continue;
      sum += path[static_cast<size_t>(j)];
      ++n;
    }
    out[i] = sum / n;
  }
  out.front() = path.front();
  out.back() = path.back();
  return out;
}
}  // namespace

uint64_t geometryFingerprint(const void* data, size_t bytes) {
  constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
  uint64_t lane[4] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull,
                      0x082EFA98EC4E6C89ull};
  const auto* p = static_cast<const uint8_t*>(data);
  size_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    for (int k = 0; k < 4; ++k) {
      uint64_t w;
      std::memcpy(&w, p + i + 8 * k, 8);
      lane[k] = (lane[k] ^ w) * kMul;
      lane[k] ^= lane[k] >> 29;
    }
  }
  uint64_t h = bytes * kMul;
  for (; i < bytes; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
  for (int k = 0; k < 4; ++k) h = (h ^ lane[k]) * kMul + static_cast<uint64_t>(k);
  return h ^ (h >> 31);
}

void StrokeEngine::prepareIndex(host::PolygonObject* obj, bool wantNeighbour) {
  const int32_t points = obj->pointCount(), polygons = obj->polygonCount();
  const bool same =
      index_.object.get() == obj && index_.points == points && index_.polygons == polygons;
  // Objects of this host count their changes; others are fingerprinted every time.
  const auto* counted = dynamic_cast<const PolygonObjectImpl*>(obj);
  const bool pointsStill =
      same && counted && index_.counted && counted->pointsRevision() == index_.pointsRevision;
  const bool polygonsStill =
      same && counted && index_.counted && counted->polygonsRevision() == index_.polygonsRevision;
  const uint64_t pointsPrint =
      pointsStill
          ? index_.pointsPrint
          : geometryFingerprint(obj->points(), sizeof(host::Vector) * static_cast<size_t>(points));
  const uint64_t polygonsPrint =
      polygonsStill ? index_.polygonsPrint
                    : geometryFingerprint(obj->polygons(),
                                          sizeof(host::Polygon) * static_cast<size_t>(polygons));
  const bool topology = same && index_.polygonsPrint == polygonsPrint;
  if (!topology || !index_.gridValid || index_.pointsPrint != pointsPrint) {
    index_.grid.build(*obj);
    index_.gridValid = true;
    ++indexBuilds_;
  }
  if (!topology) index_.neighbour.reset();
  if (wantNeighbour && !index_.neighbour)
    index_.neighbour = host_.scene().buildNeighbour(obj, nullptr);
  index_.object.set(obj);
  index_.points = points;
  index_.polygons = polygons;
  index_.pointsPrint = pointsPrint;
  index_.polygonsPrint = polygonsPrint;
  index_.counted = counted != nullptr;
  if (counted) {
    index_.pointsRevision = counted->pointsRevision();
    index_.polygonsRevision = counted->polygonsRevision();
  }
}

void StrokeEngine::notePointsIndexed(host::PolygonObject* obj) {
  index_.gridValid = true;
  index_.pointsPrint = geometryFingerprint(
      obj->points(), sizeof(host::Vector) * static_cast<size_t>(obj->pointCount()));
  if (const auto* counted = dynamic_cast<const PolygonObjectImpl*>(obj))
    index_.pointsRevision = counted->pointsRevision();
}

host::Matrix affineInverse(const host::Matrix& m) {
  const host::Vector& a = m.v1;
  const host::Vector& b = m.v2;
  const host::Vector& c = m.v3;
  const double det = host::dot(a, host::cross(b, c));
  if (std::abs(det) < 1e-300) return {};
  const host::Vector r0 = host::cross(b, c) / det, r1 = host::cross(c, a) / det,
                     r2 = host::cross(a, b) / det;
  host::Matrix inv;
  inv.v1 = {r0.x, r1.x, r2.x};
  inv.v2 = {r0.y, r1.y, r2.y};
  inv.v3 = {r0.z, r1.z, r2.z};
  inv.off = -(inv.v1 * m.off.x + inv.v2 * m.off.y + inv.v3 * m.off.z);
  return inv;
}

const host::Bitmap* brushImage(EmbeddedHost& host, const std::string& path) {
  return static_cast<SculptImpl&>(host.sculpt()).image(path);
}

StrokeStats StrokeEngine::run(host::SculptBrushToolData* tool, const BrushParamsImpl& params,
                              host::Document* doc, host::PolygonObject* obj, host::Settings& data,
                              const StrokeInput& input) {
  StrokeStats stats;
  if (!tool || !doc || !obj || input.path.empty()) return stats;
  const auto t0 = Clock::now();

  const double radiusSetting = input.radius.value_or(data.getReal(host::kBrushRadius, 20.0));
  const double strength = input.strength.value_or(data.getReal(host::kBrushStrength, 0.5));
  const double spacing =
      std::max(input.spacing.value_or(data.getReal(host::kBrushSpacing, 0.25)), 0.01);
  // A radius whose square underflows or overflows paints nothing sensible.
  const double radiusSquared = radiusSetting * radiusSetting;
  if (!(radiusSquared >= std::numeric_limits<double>::min()) || !std::isfinite(radiusSquared))
    return stats;

  prepareIndex(obj, params.reportsPolygons);
  SpatialGrid& grid = index_.grid;
  host::Neighbour* neighbour = params.reportsPolygons ? index_.neighbour.get() : nullptr;
  const host::Matrix toObject = affineInverse(obj->globalMatrix());
  const host::Matrix toWorld = obj->globalMatrix();

  // Dab centres with their radius in object units.
  struct Sample {
    SurfaceHit hit;
    double radius;
  };
  std::vector<Sample> samples;
  if (input.space == StrokeInput::Space::kSurface) {
    std::vector<host::Vector> path;
    for (const host::Vector& p : input.path) path.push_back(toObject * p);
    if (data.getBool(host::kBrushStabilise))
      path = smooth(path, static_cast<int32_t>(data.getReal(host::kBrushSmoothing) / 10.0));
    for (const host::Vector& p : resample(path, spacing * radiusSetting)) {
      SurfaceHit hit;
      if (grid.closestSurface(p, radiusSetting * 4, hit))
        samples.push_back({hit, radiusSetting});
      else
        ++stats.missed;
    }
  }
  // A screen path is cast onto the mesh as it comes, a piece at a time for a live stroke.
  const bool screen = input.space == StrokeInput::Space::kScreen && input.camera;
  const host::Matrix cam = screen ? input.camera->globalMatrix() : host::Matrix();
  const double viewW = std::max(input.viewWidth, 1), viewH = std::max(input.viewHeight, 1);
  // Half the view width spans half the film width over the focal length at unit depth.
  const double halfFov =
      screen ? input.camera->aperture() * 0.5 / std::max(input.camera->focalLength(), 1e-6) : 0;
  Resampler screenSamples(spacing * radiusSetting);
  std::vector<host::Vector> resampled;
  auto castScreen = [&](const std::vector<host::Vector>& points) {
    resampled.clear();
    for (const host::Vector& p : points) screenSamples.add(p, resampled);
    for (const host::Vector& s : resampled) {
      const double x = (s.x - viewW / 2) / (viewW / 2) * halfFov;
      const double y = -(s.y - viewH / 2) / (viewW / 2) * halfFov;
      const host::Vector dirWorld = cam.transformDirection({x, y, 1.0});
      const host::Vector origin = toObject * cam.off;
      const host::Vector dir = toObject.transformDirection(dirWorld);
      SurfaceHit hit;
      if (!grid.raycast(origin, dir, hit)) {
        ++stats.missed;
        continue;
      }
      // Pixels to object units at the depth of the hit.
      const double depth =
          host::length(toWorld * hit.point - cam.off) / host::length(host::Vector(x, y, 1));
      const double unitsPerPixel = depth * halfFov / (viewW / 2);
      // Face the normal towards the camera.
      if (host::dot(hit.normal, dir) > 0) hit.normal = -hit.normal;
      samples.push_back({hit, radiusSetting * unitsPerPixel});
    }
  };
  if (screen) castScreen(input.path);
  bool live = screen && static_cast<bool>(input.more);

  tool->strokeStart(doc, data);
  if (params.undoPoints && params.modifiesPoints) {
    doc->startUndo();
    doc->addUndo(host::kUndoChange, obj);
    doc->endUndo();
  }
  auto& sculpt = static_cast<SculptImpl&>(host_.sculpt());
  const host::Bitmap* stampImage = params.usesStamps && data.getBool(10601)
                                       ? sculpt.image(data.getFilename(host::kBrushStamp))
                                       : nullptr;
  const host::Bitmap* stencilImage = params.usesStencils && data.getBool(10401)
                                         ? sculpt.image(data.getFilename(host::kBrushStencil))
                                         : nullptr;
  ImagePlacement stencil;
  std::vector<int32_t> pointIds;
  double engine = seconds(t0, Clock::now()), brush = 0;
  bool moved = false;
  for (size_t i = 0; i < samples.size() || live; ++i) {
    if (i == samples.size()) {
      // The dabs so far are done: wait for more of the live stroke.
      std::vector<host::Vector> more;
      live = input.more(more);
      castScreen(more);
      --i;
      continue;
    }
    const auto a = Clock::now();
    if (moved) {
      grid.build(*obj);  // the brush moved points: what lies under the next dab changed
      notePointsIndexed(obj);
      moved = false;
    }
    const Sample& s = samples[i];
    BrushDabImpl dab;
    dab.object_ = obj;
    dab.document_ = doc;
    dab.tool_ = tool;
    dab.settings_ = &data;
    dab.strength_ = strength;
    dab.radius_ = s.radius;
    dab.centre_ = s.hit.point;
    dab.normal_ = s.hit.normal;
    dab.flags_ = params.usesModifiers ? input.dabFlags : 0;
    dab.brushMode_ = data.getInt32(10221);
    dab.falloff_ = data.getSpline(10303);
    dab.neighbour_ = neighbour;
    if (params.usesFalloff || params.modifiesPoints) {
      grid.pointsInSphere(dab.centre_, dab.radius_, pointIds);
      for (int32_t p : pointIds) dab.points_.push_back({p, dab.falloffAt(obj->points()[p])});
    }
    if (params.reportsPolygons) {
      if (dab.points_.empty())
        dab.polygons_.push_back(s.hit.polygon);
      else
        grid.polygonsInSphere(dab.centre_, dab.radius_, dab.polygons_);
    }
    if (stampImage) {
      dab.stamp_.image = stampImage;
      dab.stamp_.centre = dab.centre_;
      dab.stamp_.halfWidth = dab.radius_;
      planeAxes(dab.normal_, data.getReal(host::kBrushStampRotation), dab.stamp_.u, dab.stamp_.v);
    }
    if (stencilImage) {
      if (!stencil.image) {
        // The stencil stays where the stroke began, spread over its own size.
        stencil.image = stencilImage;
        stencil.centre = dab.centre_;
        const double size = data.getReal(host::kBrushStencilScale);
        stencil.halfWidth = size > 0 ? size / 2 : dab.radius_ * 4;
        planeAxes(dab.normal_, 0.0, stencil.u, stencil.v);
      }
      dab.stencil_ = stencil;
    }
    stats.polygonsReported += dab.polygonCount();
    stats.pointsReported += dab.pointCount();
    const auto b = Clock::now();
    engine += seconds(a, b);
    if (params.callback) params.callback(&dab);
    brush += seconds(b, Clock::now());
    moved = dab.moved_;
    ++stats.dabs;
    if (input.progress) input.progress(stats.dabs, static_cast<int32_t>(samples.size()));
  }
  tool->strokeEnd(doc, data);
  tool->afterStroke();
  if (params.modifiesPoints) obj->setDirty(host::kDirtyAll);
  stats.engineSeconds = engine;
  stats.brushSeconds = brush;
  return stats;
}

}  // namespace hostapp
