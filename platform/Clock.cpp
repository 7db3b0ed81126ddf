#include "platform/Clock.h"

#include <cstdlib>
#include <ctime>
#include <optional>

#include "platform/FileSystem.h"

namespace platform {

uint32_t GetTickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

std::string GetTempDirectory() {
    if (const char* env = std::getenv("TMPDIR"); env && *env) {
        if (auto cp = FromNative(env)) return IncludeTrailingSeparator(ExpandFileName(*cp));
    }
    return "/tmp/";
}

namespace {
TLocalTime FromParts(const tm& parts, int millisecond) {
    TLocalTime r;
    r.year = parts.tm_year + 1900;
    r.month = parts.tm_mon + 1;
    r.day = parts.tm_mday;
    r.hour = parts.tm_hour;
    r.minute = parts.tm_min;
    r.second = parts.tm_sec;
    r.millisecond = millisecond;
    r.dayOfWeek = parts.tm_wday;
    return r;
}
}  // namespace

TLocalTime LocalTimeAt(int64_t epochSeconds, int millisecond) {
    time_t t = static_cast<time_t>(epochSeconds);
    tm parts{};
    if (!localtime_r(&t, &parts)) return TLocalTime{};
    return FromParts(parts, millisecond);
}

std::optional<TLocalTime> UtcTimeAt(int64_t epochSeconds) {
    time_t t = static_cast<time_t>(epochSeconds);
    tm parts{};
    if (!gmtime_r(&t, &parts)) return std::nullopt;
    return FromParts(parts, 0);
}

std::optional<int64_t> ParseSourceDateEpoch(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int64_t seconds = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        seconds = seconds * 10 + (c - '0');
        if (seconds > kMaxSourceDateEpoch) return std::nullopt;  // before it can overflow
    }
    return seconds;
}

TLocalTime NowLocal() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return LocalTimeAt(static_cast<int64_t>(ts.tv_sec), static_cast<int>(ts.tv_nsec / 1000000));
}

}  // namespace platform
