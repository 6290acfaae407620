// The alias folder and the name-to-device rule of the Linux device map.
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

TEST(PortMap, AliasFolderComesFromTheVariableElseHome)
{
    ScopedPortsDir ports;
    EXPECT_EQ(PortAliasDirectory(), ports.Path());
    test::SetEnvVar("QAV_NUVA_PORTS_DIR", "");
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
