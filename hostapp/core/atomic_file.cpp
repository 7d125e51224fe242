#include "hostapp/core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace hostapp {

namespace {

// The temporaries of writes in progress, for the interrupt handler: plain arrays, because the
// handler may only read memory and call unlink.
constexpr int kSlots = 64;
constexpr size_t kPathBytes = 4096;
char gTempPaths[kSlots][kPathBytes];
std::atomic<int> gSlotState[kSlots];  // 0 free, 1 being filled, 2 holds a temporary

int claimSlot(const std::string& path) {
  if (path.size() >= kPathBytes) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (!gSlotState[i].compare_exchange_strong(expected, 1)) continue;
    std::memcpy(gTempPaths[i], path.c_str(), path.size() + 1);
    gSlotState[i].store(2);
    return i;
  }
  return -1;
}

void releaseSlot(int slot) {
  if (slot >= 0) gSlotState[slot].store(0);
}

void unlinkTemporaries() {
  for (int i = 0; i < kSlots; ++i)
    if (gSlotState[i].load() == 2) ::unlink(gTempPaths[i]);
}

extern "C" void removeTemporariesAndEnd(int signal) {
  unlinkTemporaries();
  // The handler was reset on entry: the signal, raised again, ends the program as it would have.
  std::raise(signal);
}

std::string reason(int error) {
  return std::strerror(error);
}

}  // namespace

std::string outputPathProblem(const std::string& path) {
  if (path.empty()) return "it has no name";
  if (path.find('\0') != std::string::npos) return "its name holds a NUL character";
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? "" : reason(errno);
  if (S_ISLNK(st.st_mode)) return "it is a symbolic link, which is never written through";
  if (S_ISDIR(st.st_mode)) return "it is a folder";
  if (!S_ISREG(st.st_mode)) return "it is not a regular file";
  return "";
}

AtomicFile::~AtomicFile() {
  discard();
}

bool AtomicFile::open(const std::string& path, std::string& why) {
  discard();
  failure_.clear();
  size_ = 0;
  why = outputPathProblem(path);
  if (!why.empty()) return false;
  // The temporary's name is entered in the interrupt list before the file is made, so that a
  // signal arriving at any moment, on any thread, finds it; a name made but not yet created costs
  // the handler a failed unlink. O_CREAT | O_EXCL never follows a link: a planted link or file
  // under the name makes it try another name. The names are unguessable, so the handler never
  // removes a file it did not make.
  static std::atomic<uint64_t> serial{0};
  static const uint64_t seed = std::random_device{}() ^ (uint64_t{std::random_device{}()} << 32);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const uint64_t n = serial.fetch_add(1) * 0x9E3779B97F4A7C15ull ^ seed;
    char tag[32];
    std::snprintf(tag, sizeof tag, ".%d.%012llx", static_cast<int>(::getpid()),
                  static_cast<unsigned long long>(n & 0xFFFFFFFFFFFFull));
    std::string name = path + tag + ".partial";
    const int slot = claimSlot(name);
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
      const int error = errno;
      releaseSlot(slot);
      if (error == EEXIST) continue;
      why = reason(error);
      return false;
    }
    // The temporary is owned before anything else can fail: copying the target's name may run
    // out of memory, and the destructor then removes the file.
    fd_ = fd;
    slot_ = slot;
    temp_ = std::move(name);
    target_ = path;
    return true;
  }
  why = "no temporary file could be made beside it";
  return false;
}

void AtomicFile::fail(const std::string& why) {
  if (failure_.empty()) failure_ = why;
}

bool AtomicFile::writeAt(const void* data, size_t bytes, uint64_t offset) {
  if (fd_ < 0) fail("the file is not open");
  if (failed()) return false;
  const char* p = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t n = ::pwrite(fd_, p, bytes, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fail(n < 0 ? reason(errno) : "the disk took no more bytes");
      return false;
    }
    p += n;
    bytes -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
    if (offset > size_) size_ = offset;
  }
  return true;
}

size_t AtomicFile::readAt(void* data, size_t bytes, uint64_t offset) const {
  if (fd_ < 0) return 0;
  size_t done = 0;
  while (done < bytes) {
    const ssize_t n = ::pread(fd_, static_cast<char*>(data) + done, bytes - done,
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

bool AtomicFile::write(const void* data, size_t bytes) {
  return writeAt(data, bytes, size_);
}

bool AtomicFile::commit(std::string& why) {
  if (fd_ < 0 && !failed()) fail("the file is not open");
  if (fd_ >= 0 && !failed() && ::fsync(fd_) != 0) fail(reason(errno));
  if (fd_ >= 0) {
    if (::close(fd_) != 0) fail(reason(errno));
    fd_ = -1;
  }
  // The target is checked again: a link may have been planted while the file was written.
  if (!failed()) {
    const std::string problem = outputPathProblem(target_);
    if (!problem.empty()) fail(problem);
  }
  if (!failed() && ::rename(temp_.c_str(), target_.c_str()) != 0) fail(reason(errno));
  if (failed()) {
    ::unlink(temp_.c_str());
    why = failure_;
  }
  releaseSlot(slot_);
  slot_ = -1;
  temp_.clear();
  return !failed();
}

void AtomicFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  releaseSlot(slot_);
  slot_ = -1;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& why) {
  AtomicFile file;
  if (!file.open(path, why)) return false;
  file.write(bytes.data(), bytes.size());
  return file.commit(why);
}

bool probeWritableFolder(const std::filesystem::path& dir, std::string& why) {
  std::string name = (dir / ".pigmora-write-check.XXXXXX").string();
  if (name.find('\0') != std::string::npos) {
    why = "its name holds a NUL character";
    return false;
  }
  std::vector<char> buffer(name.begin(), name.end());
  buffer.push_back('\0');
  const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
  if (fd < 0) {
    why = errno == EACCES || errno == EROFS || errno == EPERM ? "nothing can be written there"
                                                              : reason(errno);
    return false;
  }
  ::close(fd);
  ::unlink(buffer.data());
  return true;
}

void removeTemporaryFilesNow() {
  unlinkTemporaries();
}

void removeTemporaryFilesOnInterrupt() {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  struct sigaction action {};
  action.sa_handler = removeTemporariesAndEnd;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace hostapp
