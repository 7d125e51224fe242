// Writing a paint bitmap to an image file at a chosen sample depth and colour space, tagged with
// the colour space it is written in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "host/paint.h"
#include "hostapp/paint/colorspace.h"

namespace hostapp {

enum class SampleDepth { kKeep, kUInt8, kUInt16, kHalf, kFloat };
enum class FileColorSpace { kAuto, kSRGB, kLinear, kRaw };

struct ExportOptions {
  // kKeep: the layer's depth where the format holds it (16-bit layers become float in EXR, never
  // half); otherwise the format's nearest.
  SampleDepth depth = SampleDepth::kKeep;
  // kAuto: colour values are written sRGB-encoded into integer samples and linear into half and
  // float samples; data is written as it is. kRaw writes the layer's values unconverted. Data
  // written as sRGB or linear is taken to hold linear values.
  FileColorSpace colorspace = FileColorSpace::kAuto;
  bool colorData = true;  // the bitmap belongs to a colour channel
  // The zlib level of PNG files, 0 (fastest) .. 9 (smallest); -1 for 3, which writes large
  // textures several times faster than the highest for files a few percent bigger. Other formats
  // refuse a level.
  int32_t compression = -1;
  // Told the share of rows written (0 .. 1).
  std::function<void(double)> progress;
};

// Writes the bitmap to `path` in the format of its suffix, under a temporary name renamed when
// complete. False with `error` set to one sentence naming the file: an unknown suffix, a depth or
// colour space the format cannot hold (JPEG, TGA and BMP are 8-bit sRGB; PNG holds 8 or 16 bits;
// EXR half or float), or a write that failed.
bool exportImageFile(const host::PaintBitmap& bitmap, const std::string& path,
                     const ExportOptions& options, std::string& error);

// What an export with these options writes: its sample depth and colour space, for messages.
SampleDepth exportDepth(const host::PaintBitmap& bitmap, const std::string& path,
                        const ExportOptions& options);
Encoding exportEncoding(const host::PaintBitmap& bitmap, const std::string& path,
                        const ExportOptions& options);
const char* depthName(SampleDepth depth);  // "uint8", "uint16", "half", "float"

}  // namespace hostapp
