// The document-file primitives a scene hook writes and reads its data with. Every item is
// tagged with its kind, so that a hook reading the wrong kind of item fails instead of
// misreading the bytes.
#pragma once

#include <string>
#include <string_view>

#include "host/host.h"
#include "hostapp/docfile/byte_io.h"

namespace hostapp::docfile {

class HookFileWriter : public host::DocumentFile {
 public:
  explicit HookFileWriter(host::Document* doc) : doc_(doc) {}
  bool writeInt32(int32_t v) override;
  bool readInt32(int32_t& v) override;
  bool writeImage(const host::Bitmap* bitmap, int32_t format, const host::Settings* settings,
                  int32_t saveBits) override;
  bool readImage(host::Bitmap& bitmap) override;
  bool writeMatrix(const host::Matrix& m) override;
  bool readMatrix(host::Matrix& m) override;
  host::Document* document() const override { return doc_; }

  std::string& bytes() { return w_.bytes(); }

 private:
  host::Document* doc_;
  ByteWriter w_;
};

class HookFileReader : public host::DocumentFile {
 public:
  HookFileReader(host::Document* doc, std::string_view bytes) : doc_(doc), r_(bytes) {}
  bool writeInt32(int32_t v) override;
  bool readInt32(int32_t& v) override;
  bool writeImage(const host::Bitmap* bitmap, int32_t format, const host::Settings* settings,
                  int32_t saveBits) override;
  bool readImage(host::Bitmap& bitmap) override;
  bool writeMatrix(const host::Matrix& m) override;
  bool readMatrix(host::Matrix& m) override;
  host::Document* document() const override { return doc_; }

 private:
  bool kind(uint8_t expected);
  host::Document* doc_;
  ByteReader r_;
};

}  // namespace hostapp::docfile
