#include "report/UCreateResult.h"

#include <string_view>

#include "platform/Encoding.h"
#include "platform/Locale.h"
#include "settings/Uenviron.h"

namespace {

// Right-aligns text in a field of the given width with the fill byte
// ("%5.2f" pads with blanks; the minute and second fields with zeros).
std::string PadLeft(std::string text, size_t width, char fill = ' ') {
    if (text.size() < width) text.insert(0, width - text.size(), fill);
    return text;
}

std::string WithUnit(std::string number, std::string_view unit) {
    number += unit;
    return number;
}

}  // namespace

std::string FormatWeight(int64_t Size) {
    const double size = static_cast<double>(Size);
    switch (EnvSettings.FileSizeDisp) {
        case 0:
            return WithUnit(platform::FormatThousands(Size), " Bytes");
        case 1:
            if (Size < 1024) return WithUnit(std::to_string(Size), " Bytes");
            if (Size < 1048576) return WithUnit(platform::FormatNumber(size / 1024, 2), " KB");
            return WithUnit(platform::FormatNumber(size / 1024 / 1024, 2), " MB");
        case 2:
            return WithUnit(platform::FormatThousands(Size), " g");
        case 3:
            if (Size < 1000) return WithUnit(std::to_string(Size), " g");
            if (Size < 1000000) return WithUnit(platform::FormatNumber(size / 1000, 2), " Kg");
            return WithUnit(platform::FormatNumber(size / 1000 / 1000, 2), " t");
        default:
            return std::string();
    }
}

std::string FormatLoadTime(int64_t Size) {
    const int64_t bps = EnvSettings.Bps;
    // A hand-edited settings file can hold any speed; without a positive one
    // there is no time to show, and a division by it would fault.
    if (bps <= 0) return std::string();

    // 128-bit bits: Size * 8 does not fit 64 bits for the largest sizes,
    // and 32 bits (as the sizes once were) wrap from 256 MiB up.
    const __int128 bits = static_cast<__int128>(Size) * 8;
    const int64_t perMinute = bps * 60;
    const auto remainder = static_cast<int64_t>(bits % perMinute);
    const auto totalMinutes = static_cast<int64_t>(bits / perMinute);
    const int64_t minutes = totalMinutes % 60;
    const int64_t hours = totalMinutes / 60;
    const double seconds = static_cast<double>(remainder) / static_cast<double>(bps);

    std::string secondText = PadLeft(platform::FormatFixed(seconds, 2), 5, '0');
    if (hours != 0) {
        return PadLeft(std::to_string(hours), 2) + SJ("時間") + " " +
               PadLeft(std::to_string(minutes), 2, '0') + SJ("分") + " " + secondText + SJ("秒");
    }
    if (minutes != 0)
        return PadLeft(std::to_string(minutes), 2) + SJ("分") + " " + secondText + SJ("秒");
    return PadLeft(platform::FormatFixed(seconds, 2), 5) + SJ("秒");
}
