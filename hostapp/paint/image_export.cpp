#include "hostapp/paint/image_export.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "hostapp/paint/colormode.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/image_writer.h"

namespace hostapp {

namespace {

bool holds(int32_t format, SampleDepth d) {
  switch (format) {
    case host::kFormatPNG:
      return d == SampleDepth::kUInt8 || d == SampleDepth::kUInt16;
    case host::kFormatTIFF:
      return true;
    case host::kFormatEXR:
      return d == SampleDepth::kHalf || d == SampleDepth::kFloat;
    default:  // JPEG, TGA, BMP
      return d == SampleDepth::kUInt8;
  }
}

SampleDepth depthOfBytes(int32_t bytes) {
  return bytes == 1 ? SampleDepth::kUInt8 : bytes == 2 ? SampleDepth::kUInt16 : SampleDepth::kFloat;
}

SampleType typeOf(SampleDepth d) {
  switch (d) {
    case SampleDepth::kUInt8:
      return SampleType::kUInt8;
    case SampleDepth::kUInt16:
      return SampleType::kUInt16;
    case SampleDepth::kHalf:
      return SampleType::kHalf;
    default:
      return SampleType::kFloat;
  }
}

bool floating(SampleDepth d) {
  return d == SampleDepth::kHalf || d == SampleDepth::kFloat;
}

}  // namespace

const char* depthName(SampleDepth depth) {
  switch (depth) {
    case SampleDepth::kUInt8:
      return "uint8";
    case SampleDepth::kUInt16:
      return "uint16";
    case SampleDepth::kHalf:
      return "half";
    case SampleDepth::kFloat:
      return "float";
    default:
      return "kept";
  }
}

SampleDepth exportDepth(const host::PaintBitmap& bitmap, const std::string& path,
                        const ExportOptions& options) {
  if (options.depth != SampleDepth::kKeep) return options.depth;
  const int32_t format = imageFormatOfPath(path);
  const ModeLayout* layout = modeLayout(bitmap.colorMode());
  const SampleDepth own = depthOfBytes(layout ? layout->componentBytes : 1);
  if (holds(format, own)) return own;
  if (format == host::kFormatEXR)
    return own == SampleDepth::kUInt8 ? SampleDepth::kHalf : SampleDepth::kFloat;
  if (format == host::kFormatPNG) return SampleDepth::kUInt16;  // a float layer
  return SampleDepth::kUInt8;
}

Encoding exportEncoding(const host::PaintBitmap& bitmap, const std::string& path,
                        const ExportOptions& options) {
  switch (options.colorspace) {
    case FileColorSpace::kSRGB:
      return Encoding::kSRGB;
    case FileColorSpace::kLinear:
      return Encoding::kLinear;
    case FileColorSpace::kRaw:
      return layerEncoding(bitmap.colorMode(), options.colorData);
    case FileColorSpace::kAuto:
      break;
  }
  if (layerEncoding(bitmap.colorMode(), options.colorData) == Encoding::kRaw) return Encoding::kRaw;
  return floating(exportDepth(bitmap, path, options)) ? Encoding::kLinear : Encoding::kSRGB;
}

bool exportImageFile(const host::PaintBitmap& bitmap, const std::string& path,
                     const ExportOptions& options, std::string& error) {
  const int32_t format = imageFormatOfPath(path);
  if (!format) {
    error = "The image " + path +
            " has a suffix this program cannot write (use .png, .tif, .exr, .jpg, .tga or .bmp).";
    return false;
  }
  const ModeLayout* layout = modeLayout(bitmap.colorMode());
  if (!layout || layout->kind == ModeLayout::Kind::kCMYK) {
    error = "The image " + path + " cannot be written from a bitmap in colour mode " +
            std::to_string(bitmap.colorMode()) + ".";
    return false;
  }
  if (options.compression >= 0 && format != host::kFormatPNG) {
    error = "The image " + path + " cannot take a compression level: only PNG files have one.";
    return false;
  }
  if (options.compression > 9) {
    error = "The image " + path + " cannot be written at compression level " +
            std::to_string(options.compression) + ": PNG levels go from 0 to 9.";
    return false;
  }
  const SampleDepth depth = exportDepth(bitmap, path, options);
  if (!holds(format, depth)) {
    error = "The image " + path + " cannot hold " + depthName(depth) +
            " samples (PNG holds uint8 or uint16, EXR half or float, JPEG, TGA and BMP uint8).";
    return false;
  }
  // Data asked for in a colour space is taken as linear values.
  Encoding from = layerEncoding(bitmap.colorMode(), options.colorData);
  const bool asked =
      options.colorspace == FileColorSpace::kSRGB || options.colorspace == FileColorSpace::kLinear;
  if (from == Encoding::kRaw && asked) from = Encoding::kLinear;
  const Encoding to = exportEncoding(bitmap, path, options);
  if (format == host::kFormatJPEG && to == Encoding::kLinear) {
    error = "The image " + path + " cannot be linear: JPEG files are sRGB.";
    return false;
  }

  const int32_t width = bitmap.width(), height = bitmap.height();
  const int32_t channels = layout->components;
  const bool alpha = layout->alpha && channels > 1;
  // JPEG has no alpha: the colour is written alone.
  const int32_t fileChannels = format == host::kFormatJPEG && alpha ? channels - 1 : channels;
  ImageFormat spec;
  spec.width = width;
  spec.height = height;
  spec.channels = fileChannels;
  spec.type = typeOf(depth);
  if (alpha && fileChannels == channels) spec.alphaChannel = channels - 1;
  // Layers hold straight alpha: the writers must not divide the colour by alpha on the way out.
  spec.unassociatedAlpha = true;
  if (format == host::kFormatPNG) setPngOptions(spec, options.compression);
  // Data has no transfer function: it is tagged linear, so that no reader decodes it as sRGB.
  if (to == Encoding::kSRGB) {
    spec.colorSpace = "sRGB";
  } else {
    spec.colorSpace = "Linear";
    // TIFF has no linear tag of its own; the description says it for readers that look.
    if (format == host::kFormatTIFF) spec.description = "colorspace: linear";
  }
  const int32_t cb = layout->componentBytes;
  // Integer samples kept at their own depth and encoding go to the file as they are, alpha
  // moved last: no float in between.
  const bool sameSamples =
      (cb == 1 && depth == SampleDepth::kUInt8) || (cb == 2 && depth == SampleDepth::kUInt16);
  if (sameSamples && (from == to || from == Encoding::kRaw || to == Encoding::kRaw)) {
    std::vector<uint8_t> raw(static_cast<size_t>(width) * layout->pixelBytes());
    std::vector<uint8_t> row(static_cast<size_t>(width) * fileChannels * cb);
    const int32_t colourFirst = layout->alpha ? 1 : 0, colours = channels - colourFirst;
    const size_t pixelIn = static_cast<size_t>(layout->pixelBytes());
    const size_t pixelOut = static_cast<size_t>(fileChannels) * cb;
    const size_t sample = static_cast<size_t>(cb);
    return writeImageRows(
        path, spec, cb == 1 ? SampleType::kUInt8 : SampleType::kUInt16,
        [&](int32_t y) -> const void* {
          bitmap.getPixelRow(0, y, width, raw.data(), layout->mode);
          if (sample == 1 && pixelIn == 4 && pixelOut == 4 && colourFirst == 1) {
            // 8-bit ARGB, the usual layer: each pixel's alpha byte moves from first to last.
            for (size_t x = 0; x < static_cast<size_t>(width) * 4; x += 4) {
              row[x] = raw[x + 1];
              row[x + 1] = raw[x + 2];
              row[x + 2] = raw[x + 3];
              row[x + 3] = raw[x];
            }
          } else {
            for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
              const uint8_t* p = &raw[x * pixelIn];
              uint8_t* q = &row[x * pixelOut];
              std::memcpy(q, p + colourFirst * sample, colours * sample);
              if (fileChannels > colours) std::memcpy(q + colours * sample, p, sample);
            }
          }
          if (options.progress) options.progress(static_cast<double>(y + 1) / height);
          return row.data();
        },
        error);
  }
  // Other rows are read in the bitmap's own mode, turned into floats with alpha last,
  // re-encoded, and handed to the writer, which rounds them to the file's samples.
  std::vector<uint8_t> raw(static_cast<size_t>(width) * layout->pixelBytes());
  std::vector<float> row(static_cast<size_t>(width) * channels);
  const int32_t colourFirst = layout->alpha ? 1 : 0;
  return writeImageRows(
      path, spec, SampleType::kFloat,
      [&](int32_t y) -> const void* {
        bitmap.getPixelRow(0, y, width, raw.data(), layout->mode);
        for (int32_t x = 0; x < width; ++x) {
          const uint8_t* p = &raw[static_cast<size_t>(x) * layout->pixelBytes()];
          float* q = &row[static_cast<size_t>(x) * channels];
          for (int32_t c = 0; c < channels; ++c) {
            float v;
            if (cb == 1) {
              v = p[c] / 255.f;
            } else if (cb == 2) {
              uint16_t s;
              std::memcpy(&s, p + 2 * c, 2);
              v = s / 65535.f;
            } else {
              std::memcpy(&v, p + 4 * c, 4);
            }
            const bool isAlpha = layout->alpha && c == 0;
            if (!isAlpha) v = reencode(v, from, to);
            // Alpha goes last in files.
            const int32_t at = alpha ? (isAlpha ? channels - 1 : c - colourFirst) : c;
            q[at] = v;
          }
        }
        if (fileChannels != channels) {
          // Without alpha in the file, each pixel's colours close up.
          for (int32_t x = 0; x < width; ++x)
            for (int32_t c = 0; c < fileChannels; ++c)
              row[static_cast<size_t>(x) * fileChannels + c] =
                  row[static_cast<size_t>(x) * channels + c];
        }
        if (options.progress) options.progress(static_cast<double>(y + 1) / height);
        return row.data();
      },
      error);
}

}  // namespace hostapp
