// A structural check of PNG bytes before they reach the image library. Its PNG reader raises
// the library's error from inside a read callback and jumps past the destructor of the message
// it built, so a stream that ends early leaks; a stream whose chunks are all present up to
// IEND never makes that callback come up short.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
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

// The same check for a file, walking its chunk headers without reading their data. False only
// for a file that starts as a PNG and is cut short or damaged in its chunk structure.
inline bool pngFileComplete(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return true;
  const uint64_t size = static_cast<uint64_t>(in.tellg());
  char head[8] = {};
  in.seekg(0);
  if (!in.read(head, 8) || std::string_view(head, 8) != std::string_view("\x89PNG\r\n\x1a\n", 8))
    return true;  // not a PNG: the library decides
  uint64_t at = 8;
  while (size - at >= 12) {
    unsigned char h[8];
    in.seekg(static_cast<std::streamoff>(at));
    if (!in.read(reinterpret_cast<char*>(h), 8)) return false;
    const uint64_t length =
        uint64_t{h[0]} << 24 | uint64_t{h[1]} << 16 | uint64_t{h[2]} << 8 | h[3];
    if (length > 0x7fffffffu || length > size - at - 12) return false;
    if (std::string_view(reinterpret_cast<char*>(h) + 4, 4) == "IEND") return true;
    at += 12 + length;
  }
  return false;
}

}  // namespace hostapp
