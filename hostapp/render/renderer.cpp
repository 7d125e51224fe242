#include "hostapp/render/renderer.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <map>
#include <thread>
#include <vector>

#include "hostapp/core/embedded_host.h"
#include "hostapp/core/large_pages.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/document.h"

namespace hostapp {

namespace {

constexpr double kNear = 1e-3;
// Corners whose faces meet at less than this angle share a smoothed normal.
constexpr double kSmoothingCos = 0.766;  // 40 degrees

struct Rgb {
  float r = 0, g = 0, b = 0;
};

// A texture flattened once through its visible layers, as 8-bit RGBA.
struct TextureImage {
  int32_t width = 0, height = 0;
  LargeVector<uint8_t> rgba;

  Rgb sample(double u, double v) const {
    // Texel centres sit at half-pixel positions; the texture wraps, as tiling does.
    const double x = (u - std::floor(u)) * width - 0.5, y = (v - std::floor(v)) * height - 0.5;
    const double fx = std::floor(x), fy = std::floor(y);
    const float tx = static_cast<float>(x - fx), ty = static_cast<float>(y - fy);
    auto wrap = [](int64_t i, int32_t n) { return static_cast<int32_t>(((i % n) + n) % n); };
    const int32_t x0 = wrap(static_cast<int64_t>(fx), width), x1 = wrap(x0 + 1, width);
    const int32_t y0 = wrap(static_cast<int64_t>(fy), height), y1 = wrap(y0 + 1, height);
    auto at = [&](int32_t px, int32_t py) {
      return &rgba[(static_cast<size_t>(py) * width + px) * 4];
    };
    const uint8_t *a = at(x0, y0), *b = at(x1, y0), *c = at(x0, y1), *d = at(x1, y1);
    Rgb out;
    float* dst[3] = {&out.r, &out.g, &out.b};
    for (int k = 0; k < 3; ++k) {
      const float top = a[k] + (b[k] - a[k]) * tx, bottom = c[k] + (d[k] - c[k]) * tx;
      *dst[k] = (top + (bottom - top) * ty) / 255.f;
    }
    return out;
  }
};

struct Surface {
  const TextureImage* texture = nullptr;
  Rgb color{0.8f, 0.8f, 0.8f};
};

// A vertex in camera space with what is interpolated across the triangle.
struct Vertex {
  host::Vector p;  // camera space, z forward
  host::Vector n;  // world-space normal
  double u = 0, v = 0;
};

// The inverse of a camera matrix: its axes are orthogonal (they may be scaled).
host::Vector toCamera(const host::Matrix& m, const host::Vector& p) {
  const host::Vector d = p - m.off;
  auto axis = [&](const host::Vector& a) {
    const double l2 = host::dot(a, a);
    return l2 > 0 ? host::dot(d, a) / l2 : 0.0;
  };
  return {axis(m.v1), axis(m.v2), axis(m.v3)};
}

host::Vector lerp(const host::Vector& a, const host::Vector& b, double t) {
  return a + (b - a) * t;
}

Vertex lerp(const Vertex& a, const Vertex& b, double t) {
  return {lerp(a.p, b.p, t), lerp(a.n, b.n, t), a.u + (b.u - a.u) * t, a.v + (b.v - a.v) * t};
}

// Keeps the part of a triangle in front of the near plane (0, 1 or 2 triangles as a polygon).
int clipNear(const Vertex in[3], Vertex out[4]) {
  int n = 0;
  for (int i = 0; i < 3; ++i) {
    const Vertex& a = in[i];
    const Vertex& b = in[(i + 1) % 3];
    const bool aIn = a.p.z > kNear, bIn = b.p.z > kNear;
    if (aIn) out[n++] = a;
    if (aIn != bIn) out[n++] = lerp(a, b, (kNear - a.p.z) / (b.p.z - a.p.z));
  }
  return n;
}

class Raster {
 public:
  Raster(int32_t width, int32_t height, double halfFov, const host::Matrix& cam)
      : w_(width),
        h_(height),
        scale_((width / 2.0) / halfFov),
        cam_(cam),
        color_(static_cast<size_t>(width) * height),
        depth_(static_cast<size_t>(width) * height, std::numeric_limits<float>::infinity()) {
    const host::Vector key = host::normalize({-0.45, 0.6, -0.65});
    const host::Vector fill = host::normalize({0.7, -0.2, -0.5});
    keyLight_ = host::normalize(cam.transformDirection(key));
    fillLight_ = host::normalize(cam.transformDirection(fill));
    for (int32_t y = 0; y < height; ++y) {
      // A studio backdrop: lighter at the top, darker at the bottom.
      const float t = static_cast<float>(y) / std::max(height - 1, 1);
      const Rgb bg{0.33f - 0.17f * t, 0.35f - 0.18f * t, 0.40f - 0.2f * t};
      std::fill(color_.begin() + static_cast<ptrdiff_t>(y) * width,
                color_.begin() + static_cast<ptrdiff_t>(y + 1) * width, bg);
    }
  }

  // Queues the part of a triangle in front of the camera; queued triangles are drawn in order,
  // by finish() or when the queue is full.
  void triangle(const Vertex tri[3], const Surface& surface) {
    Vertex poly[4];
    const int n = clipNear(tri, poly);
    for (int i = 1; i + 1 < n; ++i) {
      queue_.push_back({{poly[0], poly[i], poly[i + 1]}, &surface});
      if (queue_.size() == kQueueSize) finish();
    }
  }

  // Draws the queued triangles. The image is cut into bands of rows, taken in turn by as many
  // threads as there are cores; each band sees every triangle in the queue's order, so every
  // pixel ends as it would drawn by one thread.
  void finish() {
    const int32_t bands = (h_ + kBandRows - 1) / kBandRows;
    const int32_t threads = std::clamp<int32_t>(
        static_cast<int32_t>(std::min<int64_t>(std::thread::hardware_concurrency(), 8)), 1,
        std::max(bands, 1));
    auto draw = [this, threads](int32_t first) {
      for (const Queued& q : queue_) clipped(q.v[0], q.v[1], q.v[2], *q.surface, first, threads);
    };
    std::vector<std::thread> helpers;
    int32_t started = 1;
    try {
      for (; started < threads && queue_.size() > 1; ++started) helpers.emplace_back(draw, started);
    } catch (const std::exception&) {
      // No thread to be had: the bands that had none are drawn here.
    }
    draw(0);
    for (std::thread& t : helpers) t.join();
    for (int32_t band = started; band < threads; ++band) draw(band);
    queue_.clear();
  }

  const LargeVector<Rgb>& color() const { return color_; }

 private:
  struct Screen {
    double x, y, invZ;
  };
  Screen project(const host::Vector& p) const {
    const double iz = 1.0 / p.z;
    return {w_ / 2.0 + p.x * iz * scale_, h_ / 2.0 - p.y * iz * scale_, iz};
  }

  // Draws the triangle's pixels on the rows of bands `band`, `band` + `bands`, `band` + 2
  // `bands`...
  void clipped(const Vertex& a, const Vertex& b, const Vertex& c, const Surface& surface,
               int32_t band, int32_t bands) {
    const Screen s[3] = {project(a.p), project(b.p), project(c.p)};
    const double area =
        (s[1].x - s[0].x) * (s[2].y - s[0].y) - (s[2].x - s[0].x) * (s[1].y - s[0].y);
    if (!(std::abs(area) > 1e-12)) return;
    const int32_t x0 =
        std::max(0, static_cast<int32_t>(std::floor(std::min({s[0].x, s[1].x, s[2].x}))));
    const int32_t x1 =
        std::min(w_ - 1, static_cast<int32_t>(std::ceil(std::max({s[0].x, s[1].x, s[2].x}))));
    const int32_t y0 =
        std::max(0, static_cast<int32_t>(std::floor(std::min({s[0].y, s[1].y, s[2].y}))));
    const int32_t y1 =
        std::min(h_ - 1, static_cast<int32_t>(std::ceil(std::max({s[0].y, s[1].y, s[2].y}))));
    if (x0 > x1 || y0 > y1) return;
    const Vertex* v[3] = {&a, &b, &c};
    // The face normal, turned towards the camera: both sides of a surface are shown lit.
    const host::Vector e1 = b.p - a.p, e2 = c.p - a.p;
    const host::Vector faceCam = host::cross(e1, e2);
    const double towards = host::dot(faceCam, a.p) > 0 ? -1.0 : 1.0;
    const host::Vector faceWorld = host::normalize(cam_.transformDirection(faceCam)) * towards;
    const host::Vector eyeDir = host::normalize(cam_.transformDirection(a.p + b.p + c.p));
    for (int32_t y = y0; y <= y1; ++y) {
      if ((y / kBandRows) % bands != band) {
        y = (y / kBandRows + 1) * kBandRows - 1;  // on to the next band's first row
        continue;
      }
      const double py = y + 0.5;
      for (int32_t x = x0; x <= x1; ++x) {
        const double px = x + 0.5;
        double w[3];
        for (int i = 0; i < 3; ++i) {
          const Screen& p = s[(i + 1) % 3];
          const Screen& q = s[(i + 2) % 3];
          w[i] = ((q.x - p.x) * (py - p.y) - (px - p.x) * (q.y - p.y)) / area;
        }
        if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
        // Perspective-correct weights.
        const double iz = w[0] * s[0].invZ + w[1] * s[1].invZ + w[2] * s[2].invZ;
        const float z = static_cast<float>(1.0 / iz);
        const size_t at = static_cast<size_t>(y) * w_ + x;
        if (z >= depth_[at]) continue;
        depth_[at] = z;
        double pw[3];
        for (int i = 0; i < 3; ++i) pw[i] = w[i] * s[i].invZ / iz;
        const double u = pw[0] * v[0]->u + pw[1] * v[1]->u + pw[2] * v[2]->u;
        const double vv = pw[0] * v[0]->v + pw[1] * v[1]->v + pw[2] * v[2]->v;
        host::Vector n = v[0]->n * pw[0] + v[1]->n * pw[1] + v[2]->n * pw[2];
        n = host::normalize(n);
        if (host::dot(n, faceWorld) < 0) n = -n;
        const Rgb albedo = surface.texture ? surface.texture->sample(u, vv) : surface.color;
        color_[at] = shade(albedo, n, eyeDir);
      }
    }
  }

  Rgb shade(const Rgb& albedo, const host::Vector& n, const host::Vector& eye) const {
    const double key = std::max(0.0, host::dot(n, keyLight_));
    const double fill = std::max(0.0, host::dot(n, fillLight_));
    const double diffuse = 0.28 + 0.78 * key + 0.22 * fill;
    const host::Vector half = host::normalize(keyLight_ - eye);
    const double highlight =
        key > 0 ? 0.18 * std::pow(std::max(0.0, host::dot(n, half)), 40.0) : 0.0;
    auto channel = [&](float a) {
      return static_cast<float>(std::min(1.0, a * diffuse + highlight));
    };
    return {channel(albedo.r), channel(albedo.g), channel(albedo.b)};
  }

  struct Queued {
    Vertex v[3];
    const Surface* surface;
  };
  static constexpr size_t kQueueSize = 1 << 16;
  static constexpr int32_t kBandRows = 16;

  int32_t w_, h_;
  double scale_;
  std::vector<Queued> queue_;
  host::Matrix cam_;
  host::Vector keyLight_, fillLight_;
  LargeVector<Rgb> color_;
  LargeVector<float> depth_;
};

bool validPolygon(const host::Polygon& p, int32_t points) {
  auto ok = [points](int32_t i) { return i >= 0 && i < points; };
  return ok(p.a) && ok(p.b) && ok(p.c) && ok(p.d);
}

}  // namespace

std::vector<int32_t> polygonSurfaces(host::PolygonObject& obj,
                                     const std::vector<host::Material*>& mats,
                                     std::vector<host::Material*>& used) {
  const int32_t count = obj.polygonCount();
  std::vector<int32_t> out(static_cast<size_t>(count), -1);
  for (int32_t t = 0; t < obj.tagCount(); ++t) {
    host::Tag* tag = obj.tagAt(t);
    if (!tag || tag->type() != host::kTypeTextureTag) continue;
    host::Material* mat = static_cast<host::TextureTag*>(tag)->material();
    if (!mat || std::find(mats.begin(), mats.end(), mat) == mats.end()) continue;
    auto it = std::find(used.begin(), used.end(), mat);
    const int32_t index = static_cast<int32_t>(it - used.begin());
    if (it == used.end()) used.push_back(mat);
    const std::string restriction = tag->data().getString(host::kTexRestriction);
    if (restriction.empty()) {
      std::fill(out.begin(), out.end(), index);
      continue;
    }
    for (int32_t s = 0; s < obj.tagCount(); ++s) {
      host::Tag* sel = obj.tagAt(s);
      if (!sel || sel->type() != host::kTypePolygonSelectionTag || sel->name() != restriction)
        continue;
      for (int32_t p : static_cast<host::SelectionTag*>(sel)->selection().indices())
        if (p >= 0 && p < count) out[static_cast<size_t>(p)] = index;
    }
  }
  return out;
}

std::vector<host::Vector> cornerNormals(const host::PolygonObject& obj,
                                        const std::vector<host::Vector>& world) {
  const int32_t count = obj.polygonCount();
  const host::Polygon* polys = obj.polygons();
  std::vector<host::Vector> face(static_cast<size_t>(count));
  std::vector<std::vector<int32_t>> around(world.size());
  for (int32_t i = 0; i < count; ++i) {
    const host::Polygon& p = polys[i];
    const host::Vector n = p.isTriangle()
                               ? host::cross(world[p.b] - world[p.a], world[p.c] - world[p.a])
                               : host::cross(world[p.c] - world[p.a], world[p.d] - world[p.b]);
    face[i] = host::normalize(n);
    for (int k = 0; k < (p.isTriangle() ? 3 : 4); ++k)
      around[static_cast<size_t>(p.corner(k))].push_back(i);
  }
  std::vector<host::Vector> out(static_cast<size_t>(count) * 4);
  for (int32_t i = 0; i < count; ++i) {
    for (int k = 0; k < 4; ++k) {
      host::Vector sum;
      for (int32_t j : around[static_cast<size_t>(polys[i].corner(k))])
        if (host::dot(face[j], face[i]) >= kSmoothingCos) sum += face[j];
      out[static_cast<size_t>(i) * 4 + k] =
          host::dot(sum, sum) > 0 ? host::normalize(sum) : face[i];
    }
  }
  return out;
}

void readTextureRgba(const host::PaintBitmap& tex, int32_t x, int32_t y, int32_t width,
                     int32_t height, uint8_t* rgba) {
  std::vector<uint8_t> row(static_cast<size_t>(std::max(width, 0)) * 4);
  for (int32_t j = 0; j < height; ++j) {
    tex.getPixelRow(x, y + j, width, row.data(), host::kModeARGB8);
    uint8_t* dst = rgba + static_cast<size_t>(j) * width * 4;
    for (int32_t i = 0; i < width; ++i) {
      dst[4 * i] = row[4 * i + 1];
      dst[4 * i + 1] = row[4 * i + 2];
      dst[4 * i + 2] = row[4 * i + 3];
      dst[4 * i + 3] = row[4 * i];
    }
  }
}

RenderCamera cameraView(const host::CameraObject& camera) {
  return {camera.globalMatrix(), camera.focalLength(), camera.aperture()};
}

RenderCamera lookAt(const host::Vector& position, const host::Vector& target, double focalLength) {
  host::Vector forward = host::normalize(target - position);
  if (host::dot(forward, forward) == 0) forward = {0, 0, 1};
  host::Vector right = host::normalize(host::cross({0, 1, 0}, forward));
  if (host::dot(right, right) == 0) right = {1, 0, 0};
  const host::Vector up = host::cross(forward, right);
  RenderCamera cam;
  cam.matrix.off = position;
  cam.matrix.v1 = right;
  cam.matrix.v2 = up;
  cam.matrix.v3 = forward;
  cam.focalLength = focalLength;
  return cam;
}

bool sceneBounds(const DocumentImpl& doc, host::Vector& lo, host::Vector& hi) {
  lo = {1e300, 1e300, 1e300};
  hi = {-1e300, -1e300, -1e300};
  bool any = false;
  for (host::Object* o : doc.allObjects()) {
    if (o->type() != host::kTypePolygonObject) continue;
    auto* obj = static_cast<host::PolygonObject*>(o);
    const host::Matrix m = obj->globalMatrix();
    for (int32_t i = 0; i < obj->pointCount(); ++i) {
      const host::Vector p = m * obj->points()[i];
      lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
      hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
      any = true;
    }
  }
  return any;
}

RenderCamera editorCamera(const DocumentImpl& doc, double aspect) {
  host::Vector lo, hi;
  if (!sceneBounds(doc, lo, hi)) return lookAt({0, 150, -400}, {0, 0, 0}, 36.0);
  const host::Vector centre = (lo + hi) * 0.5;
  const double radius = std::max(host::length(hi - lo) * 0.5, 1e-6);
  const double focal = 36.0;
  // Far enough that the bounding sphere fits the narrower side of the image, with a margin.
  const double halfFov = 18.0 / focal;
  const double fit = halfFov * std::min(1.0, 1.0 / std::max(aspect, 1e-6));
  const double distance = radius * 1.08 / std::sin(std::atan(fit));
  const host::Vector dir = host::normalize({0.35, 0.45, -1.0});
  return lookAt(centre + dir * distance, centre, focal);
}

bool renderDocument(EmbeddedHost& host, DocumentImpl& doc, const RenderCamera& camera,
                    const RenderOptions& options, PlainBitmap& out) {
  const int32_t ss = std::clamp(options.supersample, 1, 4);
  if (options.width <= 0 || options.height <= 0 || options.width > 16384 ||
      options.height > 16384 || !out.init(options.width, options.height, 24))
    return false;
  const int32_t w = options.width * ss, h = options.height * ss;
  const double halfFov = camera.aperture * 0.5 / std::max(camera.focalLength, 1e-6);
  Raster raster(w, h, halfFov, camera.matrix);

  std::vector<host::Material*> materials;
  for (host::Material* m = doc.firstMaterial(); m; m = m->next()) materials.push_back(m);
  std::map<const host::PaintTexture*, TextureImage> images;
  auto surfaceOf = [&](host::Material* mat) {
    Surface s;
    const host::Vector c = mat->data().getVector(host::kMatColor, {0.8, 0.8, 0.8});
    s.color = {static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z)};
    host::PaintTexture* tex =
        mat->channelEnabled(0) ? host.paintImpl().textureOf(mat, 0, &doc) : nullptr;
    if (!tex || tex->width() <= 0 || tex->height() <= 0) return s;
    TextureImage& img = images[tex];
    if (img.rgba.empty()) {
      img.width = tex->width();
      img.height = tex->height();
      img.rgba.resize(static_cast<size_t>(img.width) * img.height * 4);
      readTextureRgba(*tex, 0, 0, img.width, img.height, img.rgba.data());
    }
    s.texture = &img;
    return s;
  };

  // Queued triangles point at their surfaces until the last is drawn.
  std::deque<Surface> surfaces;
  const Surface plain;
  std::vector<host::PolygonObject*> objects;
  int64_t total = 0, done = 0;
  for (host::Object* o : doc.allObjects()) {
    if (o->type() != host::kTypePolygonObject) continue;
    objects.push_back(static_cast<host::PolygonObject*>(o));
    total += objects.back()->polygonCount();
  }
  for (host::PolygonObject* obj : objects) {
    const host::Matrix m = obj->globalMatrix();
    std::vector<host::Vector> world(static_cast<size_t>(obj->pointCount()));
    for (int32_t i = 0; i < obj->pointCount(); ++i)
      world[static_cast<size_t>(i)] = m * obj->points()[i];
    std::vector<host::Material*> used;
    const std::vector<int32_t> surfaceIndex = polygonSurfaces(*obj, materials, used);
    const size_t firstSurface = surfaces.size();
    for (host::Material* mat : used) surfaces.push_back(surfaceOf(mat));
    const std::vector<host::Vector> normals = cornerNormals(*obj, world);
    auto* uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
    const host::Polygon* polys = obj->polygons();
    for (int32_t i = 0; i < obj->polygonCount(); ++i, ++done) {
      if (options.progress && (done & 1023) == 0)
        options.progress(total ? static_cast<double>(done) / total : 1.0);
      const host::Polygon& p = polys[i];
      if (!validPolygon(p, obj->pointCount())) continue;
      const host::UVWPolygon uv = uvw ? uvw->get(i) : host::UVWPolygon{};
      const int32_t si = surfaceIndex[static_cast<size_t>(i)];
      const Surface& surface = si >= 0 ? surfaces[firstSurface + static_cast<size_t>(si)] : plain;
      Vertex corner[4];
      for (int k = 0; k < 4; ++k) {
        corner[k].p = toCamera(camera.matrix, world[static_cast<size_t>(p.corner(k))]);
        corner[k].n = normals[static_cast<size_t>(i) * 4 + k];
        corner[k].u = uv.corner(k).x;
        corner[k].v = uv.corner(k).y;
      }
      const Vertex first[3] = {corner[0], corner[1], corner[2]};
      raster.triangle(first, surface);
      if (!p.isTriangle()) {
        const Vertex second[3] = {corner[0], corner[2], corner[3]};
        raster.triangle(second, surface);
      }
    }
  }

  raster.finish();

  // Average the samples of each pixel.
  const LargeVector<Rgb>& color = raster.color();
  const float norm = 255.f / (ss * ss);
  for (int32_t y = 0; y < options.height; ++y) {
    for (int32_t x = 0; x < options.width; ++x) {
      float r = 0, g = 0, b = 0;
      for (int32_t j = 0; j < ss; ++j) {
        for (int32_t i = 0; i < ss; ++i) {
          const Rgb& c = color[static_cast<size_t>(y * ss + j) * w + (x * ss + i)];
          r += c.r;
          g += c.g;
          b += c.b;
        }
      }
      out.setPixel(x, y, static_cast<uint8_t>(std::lround(r * norm)),
                   static_cast<uint8_t>(std::lround(g * norm)),
                   static_cast<uint8_t>(std::lround(b * norm)));
    }
  }
  if (options.progress) options.progress(1.0);
  return true;
}

}  // namespace hostapp
