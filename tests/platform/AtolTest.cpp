#include "platform/Atol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace qav {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

struct AtolRow
{
    std::string text;
    std::int64_t value;
};
class AtolRows : public ::testing::TestWithParam<AtolRow>
{
};

TEST_P(AtolRows, ReadsLikeAtolOnTheFirst19Characters)
{
    EXPECT_EQ(ReadAtol(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AtolRows,
    ::testing::Values(AtolRow{"", 0}, AtolRow{"0", 0}, AtolRow{"42", 42}, AtolRow{"-17", -17},
                      AtolRow{"+5", 5}, AtolRow{"007", 7}, AtolRow{"  42", 42}, AtolRow{"\t\n\v\f\r 9", 9},
                      AtolRow{"12abc", 12}, AtolRow{"12 34", 12}, AtolRow{"3.9", 3}, AtolRow{"abc", 0},
                      AtolRow{"- 5", 0}, AtolRow{"--5", 0}, AtolRow{"+-5", 0}, AtolRow{"-", 0},
                      AtolRow{"0x1F", 0}, AtolRow{"1e3", 1},
                      // Only 19 characters count.
                      AtolRow{"1234567890123456789", 1234567890123456789},
                      AtolRow{"12345678901234567890", 1234567890123456789},
                      AtolRow{std::string(18, ' ').append("7"), 7}, AtolRow{std::string(19, ' ').append("7"), 0},
                      AtolRow{"-922337203685477580", -922337203685477580},
                      AtolRow{"-9223372036854775808", -922337203685477580},
                      // Beyond the range it saturates.
                      AtolRow{"9223372036854775807", kMax}, AtolRow{"9223372036854775808", kMax},
                      AtolRow{"9999999999999999999", kMax}, AtolRow{"99999999999999999999999", kMax},
                      AtolRow{"+9999999999999999999", 999999999999999999}));

TEST(Atol, ANonTerminatedViewIsReadOnlyToItsEnd)
{
    const std::string text = "12345";
    EXPECT_EQ(ReadAtol(std::string_view(text).substr(0, 3)), 123);
}

} // namespace
} // namespace qav
