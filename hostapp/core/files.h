// Files and directories of the embedded host.
#pragma once

#include "host/host.h"

namespace hostapp {

// Directory listings are sorted by name in byte order, so that every run sees the same order.
class LocalFiles : public host::Files {
 public:
  bool readFile(const std::string& path, std::string& out) override;
  bool exists(const std::string& path) override;
  std::vector<std::string> listDirectory(const std::string& path) override;
  bool isDirectory(const std::string& path) override;
};

}  // namespace hostapp
