#include "platform/PortMap.h"

#include <gtest/gtest.h>

#include <string>

namespace qav {
namespace {

struct NameRow
{
    const char* name;
    int number;
};
class PortNameRows : public ::testing::TestWithParam<NameRow>
{
};
TEST_P(PortNameRows, OnlyComWithANumberInRangeCounts)
{
    EXPECT_EQ(PortNumberFromName(GetParam().name), GetParam().number) << GetParam().name;
}
INSTANTIATE_TEST_SUITE_P(Rows, PortNameRows,
                         ::testing::Values(NameRow{"COM1", 1}, NameRow{"COM12", 12}, NameRow{"com7", 7},
                                           NameRow{"Com0003", 3}, NameRow{"COM1024", 1024},
                                           NameRow{"COM1025", 0}, NameRow{"COM0", 0}, NameRow{"COM", 0},
                                           NameRow{"CO", 0}, NameRow{"", 0}, NameRow{"COMx", 0},
                                           NameRow{"COM-3", 0}, NameRow{"COM+3", 0}, NameRow{"COM 3", 0},
                                           NameRow{"COM3 ", 0}, NameRow{"LPT1", 0},
                                           NameRow{"COM99999999999", 0}));

struct DeviceRow
{
    const char* device;
    int number;
};
class DeviceRows : public ::testing::TestWithParam<DeviceRow>
{
};
TEST_P(DeviceRows, FamiliesNumberTheirUnits)
{
    EXPECT_EQ(PortNumberForDevice(GetParam().device), GetParam().number) << GetParam().device;
}
INSTANTIATE_TEST_SUITE_P(
    Rows, DeviceRows,
    ::testing::Values(DeviceRow{"ttyS0", 1}, DeviceRow{"/dev/ttyS31", 32}, DeviceRow{"ttyS32", 0},
                      DeviceRow{"ttyUSB0", 33}, DeviceRow{"/dev/ttyUSB31", 64}, DeviceRow{"ttyACM0", 65},
                      DeviceRow{"ttyACM31", 96}, DeviceRow{"ttyAMA3", 100}, DeviceRow{"ttyUSB", 0},
                      DeviceRow{"ttySAC0", 0}, DeviceRow{"ttyUSB1a", 0}, DeviceRow{"ttyS-1", 0},
                      DeviceRow{"/dev/pts/3", 0}, DeviceRow{"tty1", 0}, DeviceRow{"/tmp/ttyUSB0", 0}));

TEST(PortMap, EveryFamilyNumberMapsToADeviceAndBack)
{
    for (int n = kMinPortNumber; n <= kMaxPortNumber; ++n) {
        const std::string device = DeviceForPortNumber(n);
        if (n <= 128) {
            ASSERT_FALSE(device.empty()) << n;
            EXPECT_EQ(PortNumberForDevice(device), n) << device;
        } else {
            EXPECT_TRUE(device.empty()) << n;
        }
    }
    EXPECT_EQ(DeviceForPortNumber(0), "");
    EXPECT_EQ(DeviceForPortNumber(33), "/dev/ttyUSB0");
}

} // namespace
} // namespace qav
