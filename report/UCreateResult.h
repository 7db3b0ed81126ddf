// Turning results into text: the weight and load-time strings every list
// and report shows.
#pragma once

#include <cstdint>
#include <string>

// The weight of Size bytes in the unit of EnvSettings.FileSizeDisp (bytes,
// bytes/KB/MB, grams, g/Kg/t); empty for an unknown display mode.
std::string FormatWeight(int64_t Size);

// The time Size bytes take at EnvSettings.Bps bits per second, such as
// " 1分 23.33秒" (CP932). Empty when the line speed is not positive.
std::string FormatLoadTime(int64_t Size);
