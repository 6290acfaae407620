#include "serial/PortList.h"

#include "platform/PortMap.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace qav {
namespace {

namespace fs = std::filesystem;
using test::ScopedPortsDir;
using test::WriteWholeFile;

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

// A stand-in for /sys/class/tty and /dev in a temporary folder.
class PortListing : public ::testing::Test
{
protected:
    PortListing()
    {
        roots_.sysClassTty = (tree_.path() / "sys").string();
        roots_.devDir = (tree_.path() / "dev").string();
        fs::create_directories(roots_.sysClassTty);
        fs::create_directories(roots_.devDir);
        // Judged on where a path leads, as access() would.
        roots_.mayOpen = [this](const std::string& path) {
            return !forbidden_.contains(fs::weakly_canonical(path).string());
        };
    }

    // A tty with a bound driver and (unless told otherwise) a device node.
    void Tty(const std::string& name, bool driver = true, bool node = true, const char* uartType = nullptr)
    {
        const fs::path dir = fs::path(roots_.sysClassTty) / name;
        fs::create_directories(driver ? dir / "device" / "driver" : dir);
        if (uartType)
            WriteWholeFile((dir / "type").string(), uartType);
        if (node)
            WriteWholeFile(roots_.devDir + "/" + name, "");
    }

    ScopedPortsDir ports_;
    test::TempDir tree_;
    PortScanRoots roots_;
    std::set<std::string> forbidden_;
};

TEST_F(PortListing, ListsRealDevicesByNumberAndSkipsTheRest)
{
    Tty("ttyUSB1");
    Tty("ttyS0", true, true, "4\n");
    Tty("ttyS1", true, true, "0\n"); // no UART found
    Tty("ttyS2");                    // no type to read
    Tty("ttyS3", false);             // no driver
    Tty("ttyACM0");
    Tty("ttyUSB5", true, false); // node gone
    Tty("tty1");                 // a console, no family
    Tty("ttyUSB40");             // beyond the family's range
    const std::vector<std::string> expected{
        "COM1 " + roots_.devDir + "/ttyS0",
        "COM34 " + roots_.devDir + "/ttyUSB1",
        "COM65 " + roots_.devDir + "/ttyACM0",
    };
    EXPECT_EQ(ListSerialPorts(roots_), expected);
}

TEST_F(PortListing, AliasesComeFirstAndTakeTheirNumber)
{
    Tty("ttyUSB0");
    Tty("ttyUSB2");
    const std::string pinned = tree_.File("adapter");
    WriteWholeFile(pinned, "");
    ASSERT_TRUE(RegisterPortAlias(33, pinned));
    ASSERT_TRUE(RegisterPortAlias(201, tree_.File("unplugged")));
    ASSERT_TRUE(RegisterPortAlias(2, pinned));
    const std::vector<std::string> expected{
        "COM2 " + pinned,
        "COM33 " + pinned,
        "COM201 " + tree_.File("unplugged") + " (missing)",
        "COM35 " + roots_.devDir + "/ttyUSB2",
    };
    const auto list = ListSerialPorts(roots_);
    EXPECT_EQ(list, expected);
    for (std::size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(PortNumberFromEntry(list[i]), std::vector<int>({2, 33, 201, 35})[i]);
}

TEST_F(PortListing, DevicesTheUserMayNotOpenSaySo)
{
    Tty("ttyACM3");
    forbidden_.insert(fs::weakly_canonical(roots_.devDir + "/ttyACM3").string());
    const std::string locked = tree_.File("locked-device");
    WriteWholeFile(locked, "");
    forbidden_.insert(fs::weakly_canonical(locked).string());
    ASSERT_TRUE(RegisterPortAlias(300, locked));
    const std::vector<std::string> expected{
        "COM300 " + locked + " (no permission)",
        "COM68 " + roots_.devDir + "/ttyACM3 (no permission)",
    };
    EXPECT_EQ(ListSerialPorts(roots_), expected);
}

TEST_F(PortListing, NothingToFindGivesAnEmptyList)
{
    roots_.sysClassTty = tree_.File("no-such-folder");
    EXPECT_TRUE(ListSerialPorts(roots_).empty());
}

} // namespace
} // namespace qav
