#include "cli/out_of_memory.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <new>

#include "hostapp/core/atomic_file.h"
#include "hostapp/core/memory.h"
#include "hostapp/paint/image_io.h"

namespace pigmora::cli {

namespace {

constexpr size_t kActivityBytes = 512;
char gActivity[kActivityBytes] = "pigmora";
std::terminate_handler gPrevious = nullptr;
// Set when operator new found no memory. A bad_alloc that meets a noexcept frame of a library
// ends the program with no exception in flight, so this is what tells that ending apart.
std::atomic<bool> gRanOut{false};

[[noreturn]] void onNoMemory() {
  gRanOut = true;
  hostapp::CountingMemory::noteRefusal();
  throw std::bad_alloc();
}

void say(const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(hostapp::programStderr(), text, left);
    if (n <= 0) return;
    text += n;
    left -= static_cast<size_t>(n);
  }
}

bool outOfMemory() {
  const std::exception_ptr current = std::current_exception();
  if (!current) return false;
  try {
    std::rethrow_exception(current);
  } catch (const std::bad_alloc&) {
    return true;
  } catch (...) {
  }
  return false;
}

[[noreturn]] void onTerminate() {
  hostapp::removeTemporaryFilesNow();
  if (outOfMemory() || gRanOut) {
    say("pigmora: ");
    say(gActivity);
    say(": the machine ran out of memory.\n");
    ::_exit(1);
  }
  if (gPrevious) gPrevious();
  std::abort();
}

}  // namespace

void setActivity(std::string_view what) {
  const size_t n = std::min(what.size(), kActivityBytes - 1);
  std::memcpy(gActivity, what.data(), n);
  gActivity[n] = '\0';
}

void endOnOutOfMemory() {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  gPrevious = std::set_terminate(onTerminate);
  std::set_new_handler(onNoMemory);
}

}  // namespace pigmora::cli
