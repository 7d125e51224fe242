// The host's user-interface font: DejaVu Sans through FreeType, at one pixel size. Glyphs are
// rendered once and kept. Without the font file the metrics stay usable and text draws nothing,
// so a missing font never stops a window from opening.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hostapp/ui/canvas.h"

namespace hostapp {

class Font {
 public:
  static constexpr const char* kDefaultPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  static constexpr int32_t kDefaultPixels = 12;

  explicit Font(const std::string& path = kDefaultPath, int32_t pixels = kDefaultPixels);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  bool loaded() const { return face_ != nullptr; }
  // Height of a text line and the baseline's distance from its top, in pixels.
  int32_t lineHeight() const { return lineHeight_; }
  int32_t ascent() const { return ascent_; }
  int32_t width(const std::string& text);
  // Draws UTF-8 text with the top of its line at y.
  void draw(Canvas& canvas, const std::string& text, int32_t x, int32_t y, Rgba color);

 private:
  struct Glyph {
    int32_t left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<uint8_t> coverage;
  };
  const Glyph& glyph(uint32_t codepoint);

  struct Library;
  std::unique_ptr<Library> library_;
  void* face_ = nullptr;  // FT_Face, kept opaque so that FreeType stays inside font.cpp
  int32_t lineHeight_ = 14, ascent_ = 11, fallbackAdvance_ = 7;
  std::map<uint32_t, Glyph> glyphs_;
};

// Decodes UTF-8; malformed bytes come out as U+FFFD.
std::vector<uint32_t> decodeUtf8(const std::string& text);

}  // namespace hostapp
