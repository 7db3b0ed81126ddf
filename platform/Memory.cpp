#include "platform/Memory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>

namespace platform {

void* LongLivedBlock() {
    // Twice the size is mapped, so that an aligned block lies inside; the
    // rest is handed back.
    const size_t size = kLongLivedBlock;
    void* raw = ::mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto at = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (at + size - 1) & ~(uintptr_t{size} - 1);
    if (aligned > at) ::munmap(raw, aligned - at);
    if (const uintptr_t tail = at + 2 * size - (aligned + size)) ::munmap(reinterpret_cast<void*>(aligned + size), tail);
#if defined(MADV_HUGEPAGE)
    // Only advice: where huge pages are off the block is used as it is.
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

void KeepFreedMemory() {
#if defined(__GLIBC__)
    // Blocks up to 32 MiB come from the heap, and the heap's free top is
    // never trimmed.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

}  // namespace platform
