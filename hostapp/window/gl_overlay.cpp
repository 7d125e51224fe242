#include "hostapp/window/gl_overlay.h"

#include <epoxy/gl.h>

#include <cstring>
#include <utility>

#include "hostapp/ui/canvas.h"
#include "hostapp/window/gl_scene.h"

namespace hostapp {

namespace {

constexpr const char* kVertex = R"(#version 330 core
uniform vec4 uRect;  // left, top, right, bottom in clip space
out vec2 vUv;
void main() {
  vec2 t = vec2(float(gl_VertexID & 1), float((gl_VertexID & 2) / 2));
  vUv = t;
  gl_Position = vec4(mix(uRect.x, uRect.z, t.x), mix(uRect.y, uRect.w, t.y), 0.0, 1.0);
}
)";

constexpr const char* kFragment = R"(#version 330 core
in vec2 vUv;
uniform sampler2D uImage;
out vec4 fragColor;
void main() { fragColor = texture(uImage, vUv); }
)";

}  // namespace

GlOverlay::Picture::~Picture() {
  if (texture_) glDeleteTextures(1, &texture_);
}

GlOverlay::Picture& GlOverlay::Picture::operator=(Picture&& o) noexcept {
  if (this != &o) {
    if (texture_) glDeleteTextures(1, &texture_);
    texture_ = std::exchange(o.texture_, 0);
    width_ = std::exchange(o.width_, 0);
    height_ = std::exchange(o.height_, 0);
    sent_ = std::move(o.sent_);
  }
  return *this;
}

GlOverlay::~GlOverlay() {
  if (vao_) glDeleteVertexArrays(1, &vao_);
  if (program_) glDeleteProgram(program_);
}

bool GlOverlay::init(std::string& error) {
  program_ = buildProgram(kVertex, kFragment, error);
  if (!program_) return false;
  rectLocation_ = glGetUniformLocation(program_, "uRect");
  imageLocation_ = glGetUniformLocation(program_, "uImage");
  glGenVertexArrays(1, &vao_);
  return true;
}

bool GlOverlay::update(Picture& picture, const Canvas& canvas) {
  const std::vector<uint8_t>& pixels = canvas.pixels();
  if (picture.texture_ && picture.width_ == canvas.width() && picture.height_ == canvas.height() &&
      picture.sent_.size() == pixels.size() &&
      std::memcmp(picture.sent_.data(), pixels.data(), pixels.size()) == 0)
    return false;
  if (!picture.texture_) {
    glGenTextures(1, &picture.texture_);
    glBindTexture(GL_TEXTURE_2D, picture.texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, picture.texture_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (picture.width_ == canvas.width() && picture.height_ == canvas.height())
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, canvas.width(), canvas.height(), GL_RGBA,
                    GL_UNSIGNED_BYTE, pixels.data());
  else
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, canvas.width(), canvas.height(), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, pixels.data());
  picture.width_ = canvas.width();
  picture.height_ = canvas.height();
  picture.sent_ = pixels;
  texels_ += int64_t{canvas.width()} * canvas.height();
  return true;
}

void GlOverlay::draw(const Picture& picture, int32_t x, int32_t y, int32_t windowWidth,
                     int32_t windowHeight) {
  if (!picture.texture_ || picture.width_ <= 0 || picture.height_ <= 0 || windowWidth <= 0 ||
      windowHeight <= 0)
    return;
  glViewport(0, 0, windowWidth, windowHeight);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, picture.texture_);
  glUseProgram(program_);
  auto clipX = [&](int32_t px) { return 2.0f * px / windowWidth - 1.0f; };
  auto clipY = [&](int32_t py) { return 1.0f - 2.0f * py / windowHeight; };
  glUniform4f(rectLocation_, clipX(x), clipY(y), clipX(x + picture.width_),
              clipY(y + picture.height_));
  glUniform1i(imageLocation_, 0);
  glBindVertexArray(vao_);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glBindVertexArray(0);
}

}  // namespace hostapp
