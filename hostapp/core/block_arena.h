// Blocks of a few pages (4 KiB to 256 KiB, whole pages), carved from 2 MiB chunks that the
// kernel backs with huge pages, and kept for reuse when freed.
//
// Undo tiles are such blocks (64 x 64 pixels, 4 to 64 KiB), and a stroke over fresh ground takes
// thousands of them. From the ordinary heap each of their pages cost a fault the first time it
// was written, several microseconds on a virtual machine: saving a 4096² float layer's tiles took
// 0.7 s, most of it in the kernel. A chunk faults in once.
#pragma once

#include <cstddef>

namespace hostapp {

// The block size a request of `bytes` gets from the arena, or 0 when it goes to the heap.
size_t arenaBlockSize(size_t bytes);

// A block of arenaBlockSize(bytes), or null (out of memory, or not a size the arena serves).
void* arenaAllocate(size_t bytes);

// Takes back a block the arena gave and answers its size; 0, doing nothing, for any other
// pointer.
size_t arenaFree(void* p);

}  // namespace hostapp
