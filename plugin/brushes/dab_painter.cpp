#include "plugin/brushes/dab_painter.h"

#include <array>
#include <cmath>

#include "host/binding.h"
#include "plugin/brushes/brush_state.h"
#include "plugin/rast/rasterize.h"

namespace pigmora {

namespace {
constexpr int32_t kModePolygonsRestricted = 14;

bool channelWalkable(const PaintTarget& t) {
  const int32_t k = t.activeChannel;
  return k >= 0 && !(k & kChannelSkipBit) && k < kChannelCount && t.sameSize && t.hasAnyChannel();
}

// Intersections of the infinite line through p with direction d and the sphere (c, r).
bool lineSphere(const host::Vector& p, const host::Vector& d, const host::Vector& c, double r,
                host::Vector& first, host::Vector& second) {
  const double a = host::dot(d, d);
  if (a == 0) return false;
  const host::Vector m = p - c;
  const double b = 2 * host::dot(d, m);
  const double cc = host::dot(m, m) - r * r;
  const double disc = b * b - 4 * a * cc;
  if (!(disc >= 0)) return false;
  const double s = std::sqrt(disc);
  first = p + d * ((-b - s) / (2 * a));
  second = p + d * ((-b + s) / (2 * a));
  return true;
}

// Barycentric weights of p in triangle (t0, t1, t2) by the dot-product method, in single
// precision; weights outside [0, 1] extrapolate.
void barycentric(const host::Vector& p, const host::Vector& t0, const host::Vector& t1,
                 const host::Vector& t2, float& w0, float& w1, float& w2) {
  auto f = [](const host::Vector& v) {
    return std::array<float, 3>{float(v.x), float(v.y), float(v.z)};
  };
  const auto a = f(t0), b = f(t1), c = f(t2), q = f(p);
  const float e0[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const float e1[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  const float e2[3] = {q[0] - a[0], q[1] - a[1], q[2] - a[2]};
  auto d = [](const float* x, const float* y) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; };
  const float d00 = d(e0, e0), d01 = d(e0, e1), d11 = d(e1, e1), d20 = d(e2, e0), d21 = d(e2, e1);
  const float den = d00 * d11 - d01 * d01;
  w1 = (d20 * d11 - d21 * d01) / den;
  w2 = (d21 * d00 - d20 * d01) / den;
  w0 = 1.0f - w1 - w2;
}

bool insideTriangle(const host::Vector& p, const host::Vector& t0, const host::Vector& t1,
                    const host::Vector& t2) {
  float w0, w1, w2;
  barycentric(p, t0, t1, t2, w0, w1, w2);
  return w0 >= 0 && w1 >= 0 && w0 + w1 < 1;
}

// Stamp coordinates of the corners, from the host's stamp or stencil placement.
void stampCorners(const host::BrushDab* dab, const host::Vector* pos, int corners, float st[4][2]) {
  for (int k = 0; k < 4; ++k) st[k][0] = st[k][1] = 0.f;
  if (!dab) return;
  for (int k = 0; k < corners; ++k) dab->stampCoordinates(pos[k], st[k][0], st[k][1]);
}

// Sets up a polygon's triangles and runs the rasteriser over the active channel.
void paintPolygon(const host::BrushDab* dab, PaintTarget& t, bool quad, const host::Vector uv[4],
                  const host::Vector pos[4], bool flat) {
  float st[4][2];
  // A target that cannot be painted saves no undo tiles and reports no change.
  if (!channelWalkable(t)) return;
  if (!flat) stampCorners(dab, pos, quad ? 4 : 3, st);
  if (!t.markTriangle(quad, uv, pos, flat ? nullptr : st)) return;
  const int32_t k = t.activeChannel;
  for (int32_t tri = 2 * k; tri <= 2 * k + (quad ? 1 : 0); ++tri) {
    if (flat)
      rasterize_flat(dab, t, k, tri);
    else
      rasterize_bary(dab, t, k, tri);
  }
}
}  // namespace

ToolContext toolContextOf(const host::BrushDab& dab) {
  ToolContext c;
  c.settings = dab.settings();
  c.currentObject = dab.object();
  c.dabFlags = dab.dabFlags();
  c.strength = dab.strength();
  c.radius = dab.radius();
  c.centre = dab.centre();
  return c;
}

bool DabScene::polygon(int32_t index, const PaintTarget& target, host::Polygon& p,
                       host::Vector uv[4], host::Vector pos[4]) const {
  if (index < 0 || index >= polygonCount || index >= uvw->count()) return false;
  p = polygons[index];
  for (int k = 0; k < 4; ++k) {
    const int32_t c = p.corner(k);
    if (c < 0 || c >= pointCount) return false;
    pos[k] = points[c];
  }
  const host::UVWPolygon u = uvw->get(index);
  for (int k = 0; k < 4; ++k) uv[k] = u.corner(k);
  if (target.udimNumber > 1000) target.subtractUdimOffset(uv);
  for (int k = 0; k < 4; ++k)
    if (!std::isfinite(uv[k].x) || !std::isfinite(uv[k].y)) return false;
  return true;
}

bool edgeSpill(const DabScene& scene, int32_t g, const host::Neighbour& neighbour, int32_t p,
               int32_t q) {
  host::BrushDab* dab = scene.dab;
  if (p < 0 || q < 0 || p >= scene.pointCount || q >= scene.pointCount) return false;
  host::Vector x1, x2;
  const host::Vector a = scene.points[p];
  if (!lineSphere(a, scene.points[q] - a, dab->centre(), dab->radius(), x1, x2)) return false;
  const int32_t n = neighbour.neighbour(p, q, g);
  if (n < 0 || (scene.restrictInForce && !scene.selected(n))) return false;
  PaintTarget* t = scene.registry->targetForPolygon(n);
  if (!t) return false;
  host::Polygon poly;
  host::Vector uv[4], pos[4];
  if (scene.polygon(n, *t, poly, uv, pos))
    paintPolygon(dab, *t, !poly.isTriangle(), uv, pos, false);
  return true;
}

void dabRegion(const DabScene& scene, double radius, int32_t g, const host::Vector uv[4],
               const host::Vector pos[4], PaintTarget& target, const host::Vector& centre) {
  (void)g;
  const host::Vector &a = pos[0], &b = pos[1], &c = pos[2], &d = pos[3];
  const double rho = static_cast<double>(static_cast<float>(radius) * std::sqrt(2.0f));
  const host::BrushDab* dab = scene.dab;

  // Paints quadrilateral q through triangle corners (i0, i1, i2) of the polygon.
  auto paintQuad = [&](const host::Vector q[4], int i0, int i1, int i2) {
    host::Vector quv[4];
    for (int k = 0; k < 4; ++k) {
      float w0, w1, w2;
      barycentric(q[k], pos[i0], pos[i1], pos[i2], w0, w1, w2);
      quv[k] = uv[i0] * w0 + uv[i1] * w1 + uv[i2] * w2;
    }
    const int tris[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const auto& tri : tris) {
      const host::Vector tuv[4] = {quv[tri[0]], quv[tri[1]], quv[tri[2]], quv[tri[2]]};
      const host::Vector tpos[4] = {q[tri[0]], q[tri[1]], q[tri[2]], q[tri[2]]};
      paintPolygon(dab, target, false, tuv, tpos, false);
    }
  };

  host::Vector x1, x2;
  if (!lineSphere(a, c - a, centre, rho, x1, x2)) {
    int i0 = 0, i1 = 1, i2 = 2;
    host::Vector e = a - b, n = host::normalize(host::cross(a - b, a - c));
    if (!insideTriangle(centre, a, b, c)) {
      i1 = 2;
      i2 = 3;
      e = a - c;
      n = host::normalize(host::cross(a - c, a - d));
    }
    host::Vector y1, y2;
    if (!lineSphere(centre, e, centre, rho, x1, x2)) return;
    const host::Vector f = host::cross(host::normalize(x1 - x2), n);
    if (!lineSphere(centre, f, centre, rho, y1, y2)) return;
    const host::Vector square[4] = {x1, y2, x2, y1};
    paintQuad(square, i0, i1, i2);
    return;
  }
  const host::Vector dir = host::normalize(x1 - x2);
  const host::Vector m = (x1 + x2) * 0.5;
  const host::Vector a1 = m + dir * radius, a2 = m - dir * radius;
  const int corners[2][3] = {{0, 1, 2}, {0, 2, 3}};
  for (const auto& t : corners) {
    const host::Vector &t0 = pos[t[0]], &t1 = pos[t[1]], &t2 = pos[t[2]];
    const host::Vector n = host::normalize(host::cross(t0 - t1, t0 - t2));
    host::Vector z1, z2, z;
    if (!lineSphere(centre, host::cross(dir, n), centre, rho, z1, z2)) return;
    if (insideTriangle(z1, t0, t1, t2))
      z = z1;
    else if (insideTriangle(z2, t0, t1, t2))
      z = z2;
    else
      return;
    const host::Vector rect[4] = {a1, a2, a2 + (z - m), a1 + (z - m)};
    paintQuad(rect, t[0], t[1], t[2]);
  }
}

bool paintDab(host::BrushDab* dab, bool restrictToSelection, PaintMaterialRegistry& registry) {
  host::PolygonObject* obj = dab ? dab->object() : nullptr;
  if (!obj || !dab->document()) return false;
  host::Settings* settings = dab->settings();
  auto* state = dynamic_cast<BrushStrokeState*>(dab->brushTool());
  const host::PolygonMarkerSet* markers = nullptr;
  if (settings && settings->getBool(kSettingFixedStrength)) {
    if (!state) return false;
    markers = state->markerSet(obj->polygonCount());
  }

  const ToolContext context = toolContextOf(*dab);
  if (state) {
    if (!state->firstDabSeen()) {
      state->setFirstDabSeen(true);
      registry.bind(&context, obj, obj);
    }
  } else if (settings && !settings->getBool(kSettingStrokeBound)) {
    settings->setBool(kSettingStrokeBound, true);
    registry.bind(&context, obj, obj);
  }
  registry.updateAllStrength(context);

  DabScene scene;
  scene.dab = dab;
  scene.registry = &registry;
  scene.object = obj;
  scene.uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
  host::Document* doc = obj->document();
  if (!scene.uvw || !doc) return false;
  scene.points = obj->points();
  scene.polygons = obj->polygons();
  scene.pointCount = obj->pointCount();
  scene.polygonCount = obj->polygonCount();
  scene.restrictInForce =
      restrictToSelection && doc->data().getInt32(host::kDocMode) == kModePolygonsRestricted;
  if (scene.restrictInForce) scene.selection = &obj->polygonSelection();
  auto marked = [markers](int32_t i) { return markers && markers->isMarked(i); };

  const int32_t count = dab->polygonCount();
  const int32_t* list = dab->polygons();
  if (count == 1 && dab->pointCount() == 0) {
    const int32_t g = list[0];
    if ((scene.restrictInForce && !scene.selected(g)) || marked(g)) return false;
    PaintTarget* t = registry.targetForPolygon(g);
    if (!t) return false;
    host::Polygon poly;
    host::Vector uv[4], pos[4];
    if (scene.polygon(g, *t, poly, uv, pos)) {
      const bool quad = !poly.isTriangle();
      bool spilled = false;
      if (const host::Neighbour* n = dab->neighbour()) {
        const int sides = quad ? 4 : 3;
        for (int k = 0; k < sides; ++k)
          spilled |= edgeSpill(scene, g, *n, poly.corner(k), poly.corner((k + 1) % sides));
      }
      if (spilled || t->wholePolygon) {
        const bool flat = t->wholePolygon && !t->stampOn && !t->stencilOn;
        paintPolygon(dab, *t, quad, uv, pos, flat);
      } else if (channelWalkable(*t)) {
        dabRegion(scene, dab->radius(), g, uv, pos, *t, dab->centre());
      }
    }
  } else {
    for (int32_t i = 0; i < count; ++i) {
      const int32_t g = list[i];
      if ((scene.restrictInForce && !scene.selected(g)) || marked(g)) continue;
      PaintTarget* t = registry.targetForPolygon(g);
      if (!t) continue;
      if (t->pointTest && restrictToSelection && !obj->polygonSelection().isSelected(g)) continue;
      host::Polygon poly;
      host::Vector uv[4], pos[4];
      if (scene.polygon(g, *t, poly, uv, pos))
        paintPolygon(dab, *t, !poly.isTriangle(), uv, pos, false);
    }
  }
  registry.flushAll();
  return true;
}

}  // namespace pigmora
