// A file of the local file system open for reading.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "host/host.h"

namespace hostapp {

// Why `path` cannot be read as a file, as the end of a sentence about it ("does not exist",
// "is a folder, not a file", "is a pipe or a device, not a regular file"), or empty when it can.
std::string inputFileProblem(const std::string& path);

class LocalFile : public host::File {
 public:
  // Opens a regular file; `isOpen` tells whether it worked. At most `readLimit` bytes come out
  // of it in all when readLimit is not negative.
  LocalFile(const std::string& path, int64_t readLimit);
  ~LocalFile() override;
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  int64_t length() const override { return length_; }
  int64_t read(void* buffer, int64_t bytes) override;

 private:
  std::FILE* file_ = nullptr;
  int64_t length_ = 0;
  int64_t left_ = -1;  // bytes the limit still lets through, -1 for no limit
};

}  // namespace hostapp
