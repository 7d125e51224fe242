// Paint textures and bitmaps family: layered paint textures, their pixels in every colour mode,
// plain bitmaps, and the painter-state library.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/node.h"
#include "host/values.h"

namespace host {

class Document;
class Material;

// Colour modes (alpha first where present).
constexpr int32_t kModeAlpha = 1;
constexpr int32_t kModeGrey8 = 2;
constexpr int32_t kModeAGrey8 = 3;
constexpr int32_t kModeRGB8 = 4;
constexpr int32_t kModeARGB8 = 5;
constexpr int32_t kModeCMYK8 = 6;
constexpr int32_t kModeACMYK8 = 7;
constexpr int32_t kModeMask8 = 8;
constexpr int32_t kModeAMask8 = 9;
constexpr int32_t kModeGrey16 = 18;
constexpr int32_t kModeAGrey16 = 19;
constexpr int32_t kModeRGB16 = 20;
constexpr int32_t kModeARGB16 = 21;
constexpr int32_t kModeMask16 = 24;
constexpr int32_t kModeGreyF = 34;
constexpr int32_t kModeAGreyF = 35;
constexpr int32_t kModeRGBF = 36;
constexpr int32_t kModeARGBF = 37;
constexpr int32_t kModeMaskF = 40;

constexpr int32_t kUpdateLayerChanged = 286;  // changed-rectangle notice

// Settings of a new paint texture.
constexpr int32_t kNewTexFormat = 1000;
constexpr int32_t kNewTexWidth = 1001;
constexpr int32_t kNewTexHeight = 1002;
constexpr int32_t kNewTexFillStyle = 1003;  // 4 = filled with colour 1004, else transparent
constexpr int32_t kNewTexFillColor = 1004;  // vector, components 0 .. 255
constexpr int32_t kNewTexColorMode = 1010;  // colour mode of the first layer, 5 by default
constexpr int32_t kFillStyleColor = 4;

// Image file formats.
constexpr int32_t kFormatTIFF = 1100;
constexpr int32_t kFormatTGA = 1101;
constexpr int32_t kFormatBMP = 1102;
constexpr int32_t kFormatJPEG = 1103;
constexpr int32_t kFormatPNG = 1104;
constexpr int32_t kFormatEXR = 1105;

// Pixels of a paint texture or one of its layers.
class PaintBitmap : public Node {
 public:
  virtual int32_t width() const = 0;
  virtual int32_t height() const = 0;
  virtual int32_t colorMode() const = 0;
  // Reads `count` pixels of row y from column x into `buffer` in colour mode `mode`, converting
  // through float RGB when it differs from the bitmap's own. Pixels outside the bitmap are not
  // touched in the buffer. False when nothing of the row lies inside or the mode is unknown.
  virtual bool getPixelRow(int32_t x, int32_t y, int32_t count, void* buffer,
                           int32_t mode) const = 0;
  // Writes a row the same way; pixels outside the bitmap are dropped.
  virtual bool setPixelRow(int32_t x, int32_t y, int32_t count, const void* buffer,
                           int32_t mode) = 0;
  // Tells the host that the rectangle [xmin, xmax) x [ymin, ymax) changed (flags 286).
  virtual void notifyChanged(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax,
                             int32_t flags) = 0;
  // Layer-changed message (286) for the whole bitmap; flag as the caller passes it.
  virtual void layerChanged(int32_t flag) = 0;
  // Next layer of the owning texture, or null.
  virtual PaintBitmap* next() const = 0;
  // Counts changes of the pixels, of the active layer and of what is shown; a preview made at one
  // count is up to date while the count stays.
  virtual uint64_t changeCount() const = 0;
  // Whether a layer is shown in its texture; textures and other bitmaps are always shown.
  virtual bool visible() const { return true; }
  virtual void setVisible(bool on) { (void)on; }
};

class PaintTexture : public PaintBitmap {
 public:
  virtual PaintBitmap* firstLayer() const = 0;
  virtual PaintBitmap* activeLayer() const = 0;
  virtual void setActiveLayer(PaintBitmap* layer) = 0;
  virtual int32_t layerCount() const = 0;
  // Adds a bitmap layer in `mode` above the active one, made active. Owned by the texture.
  virtual PaintBitmap* addLayer(const std::string& name, int32_t mode) = 0;
  virtual std::string filePath() const = 0;
};

// Plain 24- or 32-bit bitmaps (previews, work bitmaps).
class Bitmap {
 public:
  virtual ~Bitmap() = default;
  virtual bool init(int32_t width, int32_t height, int32_t bits) = 0;
  virtual int32_t width() const = 0;
  virtual int32_t height() const = 0;
  virtual int32_t bits() const = 0;
  virtual void getPixel(int32_t x, int32_t y, uint8_t& r, uint8_t& g, uint8_t& b) const = 0;
  virtual void setPixel(int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) = 0;
  virtual uint8_t getAlpha(int32_t x, int32_t y) const = 0;  // 255 without alpha
  virtual void setAlpha(int32_t x, int32_t y, uint8_t a) = 0;
  virtual void clear(uint8_t r, uint8_t g, uint8_t b) = 0;
  // Reads pixels of row y in a paint colour mode (a 24-bit bitmap reads as mode 4 would hold it,
  // a 32-bit one as mode 5). Pixels outside are not touched; false when nothing lies inside.
  virtual bool getPixelRow(int32_t x, int32_t y, int32_t count, void* buffer,
                           int32_t mode) const = 0;
  // Writes pixels of row y given in a paint colour mode; pixels outside are dropped.
  virtual bool setPixelRow(int32_t x, int32_t y, int32_t count, const void* buffer,
                           int32_t mode) = 0;
  // Scales into dst's size; intensity 256 keeps brightness.
  virtual void scaleInto(Bitmap& dst, int32_t intensity, bool sample,
                         bool keepProportions) const = 0;
  // Replaces the bitmap with an image file (24 bits, or 32 with alpha); kImageOk when it loaded,
  // kImageFailed with the bitmap unchanged otherwise.
  virtual int32_t load(const std::string& path) = 0;
};
constexpr int32_t kImageOk = 1;
constexpr int32_t kImageFailed = 0;

// Painter-state library 1031402: what the user chose to paint with.
constexpr int32_t kPainterLibraryId = 1031402;
class PainterState {
 public:
  virtual ~PainterState() = default;
  virtual bool channelEnabled(int32_t channel) const = 0;
  virtual void setChannelEnabled(int32_t channel, bool on) = 0;
  // Colour `slot` (0 primary, 1 secondary) of a channel; false when the host has none.
  virtual bool color(int32_t slot, int32_t channel, Vector& color, double& brightness) const = 0;
  virtual void setColor(int32_t slot, int32_t channel, const Vector& color, double brightness) = 0;
  virtual bool paintAllChannels() const = 0;
  virtual void setPaintAllChannels(bool on) = 0;
  virtual bool multiChannel() const = 0;
  virtual void setMultiChannel(bool on) = 0;
  virtual int32_t activeChannel() const = 0;
  virtual void setActiveChannel(int32_t channel) = 0;
  // The texture selected for painting, or null. Owned by its document.
  virtual PaintTexture* selectedTexture() const = 0;
  virtual void setSelectedTexture(PaintTexture* texture) = 0;
  // Makes `channel` the one painted. With `multi` the channel joins (on) or leaves (off) the
  // channels painted together; without, it becomes the only one enabled.
  virtual void activateChannel(int32_t channel, bool multi, bool on) = 0;
  // Makes a layer the one painted: active in its texture, and that texture the selected one.
  // Flags as the caller passes them (0: no undo entry).
  virtual void activateLayer(PaintBitmap* layer, int32_t flags) = 0;
};

class Paint {
 public:
  virtual ~Paint() = default;
  // The paint texture of channel `channel` of the material in the document, loading it from the
  // channel's file when it is not open yet. Null when the channel has no texture.
  virtual PaintTexture* textureOf(Material* mat, int32_t channel, Document* doc) = 0;
  // The paint texture of the material as a whole: its Color channel's, else that of the first
  // enabled channel that has one, opened from the channel's file when needed. Null when none has.
  virtual PaintTexture* materialTexture(Material* mat, Document* doc) = 0;
  // Creates a texture from settings (1000 format, 1001 width, 1002 height, 1003 fill style,
  // 1004 fill colour, 1010 colour mode) for the file `path` and opens it in the document. A path
  // inside a folder is written there at once in the format; a bare file name stays in memory
  // until it is saved. Null when the format, size or mode is unknown or the file cannot be
  // written. Owned by the document.
  virtual PaintTexture* createTexture(Document* doc, const std::string& path,
                                      const Settings& settings) = 0;
  // Fills the host's default new-texture settings for a channel.
  virtual void defaultTextureSettings(int32_t channel, Settings& settings) = 0;
  // File suffix of an image format id (".tif" for 1100), empty when unknown.
  virtual std::string formatSuffix(int32_t format) = 0;
  // Converts `count` pixels between colour modes through float RGB.
  virtual bool convertPixels(int32_t srcMode, const void* src, int32_t dstMode, void* dst,
                             int32_t count) = 0;
  // Prepares the conversion of pixels of srcMode through a 2 x 2 matrix into dstMode; false
  // when the host cannot convert between them.
  virtual bool prepareConversion(int32_t srcMode, const double matrix[4], int32_t dstMode) = 0;
  // A new plain bitmap, owned by the caller. Null on failure.
  virtual std::unique_ptr<Bitmap> createBitmap() = 0;
  // Replaces a layer's pixels with a plain bitmap of the same size.
  virtual bool replaceLayerPixels(PaintBitmap* layer, const Bitmap& bitmap) = 0;
  // Makes a material paintable in the document: every channel with a texture file gets its paint
  // texture opened. False when none could be.
  virtual bool makePaintable(Material* mat, Document* doc) = 0;
  virtual PainterState& painter() = 0;
};

}  // namespace host
