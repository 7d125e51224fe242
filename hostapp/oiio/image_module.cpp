// The image library module: OpenImageIO behind the program's ImageLibrary interface. Built as
// libpigmora_images.so and loaded when a file first needs it.
#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "hostapp/paint/image_library.h"

namespace hostapp {

namespace {

OIIO::TypeDesc typeOf(SampleType t) {
  switch (t) {
    case SampleType::kUInt8:
      return OIIO::TypeDesc::UINT8;
    case SampleType::kUInt16:
      return OIIO::TypeDesc::UINT16;
    case SampleType::kHalf:
      return OIIO::TypeDesc::HALF;
    default:
      return OIIO::TypeDesc::FLOAT;
  }
}

ImageFileInfo infoOf(const OIIO::ImageSpec& spec) {
  ImageFileInfo info;
  info.width = spec.width;
  info.height = spec.height;
  info.channels = spec.nchannels;
  info.alphaChannel = spec.alpha_channel;
  switch (spec.format.basetype) {
    case OIIO::TypeDesc::UINT16:
      info.type = SampleType::kUInt16;
      break;
    case OIIO::TypeDesc::HALF:
      info.type = SampleType::kHalf;
      break;
    case OIIO::TypeDesc::FLOAT:
    case OIIO::TypeDesc::DOUBLE:
      info.type = SampleType::kFloat;
      break;
    default:
      info.type = SampleType::kUInt8;
  }
  info.volume = spec.depth != 1;
  info.colorSpace = spec.get_string_attribute("oiio:ColorSpace");
  info.description = spec.get_string_attribute("ImageDescription");
  return info;
}

class LibraryReader : public ImageFileReader {
 public:
  LibraryReader(std::unique_ptr<OIIO::ImageInput> in,
                std::unique_ptr<OIIO::Filesystem::IOMemReader> proxy)
      : proxy_(std::move(proxy)), in_(std::move(in)), info_(infoOf(in_->spec())) {}
  const ImageFileInfo& info() const override { return info_; }
  bool read(int32_t channels, SampleType type, void* pixels, std::string& why) override {
    if (in_->read_image(0, 0, 0, channels, typeOf(type), pixels)) return true;
    why = in_->geterror();
    return false;
  }

 private:
  // The reader goes before the bytes it reads.
  std::unique_ptr<OIIO::Filesystem::IOMemReader> proxy_;
  std::unique_ptr<OIIO::ImageInput> in_;
  ImageFileInfo info_;
};

// Encoders see every write succeed; the sink keeps a failure for the caller's commit, so no
// library gives up in a way that ends the process.
class SinkProxy : public OIIO::Filesystem::IOProxy {
 public:
  explicit SinkProxy(ImageByteSink& sink) : IOProxy("", Write), sink_(sink) {}
  const char* proxytype() const override { return "pigmora-atomic"; }
  size_t write(const void* buf, size_t size) override {
    sink_.writeAt(buf, size, static_cast<uint64_t>(m_pos));
    m_pos += static_cast<int64_t>(size);
    return size;
  }
  size_t pwrite(const void* buf, size_t size, int64_t offset) override {
    sink_.writeAt(buf, size, static_cast<uint64_t>(offset));
    return size;
  }
  size_t read(void* buf, size_t size) override {
    const size_t n = sink_.readAt(buf, size, static_cast<uint64_t>(m_pos));
    m_pos += static_cast<int64_t>(n);
    return n;
  }
  size_t pread(void* buf, size_t size, int64_t offset) override {
    return sink_.readAt(buf, size, static_cast<uint64_t>(offset));
  }
  size_t size() const override { return static_cast<size_t>(sink_.size()); }

 private:
  ImageByteSink& sink_;
};

OIIO::ImageSpec specOf(const ImageFormat& f) {
  OIIO::ImageSpec spec(f.width, f.height, f.channels, typeOf(f.type));
  if (f.alphaChannel >= 0) spec.alpha_channel = f.alphaChannel;
  if (f.unassociatedAlpha) spec.attribute("oiio:UnassociatedAlpha", 1);
  if (f.pngLevel >= 0) {
    constexpr int32_t kFilterUp = 0x20;  // PNG_FILTER_UP, as the PNG library numbers it
    spec.attribute("png:compressionLevel", f.pngLevel);
    spec.attribute("png:filter", kFilterUp);
  }
  if (!f.colorSpace.empty()) spec.attribute("oiio:ColorSpace", f.colorSpace);
  if (!f.description.empty()) spec.attribute("ImageDescription", f.description);
  return spec;
}

class OiioLibrary : public ImageLibrary {
 public:
  // The library's own debugging lines (a caught EXR exception, say) are not for painters; some
  // builds of it print them unless told not to.
  OiioLibrary() { OIIO::attribute("debug", 0); }

  std::unique_ptr<ImageFileReader> open(const std::string& path, std::string& why) override {
    // Bitmaps hold straight alpha: the readers must not multiply the colour by alpha.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path, &config);
    if (!in) {
      why = OIIO::geterror();
      return nullptr;
    }
    return std::make_unique<LibraryReader>(std::move(in), nullptr);
  }

  std::unique_ptr<ImageFileReader> openBytes(std::string_view bytes, const char* name) override {
    auto proxy = std::make_unique<OIIO::Filesystem::IOMemReader>(const_cast<char*>(bytes.data()),
                                                                 bytes.size());
    auto in = OIIO::ImageInput::open(name, nullptr, proxy.get());
    if (!in) {
      OIIO::geterror();  // clears the message the failed open left behind
      return nullptr;
    }
    return std::make_unique<LibraryReader>(std::move(in), std::move(proxy));
  }

  bool write(ImageByteSink& sink, const std::string& path, const ImageFormat& format,
             SampleType rowType, const RowSource& row, std::string& why) override {
    auto out = OIIO::ImageOutput::create(path);
    if (!out) {
      why = OIIO::geterror();
      // The formats the program saves always have a writer; when the library finds none for
      // one of them, it failed to make one, which only running out of memory does.
      std::string ext = std::filesystem::path(path).extension().string();
      for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      for (const char* known : {".png", ".tif", ".tiff", ".exr", ".tga", ".bmp"})
        if (ext == known) why = "the machine ran out of memory";
      return false;
    }
    OIIO::ImageSpec fileFormat = specOf(format);
    const size_t sample = sampleBytes(rowType);
    // BMP holds no grey with alpha: such rows are written as RGBA with the grey in each colour.
    RowSource fileRow = row;
    std::vector<uint8_t> wide;
    if (format.channels == 2 && std::string(out->format_name()) == "bmp") {
      fileFormat.nchannels = 4;
      fileFormat.channelnames = {"R", "G", "B", "A"};
      fileFormat.alpha_channel = 3;
      wide.resize(static_cast<size_t>(format.width) * 4 * sample);
      fileRow = [&, sample](int32_t y) -> const void* {
        const auto* narrow = static_cast<const uint8_t*>(row(y));
        for (size_t x = 0; x < static_cast<size_t>(format.width); ++x)
          for (size_t c = 0; c < 4; ++c)
            std::memcpy(&wide[(x * 4 + c) * sample], &narrow[(x * 2 + (c == 3 ? 1 : 0)) * sample],
                        sample);
        return wide.data();
      };
    }
    // The TIFF writer checks its own writes and revisits what it wrote in ways a proxy does not
    // serve: it writes the temporary file by name, and the commit checks what reached the disk.
    SinkProxy proxy(sink);
    const bool byName = std::string(out->format_name()) == "tiff";
    // The writer goes before the proxy it writes through, however this function is left: a
    // writer that failed halfway still closes itself through the proxy when it is destroyed.
    struct ReleaseFirst {
      std::unique_ptr<OIIO::ImageOutput>& writer;
      ~ReleaseFirst() { writer.reset(); }
    } releaseFirst{out};
    if (!byName && (!out->supports("ioproxy") || !out->set_ioproxy(&proxy))) {
      why = "the image library cannot write this format to a checked file";
      return false;
    }
    if (!out->open(byName ? sink.temporaryPath() : path, fileFormat)) {
      why = out->geterror();
      return false;
    }
    const auto stride = static_cast<OIIO::stride_t>(fileFormat.nchannels * sample);
    bool ok = true;
    // Rows go on after a failed write to the file: an encoder left short of rows may give up in
    // a way that ends the process.
    for (int32_t y = 0; y < format.height && ok; ++y)
      ok = out->write_scanline(y, 0, typeOf(rowType), fileRow(y), stride);
    why = ok ? "" : out->geterror();
    if (!out->close() && ok) {
      ok = false;
      why = out->geterror();
    }
    if (!ok && why.empty()) why = "the image library gave up";
    return ok;
  }

  bool encodeBytes(const char* name, int32_t width, int32_t height, int32_t channels,
                   const uint8_t* pixels, std::vector<unsigned char>& out) override {
    OIIO::Filesystem::IOVecOutput proxy(out);
    auto img = OIIO::ImageOutput::create(name);
    if (!img || !img->supports("ioproxy") || !img->set_ioproxy(&proxy)) {
      OIIO::geterror();
      return false;
    }
    OIIO::ImageSpec spec(width, height, channels, OIIO::TypeDesc::UINT8);
    if (channels == 4) spec.alpha_channel = 3;
    if (!img->open(name, spec)) return false;
    const bool ok = img->write_image(OIIO::TypeDesc::UINT8, pixels);
    return img->close() && ok;
  }

  void toBytes(SampleType from, const void* samples, uint8_t* bytes, size_t count) override {
    OIIO::convert_pixel_values(typeOf(from), samples, OIIO::TypeDesc::UINT8, bytes,
                               static_cast<int>(count));
  }
};

}  // namespace

}  // namespace hostapp

extern "C" __attribute__((visibility("default"))) hostapp::ImageLibrary* pigmoraImageLibrary() {
  static hostapp::OiioLibrary library;
  return &library;
}
