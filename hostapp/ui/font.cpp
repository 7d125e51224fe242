#include "hostapp/ui/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace hostapp {

struct Font::Library {
  FT_Library ft = nullptr;
  ~Library() {
    if (ft) FT_Done_FreeType(ft);
  }
};

std::vector<uint32_t> decodeUtf8(const std::string& text) {
  std::vector<uint32_t> out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<uint8_t>(text[i]);
    const int extra = c < 0x80           ? 0
                      : (c >> 5) == 0x6  ? 1
                      : (c >> 4) == 0xE  ? 2
                      : (c >> 3) == 0x1E ? 3
                                         : -1;
    if (extra < 0 || i + extra >= text.size()) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (next & 0x3F);
    }
    out.push_back(ok ? cp : 0xFFFD);
    i += ok ? extra + 1 : 1;
  }
  return out;
}

Font::Font(const std::string& path, int32_t pixels) : library_(std::make_unique<Library>()) {
  if (FT_Init_FreeType(&library_->ft) != 0) {
    library_->ft = nullptr;
    return;
  }
  FT_Face face = nullptr;
  if (FT_New_Face(library_->ft, path.c_str(), 0, &face) != 0) return;
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) != 0) {
    FT_Done_Face(face);
    return;
  }
  face_ = face;
  // Ascender to descender, so that every glyph of a line stays inside the line's box.
  const FT_Size_Metrics& m = face->size->metrics;
  ascent_ = static_cast<int32_t>((m.ascender + 63) >> 6);
  lineHeight_ = std::max(ascent_ + static_cast<int32_t>((-m.descender + 63) >> 6),
                         static_cast<int32_t>(m.height >> 6));
}

Font::~Font() {
  if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
}

const Font::Glyph& Font::glyph(uint32_t codepoint) {
  auto it = glyphs_.find(codepoint);
  if (it != glyphs_.end()) return it->second;
  Glyph g;
  g.advance = fallbackAdvance_;
  auto face = static_cast<FT_Face>(face_);
  if (face && FT_Load_Char(face, codepoint, FT_LOAD_RENDER) == 0) {
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.advance = static_cast<int32_t>(slot->advance.x >> 6);
    if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
      g.width = static_cast<int32_t>(bm.width);
      g.rows = static_cast<int32_t>(bm.rows);
      g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
      for (int32_t r = 0; r < g.rows; ++r) {
        const uint8_t* row = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
        std::copy(row, row + g.width, g.coverage.begin() + static_cast<ptrdiff_t>(r) * g.width);
      }
    }
  }
  return glyphs_.emplace(codepoint, std::move(g)).first->second;
}

int32_t Font::width(const std::string& text) {
  int32_t w = 0;
  for (uint32_t cp : decodeUtf8(text)) w += glyph(cp).advance;
  return w;
}

void Font::draw(Canvas& canvas, const std::string& text, int32_t x, int32_t y, Rgba color) {
  const int32_t baseline = y + ascent_;
  for (uint32_t cp : decodeUtf8(text)) {
    const Glyph& g = glyph(cp);
    for (int32_t r = 0; r < g.rows; ++r) {
      for (int32_t c = 0; c < g.width; ++c) {
        canvas.blend(x + g.left + c, baseline - g.top + r, color,
                     g.coverage[static_cast<size_t>(r) * g.width + c]);
      }
    }
    x += g.advance;
  }
}

}  // namespace hostapp
