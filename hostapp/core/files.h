// Files and directories of the embedded host.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/host.h"
#include "hostapp/core/local_file.h"

namespace hostapp {

// Directory listings are sorted by name in byte order, so that every run sees the same order.
class LocalFiles : public host::Files {
 public:
  bool readFile(const std::string& path, std::string& out) override;
  bool exists(const std::string& path) override;
  bool isDirectory(const std::string& path) override;
  std::vector<std::string> listDirectory(const std::string& path) override;
  // Any type and creator codes are accepted for reading ('C4DC' and 'C4D1' for the host's own
  // files); the host keeps the last ones for inspection.
  host::File* openRead(const std::string& path, uint32_t type, uint32_t creator) override;
  void closeFile(host::File* file) override;

  size_t openFiles() const { return open_.size(); }
  uint32_t lastType() const { return lastType_; }
  uint32_t lastCreator() const { return lastCreator_; }
  // From now on every opened file lets at most `bytes` bytes through, as a file cut short while
  // it is read would; a negative count lifts the limit.
  void limitReads(int64_t bytes) { readLimit_ = bytes; }

 private:
  std::vector<std::unique_ptr<LocalFile>> open_;
  uint32_t lastType_ = 0, lastCreator_ = 0;
  int64_t readLimit_ = -1;
};

}  // namespace hostapp
