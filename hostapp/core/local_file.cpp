#include "hostapp/core/local_file.h"

#include <algorithm>
#include <filesystem>

namespace hostapp {

LocalFile::LocalFile(const std::string& path, int64_t readLimit) : left_(readLimit) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return;
  file_ = std::fopen(path.c_str(), "rb");
  length_ = static_cast<int64_t>(size);
}

LocalFile::~LocalFile() {
  if (file_) std::fclose(file_);
}

int64_t LocalFile::read(void* buffer, int64_t bytes) {
  if (!file_ || !buffer || bytes <= 0) return 0;
  if (left_ >= 0) bytes = std::min(bytes, left_);
  const size_t got = std::fread(buffer, 1, static_cast<size_t>(bytes), file_);
  if (left_ >= 0) left_ -= static_cast<int64_t>(got);
  return static_cast<int64_t>(got);
}

}  // namespace hostapp
