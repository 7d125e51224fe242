#include "hostapp/paint/png_reader.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace hostapp {

namespace {

// The largest side this reader decodes; larger files go to the general reader, which refuses
// them with the program's sentence.
constexpr png_uint_32 kMaxSide = 16384;

// The PNG library reports errors by jumping back to the setjmp of the function that called it.
// The functions that call it hold nothing with a destructor, so the jump skips none.
struct PngState {
  FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  char error[200] = {};
};

void onError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngState*>(png_get_error_ptr(png));
  std::snprintf(state->error, sizeof state->error, "%s", message ? message : "");
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void release(PngState& s) {
  if (s.png) png_destroy_read_struct(&s.png, s.info ? &s.info : nullptr, nullptr);
  s.png = nullptr;
  s.info = nullptr;
  if (s.file) std::fclose(s.file);
  s.file = nullptr;
}

// Reads the header. False for a file this reader does not take.
bool readHeader(PngState& s, const char* path, ImageFileInfo& info) {
  s.file = std::fopen(path, "rbe");
  if (!s.file) return false;
  png_byte signature[8];
  if (std::fread(signature, 1, 8, s.file) != 8 || png_sig_cmp(signature, 0, 8) != 0) return false;
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, onError, onWarning);
  if (!s.png) return false;
  s.info = png_create_info_struct(s.png);
  if (!s.info) return false;
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_init_io(s.png, s.file);
  png_set_sig_bytes(s.png, 8);
  png_read_info(s.png, s.info);
  const png_uint_32 width = png_get_image_width(s.png, s.info);
  const png_uint_32 height = png_get_image_height(s.png, s.info);
  const int depth = png_get_bit_depth(s.png, s.info);
  const int colour = png_get_color_type(s.png, s.info);
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return false;
  if (depth != 8 && depth != 16) return false;
  if (png_get_valid(s.png, s.info, PNG_INFO_tRNS)) return false;
  switch (colour) {
    case PNG_COLOR_TYPE_GRAY:
      info.channels = 1;
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      info.channels = 2;
      info.alphaChannel = 1;
      break;
    case PNG_COLOR_TYPE_RGB:
      info.channels = 3;
      break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      info.channels = 4;
      info.alphaChannel = 3;
      break;
    default:
      return false;
  }
  info.width = static_cast<int32_t>(width);
  info.height = static_cast<int32_t>(height);
  info.type = depth == 16 ? SampleType::kUInt16 : SampleType::kUInt8;
  return true;
}

// Decodes every row into `pixels`; false with the library's reason in `s.error`.
bool readRows(PngState& s, uint8_t* pixels, size_t rowBytes, png_uint_32 height) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  if (png_get_bit_depth(s.png, s.info) == 16) png_set_swap(s.png);  // to the machine's order
  const int passes = png_set_interlace_handling(s.png);
  png_read_update_info(s.png, s.info);
  if (png_get_rowbytes(s.png, s.info) != rowBytes) {
    std::snprintf(s.error, sizeof s.error, "%s", "its rows are not the size its header says");
    return false;
  }
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(s.png, pixels + y * rowBytes, nullptr);
  png_read_end(s.png, nullptr);
  return true;
}

class OwnPngReader : public ImageFileReader {
 public:
  OwnPngReader() = default;
  ~OwnPngReader() override { release(state_); }
  OwnPngReader(const OwnPngReader&) = delete;
  OwnPngReader& operator=(const OwnPngReader&) = delete;

  bool open(const std::string& path) { return readHeader(state_, path.c_str(), info_); }
  const ImageFileInfo& info() const override { return info_; }
  bool read(int32_t channels, SampleType type, void* pixels, std::string& why) override {
    if (!state_.png || channels != info_.channels || type != info_.type) {
      why = "the PNG reader was asked for samples the file does not hold";
      return false;
    }
    const size_t rowBytes = static_cast<size_t>(info_.width) * channels * sampleBytes(type);
    const bool ok = readRows(state_, static_cast<uint8_t*>(pixels), rowBytes,
                             static_cast<png_uint_32>(info_.height));
    if (!ok) why = state_.error;
    release(state_);
    return ok;
  }

 private:
  PngState state_;
  ImageFileInfo info_;
};

}  // namespace

std::unique_ptr<ImageFileReader> openOwnPng(const std::string& path,
                                            std::optional<SampleType> wanted) {
  auto reader = std::make_unique<OwnPngReader>();
  if (!reader->open(path)) return nullptr;
  if (wanted && *wanted != reader->info().type) return nullptr;
  return reader;
}

}  // namespace hostapp
