#include "hostapp/window/gl_scene.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>

#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/render/renderer.h"
#include "hostapp/scene/document.h"

namespace hostapp {

namespace {

constexpr const char* kSurfaceVertex = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec2 aUv;
uniform mat4 uViewProjection;
out vec3 vPosition;
out vec3 vNormal;
out vec2 vUv;
void main() {
  vPosition = aPosition;
  vNormal = aNormal;
  vUv = aUv;
  gl_Position = uViewProjection * vec4(aPosition, 1.0);
}
)";

// A key light from the upper left of the camera, a weaker fill from the right, ambient light and
// a soft highlight; faces seen from behind are lit as their front.
constexpr const char* kSurfaceFragment = R"(#version 330 core
in vec3 vPosition;
in vec3 vNormal;
in vec2 vUv;
uniform sampler2D uTexture;
uniform bool uTextured;
uniform vec3 uColor;
uniform vec3 uEye;
uniform vec3 uKey;
uniform vec3 uFill;
out vec4 fragColor;
void main() {
  vec3 n = normalize(vNormal);
  vec3 toEye = normalize(uEye - vPosition);
  if (dot(n, toEye) < 0.0) n = -n;
  vec3 albedo = uTextured ? texture(uTexture, vUv).rgb : uColor;
  float key = max(dot(n, -uKey), 0.0);
  float fill = max(dot(n, -uFill), 0.0);
  float highlight = pow(max(dot(reflect(uKey, n), toEye), 0.0), 24.0);
  vec3 lit = albedo * (0.22 + 0.78 * key + 0.25 * fill) + vec3(0.12 * highlight);
  fragColor = vec4(min(lit, vec3(1.0)), 1.0);
}
)";

constexpr const char* kBackdropVertex = R"(#version 330 core
out float vHeight;
void main() {
  vec2 corner = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1));
  vHeight = corner.y * 0.5 + 0.5;
  gl_Position = vec4(corner, 0.0, 1.0);
}
)";

// Lighter at the top, darker at the bottom, as the preview renderer's backdrop.
constexpr const char* kBackdropFragment = R"(#version 330 core
in float vHeight;
out vec4 fragColor;
void main() {
  float t = 1.0 - clamp(vHeight, 0.0, 1.0);
  fragColor = vec4(0.33 - 0.17 * t, 0.35 - 0.18 * t, 0.40 - 0.2 * t, 1.0);
}
)";

uint32_t compile(GLenum kind, const char* source, std::string& error) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    error = std::string("a shader of the paint window did not compile: ") + log;
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

}  // namespace

uint32_t buildProgram(const char* vertex, const char* fragment, std::string& error) {
  const GLuint vs = compile(GL_VERTEX_SHADER, vertex, error);
  if (!vs) return 0;
  const GLuint fs = compile(GL_FRAGMENT_SHADER, fragment, error);
  if (!fs) {
    glDeleteShader(vs);
    return 0;
  }
  const GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
    error = std::string("a shader program of the paint window did not link: ") + log;
    glDeleteProgram(program);
    return 0;
  }
  return program;
}

GlScene::~GlScene() {
  freeMeshes();
  for (auto& [tex, t] : textures_) glDeleteTextures(1, &t.id);
  if (program_) glDeleteProgram(program_);
  if (backdropProgram_) glDeleteProgram(backdropProgram_);
  if (backdropVao_) glDeleteVertexArrays(1, &backdropVao_);
}

bool GlScene::init(std::string& error) {
  program_ = buildProgram(kSurfaceVertex, kSurfaceFragment, error);
  if (!program_) return false;
  backdropProgram_ = buildProgram(kBackdropVertex, kBackdropFragment, error);
  if (!backdropProgram_) return false;
  glGenVertexArrays(1, &backdropVao_);
  return true;
}

uint64_t GlScene::sceneStamp() const {
  uint64_t stamp = 0;
  for (host::Object* o : doc_.allObjects()) {
    stamp = stamp * 31 + o->dirtyCount() + static_cast<uint64_t>(o->tagCount()) * 7 + 1;
    const host::Matrix m = o->globalMatrix();
    stamp = stamp * 31 + static_cast<uint64_t>(std::llround((m.off.x + m.off.y + m.off.z) * 64));
  }
  for (host::Material* m = doc_.firstMaterial(); m; m = m->next())
    stamp = stamp * 31 + reinterpret_cast<uintptr_t>(m);
  return stamp;
}

void GlScene::freeMeshes() {
  for (Batch& b : batches_) {
    glDeleteBuffers(1, &b.vbo);
    glDeleteVertexArrays(1, &b.vao);
  }
  batches_.clear();
}

void GlScene::buildMeshes() {
  freeMeshes();
  sceneBounds(doc_, lo_, hi_);
  std::vector<host::Material*> materials;
  for (host::Material* m = doc_.firstMaterial(); m; m = m->next()) materials.push_back(m);
  for (host::Object* o : doc_.allObjects()) {
    if (o->type() != host::kTypePolygonObject) continue;
    auto* obj = static_cast<host::PolygonObject*>(o);
    const host::Matrix m = obj->globalMatrix();
    std::vector<host::Vector> world(static_cast<size_t>(obj->pointCount()));
    for (int32_t i = 0; i < obj->pointCount(); ++i)
      world[static_cast<size_t>(i)] = m * obj->points()[i];
    std::vector<host::Material*> used;
    const std::vector<int32_t> surface = polygonSurfaces(*obj, materials, used);
    const std::vector<host::Vector> normals = cornerNormals(*obj, world);
    auto* uvw = static_cast<host::UVWTag*>(obj->tag(host::kTypeUVWTag));
    // One vertex list per material the object shows, and one for polygons without any.
    std::vector<std::vector<float>> lists(used.size() + 1);
    const host::Polygon* polys = obj->polygons();
    const int32_t points = obj->pointCount();
    for (int32_t i = 0; i < obj->polygonCount(); ++i) {
      const host::Polygon& p = polys[i];
      if (p.a < 0 || p.b < 0 || p.c < 0 || p.d < 0 || p.a >= points || p.b >= points ||
          p.c >= points || p.d >= points)
        continue;
      const host::UVWPolygon uv = uvw ? uvw->get(i) : host::UVWPolygon{};
      const int32_t s = surface[static_cast<size_t>(i)];
      std::vector<float>& list = lists[s >= 0 ? static_cast<size_t>(s) : used.size()];
      auto corner = [&](int k) {
        const host::Vector& pos = world[static_cast<size_t>(p.corner(k))];
        const host::Vector& n = normals[static_cast<size_t>(i) * 4 + k];
        const host::Vector t = uv.corner(k);
        for (double v : {pos.x, pos.y, pos.z, n.x, n.y, n.z, t.x, t.y})
          list.push_back(static_cast<float>(v));
      };
      for (int k : {0, 1, 2}) corner(k);
      if (!p.isTriangle())
        for (int k : {0, 2, 3}) corner(k);
    }
    for (size_t l = 0; l < lists.size(); ++l) {
      if (lists[l].empty()) continue;
      Batch b;
      if (l < used.size()) {
        host::Material* mat = used[l];
        b.color = mat->data().getVector(host::kMatColor, {0.8, 0.8, 0.8});
        b.texture = mat->channelEnabled(0) ? host_.paintImpl().textureOf(mat, 0, &doc_) : nullptr;
        if (b.texture && (b.texture->width() <= 0 || b.texture->height() <= 0)) b.texture = nullptr;
      }
      b.vertices = static_cast<int32_t>(lists[l].size() / 8);
      glGenVertexArrays(1, &b.vao);
      glGenBuffers(1, &b.vbo);
      glBindVertexArray(b.vao);
      glBindBuffer(GL_ARRAY_BUFFER, b.vbo);
      glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(lists[l].size() * sizeof(float)),
                   lists[l].data(), GL_STATIC_DRAW);
      const GLsizei stride = 8 * sizeof(float);
      glEnableVertexAttribArray(0);
      glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
      glEnableVertexAttribArray(1);
      glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride,
                            reinterpret_cast<const void*>(3 * sizeof(float)));
      glEnableVertexAttribArray(2);
      glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride,
                            reinterpret_cast<const void*>(6 * sizeof(float)));
      batches_.push_back(b);
    }
  }
  glBindVertexArray(0);
}

void GlScene::upload(host::PaintTexture* tex, Texture& t) {
  glBindTexture(GL_TEXTURE_2D, t.id);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  auto* impl = static_cast<PaintTextureImpl*>(tex);
  const std::vector<ChangedRect>& rects = impl->changes();
  const PaintTextureImpl::Written written = impl->takeWritten();
  // Every change the texture counted since the last upload was a row write or a notice: then
  // the written tiles and the notices without writes are all that differ from the GPU's copy.
  // Anything else (a layer hidden, removed or added) sends the texture whole.
  const bool onlyWrites =
      tex->changeCount() - t.changes == written.writes + rects.size() && written.columns > 0;
  auto send = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, t.width);
    y1 = std::min(y1, t.height);
    if (x0 >= x1 || y0 >= y1) return;
    const int32_t w = x1 - x0, h = y1 - y0;
    scratch_.resize(static_cast<size_t>(w) * h * 4);
    readTextureRgba(*tex, x0, y0, w, h, scratch_.data());
    glTexSubImage2D(GL_TEXTURE_2D, 0, x0, y0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, scratch_.data());
    uploads_.texels += int64_t{w} * h;
  };
  if (tex->width() != t.width || tex->height() != t.height) {
    t.width = tex->width();
    t.height = tex->height();
    scratch_.resize(static_cast<size_t>(t.width) * t.height * 4);
    readTextureRgba(*tex, 0, 0, t.width, t.height, scratch_.data());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t.width, t.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 scratch_.data());
    uploads_.texels += int64_t{t.width} * t.height;
    ++uploads_.whole;
  } else if (!onlyWrites && (rects.empty() || written.writes > 0)) {
    send(0, 0, t.width, t.height);
    ++uploads_.whole;
  } else {
    // A stroke's notices grow with it and cover what earlier frames sent already; the tiles
    // written since the last frame are what changed. Each row of tiles goes in runs.
    constexpr int32_t kTile = PaintTextureImpl::kWrittenTile;
    auto tile = [&](int32_t c, int32_t r) {
      return written.tiles[static_cast<size_t>(r) * written.columns + c] != 0;
    };
    for (int32_t r = 0; r < written.rows; ++r)
      for (int32_t c = 0; c < written.columns;) {
        if (!tile(c, r)) {
          ++c;
          continue;
        }
        const int32_t first = c;
        while (c < written.columns && tile(c, r)) ++c;
        send(first * kTile, r * kTile, c * kTile, (r + 1) * kTile);
        ++uploads_.rectangles;
      }
    // Notices that came without writes (pixels put back some other way) are sent as they are.
    // The rectangles of one frame overlap a lot: their union goes when it is not much larger
    // than their sum.
    std::vector<ChangedRect> alone;
    for (const ChangedRect& r : rects) {
      bool covered = false;
      for (int32_t ty = std::max(r.ymin, 0) / kTile;
           !covered && ty <= std::min(r.ymax, t.height - 1) / kTile && ty < written.rows; ++ty)
        for (int32_t tx = std::max(r.xmin, 0) / kTile;
             !covered && tx <= std::min(r.xmax, t.width - 1) / kTile && tx < written.columns; ++tx)
          covered = tile(tx, ty);
      if (!covered) alone.push_back(r);
    }
    if (!alone.empty()) {
      int64_t sum = 0;
      ChangedRect all = alone.front();
      for (const ChangedRect& r : alone) {
        sum += int64_t{std::max(r.xmax - r.xmin, 0)} * std::max(r.ymax - r.ymin, 0);
        all = {std::min(all.xmin, r.xmin), std::min(all.ymin, r.ymin), std::max(all.xmax, r.xmax),
               std::max(all.ymax, r.ymax), 0};
      }
      const int64_t unionArea = int64_t{all.xmax - all.xmin} * (all.ymax - all.ymin);
      if (unionArea <= sum * 2) {
        send(all.xmin, all.ymin, all.xmax, all.ymax);
        ++uploads_.rectangles;
      } else {
        for (const ChangedRect& r : alone) {
          send(r.xmin, r.ymin, r.xmax, r.ymax);
          ++uploads_.rectangles;
        }
      }
    }
  }
  impl->clearChanges();
  t.changes = tex->changeCount();
}

void GlScene::sync() {
  const uint64_t stamp = sceneStamp();
  if (meshesDirty_ || stamp != stamp_) {
    buildMeshes();
    stamp_ = stamp;
    meshesDirty_ = false;
  }
  for (const Batch& b : batches_) {
    if (!b.texture) continue;
    Texture& t = textures_[b.texture];
    if (!t.id) {
      glGenTextures(1, &t.id);
      glBindTexture(GL_TEXTURE_2D, t.id);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    }
    if (t.changes != b.texture->changeCount() || t.width != b.texture->width() ||
        t.height != b.texture->height())
      upload(b.texture, t);
  }
}

void GlScene::draw(const host::Matrix& camera, double halfFov, int32_t x, int32_t y, int32_t width,
                   int32_t height) {
  if (width <= 0 || height <= 0) return;
  glViewport(x, y, width, height);
  glScissor(x, y, width, height);
  glEnable(GL_SCISSOR_TEST);
  glDisable(GL_DEPTH_TEST);
  glUseProgram(backdropProgram_);
  glBindVertexArray(backdropVao_);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glClear(GL_DEPTH_BUFFER_BIT);

  const host::Vector ax = host::normalize(camera.v1), ay = host::normalize(camera.v2),
                     az = host::normalize(camera.v3);
  // Near and far planes around the objects, so that depth keeps its precision.
  const host::Vector centre = (lo_ + hi_) * 0.5;
  const double radius = std::max(host::length(hi_ - lo_) * 0.5, 1e-3);
  const double depth = host::dot(centre - camera.off, az);
  const double farPlane = std::max(depth + radius * 1.5, radius * 0.01 + 1e-3);
  const double nearPlane = std::max({depth - radius * 1.5, farPlane * 1e-4, 1e-4});
  const double sx = 1.0 / std::max(halfFov, 1e-6), sy = sx * width / height;
  const double a = (farPlane + nearPlane) / (farPlane - nearPlane),
               b = -2 * farPlane * nearPlane / (farPlane - nearPlane);
  const double rows[4][4] = {{sx * ax.x, sx * ax.y, sx * ax.z, -sx * host::dot(ax, camera.off)},
                             {sy * ay.x, sy * ay.y, sy * ay.z, -sy * host::dot(ay, camera.off)},
                             {a * az.x, a * az.y, a * az.z, -a * host::dot(az, camera.off) + b},
                             {az.x, az.y, az.z, -host::dot(az, camera.off)}};
  float matrix[16];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) matrix[c * 4 + r] = static_cast<float>(rows[r][c]);
  const host::Vector key = host::normalize(camera.transformDirection({-0.45, 0.6, -0.65})) * -1.0;
  const host::Vector fill = host::normalize(camera.transformDirection({0.7, -0.2, -0.5})) * -1.0;

  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glUseProgram(program_);
  glUniformMatrix4fv(glGetUniformLocation(program_, "uViewProjection"), 1, GL_FALSE, matrix);
  glUniform3f(glGetUniformLocation(program_, "uEye"), static_cast<float>(camera.off.x),
              static_cast<float>(camera.off.y), static_cast<float>(camera.off.z));
  glUniform3f(glGetUniformLocation(program_, "uKey"), static_cast<float>(key.x),
              static_cast<float>(key.y), static_cast<float>(key.z));
  glUniform3f(glGetUniformLocation(program_, "uFill"), static_cast<float>(fill.x),
              static_cast<float>(fill.y), static_cast<float>(fill.z));
  glUniform1i(glGetUniformLocation(program_, "uTexture"), 0);
  glActiveTexture(GL_TEXTURE0);
  for (const Batch& batch : batches_) {
    auto it = batch.texture ? textures_.find(batch.texture) : textures_.end();
    const bool textured = it != textures_.end() && it->second.id;
    glUniform1i(glGetUniformLocation(program_, "uTextured"), textured ? 1 : 0);
    glUniform3f(glGetUniformLocation(program_, "uColor"), static_cast<float>(batch.color.x),
                static_cast<float>(batch.color.y), static_cast<float>(batch.color.z));
    if (textured) glBindTexture(GL_TEXTURE_2D, it->second.id);
    glBindVertexArray(batch.vao);
    glDrawArrays(GL_TRIANGLES, 0, batch.vertices);
  }
  glBindVertexArray(0);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_SCISSOR_TEST);
}

}  // namespace hostapp
