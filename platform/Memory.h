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

}  // namespace platform
