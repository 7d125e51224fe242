// A folder of the running test's own for the files it writes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

// An empty folder under the temporary folder named PREFIX_PID_TEST, so that test programs run
// side by side, and the tests within one, never share files. What was left there is removed.
inline std::filesystem::path freshTestFolder(const std::string& prefix) {
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() / (prefix + "_" + std::to_string(::getpid()) + "_" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}
