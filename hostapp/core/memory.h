// The host allocator: counts allocations and can be told to refuse the Nth one, so that failure
// paths of the plug-in and of the host's own object creation can be tested.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/host.h"

namespace hostapp {

class CountingMemory : public host::Memory {
 public:
  void* alloc(size_t bytes) override;
  void free(void* p) override;

  // True when the next allocation is to fail; every host object creation asks this first.
  bool refuseNext();
  // Refuse the nth allocation from now on (1 = the next one); 0 turns failures off.
  void failAt(int64_t nth) { failAt_ = nth > 0 ? count_ + nth : 0; }
  // Refuse every allocation from the nth on.
  void failFrom(int64_t nth) { failFrom_ = nth > 0 ? count_ + nth : 0; }
  int64_t count() const { return count_; }
  int64_t live() const { return live_; }
  // Bytes held now, and the most held at once since the last reset of the peak.
  int64_t liveBytes() const { return liveBytes_; }
  int64_t peakBytes() const { return peakBytes_; }
  void resetPeak() { peakBytes_ = liveBytes_; }

  // The budget of the big buffers (layer pixels, decoded image files): three quarters of the
  // machine's memory unless set. A buffer that would pass it is refused before it is allocated,
  // so that too large a job fails with a message instead of being killed.
  static uint64_t machineMemory();
  void setBudget(uint64_t bytes) { budget_ = bytes; }
  uint64_t budget() const { return budget_; }
  uint64_t reserved() const { return reserved_; }
  bool fits(uint64_t bytes) const { return bytes <= budget_ && reserved_ <= budget_ - bytes; }
  // Takes `bytes` from the budget; false, taking nothing, when they do not fit.
  bool reserve(uint64_t bytes);
  void release(uint64_t bytes) { reserved_ -= std::min(bytes, reserved_); }

  // A process-wide refusal asked after the counters on every allocation and object creation of
  // every host: true refuses it. The command line's allocation sweep sets it, to refuse the host's
  // allocations of a whole job in turn; null, the default, refuses nothing.
  using RefusalHook = bool (*)();
  static void setRefusalHook(RefusalHook hook);
  // Allocations that found no memory in this process, the host's and (through noteRefusal, from
  // the program's new handler) operator new's: a step that fails after one ran out of memory,
  // whatever a library made of the failure.
  static uint64_t refusals();
  static void noteRefusal();

 private:
  uint64_t budget_ = machineMemory() / 4 * 3;
  uint64_t reserved_ = 0;
  int64_t count_ = 0;
  int64_t live_ = 0;
  int64_t liveBytes_ = 0;
  int64_t peakBytes_ = 0;
  int64_t failAt_ = 0;
  int64_t failFrom_ = 0;
};

// A size for messages: "512 bytes", "3.5 MiB", "17.0 GiB".
std::string byteSize(uint64_t bytes);

}  // namespace hostapp
