#include "hostapp/paint/image_writer.h"

#include <cctype>
#include <filesystem>

#include "hostapp/core/atomic_file.h"
#include "hostapp/paint/image_library.h"
#include "hostapp/paint/jpeg_writer.h"
#include "hostapp/paint/png_writer.h"

namespace hostapp {

namespace {

// The checked file, as the image library's encoders write into it.
class AtomicFileSink : public ImageByteSink {
 public:
  explicit AtomicFileSink(AtomicFile& file) : file_(file) {}
  void writeAt(const void* data, size_t bytes, uint64_t offset) override {
    file_.writeAt(data, bytes, offset);
  }
  size_t readAt(void* data, size_t bytes, uint64_t offset) const override {
    return file_.readAt(data, bytes, offset);
  }
  uint64_t size() const override { return file_.size(); }
  const std::string& temporaryPath() const override { return file_.temporaryPath(); }

 private:
  AtomicFile& file_;
};

}  // namespace

std::string libraryReason(std::string why) {
  if (why.find("bad_alloc") != std::string::npos) return "the machine ran out of memory";
  // Libraries give one line per layer of their error; the sentence joins them.
  std::string joined;
  size_t start = 0;
  while (start <= why.size()) {
    size_t end = why.find('\n', start);
    if (end == std::string::npos) end = why.size();
    std::string line = why.substr(start, end - start);
    while (!line.empty() && (line.back() == '.' || line.back() == ' ' || line.back() == '\r'))
      line.pop_back();
    if (!line.empty()) joined += (joined.empty() ? "" : "; ") + line;
    start = end + 1;
  }
  return joined;
}

void setPngOptions(ImageFormat& format, int32_t level) {
  format.pngLevel = level >= 0 ? level : 3;
}

bool writeImageRows(const std::string& path, const ImageFormat& format, SampleType rowType,
                    const RowSource& row, std::string& error) {
  auto fail = [&](const std::string& why) {
    error = "The image " + path + " could not be written: " + libraryReason(why) + ".";
    return false;
  };
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool jpeg = ext == ".jpg" || ext == ".jpeg";
  // PNG rows at the file's own depth are deflated on every core.
  const bool png = ext == ".png" && pngWriterTakes(format, rowType);
  // Every other file needs the library, and so do JPEG rows of other samples than 8 bits, which
  // are rounded as the library rounds them.
  const bool ownEncoder = png || (jpeg && rowType == SampleType::kUInt8);
  ImageLibrary* library = nullptr;
  std::string why;
  if (!ownEncoder && !(library = imageLibrary(why))) return fail(why);
  AtomicFile file;
  if (!file.open(path, why)) return fail(why);
  bool encoded = false;
  if (jpeg) {
    // The image library's JPEG writer cannot be torn down safely when it runs out of memory
    // halfway through opening: JPEG goes through the JPEG library under our own error manager.
    encoded = writeJpegRows(file, format, rowType, row, library, why);
  } else if (png) {
    encoded = writePngRows(file, format, rowType, row, why);
  } else {
    AtomicFileSink sink(file);
    encoded = library->write(sink, path, format, rowType, row, why);
  }
  if (!encoded) return fail(why);
  if (!file.commit(why)) return fail(why);
  return true;
}

}  // namespace hostapp
