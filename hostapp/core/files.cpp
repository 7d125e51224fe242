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

std::vector<std::string> LocalFiles::listDirectory(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool LocalFiles::isDirectory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

}  // namespace hostapp
