#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/Memory.h"

// Record blocks are carved from these for the whole run: each must be a
// block of its own, aligned to its size (else no huge page can back it),
// zero-filled and writable to its last byte.
TEST(LongLivedBlock, DistinctAlignedAndWholeBlocks) {
    auto* a = static_cast<unsigned char*>(platform::LongLivedBlock());
    auto* b = static_cast<unsigned char*>(platform::LongLivedBlock());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    for (unsigned char* p : {a, b}) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % platform::kLongLivedBlock, 0u);
        EXPECT_EQ(p[0], 0);
        EXPECT_EQ(p[platform::kLongLivedBlock - 1], 0);
    }
    const size_t n = platform::kLongLivedBlock;
    EXPECT_TRUE(a + n <= b || b + n <= a);
    std::memset(a, 0xA5, n);
    std::memset(b, 0x5A, n);
    EXPECT_EQ(a[n - 1], 0xA5);
    EXPECT_EQ(b[0], 0x5A);
}
