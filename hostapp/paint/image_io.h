// Image files: reading them into plain bitmaps and paint textures, and writing paint layers,
// flattened textures and plain bitmaps. Every format OpenImageIO knows is read; the host's
// format ids (1100 TIFF, 1101 TGA, 1102 BMP, 1103 JPEG, 1104 PNG, 1105 EXR) are written.
// Alpha is straight (unassociated) everywhere: samples go between file and bitmap unchanged, so
// that a file read and written again keeps its pixels exactly at its own depth.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/paint.h"
#include "hostapp/paint/plain_bitmap.h"

namespace hostapp {

// The descriptor of the program's standard error, also while an image library's own output
// to it is silenced.
int programStderr();

class PaintTextureImpl;

// Reads an image file (PNG, TIFF, JPEG, EXR, TGA, BMP ...) into a 32-bit plain bitmap; images
// without alpha read as opaque. Null with `error` set to one sentence naming the file on failure.
std::unique_ptr<PlainBitmap> loadPlainBitmap(CountingMemory& memory, const std::string& path,
                                             std::string& error);

// Reads an image file into a paint texture with one layer, "Background", keyed by `path`. The
// layer's colour mode follows the file: 8-bit files give 8-bit modes, 16-bit files 16-bit ones,
// half and float files 32-bit float; one to four channels give grey, grey with alpha, RGB and
// RGB with alpha. Null with `error` set on failure.
std::unique_ptr<PaintTextureImpl> loadPaintTexture(CountingMemory& memory, const std::string& path,
                                                   std::string& error);

// The host's image-format id of a file name's suffix (".png" gives 1104), 0 when unknown.
int32_t imageFormatOfPath(const std::string& path);

// Writes a paint bitmap (one layer, or a texture flattened through its visible layers) to an
// image file whose format follows the suffix. Samples keep the bitmap's depth (8, 16 or 32-bit
// float) where the format holds it and are converted otherwise; alpha is written where the
// format has it. The file appears complete or not at all: it is written under a temporary name
// beside it and renamed. False with `error` set to one sentence naming the file on failure.
bool saveImageFile(const host::PaintBitmap& bitmap, const std::string& path, std::string& error);

// Writes a plain bitmap (RGB, with alpha when it has 32 bits) the same way.
bool savePlainBitmap(const PlainBitmap& bitmap, const std::string& path, std::string& error);

}  // namespace hostapp
