#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/Encoding.h"
#include "platform/Locale.h"
#include "report/UCreateResult.h"
#include "settings/Uenviron.h"

namespace {

// Each test starts from the default settings and leaves them so.
class Formatting : public ::testing::Test {
protected:
    void SetUp() override { saved_ = EnvSettings; }
    void TearDown() override { EnvSettings = saved_; }
    TEnvSettings saved_;
};

// Expected texts are written in UTF-8 and compared as the CP932 the
// program produces.
std::string Sj(const std::string& utf8) { return platform::Utf8ToCp932Literal(utf8.c_str()); }

TEST_F(Formatting, LoadTimeTable) {
    struct Row {
        int64_t size;
        int32_t bps;
        const char* text;
    };
    const Row rows[] = {
        {0, 28800, " 0.00秒"},
        {1000, 28800, " 0.28秒"},
        {300000, 28800, " 1分 23.33秒"},
        {215999, 28800, "60.00秒"},  // 1727992 bits, just under one minute
        {216000, 28800, " 1分 00.00秒"},
        {10000000, 9600, " 2時間 18分 53.33秒"},
        {37200, 75, " 1時間 06分 08.00秒"},
        // More rows: a one-bit-like tie, two-digit fields, the hour width.
        {1, 64, " 0.13秒"},  // 0.125 s, an exact half
        {72000, 1200, " 8分 00.00秒"},
        {4500000, 600, "16時間 40分 00.00秒"},
        {54000000, 600, "200時間 00分 00.00秒"},
    };
    for (const Row& r : rows) {
        EnvSettings.Bps = r.bps;
        EXPECT_EQ(FormatLoadTime(r.size), Sj(r.text)) << r.size << " bytes at " << r.bps;
    }
}

TEST_F(Formatting, LoadTimeOfLargeSizesDoesNotWrap) {
    EnvSettings.Bps = 6000000;
    // 300 MiB: Size * 8 is beyond 32 bits; 2516582400 bits / 6e6 = 419.43 s.
    EXPECT_EQ(FormatLoadTime(int64_t{300} * 1024 * 1024), Sj(" 6分 59.43秒"));
    // Beyond 64-bit bits: (2^63 - 1) * 8 bits at 75 bps, worked out apart.
    EnvSettings.Bps = 75;
    EXPECT_EQ(FormatLoadTime(std::numeric_limits<int64_t>::max()), Sj("273285097388289時間 39分 12.75秒"));
}

TEST_F(Formatting, LoadTimeWithoutPositiveSpeedIsEmpty) {
    for (int32_t bps : {0, -1, std::numeric_limits<int32_t>::min()}) {
        EnvSettings.Bps = bps;
        EXPECT_EQ(FormatLoadTime(1000), "") << bps;
        EXPECT_EQ(FormatLoadTime(0), "") << bps;
    }
    // The largest speed a settings file can hold needs no 32-bit product.
    EnvSettings.Bps = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(FormatLoadTime(int64_t{1} << 33), Sj("32.00秒"));
}

TEST_F(Formatting, WeightTable) {
    struct Row {
        int32_t mode;
        int64_t size;
        const char* text;
    };
    const Row rows[] = {
        {0, 0, "0 Bytes"},
        {0, 1234567, "1,234,567 Bytes"},
        {1, 0, "0 Bytes"},
        {1, 1023, "1023 Bytes"},
        {1, 1024, "1.00 KB"},
        {1, 1152, "1.13 KB"},
        {1, 1048575, "1,024.00 KB"},
        {1, 1048576, "1.00 MB"},
        {2, 1234567, "1,234,567 g"},
        {3, 0, "0 g"},
        {3, 999, "999 g"},
        {3, 1000, "1.00 Kg"},
        {3, 999999, "1,000.00 Kg"},
        {3, 1000000, "1.00 t"},
        {3, 1234567, "1.23 t"},
        {7, 1234, ""},
        {-1, 1234, ""},
        {4, 0, ""},
        // Sizes beyond 32 bits keep every digit.
        {0, 5000000000, "5,000,000,000 Bytes"},
        {0, std::numeric_limits<int64_t>::max(), "9,223,372,036,854,775,807 Bytes"},
        {1, int64_t{3} << 30, "3,072.00 MB"},
        {1, 3221225472 + 5242, "3,072.00 MB"},  // 3072.004999...: below the half
        {1, 3221225472 + 5243, "3,072.01 MB"},
        {3, 5000000000, "5,000.00 t"},
        {1, 1049, "1.02 KB"},  // 1.0244... rounds down
        {1, 1029, "1.00 KB"},  // 1.00488... rounds down
        {1, 1034, "1.01 KB"},  // 1.009765625 rounds up
        {1, 1126, "1.10 KB"},
    };
    for (const Row& r : rows) {
        EnvSettings.FileSizeDisp = r.mode;
        EXPECT_EQ(FormatWeight(r.size), r.text) << "mode " << r.mode << " size " << r.size;
    }
}

TEST(Locale, ExactHalvesRoundAwayFromZero) {
    EXPECT_EQ(platform::FormatFixed(0.125, 2), "0.13");
    EXPECT_EQ(platform::FormatFixed(1.125, 2), "1.13");
    EXPECT_EQ(platform::FormatFixed(-1.125, 2), "-1.13");
    EXPECT_EQ(platform::FormatFixed(2.5, 0), "3");
    EXPECT_EQ(platform::FormatFixed(0.5, 0), "1");
    EXPECT_EQ(platform::FormatFixed(1023.999, 2), "1024.00");
    // Not exact halves in binary: the exact value decides.
    EXPECT_EQ(platform::FormatFixed(2.675, 2), "2.67");  // 2.67499999...
    EXPECT_EQ(platform::FormatFixed(1.005, 2), "1.00");  // 1.00499999...
    EXPECT_EQ(platform::FormatFixed(0.015, 2), "0.01");  // 0.01499999...
    EXPECT_EQ(platform::FormatFixed(0.035, 2), "0.04");  // 0.03500000...03
    EXPECT_EQ(platform::FormatFixed(0.004999, 2), "0.00");
    EXPECT_EQ(platform::FormatFixed(-0.001, 2), "0.00");
    EXPECT_EQ(platform::FormatFixed(5e-324, 2), "0.00");
    EXPECT_EQ(platform::FormatFixed(0.0, 3), "0.000");
    EXPECT_EQ(platform::FormatFixed(59.99972222, 2), "60.00");
}

TEST(Locale, GroupsThousands) {
    EXPECT_EQ(platform::FormatThousands(0), "0");
    EXPECT_EQ(platform::FormatThousands(999), "999");
    EXPECT_EQ(platform::FormatThousands(1000), "1,000");
    EXPECT_EQ(platform::FormatThousands(-1234567), "-1,234,567");
    EXPECT_EQ(platform::FormatThousands(std::numeric_limits<int64_t>::min()), "-9,223,372,036,854,775,808");
    EXPECT_EQ(platform::FormatNumber(999.995, 2), "1,000.00");       // 999.995000000000004547...
    EXPECT_EQ(platform::FormatNumber(123456.785, 2), "123,456.79");  // 123456.7850000000034...
    EXPECT_EQ(platform::FormatNumber(1e20, 2), "100,000,000,000,000,000,000.00");
    EXPECT_EQ(platform::FormatNumber(-0x1p63, 1), "-9,223,372,036,854,775,808.0");
    EXPECT_EQ(platform::FormatNumber(0x1p62 + 0.0, 0), "4,611,686,018,427,387,904");
}

}  // namespace
