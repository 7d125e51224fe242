// Little-endian values in document files: appended to a byte string, and read back from one with
// every read checked against the bytes that remain.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "host/values.h"

namespace hostapp::docfile {

class ByteWriter {
 public:
  void u8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void u32(uint32_t v) { raw(&v, 4); }
  void i32(int32_t v) { raw(&v, 4); }
  void u64(uint64_t v) { raw(&v, 8); }
  void i64(int64_t v) { raw(&v, 8); }
  void f64(double v) { raw(&v, 8); }
  void vector(const host::Vector& v) {
    f64(v.x);
    f64(v.y);
    f64(v.z);
  }
  void matrix(const host::Matrix& m) {
    vector(m.off);
    vector(m.v1);
    vector(m.v2);
    vector(m.v3);
  }
  // A length (u32) and the bytes.
  void text(std::string_view s) {
    u32(static_cast<uint32_t>(s.size()));
    raw(s.data(), s.size());
  }
  void raw(const void* p, size_t n) {
    if (n) out_.append(static_cast<const char*>(p), n);
  }

  std::string& bytes() { return out_; }
  size_t size() const { return out_.size(); }

 private:
  static_assert(std::endian::native == std::endian::little, "document files are little-endian");
  std::string out_;
};

// A read past the end fails, leaves its target as it was, and makes every later read fail too.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  bool u8(uint8_t& v) { return raw(&v, 1); }
  bool u32(uint32_t& v) { return raw(&v, 4); }
  bool i32(int32_t& v) { return raw(&v, 4); }
  bool u64(uint64_t& v) { return raw(&v, 8); }
  bool i64(int64_t& v) { return raw(&v, 8); }
  bool f64(double& v) { return raw(&v, 8); }
  bool vector(host::Vector& v) { return f64(v.x) && f64(v.y) && f64(v.z); }
  bool matrix(host::Matrix& m) {
    return vector(m.off) && vector(m.v1) && vector(m.v2) && vector(m.v3);
  }
  bool text(std::string& s) {
    uint32_t n = 0;
    if (!u32(n) || !fits(n, 1)) return fail();
    s.assign(bytes_.data() + pos_, n);
    pos_ += n;
    return true;
  }
  bool raw(void* p, size_t n) {
    if (!ok_ || n > remaining()) return fail();
    if (n) std::memcpy(p, bytes_.data() + pos_, n);
    pos_ += n;
    return true;
  }
  // A view of the next n bytes, consumed.
  bool view(size_t n, std::string_view& out) {
    if (!ok_ || n > remaining()) return fail();
    out = bytes_.substr(pos_, n);
    pos_ += n;
    return true;
  }
  // Whether `count` items of at least `itemBytes` each can still be in the data: a count read
  // from a file is checked this way before anything is sized by it.
  bool fits(uint64_t count, uint64_t itemBytes) const {
    return ok_ && (itemBytes == 0 || count <= remaining() / itemBytes);
  }

  size_t remaining() const { return bytes_.size() - pos_; }
  bool ok() const { return ok_; }
  bool atEnd() const { return ok_ && pos_ == bytes_.size(); }
  bool fail() {
    ok_ = false;
    return false;
  }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace hostapp::docfile
