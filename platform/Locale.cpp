#include "platform/Locale.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace platform {

namespace {

using u128 = unsigned __int128;

std::string Digits(u128 v) {
    char buf[40];
    char* p = buf + sizeof buf;
    // Reports format a few numbers per line: 64-bit division is several
    // times cheaper than 128-bit, and almost every value fits.
    if (v <= UINT64_MAX) {
        auto w = static_cast<uint64_t>(v);
        do {
            *--p = static_cast<char>('0' + static_cast<int>(w % 10));
            w /= 10;
        } while (w != 0);
        return std::string(p, buf + sizeof buf);
    }
    do {
        *--p = static_cast<char>('0' + static_cast<int>(v % 10));
        v /= 10;
    } while (v != 0);
    return std::string(p, buf + sizeof buf);
}

void AppendGrouped(std::string& out, const std::string& digits) {
    size_t n = digits.size();
    for (size_t k = 0; k < n; ++k) {
        if (k != 0 && (n - k) % 3 == 0) out.push_back(kThousandSeparator);
        out.push_back(digits[k]);
    }
}

std::string Format(double value, int decimals, bool grouped) {
    if (decimals < 0) decimals = 0;
    if (decimals > 9) decimals = 9;
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";

    u128 scale = 1;
    for (int k = 0; k < decimals; ++k) scale *= 10;

    const double a = std::fabs(value);
    std::string whole, fraction;
    if (a >= 0x1p63) {
        // Such a double is an integer; glibc prints its exact digits.
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.0f", a);
        whole = buf;
        fraction.assign(static_cast<size_t>(decimals), '0');
    } else {
        // a = mant * 2^e exactly; scale by 10^decimals in integers and round
        // the exact remainder, so ties are recognised as ties.
        int e = 0;
        double m = std::frexp(a, &e);
        auto mant = static_cast<uint64_t>(std::ldexp(m, 53));
        e -= 53;
        u128 n = static_cast<u128>(mant) * scale;  // < 2^83
        u128 q;
        if (e >= 0) {
            q = n << e;  // e <= 10 below 2^63
        } else if (-e >= 100) {
            q = 0;  // below half a unit of the last decimal
        } else {
            int s = -e;
            q = n >> s;
            u128 rest = n - (q << s);
            if (rest >= (static_cast<u128>(1) << (s - 1))) ++q;
        }
        const bool small = q <= UINT64_MAX;
        const auto q64 = static_cast<uint64_t>(q), scale64 = static_cast<uint64_t>(scale);
        whole = small ? Digits(q64 / scale64) : Digits(q / scale);
        if (decimals > 0) {
            std::string f = small ? Digits(q64 % scale64) : Digits(q % scale);
            fraction.assign(static_cast<size_t>(decimals) - f.size(), '0');
            fraction += f;
        }
    }

    std::string out;
    bool zero =
        whole.find_first_not_of('0') == std::string::npos && fraction.find_first_not_of('0') == std::string::npos;
    if (value < 0 && !zero) out.push_back('-');
    if (grouped) AppendGrouped(out, whole);
    else out += whole;
    if (decimals > 0) {
        out.push_back(kDecimalSeparator);
        out += fraction;
    }
    return out;
}

}  // namespace

std::string FormatThousands(int64_t value) {
    std::string out;
    u128 magnitude = value < 0 ? static_cast<u128>(-(value + 1)) + 1 : static_cast<u128>(value);
    if (value < 0) out.push_back('-');
    AppendGrouped(out, Digits(magnitude));
    return out;
}

std::string FormatFixed(double value, int decimals) { return Format(value, decimals, false); }

std::string FormatNumber(double value, int decimals) { return Format(value, decimals, true); }

}  // namespace platform
