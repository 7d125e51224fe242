#include "hostapp/paint/image_io.h"

#include <OpenImageIO/imageio.h>

#include <vector>

#include "hostapp/core/memory.h"

namespace hostapp {

std::unique_ptr<PlainBitmap> loadPlainBitmap(CountingMemory& memory, const std::string& path,
                                             std::string& error) {
  auto in = OIIO::ImageInput::open(path);
  if (!in) {
    error = "The image " + path + " could not be read: " + OIIO::geterror() + ".";
    return nullptr;
  }
  const OIIO::ImageSpec& spec = in->spec();
  const int channels = spec.nchannels;
  if (spec.width <= 0 || spec.height <= 0 || channels <= 0 || spec.width > 65536 ||
      spec.height > 65536) {
    error = "The image " + path + " has no pixels this program can use.";
    return nullptr;
  }
  std::vector<uint8_t> pixels(static_cast<size_t>(spec.width) * spec.height * channels);
  if (!in->read_image(0, 0, 0, channels, OIIO::TypeDesc::UINT8, pixels.data())) {
    error = "The image " + path + " could not be read: " + in->geterror() + ".";
    return nullptr;
  }
  in->close();
  auto bmp = std::make_unique<PlainBitmap>(memory);
  if (!bmp->init(spec.width, spec.height, 32)) {
    error = "The image " + path + " is too large to load.";
    return nullptr;
  }
  const int alpha = spec.alpha_channel >= 0 ? spec.alpha_channel : (channels == 4 ? 3 : -1);
  for (int y = 0; y < spec.height; ++y) {
    for (int x = 0; x < spec.width; ++x) {
      const uint8_t* p = &pixels[(static_cast<size_t>(y) * spec.width + x) * channels];
      const uint8_t r = p[0], g = channels >= 3 ? p[1] : p[0], b = channels >= 3 ? p[2] : p[0];
      bmp->setPixel(x, y, r, g, b);
      bmp->setAlpha(x, y, alpha >= 0 ? p[alpha] : 255);
    }
  }
  return bmp;
}

}  // namespace hostapp
