#include "hostapp/docfile/hook_file.h"

#include "hostapp/docfile/image_memory.h"

namespace hostapp::docfile {

namespace {
constexpr uint8_t kItemInt32 = 1;
constexpr uint8_t kItemImage = 2;
constexpr uint8_t kItemMatrix = 3;
}  // namespace

bool HookFileWriter::writeInt32(int32_t v) {
  w_.u8(kItemInt32);
  w_.i32(v);
  return true;
}

bool HookFileWriter::readInt32(int32_t& v) {
  (void)v;
  return false;
}

bool HookFileWriter::writeImage(const host::Bitmap* bitmap, int32_t format,
                                const host::Settings* settings, int32_t saveBits) {
  (void)settings;  // the embedded host's image writers have no format settings
  std::string file;
  if (bitmap && bitmap->width() > 0 && bitmap->height() > 0 &&
      !encodeImage(*bitmap, format, (saveBits & host::kSaveBitAlpha) != 0, file))
    return false;
  w_.u8(kItemImage);
  w_.i32(format);
  w_.i32(saveBits);
  w_.u64(file.size());
  w_.raw(file.data(), file.size());
  return true;
}

bool HookFileWriter::readImage(host::Bitmap& bitmap) {
  (void)bitmap;
  return false;
}

bool HookFileWriter::writeMatrix(const host::Matrix& m) {
  w_.u8(kItemMatrix);
  w_.matrix(m);
  return true;
}

bool HookFileWriter::readMatrix(host::Matrix& m) {
  (void)m;
  return false;
}

bool HookFileReader::kind(uint8_t expected) {
  uint8_t k = 0;
  return r_.u8(k) && (k == expected || r_.fail());
}

bool HookFileReader::writeInt32(int32_t v) {
  (void)v;
  return false;
}

bool HookFileReader::readInt32(int32_t& v) {
  return kind(kItemInt32) && r_.i32(v);
}

bool HookFileReader::writeImage(const host::Bitmap* bitmap, int32_t format,
                                const host::Settings* settings, int32_t saveBits) {
  (void)bitmap;
  (void)format;
  (void)settings;
  (void)saveBits;
  return false;
}

bool HookFileReader::readImage(host::Bitmap& bitmap) {
  int32_t format = 0, saveBits = 0;
  uint64_t length = 0;
  std::string_view file;
  if (!kind(kItemImage) || !r_.i32(format) || !r_.i32(saveBits) || !r_.u64(length) ||
      !r_.view(static_cast<size_t>(std::min<uint64_t>(length, r_.remaining() + 1)), file))
    return false;
  return file.empty() || decodeImage(file, format, bitmap) || r_.fail();
}

bool HookFileReader::writeMatrix(const host::Matrix& m) {
  (void)m;
  return false;
}

bool HookFileReader::readMatrix(host::Matrix& m) {
  return kind(kItemMatrix) && r_.matrix(m);
}

}  // namespace hostapp::docfile
