// A structural check of PNG bytes before they reach the image library. Its PNG reader raises
// the library's error from inside a read callback and jumps past the destructor of the message
// it built, so a stream that ends early leaks; a stream whose chunks are all present up to
// IEND never makes that callback come up short.
#pragma once

#include <cstdint>
#include <string_view>

namespace hostapp {

inline bool pngChunksComplete(std::string_view bytes) {
  static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (bytes.size() < 8) return false;
  for (int i = 0; i < 8; ++i)
    if (static_cast<unsigned char>(bytes[i]) != kSignature[i]) return false;
  size_t at = 8;
  auto byte = [&bytes](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])); };
  while (bytes.size() - at >= 12) {
    const uint32_t length = byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
    if (length > 0x7fffffffu || length > bytes.size() - at - 12) return false;
    const bool end = bytes.substr(at + 4, 4) == "IEND";
    at += 12 + static_cast<size_t>(length);
    if (end) return true;
  }
  return false;
}

}  // namespace hostapp
