#include "hostapp/paint/image_writer.h"

#include <OpenImageIO/filesystem.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "hostapp/core/atomic_file.h"
#include "hostapp/paint/jpeg_writer.h"
#include "hostapp/paint/png_writer.h"

namespace hostapp {

namespace {

// The encoders write into the AtomicFile. A failed write is kept by the file and reported at
// commit; the encoder is told every write worked, so that no image library gives up in a way
// that ends the process.
class AtomicFileProxy : public OIIO::Filesystem::IOProxy {
 public:
  explicit AtomicFileProxy(AtomicFile& file) : IOProxy("", Write), file_(file) {}
  const char* proxytype() const override { return "pigmora-atomic"; }
  size_t write(const void* buf, size_t size) override {
    file_.writeAt(buf, size, static_cast<uint64_t>(m_pos));
    m_pos += static_cast<int64_t>(size);
    return size;
  }
  size_t pwrite(const void* buf, size_t size, int64_t offset) override {
    file_.writeAt(buf, size, static_cast<uint64_t>(offset));
    return size;
  }
  size_t read(void* buf, size_t size) override {
    const size_t n = file_.readAt(buf, size, static_cast<uint64_t>(m_pos));
    m_pos += static_cast<int64_t>(n);
    return n;
  }
  size_t pread(void* buf, size_t size, int64_t offset) override {
    return file_.readAt(buf, size, static_cast<uint64_t>(offset));
  }
  size_t size() const override { return static_cast<size_t>(file_.size()); }

 private:
  AtomicFile& file_;
};

}  // namespace

std::string libraryReason(std::string why) {
  while (!why.empty() && (why.back() == '\n' || why.back() == '.' || why.back() == ' '))
    why.pop_back();
  if (why.find("bad_alloc") != std::string::npos) return "the machine ran out of memory";
  return why;
}

void setPngOptions(OIIO::ImageSpec& spec, int32_t level) {
  constexpr int32_t kFilterUp = 0x20;  // PNG_FILTER_UP, as the PNG library numbers it
  spec.attribute("png:compressionLevel", level >= 0 ? level : 3);
  spec.attribute("png:filter", kFilterUp);
}

bool writeImageRows(const std::string& path, const OIIO::ImageSpec& format, OIIO::TypeDesc rowType,
                    const std::function<const void*(int32_t y)>& row, std::string& error) {
  auto fail = [&](const std::string& why) {
    error = "The image " + path + " could not be written: " + libraryReason(why) + ".";
    return false;
  };
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // Encoders of our own write straight into the checked file.
  auto ownWriter = [&](auto encode) {
    AtomicFile file;
    std::string why;
    if (!file.open(path, why)) return fail(why);
    if (!encode(file, why)) return fail(why);
    if (!file.commit(why)) return fail(why);
    return true;
  };
  if (ext == ".jpg" || ext == ".jpeg") {
    // The image library's JPEG writer cannot be torn down safely when it runs out of memory
    // halfway through opening: JPEG goes through the JPEG library under our own error manager.
    return ownWriter([&](AtomicFile& file, std::string& why) {
      return writeJpegRows(file, format, rowType, row, why);
    });
  }
  // PNG rows at the file's own depth are deflated on every core.
  if (ext == ".png" && pngWriterTakes(format, rowType)) {
    return ownWriter([&](AtomicFile& file, std::string& why) {
      return writePngRows(file, format, rowType, row, why);
    });
  }
  auto out = OIIO::ImageOutput::create(path);
  if (!out) {
    // The formats the program saves always have a writer; when the library finds none for one
    // of them, it failed to make one, which only running out of memory does.
    for (const char* known : {".png", ".tif", ".tiff", ".exr", ".tga", ".bmp"})
      if (ext == known) return fail("the machine ran out of memory");
    return fail(OIIO::geterror());
  }
  // BMP holds no grey with alpha: such rows are written as RGBA with the grey in each colour.
  OIIO::ImageSpec fileFormat = format;
  std::function<const void*(int32_t)> fileRow = row;
  std::vector<uint8_t> wide;
  if (format.nchannels == 2 && std::string(out->format_name()) == "bmp") {
    fileFormat.nchannels = 4;
    fileFormat.channelnames = {"R", "G", "B", "A"};
    fileFormat.alpha_channel = 3;
    const size_t sample = rowType.size();
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
  AtomicFile file;
  std::string why;
  if (!file.open(path, why)) return fail(why);
  // The TIFF writer checks its own writes and revisits what it wrote in ways a proxy does not
  // serve: it writes the temporary file by name, and the commit checks what reached the disk.
  AtomicFileProxy proxy(file);
  const bool byName = std::string(out->format_name()) == "tiff";
  // The writer goes before the proxy it writes through, however this function is left: a writer
  // that failed halfway still closes itself through the proxy when it is destroyed.
  struct ReleaseFirst {
    std::unique_ptr<OIIO::ImageOutput>& writer;
    ~ReleaseFirst() { writer.reset(); }
  } releaseFirst{out};
  if (!byName && (!out->supports("ioproxy") || !out->set_ioproxy(&proxy)))
    return fail("the image library cannot write this format to a checked file");
  if (!out->open(byName ? file.temporaryPath() : path, fileFormat)) return fail(out->geterror());
  const auto stride = static_cast<OIIO::stride_t>(fileFormat.nchannels * rowType.size());
  bool ok = true;
  // Rows go on after a failed write to the file: an encoder left short of rows may give up in a
  // way that ends the process.
  for (int32_t y = 0; y < format.height && ok; ++y)
    ok = out->write_scanline(y, 0, rowType, fileRow(y), stride);
  why = ok ? "" : out->geterror();
  if (!out->close() && ok) {
    ok = false;
    why = out->geterror();
  }
  out.reset();
  if (!ok) return fail(why.empty() ? "the image library gave up" : why);
  if (!file.commit(why)) return fail(why);
  return true;
}

}  // namespace hostapp
