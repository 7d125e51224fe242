// The paint window's 3D view drawn with OpenGL 3.3: the document's polygon objects with their
// colour textures, lit. Textures follow the painting through the rectangles the plug-in reports
// changed; a texture is sent whole only when it is new, changes size, or changed without a
// rectangle (undo puts pixels back that way).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/host.h"

namespace hostapp {

class DocumentImpl;
class EmbeddedHost;

class GlScene {
 public:
  GlScene(EmbeddedHost& host, DocumentImpl& doc) : host_(host), doc_(doc) {}
  ~GlScene();
  GlScene(const GlScene&) = delete;
  GlScene& operator=(const GlScene&) = delete;

  // Compiles the shaders; needs a current OpenGL 3.3 core context. False with `error` set.
  bool init(std::string& error);
  // Brings meshes and textures up to date with the document.
  void sync();
  // Draws the view through the camera into the window rectangle (x, y from the bottom left, in
  // pixels), with the studio backdrop behind.
  void draw(const host::Matrix& camera, double halfFov, int32_t x, int32_t y, int32_t width,
            int32_t height);
  // Rebuilds the meshes at the next sync (objects were added, removed or moved).
  void invalidateMeshes() { meshesDirty_ = true; }

  struct Uploads {
    int64_t texels = 0;      // texels sent so far
    int64_t rectangles = 0;  // changed rectangles sent
    int64_t whole = 0;       // textures sent whole
  };
  const Uploads& uploads() const { return uploads_; }

 private:
  struct Texture {
    uint32_t id = 0;
    int32_t width = 0, height = 0;
    uint64_t changes = ~uint64_t{0};
  };
  struct Batch {
    uint32_t vao = 0, vbo = 0;
    int32_t vertices = 0;
    host::PaintTexture* texture = nullptr;
    host::Vector color{0.8, 0.8, 0.8};
  };
  void buildMeshes();
  void freeMeshes();
  void upload(host::PaintTexture* tex, Texture& t);
  uint64_t sceneStamp() const;

  EmbeddedHost& host_;
  DocumentImpl& doc_;
  uint32_t program_ = 0, backdropProgram_ = 0, backdropVao_ = 0;
  std::vector<Batch> batches_;
  std::map<host::PaintTexture*, Texture> textures_;
  std::vector<uint8_t> scratch_;
  bool meshesDirty_ = true;
  uint64_t stamp_ = 0;
  host::Vector lo_, hi_;
  Uploads uploads_;
};

// Compiles and links a vertex and a fragment shader; 0 with `error` set.
uint32_t buildProgram(const char* vertex, const char* fragment, std::string& error);

}  // namespace hostapp
