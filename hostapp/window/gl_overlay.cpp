#include "hostapp/window/gl_overlay.h"

#include <epoxy/gl.h>

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

GlOverlay::~GlOverlay() {
  if (texture_) glDeleteTextures(1, &texture_);
  if (vao_) glDeleteVertexArrays(1, &vao_);
  if (program_) glDeleteProgram(program_);
}

bool GlOverlay::init(std::string& error) {
  program_ = buildProgram(kVertex, kFragment, error);
  if (!program_) return false;
  glGenVertexArrays(1, &vao_);
  glGenTextures(1, &texture_);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return true;
}

void GlOverlay::draw(const Canvas& canvas, int32_t x, int32_t y, int32_t windowWidth,
                     int32_t windowHeight) {
  if (canvas.empty() || windowWidth <= 0 || windowHeight <= 0) return;
  glViewport(0, 0, windowWidth, windowHeight);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, canvas.width(), canvas.height(), 0, GL_RGBA,
               GL_UNSIGNED_BYTE, canvas.pixels().data());
  glUseProgram(program_);
  auto clipX = [&](int32_t px) { return 2.0f * px / windowWidth - 1.0f; };
  auto clipY = [&](int32_t py) { return 1.0f - 2.0f * py / windowHeight; };
  glUniform4f(glGetUniformLocation(program_, "uRect"), clipX(x), clipY(y),
              clipX(x + canvas.width()), clipY(y + canvas.height()));
  glUniform1i(glGetUniformLocation(program_, "uImage"), 0);
  glBindVertexArray(vao_);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glBindVertexArray(0);
}

}  // namespace hostapp
