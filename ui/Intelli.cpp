#include "ui/Intelli.h"

int RegisterWheelMessages() { return 0; }

int WheelRows(int delta) {
    // 64-bit so that no delta, however large, overflows before the division.
    return static_cast<int>(static_cast<int64_t>(delta) * 3 / 120);
}

int AutoScrollRows(int32_t& remainder, int dy) {
    // A pointer far off the screen edge must not wrap the sum.
    int64_t sum = static_cast<int64_t>(remainder) + dy;
    const int64_t rows = sum / 16;
    remainder = static_cast<int32_t>(sum % 16);
    return static_cast<int>(rows);
}
