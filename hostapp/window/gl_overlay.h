// Pictures drawn over the window with OpenGL: the docked panels, the tool panel, the menu bar,
// the status bar and popup menus, each a software canvas of the UI host kept as a texture and
// drawn pixel for pixel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hostapp {

class Canvas;

class GlOverlay {
 public:
  // One picture's texture. It is sent to the GPU again only when its pixels differ from what
  // was sent last.
  class Picture {
   public:
    Picture() = default;
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    Picture(Picture&& o) noexcept { *this = std::move(o); }
    Picture& operator=(Picture&& o) noexcept;
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

   private:
    friend class GlOverlay;
    uint32_t texture_ = 0;
    int32_t width_ = 0, height_ = 0;
    std::vector<uint8_t> sent_;
  };

  GlOverlay() = default;
  ~GlOverlay();
  GlOverlay(const GlOverlay&) = delete;
  GlOverlay& operator=(const GlOverlay&) = delete;

  bool init(std::string& error);
  // Brings the picture's texture up to the canvas; false when nothing had to be sent.
  bool update(Picture& picture, const Canvas& canvas);
  // Draws the picture with its top-left corner at (x, y) in a window of the given size (pixels
  // from the top left).
  void draw(const Picture& picture, int32_t x, int32_t y, int32_t windowWidth,
            int32_t windowHeight);
  // Texels sent so far, for the timing report.
  int64_t texelsSent() const { return texels_; }

 private:
  uint32_t program_ = 0, vao_ = 0;
  int32_t rectLocation_ = -1, imageLocation_ = -1;
  int64_t texels_ = 0;
};

}  // namespace hostapp
