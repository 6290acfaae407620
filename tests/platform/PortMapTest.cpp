#include "platform/PortMap.h"

#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace qav {
namespace {

using test::ScopedPortsDir;

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

TEST(PortMap, AliasFolderComesFromTheVariableElseHome)
{
    ScopedPortsDir ports;
    EXPECT_EQ(PortAliasDirectory(), ports.Path());
    ::setenv("QAV_NUVA_PORTS_DIR", "", 1);
    const char* home = std::getenv("HOME");
    if (home && *home) {
        EXPECT_EQ(PortAliasDirectory(), std::string(home) + "/.config/qav-nuva/ports");
    }
}

class Aliases : public ::testing::Test
{
protected:
    std::string Device(const std::string& name)
    {
        const std::string path = ports_.Scratch() + "/" + name;
        test::WriteWholeFile(path, "");
        return path;
    }
    ScopedPortsDir ports_;
};

TEST_F(Aliases, RegisterCreatesTheFolderAndALiveLink)
{
    const std::string dev = Device("dev-a");
    EXPECT_FALSE(std::filesystem::exists(ports_.Path()));
    std::error_code error;
    ASSERT_TRUE(RegisterPortAlias(201, dev, &error)) << error.message();
    EXPECT_EQ(AliasTarget(201), dev);
    EXPECT_TRUE(IsAliasLive(201));
    EXPECT_EQ(AliasPath(201), ports_.Path() + "/COM201");
    EXPECT_TRUE(std::filesystem::is_symlink(ports_.Path() + "/COM201"));
}

TEST_F(Aliases, AnAliasWhoseDeviceIsGoneIsNotLive)
{
    const std::string dev = Device("dev-b");
    ASSERT_TRUE(RegisterPortAlias(5, dev));
    std::filesystem::remove(dev);
    EXPECT_FALSE(IsAliasLive(5));
    EXPECT_EQ(AliasTarget(5), dev) << "the alias itself is still there";
    EXPECT_FALSE(IsAliasLive(6));
    EXPECT_FALSE(AliasTarget(6));
}

TEST_F(Aliases, ReRegisteringReplacesAndLeavesNoTemporaryFiles)
{
    ASSERT_TRUE(RegisterPortAlias(9, Device("one")));
    ASSERT_TRUE(RegisterPortAlias(9, Device("two")));
    EXPECT_EQ(AliasTarget(9), ports_.Scratch() + "/two");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(ports_.Path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST_F(Aliases, RegisterRefusesBadNumbersAndTargets)
{
    std::error_code error;
    EXPECT_FALSE(RegisterPortAlias(0, Device("x"), &error));
    EXPECT_EQ(error, std::errc::invalid_argument);
    EXPECT_FALSE(RegisterPortAlias(1025, Device("x")));
    EXPECT_FALSE(RegisterPortAlias(3, ""));
}

TEST_F(Aliases, RegisterReportsAFolderThatCannotBeMade)
{
    // A plain file where the folder should be.
    test::WriteWholeFile(ports_.Path(), "");
    std::error_code error;
    EXPECT_FALSE(RegisterPortAlias(3, Device("x"), &error));
    EXPECT_TRUE(error);
}

TEST_F(Aliases, UnregisterWithAnExpectedTargetLeavesOthersAliasesAlone)
{
    const std::string mine = Device("mine");
    const std::string theirs = Device("theirs");
    ASSERT_TRUE(RegisterPortAlias(12, theirs));
    EXPECT_FALSE(UnregisterPortAlias(12, mine));
    EXPECT_EQ(AliasTarget(12), theirs);
    EXPECT_TRUE(UnregisterPortAlias(12, theirs));
    EXPECT_FALSE(AliasTarget(12));
    EXPECT_TRUE(UnregisterPortAlias(12)) << "removing what is gone is fine";
    ASSERT_TRUE(RegisterPortAlias(13, mine));
    EXPECT_TRUE(UnregisterPortAlias(13));
    EXPECT_FALSE(AliasTarget(13));
}

TEST_F(Aliases, ListingHoldsCanonicalAliasesByNumber)
{
    ASSERT_TRUE(RegisterPortAlias(300, Device("c")));
    ASSERT_TRUE(RegisterPortAlias(7, Device("a")));
    ASSERT_TRUE(RegisterPortAlias(40, ports_.Scratch() + "/missing"));
    // Things that are not aliases.
    const std::string dir = ports_.Path();
    ASSERT_EQ(::symlink("/dev/null", (dir + "/com8").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", (dir + "/COM08").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", (dir + "/COM2000").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", (dir + "/notes").c_str()), 0);
    test::WriteWholeFile(dir + "/COM9", "not a link");

    const auto list = ListPortAliases();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].number, 7);
    EXPECT_EQ(list[0].target, ports_.Scratch() + "/a");
    EXPECT_TRUE(list[0].live);
    EXPECT_EQ(list[1].number, 40);
    EXPECT_FALSE(list[1].live);
    EXPECT_EQ(list[2].number, 300);
}

TEST_F(Aliases, ResolvingPrefersTheAliasThenTheFamily)
{
    ASSERT_TRUE(RegisterPortAlias(33, Device("pinned")));
    EXPECT_EQ(ResolvePortDevice("COM33"), ports_.Path() + "/COM33");
    EXPECT_EQ(ResolvePortDevice("com33"), ports_.Path() + "/COM33");
    EXPECT_EQ(ResolvePortDevice("COM34"), "/dev/ttyUSB1");
    EXPECT_EQ(ResolvePortDevice("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ResolvePortDevice("COM500"), "");
    EXPECT_EQ(ResolvePortDevice("/dev/ttyACM0"), "/dev/ttyACM0");
    EXPECT_EQ(ResolvePortDevice("ttyUSB0"), "");
    EXPECT_EQ(ResolvePortDevice(""), "");
    // A dead alias still wins: opening it says the device is missing rather
    // than silently opening another one.
    ASSERT_TRUE(RegisterPortAlias(1, ports_.Scratch() + "/gone"));
    EXPECT_EQ(ResolvePortDevice("COM1"), ports_.Path() + "/COM1");
}

} // namespace
} // namespace qav
