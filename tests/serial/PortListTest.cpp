#include "serial/PortList.h"

#include "serial/MemoryPort.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace qav {
namespace {

struct EntryRow
{
    const char* entry;
    int number;
};
class EntryRows : public ::testing::TestWithParam<EntryRow>
{
};
TEST_P(EntryRows, NumberIsReadAfterTheFirstThreeCharacters)
{
    EXPECT_EQ(PortNumberFromEntry(GetParam().entry), GetParam().number) << '"' << GetParam().entry << '"';
}
INSTANTIATE_TEST_SUITE_P(Rows, EntryRows,
                         ::testing::Values(EntryRow{"COM3", 3}, EntryRow{"COM10", 10}, EntryRow{"COM12", 12},
                                           EntryRow{"COM1024", 1024}, EntryRow{"COM3 /dev/ttyS2", 3},
                                           EntryRow{"COM33 /dev/ttyUSB0 (no permission)", 33},
                                           EntryRow{"", 0}, EntryRow{"C", 0}, EntryRow{"COM", 0},
                                           EntryRow{"COMx1", 0}, EntryRow{"COM 7", 7}, EntryRow{"COM+8", 8},
                                           EntryRow{"COM-2", -2}, EntryRow{"XYZ5", 5}, EntryRow{"COM0", 0},
                                           EntryRow{"COM99999999999999999999", INT_MAX},
                                           EntryRow{"COM-9999999999999", INT_MIN},
                                           EntryRow{"COM12345678901234567890123", INT_MAX}));

// The Windows device map's values, in the registry's order, as the port
// list shows them.
TEST(DeviceMapListing, ValuesNamingAPortAreListedInTheirOrderAfterTheInMemoryPorts)
{
    ScopedMemoryPort memory(201);
    const std::vector<DeviceMapValue> values{
        {"\\Device\\Serial1", "COM4"},   {"\\Device\\USBSER000", "COM12"},
        {"\\Device\\Serial0", "COM3"},   {"\\Device\\Odd", "LPT1"},
        {"\\Device\\Twin", "COM201"},    {"\\Device\\Big", "COM1025"},
        {"\\Device\\Again", "COM4"},     {"\\Device\\Lower", "com9"},
    };
    const std::vector<std::string> expected{
        "COM201 (in memory)", "COM4 \\Device\\Serial1", "COM12 \\Device\\USBSER000",
        "COM3 \\Device\\Serial0", "COM9 \\Device\\Lower",
    };
    const std::vector<std::string> entries = PortEntries(PortsFromDeviceMap(values));
    EXPECT_EQ(entries, expected);
    for (const std::string& entry : entries)
        EXPECT_NE(PortNumberFromEntry(entry), 0) << entry;
    EXPECT_TRUE(PortsFromDeviceMap({}).size() == 1) << "only the in-memory port";
}

} // namespace
} // namespace qav
