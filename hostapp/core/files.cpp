#include "hostapp/core/files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace hostapp {

namespace fs = std::filesystem;

bool LocalFiles::readFile(const std::string& path, std::string& out) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return static_cast<bool>(in) || in.eof();
}

bool LocalFiles::exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

bool LocalFiles::isDirectory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

host::File* LocalFiles::openRead(const std::string& path, uint32_t type, uint32_t creator) {
  lastType_ = type;
  lastCreator_ = creator;
  auto file = std::make_unique<LocalFile>(path, readLimit_);
  if (!file->isOpen()) return nullptr;
  open_.push_back(std::move(file));
  return open_.back().get();
}

void LocalFiles::closeFile(host::File* file) {
  std::erase_if(open_, [file](const std::unique_ptr<LocalFile>& f) { return f.get() == file; });
}

std::vector<std::string> LocalFiles::listDirectory(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace hostapp
