// Time and the temporary folder as the rest of the program sees them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Milliseconds from a fixed point in the past (the system's monotonic
// clock), cut to 32 bits so that it wraps like the tick counter the file
// name schemes were made for.
uint32_t GetTickCount();

// The folder for temporary files, CP932, with a trailing "/": $TMPDIR
// (expanded to a full path) when it is set and has a CP932 form, else /tmp/.
// The folder is not checked for existence.
std::string GetTempDirectory();

// A broken-down local time, for the date lines of the reports.
struct TLocalTime {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int dayOfWeek = 4;  // 0 = Sunday
};

// The current local time.
TLocalTime NowLocal();
// The local time of a moment given in seconds since the epoch.
TLocalTime LocalTimeAt(int64_t epochSeconds, int millisecond = 0);
// The same moment in UTC (reproducible report dates); nullopt when the
// moment cannot be broken down.
std::optional<TLocalTime> UtcTimeAt(int64_t epochSeconds);

// The last second a four-digit year can show: 9999-12-31 23:59:59 UTC.
inline constexpr int64_t kMaxSourceDateEpoch = 253402300799;
// A SOURCE_DATE_EPOCH value: decimal digits only (no sign, no blanks), at
// most kMaxSourceDateEpoch; nullopt for anything else, the empty text too.
std::optional<int64_t> ParseSourceDateEpoch(std::string_view text);

}  // namespace platform
