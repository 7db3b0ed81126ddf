// Regional number texts as a Japanese system writes them: "," between
// thousands, "." before the decimals.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

inline constexpr char kThousandSeparator = ',';
inline constexpr char kDecimalSeparator = '.';

// An integer with thousands separators: 1234567 -> "1,234,567".
std::string FormatThousands(int64_t value);

// A value with a fixed number of decimals (0-9; others are clamped), like
// printf "%.*f" but rounding the exact binary value with an exact half
// away from zero (1.125 -> "1.13"); no negative zero ("-0.001" -> "0.00").
std::string FormatFixed(double value, int decimals);

// The same with thousands separators: 1023.999 with 2 -> "1,024.00".
std::string FormatNumber(double value, int decimals);

}  // namespace platform
