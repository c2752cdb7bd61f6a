// Counts with grouping, size texts and the elapsed-time text.
#include "engine/Formatting.h"

#include <gtest/gtest.h>

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

struct CountCase {
    const char* name;
    double value;
    const char* us;
    const char* german;
};

class FormatCountTest : public testing::TestWithParam<CountCase> {};

TEST_P(FormatCountTest, GroupsAndRoundsHalvesAwayFromZero) {
    const CountCase& c = GetParam();
    EXPECT_EQ(FormatCount(c.value, kUs), QString::fromUtf8(c.us));
    EXPECT_EQ(FormatCount(c.value, kGerman), QString::fromUtf8(c.german));
}

INSTANTIATE_TEST_SUITE_P(Table, FormatCountTest,
                         testing::Values(CountCase{"Zero", 0, "0", "0"},
                                         CountCase{"ThreeDigits", 999, "999", "999"},
                                         CountCase{"Thousands", 1234, "1,234", "1.234"},
                                         CountCase{"Millions", 1234567, "1,234,567", "1.234.567"},
                                         CountCase{"HalfUp", 62.5, "63", "63"},
                                         CountCase{"BelowHalf", 62.49, "62", "62"},
                                         CountCase{"SimilarityAboveHalf", 62.8, "63", "63"},
                                         CountCase{"HalfToThousand", 999.5, "1,000", "1.000"},
                                         CountCase{"NegativeHalf", -2.5, "-3", "-3"}),
                         [](const testing::TestParamInfo<CountCase>& info) { return std::string(info.param.name); });

TEST(FormatCountTest, CLocaleStillGroups) {
    // The pattern always groups, also where the locale itself would leave groups out by default.
    EXPECT_EQ(FormatCount(1234, QLocale::c()), QStringLiteral("1,234"));
}

struct SizeCase {
    const char* name;
    int64_t bytes;
    const char* us;
};

class FormatSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(FormatSizeTest, PicksUnitAndDecimals) {
    const SizeCase& c = GetParam();
    EXPECT_EQ(FormatSize(c.bytes, kUs), QString::fromUtf8(c.us));
}

INSTANTIATE_TEST_SUITE_P(Table, FormatSizeTest,
                         testing::Values(SizeCase{"Zero", 0, "0 B"},
                                         SizeCase{"LargestBytes", 1023, "1023 B"},
                                         SizeCase{"OneKilobyte", 1024, "1 KB"},
                                         SizeCase{"HalfKilobyteRoundsUp", 2560, "3 KB"},
                                         SizeCase{"JustBelowHalf", 2559, "2 KB"},
                                         SizeCase{"LargestKilobytes", 1048575, "1024 KB"},
                                         SizeCase{"OneMegabyte", 1048576, "1.00 MB"},
                                         SizeCase{"ExactHalfHundredthRoundsUp", 1179648, "1.13 MB"},
                                         SizeCase{"LargestMegabytes", 1073741823, "1024.00 MB"},
                                         SizeCase{"OneGigabyte", 1073741824, "1.000 GB"},
                                         SizeCase{"ThreeGigabytes", 3221225472, "3.000 GB"},
                                         SizeCase{"ExactHalfThousandthRoundsUp", 1140850688, "1.063 GB"},
                                         SizeCase{"HugeCount", INT64_MAX, "8589934592.000 GB"},
                                         SizeCase{"Negative", -5, "-5 B"}),
                         [](const testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

TEST(FormatSizeTest, UsesTheLocaleDecimalSeparatorWithoutGrouping) {
    EXPECT_EQ(FormatSize(1048576, kGerman), QStringLiteral("1,00 MB"));
    EXPECT_EQ(FormatSize(3221225472, kGerman), QStringLiteral("3,000 GB"));
    EXPECT_EQ(FormatSize(1073741823, kGerman), QStringLiteral("1024,00 MB"));
}

struct TimeCase {
    const char* name;
    uint32_t milliseconds;
    const char* text;
};

class FormatElapsedTimeTest : public testing::TestWithParam<TimeCase> {};

TEST_P(FormatElapsedTimeTest, ShowsTwoDigitsEach) {
    EXPECT_EQ(FormatElapsedTime(GetParam().milliseconds), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Table, FormatElapsedTimeTest,
                         testing::Values(TimeCase{"Start", 0, "00:00:00"},
                                         TimeCase{"BelowOneSecond", 999, "00:00:00"},
                                         TimeCase{"OneHourTwoMinutesThreeSeconds", 3723000, "01:02:03"},
                                         TimeCase{"LastBeforeWrap", 99 * 3600000u + 3599999u, "99:59:59"},
                                         TimeCase{"HundredHoursWrap", 100 * 3600000u + 5000u, "00:00:05"},
                                         TimeCase{"LargestCount", UINT32_MAX, "93:02:47"}),
                         [](const testing::TestParamInfo<TimeCase>& info) { return std::string(info.param.name); });

}  // namespace
