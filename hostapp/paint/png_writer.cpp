#include "hostapp/paint/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "hostapp/core/atomic_file.h"

namespace hostapp {

namespace {

constexpr size_t kStripBytes = size_t{2} << 20;
constexpr unsigned kMostThreads = 8;

void put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

struct Piece {
  const uint8_t* data;
  size_t bytes;
};

// One chunk: its length, type, the pieces of its data one after the other, and its CRC.
void writeChunk(AtomicFile& file, const char* type, const std::vector<Piece>& pieces) {
  size_t length = 0;
  for (const Piece& p : pieces) length += p.bytes;
  uint8_t head[8];
  put32(head, static_cast<uint32_t>(length));
  std::memcpy(head + 4, type, 4);
  uLong crc = crc32_z(0, head + 4, 4);
  for (const Piece& p : pieces) crc = crc32_z(crc, p.data, p.bytes);
  file.write(head, sizeof head);
  for (const Piece& p : pieces) file.write(p.data, p.bytes);
  uint8_t tail[4];
  put32(tail, static_cast<uint32_t>(crc));
  file.write(tail, sizeof tail);
}

// A run of rows deflated as one raw stream, ended on a byte boundary (or finished, for the
// image's last strip) so that the strips can be joined.
struct Strip {
  const uint8_t* rows = nullptr;   // its first row, big-endian samples
  const uint8_t* above = nullptr;  // the row above it; null for the image's first row
  size_t count = 0;
  bool last = false;
  std::vector<uint8_t> line, out;
  uLong adler = 1;  // of the filtered bytes
  size_t filteredBytes = 0;
  bool ok = false;
};

void deflateStrip(Strip& s, size_t rowBytes, int level) noexcept {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_FILTERED) != Z_OK) return;
  z.next_out = s.out.data();
  z.avail_out = static_cast<uInt>(s.out.size());
  bool ok = true;
  // Deflates what is in z.next_in; the output buffer grows should the bound fall short.
  auto pump = [&](int flush) {
    for (;;) {
      if (z.avail_out == 0) {
        const size_t used = s.out.size();
        try {
          s.out.resize(used + used / 2 + 4096);
        } catch (...) {
          return false;
        }
        z.next_out = s.out.data() + used;
        z.avail_out = static_cast<uInt>(s.out.size() - used);
      }
      const int ret = deflate(&z, flush);
      if (ret == Z_STREAM_ERROR) return false;
      if (flush == Z_FINISH ? ret == Z_STREAM_END : z.avail_in == 0 && z.avail_out != 0)
        return true;
    }
  };
  const uint8_t* above = s.above;
  for (size_t r = 0; r < s.count && ok; ++r) {
    const uint8_t* row = s.rows + r * rowBytes;
    uint8_t* line = s.line.data();
    if (above) {
      line[0] = 2;  // up
      for (size_t i = 0; i < rowBytes; ++i) line[1 + i] = static_cast<uint8_t>(row[i] - above[i]);
    } else {
      line[0] = 0;  // none: the first row has nothing above it
      std::memcpy(line + 1, row, rowBytes);
    }
    above = row;
    s.adler = adler32_z(s.adler, line, rowBytes + 1);
    s.filteredBytes += rowBytes + 1;
    z.next_in = line;
    z.avail_in = static_cast<uInt>(rowBytes + 1);
    const bool end = r + 1 == s.count;
    ok = pump(!end ? Z_NO_FLUSH : s.last ? Z_FINISH : Z_SYNC_FLUSH);
  }
  if (ok) s.out.resize(s.out.size() - z.avail_out);
  deflateEnd(&z);
  s.ok = ok;
}

// The zlib stream header for a level, as zlib writes it.
void zlibHeader(int level, uint8_t out[2]) {
  const int flevel = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  const int cmf = 0x78;
  int flg = flevel << 6;
  flg += 31 - (cmf * 256 + flg) % 31;
  out[0] = static_cast<uint8_t>(cmf);
  out[1] = static_cast<uint8_t>(flg);
}

// The chunks the image library writes before the pixels, for the colour spaces it is given.
void writeHeader(AtomicFile& file, const ImageFormat& format, int bitDepth) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  file.write(kSignature, sizeof kSignature);
  static const uint8_t kColourTypes[5] = {0, 0, 4, 2, 6};
  uint8_t ihdr[13] = {};
  put32(ihdr, static_cast<uint32_t>(format.width));
  put32(ihdr + 4, static_cast<uint32_t>(format.height));
  ihdr[8] = static_cast<uint8_t>(bitDepth);
  ihdr[9] = kColourTypes[format.channels];
  writeChunk(file, "IHDR", {{ihdr, sizeof ihdr}});
  const std::string& space = format.colorSpace;
  uint8_t gamma[4];
  if (space == "sRGB") {
    put32(gamma, 45455);
    writeChunk(file, "gAMA", {{gamma, 4}});
    static const uint8_t kIntent = 3;
    writeChunk(file, "sRGB", {{&kIntent, 1}});
    // White point and primaries of sRGB, times 100000.
    static const uint32_t kChromaticities[8] = {31270, 32900, 64000, 33000,
                                                30000, 60000, 15000, 6000};
    uint8_t chrm[32];
    for (int i = 0; i < 8; ++i) put32(chrm + 4 * i, kChromaticities[i]);
    writeChunk(file, "cHRM", {{chrm, sizeof chrm}});
  } else if (space == "Linear") {
    put32(gamma, 100000);
    writeChunk(file, "gAMA", {{gamma, 4}});
  }
  static const uint8_t kOffset[9] = {};
  writeChunk(file, "oFFs", {{kOffset, sizeof kOffset}});
  if (!space.empty()) {
    const std::string text = std::string("oiio:ColorSpace") + '\0' + space;
    writeChunk(file, "tEXt", {{reinterpret_cast<const uint8_t*>(text.data()), text.size()}});
  }
}

}  // namespace

bool pngWriterTakes(const ImageFormat& format, SampleType rowType) {
  if (rowType != SampleType::kUInt8 && rowType != SampleType::kUInt16) return false;
  if (format.type != rowType) return false;
  if (format.channels < 1 || format.channels > 4 || format.width <= 0 || format.height <= 0)
    return false;
  if (format.colorSpace != "" && format.colorSpace != "sRGB" && format.colorSpace != "Linear")
    return false;
  return format.description.empty() && format.pngLevel >= 0;
}

bool writePngRows(AtomicFile& file, const ImageFormat& format, SampleType rowType,
                  const RowSource& row, std::string& why) {
  const size_t sample = sampleBytes(rowType);
  const size_t rowBytes = static_cast<size_t>(format.width) * format.channels * sample;
  const int level = std::clamp(format.pngLevel, 0, 9);
  const size_t height = static_cast<size_t>(format.height);
  const size_t stripRows = std::max<size_t>(1, kStripBytes / rowBytes);
  const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), kMostThreads));
  const size_t strips = std::min<size_t>(cores, (height + stripRows - 1) / stripRows);
  const size_t bandRows = strips * stripRows;
  try {
    writeHeader(file, format, static_cast<int>(sample * 8));
    // The buffers stay with the thread for its next save: a texture's save fills several MiB
    // of them, and fresh pages cost a fault each.
    thread_local std::vector<uint8_t> band;
    thread_local std::vector<Strip> work;
    band.resize(std::min(bandRows, height) * rowBytes);
    std::vector<uint8_t> carry(rowBytes);
    work.resize(strips);
    for (Strip& s : work) {
      s.line.resize(rowBytes + 1);
      s.out.resize(compressBound(static_cast<uLong>(stripRows * (rowBytes + 1))) + 64);
    }
    uint8_t zlib[2];
    zlibHeader(level, zlib);
    uLong adler = 1;
    for (size_t first = 0; first < height; first += bandRows) {
      const size_t rows = std::min(bandRows, height - first);
      // The rows of the band, samples big-endian as the file holds them.
      for (size_t r = 0; r < rows; ++r) {
        const auto* in = static_cast<const uint8_t*>(row(static_cast<int32_t>(first + r)));
        uint8_t* out = band.data() + r * rowBytes;
        if (sample == 1) {
          std::memcpy(out, in, rowBytes);
        } else {
          for (size_t i = 0; i < rowBytes; i += 2) {
            uint16_t v;
            std::memcpy(&v, in + i, 2);
            out[i] = static_cast<uint8_t>(v >> 8);
            out[i + 1] = static_cast<uint8_t>(v);
          }
        }
      }
      size_t used = 0;
      for (size_t k = 0; k * stripRows < rows; ++k, ++used) {
        Strip& s = work[k];
        s.rows = band.data() + k * stripRows * rowBytes;
        s.above = k > 0 ? s.rows - rowBytes : first > 0 ? carry.data() : nullptr;
        s.count = std::min(stripRows, rows - k * stripRows);
        s.last = first + k * stripRows + s.count == height;
        s.adler = 1;
        s.filteredBytes = 0;
        s.ok = false;
      }
      // The first strip is deflated here, the others on threads of their own; a strip whose
      // thread cannot be started is deflated here too.
      std::vector<std::thread> helpers;
      std::vector<size_t> here{0};
      for (size_t k = 1; k < used; ++k) {
        try {
          helpers.emplace_back(deflateStrip, std::ref(work[k]), rowBytes, level);
        } catch (const std::system_error&) {
          here.push_back(k);
        }
      }
      for (size_t k : here) deflateStrip(work[k], rowBytes, level);
      for (std::thread& t : helpers) t.join();
      for (size_t k = 0; k < used; ++k) {
        if (!work[k].ok) {
          why = "the machine ran out of memory";
          return false;
        }
        adler = adler32_combine(adler, work[k].adler, static_cast<z_off_t>(work[k].filteredBytes));
      }
      std::memcpy(carry.data(), band.data() + (rows - 1) * rowBytes, rowBytes);
      const bool end = first + rows == height;
      uint8_t check[4];
      put32(check, static_cast<uint32_t>(adler));
      // One chunk a band: the stream header before the first, the checksum after the last.
      std::vector<Piece> pieces;
      if (first == 0) pieces.push_back({zlib, 2});
      for (size_t k = 0; k < used; ++k) pieces.push_back({work[k].out.data(), work[k].out.size()});
      if (end) pieces.push_back({check, 4});
      writeChunk(file, "IDAT", pieces);
    }
    writeChunk(file, "IEND", {});
  } catch (const std::bad_alloc&) {
    why = "the machine ran out of memory";
    return false;
  }
  return true;
}

}  // namespace hostapp
