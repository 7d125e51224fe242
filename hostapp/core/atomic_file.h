// Output files that appear complete or not at all. Every writer of the program goes through
// AtomicFile: the bytes go to a temporary file created exclusively beside the target (never
// through a link, under a name no one else holds), every write, flush and close is checked, and
// only then is the temporary renamed over the target. On any failure the old file stays as it
// was and the temporary is removed, also when the program is interrupted by SIGINT or SIGTERM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace hostapp {

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();  // discards an uncommitted file
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file for `path`. False with `why` set (a reason without the file's
  // name, such as "it is a symbolic link") when the target cannot be written.
  bool open(const std::string& path, std::string& why);

  // Writes at the end or at an offset. A failure is remembered: later writes do nothing and
  // commit() reports the first reason.
  bool write(const void* data, size_t bytes);
  bool writeAt(const void* data, size_t bytes, uint64_t offset);
  // Reads back bytes already written (some encoders revisit their headers); the count read.
  size_t readAt(void* data, size_t bytes, uint64_t offset) const;

  // Flushes, closes and renames over the target. False with `why` set when anything failed on
  // the way; the temporary is gone either way.
  bool commit(std::string& why);
  // Removes the temporary without touching the target.
  void discard();

  bool failed() const { return !failure_.empty(); }
  uint64_t size() const { return size_; }
  const std::string& temporaryPath() const { return temp_; }

 private:
  void fail(const std::string& why);

  std::string target_, temp_, failure_;
  int fd_ = -1;
  int slot_ = -1;  // the entry of the interrupt cleanup list
  uint64_t size_ = 0;
};

// Writes a whole file through an AtomicFile.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& why);

// Why `path` cannot be an output file, or empty: names with a NUL, links, folders and devices
// are refused.
std::string outputPathProblem(const std::string& path);

// Proves that files can be created in `dir` with a probe created exclusively under a unique name
// and removed again. False with `why` set otherwise.
bool probeWritableFolder(const std::filesystem::path& dir, std::string& why);

// Makes SIGINT and SIGTERM remove the temporary files of writes in progress before the program
// ends as the signal would end it. Safe to call more than once.
void removeTemporaryFilesOnInterrupt();
// Removes the temporary files of writes in progress now, for a program that is about to end
// without unwinding. Safe in a signal handler.
void removeTemporaryFilesNow();

}  // namespace hostapp
