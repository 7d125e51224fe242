// Pictures drawn over the window with OpenGL: the docked panels, the menu bar and the status bar,
// each a software canvas of the UI host sent as a texture and drawn pixel for pixel.
#pragma once

#include <cstdint>
#include <string>

namespace hostapp {

class Canvas;

class GlOverlay {
 public:
  GlOverlay() = default;
  ~GlOverlay();
  GlOverlay(const GlOverlay&) = delete;
  GlOverlay& operator=(const GlOverlay&) = delete;

  bool init(std::string& error);
  // Draws the canvas with its top-left corner at (x, y) in a window of the given size (pixels
  // from the top left). Each call sends the canvas anew: panels are small beside the textures.
  void draw(const Canvas& canvas, int32_t x, int32_t y, int32_t windowWidth, int32_t windowHeight);

 private:
  uint32_t program_ = 0, vao_ = 0, texture_ = 0;
};

}  // namespace hostapp
