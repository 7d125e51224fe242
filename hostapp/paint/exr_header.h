// A structural check of an EXR file's headers before they reach the EXR library, which sizes an
// attribute's value by what the header declares and allocates that much before reading it: a
// file of a few hundred bytes could otherwise make it ask for gigabytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

namespace hostapp {

// The largest data window the headers declare, in pixels a side; 0 where none was read.
struct ExrWindow {
  int64_t width = 0, height = 0;
};

// False, with `declared` set, when an attribute of the headers in `head` (the first bytes of a
// file of `total` bytes) declares a value larger than what is left of the file, or a negative
// one. True for everything else, EXR or not, and for headers that run past `head`: the library
// judges the rest. The EXR library sizes its line buffers by the data window as it opens a file,
// so `window`, when given, receives the largest one read, for the caller to refuse first.
inline bool exrHeadersFit(std::string_view head, int64_t total, int64_t& declared,
                          ExrWindow* window = nullptr) {
  auto byte = [&head](size_t i) { return static_cast<uint8_t>(head[i]); };
  if (head.size() < 8 || byte(0) != 0x76 || byte(1) != 0x2f || byte(2) != 0x31 || byte(3) != 0x01)
    return true;
  const bool multipart = (byte(5) & 0x10) != 0;  // bit 12 of the version field
  size_t at = 8;
  // Skips a name up to its terminating zero, telling whether it was empty; false past `head`.
  auto name = [&](bool& empty) {
    const size_t end = head.find('\0', at);
    if (end == std::string_view::npos) return false;
    empty = end == at;
    at = end + 1;
    return true;
  };
  auto int32At = [&](size_t i) {
    return static_cast<int32_t>(uint32_t{byte(i)} | uint32_t{byte(i + 1)} << 8 |
                                uint32_t{byte(i + 2)} << 16 | uint32_t{byte(i + 3)} << 24);
  };
  for (;;) {
    bool empty = false;
    const size_t at0 = at;
    if (!name(empty)) return true;
    if (empty) {
      // One header ends; an empty header after it ends the list of a multi-part file.
      if (!multipart || at >= head.size() || head[at] == '\0') return true;
      continue;
    }
    const std::string_view attribute = head.substr(at0, at - at0 - 1);
    const size_t typeAt = at;
    if (!name(empty) || head.size() - at < 4) return true;
    const std::string_view type = head.substr(typeAt, at - typeAt - 1);
    const int32_t length = int32At(at);
    at += 4;
    if (length < 0 || length > total - static_cast<int64_t>(at)) {
      declared = length;
      return false;
    }
    if (window && attribute == "dataWindow" && type == "box2i" && length == 16 &&
        head.size() - at >= 16) {
      // xMin, yMin, xMax, yMax, inclusive.
      const int64_t w = int64_t{int32At(at + 8)} - int32At(at) + 1;
      const int64_t h = int64_t{int32At(at + 12)} - int32At(at + 4) + 1;
      window->width = std::max(window->width, w);
      window->height = std::max(window->height, h);
    }
    at += static_cast<size_t>(length);
  }
}

// The same check for a file, on its first megabyte (headers are far smaller).
inline bool exrFileHeadersFit(const std::string& path, int64_t& declared,
                              ExrWindow* window = nullptr) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return true;
  const int64_t total = static_cast<int64_t>(in.tellg());
  if (total <= 0) return true;
  in.seekg(0);
  // Only EXR files are read further than their first bytes.
  char magic[4] = {};
  if (total < 8 || !in.read(magic, 4) || std::string_view(magic, 4) != "\x76\x2f\x31\x01")
    return true;
  in.seekg(0);
  std::string head(static_cast<size_t>(std::min<int64_t>(total, int64_t{1} << 20)), '\0');
  if (!in.read(head.data(), static_cast<std::streamsize>(head.size()))) return true;
  return exrHeadersFit(head, total, declared, window);
}

}  // namespace hostapp
