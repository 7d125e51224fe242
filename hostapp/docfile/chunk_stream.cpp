#include "hostapp/docfile/chunk_stream.h"

#include <xxhash.h>
#include <zstd.h>

#include <cstring>
#include <vector>

#include "hostapp/docfile/format.h"

namespace hostapp::docfile {

namespace {
constexpr int kCompressionLevel = 1;

void putU32(unsigned char* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}
void putU64(unsigned char* p, uint64_t v) {
  std::memcpy(p, &v, 8);
}
uint32_t getU32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
uint64_t getU64(const unsigned char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
void header(unsigned char* h, uint32_t type, uint32_t flags, uint64_t length) {
  putU32(h, type);
  putU32(h + 4, flags);
  putU64(h + 8, length);
}
std::string at(uint64_t offset) {
  return " at byte " + std::to_string(offset);
}
}  // namespace

std::string chunkName(uint32_t type) {
  std::string name;
  for (int i = 0; i < 4; ++i) {
    const auto c = static_cast<unsigned char>(type >> (8 * i));
    if (c >= 0x20 && c < 0x7f) {
      name += static_cast<char>(c);
    } else {
      static const char kHex[] = "0123456789abcdef";
      name += "\\x";
      name += kHex[c >> 4];
      name += kHex[c & 15];
    }
  }
  return name;
}

bool MemorySink::write(const void* p, size_t n) {
  if (n) bytes_.append(static_cast<const char*>(p), n);
  return true;
}

bool MemorySink::patch(uint64_t at, const void* p, size_t n) {
  if (at + n > bytes_.size()) return false;
  std::memcpy(bytes_.data() + at, p, n);
  return true;
}

bool FileSink::write(const void* p, size_t n) {
  if (n && !f_.writeAt(p, n, pos_)) return false;
  pos_ += n;
  return true;
}

bool FileSink::patch(uint64_t at, const void* p, size_t n) {
  if (at + n > pos_) return false;
  return f_.writeAt(p, n, at);
}

bool MemorySource::read(void* p, size_t n) {
  if (n > bytes_.size() - pos_) return false;
  if (n) std::memcpy(p, bytes_.data() + pos_, n);
  pos_ += n;
  return true;
}

bool FileSource::read(void* p, size_t n) {
  if (n > size_ - pos_) return false;
  if (n && std::fread(p, 1, n, f_) != n) return false;
  pos_ += n;
  return true;
}

ChunkWriter::ChunkWriter(Sink& sink) : sink_(sink), state_(XXH3_createState()) {}

ChunkWriter::~ChunkWriter() {
  XXH3_freeState(state_);
}

bool ChunkWriter::fileHeader() {
  unsigned char h[kFileHeaderBytes] = {};
  std::memcpy(h, kMagic, sizeof kMagic);
  const uint16_t major = kVersionMajor, minor = kVersionMinor;
  std::memcpy(h + 8, &major, 2);
  std::memcpy(h + 10, &minor, 2);
  return sink_.write(h, sizeof h);
}

bool ChunkWriter::begin(uint32_t type, uint32_t flags) {
  if (!state_ || XXH3_64bits_reset(state_) != XXH_OK) return false;
  type_ = type;
  flags_ = flags;
  length_ = 0;
  start_ = sink_.tell();
  unsigned char h[kChunkHeaderBytes];
  header(h, type, flags, 0);
  return sink_.write(h, sizeof h);
}

bool ChunkWriter::payload(const void* p, size_t n) {
  if (!n) return true;
  XXH3_64bits_update(state_, p, n);
  length_ += n;
  return sink_.write(p, n);
}

bool ChunkWriter::end() {
  unsigned char h[kChunkHeaderBytes];
  header(h, type_, flags_, length_);
  XXH3_64bits_update(state_, h, sizeof h);
  unsigned char sum[kChunkChecksumBytes];
  putU64(sum, XXH3_64bits_digest(state_));
  return sink_.patch(start_, h, sizeof h) && sink_.write(sum, sizeof sum);
}

bool ChunkWriter::chunk(uint32_t type, uint32_t flags, std::string_view payload, bool compress) {
  if (compress && payload.size() > kCompressAbove) {
    std::vector<char> packed(ZSTD_compressBound(payload.size()));
    const size_t n = ZSTD_compress(packed.data(), packed.size(), payload.data(), payload.size(),
                                   kCompressionLevel);
    if (ZSTD_isError(n)) return false;
    unsigned char raw[8];
    putU64(raw, payload.size());
    return begin(type, flags | kChunkCompressed) && this->payload(raw, sizeof raw) &&
           this->payload(packed.data(), n) && end();
  }
  return begin(type, flags & ~kChunkCompressed) && this->payload(payload.data(), payload.size()) &&
         end();
}

ChunkReader::ChunkReader(Source& source) : source_(source), state_(XXH3_createState()) {}

ChunkReader::~ChunkReader() {
  XXH3_freeState(state_);
}

bool ChunkReader::fileHeader(std::string& why) {
  unsigned char h[kFileHeaderBytes];
  if (source_.size() < sizeof kMagic ||
      !source_.read(h, std::min<uint64_t>(sizeof h, source_.size())) ||
      std::memcmp(h, kMagic, sizeof kMagic) != 0) {
    why = "is not a pigmora document (its first bytes are not a document's signature)";
    return false;
  }
  if (source_.tell() < sizeof h) {
    why = "is truncated: it ends inside its header";
    return false;
  }
  uint16_t major = 0, minor = 0;
  std::memcpy(&major, h + 8, 2);
  std::memcpy(&minor, h + 10, 2);
  if (major > kVersionMajor) {
    why = "was written by a newer pigmora (document format " + std::to_string(major) + "." +
          std::to_string(minor) + "); this program reads format " + std::to_string(kVersionMajor);
    return false;
  }
  uint32_t reserved = 0;
  std::memcpy(&reserved, h + 12, 4);
  if (major == 0 || reserved != 0) {
    why = "is damaged: its header is not that of any document format version";
    return false;
  }
  return true;
}

bool ChunkReader::next(ChunkInfo& info, std::string& why) {
  info_ = ChunkInfo();
  done_ = 0;
  const uint64_t offset = source_.tell();
  unsigned char h[kChunkHeaderBytes];
  if (source_.remaining() < sizeof h) {
    why = source_.remaining() == 0 ? "is truncated: it ends before its end chunk" + at(offset)
                                   : "is truncated: it ends inside a chunk header" + at(offset);
    return false;
  }
  source_.read(h, sizeof h);
  info_.type = getU32(h);
  info_.flags = getU32(h + 4);
  info_.length = getU64(h + 8);
  info_.offset = offset;
  const uint64_t left = source_.remaining();
  if (info_.length > left || left - info_.length < kChunkChecksumBytes) {
    why = "is truncated or lies about a size: its " + chunkName(info_.type) + " chunk" +
          at(offset) + " declares " + std::to_string(info_.length) + " bytes but only " +
          std::to_string(left > kChunkChecksumBytes ? left - kChunkChecksumBytes : 0) + " follow";
    return false;
  }
  XXH3_64bits_reset(state_);
  info = info_;
  return true;
}

bool ChunkReader::read(void* p, size_t n) {
  if (n > payloadLeft() || !source_.read(p, n)) return false;
  XXH3_64bits_update(state_, p, n);
  done_ += n;
  return true;
}

bool ChunkReader::finish(std::string& why) {
  unsigned char buf[65536];
  while (payloadLeft() > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(payloadLeft(), sizeof buf));
    if (!read(buf, n)) {
      why = "could not be read" + at(source_.tell());
      return false;
    }
  }
  unsigned char h[kChunkHeaderBytes];
  header(h, info_.type, info_.flags, info_.length);
  XXH3_64bits_update(state_, h, sizeof h);
  unsigned char sum[kChunkChecksumBytes];
  if (!source_.read(sum, sizeof sum)) {
    why = "is truncated: it ends inside the checksum of its " + chunkName(info_.type) + " chunk" +
          at(info_.offset);
    return false;
  }
  if (getU64(sum) != XXH3_64bits_digest(state_)) {
    why = "is damaged: the checksum of its " + chunkName(info_.type) + " chunk" + at(info_.offset) +
          " does not match its contents";
    return false;
  }
  return true;
}

bool ChunkReader::stored(std::string& payload, ReadBudget& budget, std::string& why) {
  if (!budget.take(info_.length)) {
    why = "needs more memory than this machine can give it (" + std::to_string(info_.length) +
          " bytes for its " + chunkName(info_.type) + " chunk" + at(info_.offset) + ")";
    return false;
  }
  payload.resize(static_cast<size_t>(info_.length));
  if (!read(payload.data(), payload.size())) {
    why = "could not be read" + at(info_.offset);
    return false;
  }
  return finish(why);
}

bool ChunkReader::whole(std::string& payload, ReadBudget& budget, std::string& why) {
  std::string bytes;
  return stored(bytes, budget, why) && unpackPayload(info_, std::move(bytes), budget, payload, why);
}

bool unpackPayload(const ChunkInfo& info, std::string bytes, ReadBudget& budget,
                   std::string& payload, std::string& why) {
  if (!(info.flags & kChunkCompressed)) {
    payload = std::move(bytes);
    return true;
  }
  const std::string where = " in its " + chunkName(info.type) + " chunk" + at(info.offset);
  if (bytes.size() < 8) {
    why = "is damaged: a compressed payload has no size" + where;
    return false;
  }
  const uint64_t raw = getU64(reinterpret_cast<const unsigned char*>(bytes.data()));
  const unsigned long long frame = ZSTD_getFrameContentSize(bytes.data() + 8, bytes.size() - 8);
  if (frame != raw || raw / kMaxExpansion > bytes.size()) {
    why = "is damaged or lies about a size: a compressed payload declares " + std::to_string(raw) +
          " bytes that its data does not hold" + where;
    return false;
  }
  if (!budget.take(raw)) {
    why = "needs more memory than this machine can give it (" + std::to_string(raw) + " bytes" +
          where + ")";
    return false;
  }
  payload.resize(static_cast<size_t>(raw));
  const size_t n =
      ZSTD_decompress(payload.data(), payload.size(), bytes.data() + 8, bytes.size() - 8);
  if (ZSTD_isError(n) || n != raw) {
    why = "is damaged: a compressed payload does not decompress" + where;
    return false;
  }
  return true;
}

}  // namespace hostapp::docfile
