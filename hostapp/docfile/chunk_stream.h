// Chunks written to and read from a file or a byte string. Every chunk carries its length and an
// XXH3-64 checksum of its payload followed by its header, so that a reader can check a chunk
// before using it and skip one it does not know.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "hostapp/core/atomic_file.h"

struct XXH3_state_s;

namespace hostapp::docfile {

class Sink {
 public:
  virtual ~Sink() = default;
  virtual bool write(const void* p, size_t n) = 0;
  virtual uint64_t tell() const = 0;
  // Overwrites bytes already written.
  virtual bool patch(uint64_t at, const void* p, size_t n) = 0;
};

class MemorySink : public Sink {
 public:
  bool write(const void* p, size_t n) override;
  uint64_t tell() const override { return bytes_.size(); }
  bool patch(uint64_t at, const void* p, size_t n) override;
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

class FileSink : public Sink {
 public:
  explicit FileSink(AtomicFile& f) : f_(f) {}
  bool write(const void* p, size_t n) override;
  uint64_t tell() const override { return pos_; }
  bool patch(uint64_t at, const void* p, size_t n) override;

 private:
  AtomicFile& f_;
  uint64_t pos_ = 0;
};

class Source {
 public:
  virtual ~Source() = default;
  virtual bool read(void* p, size_t n) = 0;
  virtual uint64_t size() const = 0;
  virtual uint64_t tell() const = 0;
  uint64_t remaining() const { return size() - tell(); }
};

class MemorySource : public Source {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  bool read(void* p, size_t n) override;
  uint64_t size() const override { return bytes_.size(); }
  uint64_t tell() const override { return pos_; }

 private:
  std::string_view bytes_;
  uint64_t pos_ = 0;
};

class FileSource : public Source {
 public:
  FileSource(std::FILE* f, uint64_t size) : f_(f), size_(size) {}
  bool read(void* p, size_t n) override;
  uint64_t size() const override { return size_; }
  uint64_t tell() const override { return pos_; }

 private:
  std::FILE* f_;
  uint64_t size_;
  uint64_t pos_ = 0;
};

// Memory the reader may still take for what a file says it holds.
struct ReadBudget {
  uint64_t left = 0;
  bool take(uint64_t n) {
    if (n > left) return false;
    left -= n;
    return true;
  }
};

class ChunkWriter {
 public:
  explicit ChunkWriter(Sink& sink);
  ~ChunkWriter();
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;

  bool fileHeader();
  // A chunk written in pieces: begin, any number of payload writes, end.
  bool begin(uint32_t type, uint32_t flags);
  bool payload(const void* p, size_t n);
  bool end();
  // A whole chunk; with `compress`, a payload above kCompressAbove is stored compressed.
  bool chunk(uint32_t type, uint32_t flags, std::string_view payload, bool compress);

 private:
  Sink& sink_;
  ::XXH3_state_s* state_;
  uint64_t start_ = 0, length_ = 0;
  uint32_t type_ = 0, flags_ = 0;
};

struct ChunkInfo {
  uint32_t type = 0;
  uint32_t flags = 0;
  uint64_t length = 0;
  uint64_t offset = 0;  // of the chunk header in the file
};

// Readers report problems as the end of a sentence that begins with the document's name
// ("is truncated: ...").
class ChunkReader {
 public:
  explicit ChunkReader(Source& source);
  ~ChunkReader();
  ChunkReader(const ChunkReader&) = delete;
  ChunkReader& operator=(const ChunkReader&) = delete;

  bool fileHeader(std::string& why);
  // The next chunk's header; its payload and checksum must lie within the file.
  bool next(ChunkInfo& info, std::string& why);
  // Reads payload bytes of the current chunk; fails past its end.
  bool read(void* p, size_t n);
  uint64_t payloadLeft() const { return info_.length - done_; }
  // Reads what is left of the payload and checks the checksum.
  bool finish(std::string& why);
  // The payload as stored, checked against the checksum; its size is taken from the budget.
  bool stored(std::string& payload, ReadBudget& budget, std::string& why);
  // The whole payload, checked and, when the chunk is compressed, decompressed (its raw size is
  // taken from the budget first).
  bool whole(std::string& payload, ReadBudget& budget, std::string& why);
  const ChunkInfo& current() const { return info_; }

 private:
  Source& source_;
  ::XXH3_state_s* state_;
  ChunkInfo info_;
  uint64_t done_ = 0;
};

// A stored payload of a chunk made usable: decompressed when the flags say it is compressed.
bool unpackPayload(const ChunkInfo& info, std::string stored, ReadBudget& budget,
                   std::string& payload, std::string& why);

// "LAYR" for a chunk type; unprintable bytes as hex.
std::string chunkName(uint32_t type);

}  // namespace hostapp::docfile
