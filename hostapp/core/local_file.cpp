#include "hostapp/core/local_file.h"

#include <algorithm>
#include <filesystem>

namespace hostapp {

std::string inputFileProblem(const std::string& path) {
  if (path.find('\0') != std::string::npos) return "has a NUL character in its name";
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found ||
      status.type() == std::filesystem::file_type::none)
    return "does not exist";
  if (ec) return "cannot be read: " + ec.message();
  if (status.type() == std::filesystem::file_type::directory) return "is a folder, not a file";
  if (status.type() != std::filesystem::file_type::regular)
    return "is a pipe or a device, not a regular file";
  return "";
}

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
