// Memory that the program keeps for its whole run.
#pragma once

#include <cstddef>

namespace platform {

// The size of the blocks LongLivedBlock() gives: a huge page.
constexpr size_t kLongLivedBlock = size_t{2} << 20;

// A zero-filled block of kLongLivedBlock bytes that is never given back,
// aligned to its size and backed by huge pages where the system allows
// it: a run that fills such blocks with results then takes one page fault
// per block rather than one per small page (each costs some microseconds,
// many more under a virtual machine). Null when no memory is left.
void* LongLivedBlock();

// From now on the allocator keeps what is freed for later allocations, big
// blocks included, instead of handing it back to the system: a run frees
// and takes again the buffers of page after page, and memory handed back
// is faulted in afresh. Safe to call more than once.
void KeepFreedMemory();

}  // namespace platform
