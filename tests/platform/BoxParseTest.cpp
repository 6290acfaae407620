#include "platform/BoxParse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <string>

namespace qav {
namespace {

struct IntRow
{
    const char16_t* text;
    std::optional<std::int32_t> expected;
};

std::string Narrow(const char16_t* text)
{
    std::string out;
    for (const char16_t* p = text; *p; ++p)
        out += *p < 0x80 ? static_cast<char>(*p) : '?';
    return out;
}
void PrintTo(const IntRow& row, std::ostream* os)
{
    *os << '"' << Narrow(row.text) << '"';
}

class BoxIntParse : public ::testing::TestWithParam<IntRow>
{
};

TEST_P(BoxIntParse, ReadsOrRefuses)
{
    const IntRow& row = GetParam();
    EXPECT_EQ(ParseBoxInt(row.text), row.expected);
}

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Rows, BoxIntParse,
    ::testing::Values(
        IntRow{u"7", 7}, IntRow{u" 7 ", 7}, IntRow{u"\t7\t", 7}, IntRow{u"007", 7}, IntRow{u"-5", -5},
        IntRow{u"+12", 12}, IntRow{u"0", 0}, IntRow{u"00", 0}, IntRow{u"  0  ", 0}, IntRow{u"500", 500},
        // errors
        IntRow{u"", std::nullopt}, IntRow{u"   ", std::nullopt}, IntRow{u"-", std::nullopt},
        IntRow{u"+", std::nullopt}, IntRow{u"-0", std::nullopt}, IntRow{u"+0", std::nullopt},
        IntRow{u"12a", std::nullopt}, IntRow{u"a12", std::nullopt}, IntRow{u"1 2", std::nullopt},
        IntRow{u"- 5", std::nullopt}, IntRow{u"0x10", std::nullopt}, IntRow{u"1.5", std::nullopt},
        IntRow{u"\n7", std::nullopt}, IntRow{u"７", std::nullopt},
        // saturation at the 32-bit limits
        IntRow{u"2147483647", kMax}, IntRow{u"2147483648", kMax}, IntRow{u"99999999999999999999", kMax},
        IntRow{u"-2147483648", kMin}, IntRow{u"-2147483649", kMin}, IntRow{u"-99999999999999999999", kMin},
        // only the first 31 characters count: the "x" is the 32nd
        IntRow{u"                              7x", 7}, IntRow{u"                              7", 7},
        IntRow{u"                               7", std::nullopt},
        IntRow{u"                            7 x", std::nullopt}));

struct FloatRow
{
    const char16_t* text;
    std::optional<float> expected;
};

void PrintTo(const FloatRow& row, std::ostream* os)
{
    *os << '"' << Narrow(row.text) << '"';
}

class BoxFloatParse : public ::testing::TestWithParam<FloatRow>
{
};

TEST_P(BoxFloatParse, ReadsOrRefuses)
{
    const FloatRow& row = GetParam();
    EXPECT_EQ(ParseBoxFloat(row.text), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BoxFloatParse,
    ::testing::Values(
        FloatRow{u"1e2", 100.0f}, FloatRow{u"12.35", 12.35f}, FloatRow{u" -0.05 ", -0.05f},
        FloatRow{u"+3", 3.0f}, FloatRow{u"1.", 1.0f}, FloatRow{u".5", 0.5f}, FloatRow{u"2E-1", 0.2f},
        FloatRow{u"0", 0.0f}, FloatRow{u"0.0", 0.0f}, FloatRow{u"0e5", 0.0f}, FloatRow{u"-135", -135.0f},
        // errors
        FloatRow{u"", std::nullopt}, FloatRow{u"-", std::nullopt}, FloatRow{u".", std::nullopt},
        FloatRow{u"abc", std::nullopt}, FloatRow{u"-0", std::nullopt}, FloatRow{u"-0.0", std::nullopt},
        FloatRow{u"+0", std::nullopt}, FloatRow{u".0", std::nullopt}, FloatRow{u"1e", std::nullopt},
        FloatRow{u"1e+", std::nullopt}, FloatRow{u"12,5", std::nullopt}, FloatRow{u"inf", std::nullopt},
        FloatRow{u"nan", std::nullopt}, FloatRow{u"0x1p3", std::nullopt}, FloatRow{u"1e39", std::nullopt},
        FloatRow{u"-1e300", std::nullopt}));

TEST(BoxFloatParse, TinyValuesBecomeZeroButOnlyWhenWrittenWithDigitsOtherThanZero)
{
    // 1e-50 is not zero as written, so it is accepted; as a float it is 0.
    EXPECT_EQ(ParseBoxFloat(u"1e-50"), 0.0f);
}

struct FormatRow
{
    float value;
    const char* text;
};

void PrintTo(const FormatRow& row, std::ostream* os)
{
    *os << row.text;
}

class BoxFloatFormat : public ::testing::TestWithParam<FormatRow>
{
};

TEST_P(BoxFloatFormat, SixSignificantDigits)
{
    EXPECT_EQ(FormatBoxFloat(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Rows, BoxFloatFormat,
                         ::testing::Values(FormatRow{0.0f, "0"}, FormatRow{100.0f, "100"},
                                           FormatRow{12.35f, "12.35"}, FormatRow{-0.05f, "-0.05"},
                                           FormatRow{-135.0f, "-135"}, FormatRow{1.0f / 3.0f, "0.333333"},
                                           FormatRow{1234567.0f, "1.23457e+06"}, FormatRow{0.0001f, "0.0001"},
                                           FormatRow{0.00001f, "1e-05"}, FormatRow{90.0f, "90"}));

TEST(BoxIntFormat, PlainDecimal)
{
    EXPECT_EQ(FormatBoxInt(0), "0");
    EXPECT_EQ(FormatBoxInt(-45), "-45");
    EXPECT_EQ(FormatBoxInt(kMin), "-2147483648");
}

TEST(BoxParseRoundTrip, EveryShownFloatReadsBackToTheSameText)
{
    for (float v : {12.35f, -0.05f, 44.5f, -134.9f, 0.1f, 89.99999f}) {
        const std::string shown = FormatBoxFloat(v);
        const std::u16string wide(shown.begin(), shown.end());
        const auto back = ParseBoxFloat(wide);
        ASSERT_TRUE(back.has_value()) << shown;
        EXPECT_EQ(FormatBoxFloat(*back), shown);
    }
}

} // namespace
} // namespace qav
