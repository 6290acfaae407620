#include "files/SettingsFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace qav {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("qav-settings-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        startup = dir.string() + "/";
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Contents()
    {
        std::ifstream in(SettingsFilePath(startup), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir;
    std::string startup;
};

TEST_F(SettingsFileTest, MissingFileReadsZeroAndFirstWriteCreatesIt)
{
    EXPECT_EQ(ReadStoredIndex(startup, kSettingsComKey), 0);
    EXPECT_EQ(ReadStoredIndex(startup, kSettingsMotorComKey), 0);
    ASSERT_TRUE(WriteStoredIndex(startup, kSettingsComKey, 2));
    EXPECT_EQ(Contents(), "[Setting]\nCOM=2\n");
    EXPECT_EQ(ReadStoredIndex(startup, kSettingsComKey), 2);
}

TEST_F(SettingsFileTest, BothKeysLiveSideBySideAndMinusOneSurvives)
{
    ASSERT_TRUE(WriteStoredIndex(startup, kSettingsComKey, -1));
    ASSERT_TRUE(WriteStoredIndex(startup, kSettingsMotorComKey, 3));
    ASSERT_TRUE(WriteStoredIndex(startup, kSettingsComKey, 1));
    EXPECT_EQ(ReadStoredIndex(startup, kSettingsComKey), 1);
    EXPECT_EQ(ReadStoredIndex(startup, kSettingsMotorComKey), 3);
    ASSERT_TRUE(WriteStoredIndex(startup, kSettingsComKey, -1));
    EXPECT_EQ(ReadStoredIndex(startup, kSettingsComKey), -1);
}

TEST_F(SettingsFileTest, WindowsWrittenFileIsReadAndKeptIntact)
{
    {
        std::ofstream out(SettingsFilePath(startup), std::ios::binary);
        out << "[Other]\r\nCOM=9\r\n[setting]\r\n com = 4 \r\nMOTOR_COM=junk\r\n";
    }
    EXPECT_EQ(ReadStoredIndex(startup, kSettingsComKey), 4);
    EXPECT_EQ(ReadStoredIndex(startup, kSettingsMotorComKey), 0);
    ASSERT_TRUE(WriteStoredIndex(startup, kSettingsMotorComKey, 1));
    const std::string text = Contents();
    EXPECT_NE(text.find("[Other]\r\nCOM=9\r\n"), std::string::npos) << text;
    EXPECT_EQ(ReadStoredIndex(startup, kSettingsMotorComKey), 1);
    EXPECT_EQ(ReadStoredIndex(startup, kSettingsComKey), 4);
}

TEST_F(SettingsFileTest, HugeValueSaturatesInsteadOfWrapping)
{
    {
        std::ofstream out(SettingsFilePath(startup));
        out << "[Setting]\nCOM=99999999999\n";
    }
    EXPECT_EQ(ReadStoredIndex(startup, kSettingsComKey), std::numeric_limits<std::int32_t>::max());
}

TEST_F(SettingsFileTest, PortNamesBesideThePositions)
{
    ASSERT_TRUE(WriteStoredIndex(startup, kSettingsComKey, 2));
    ASSERT_TRUE(WriteStoredPortName(startup, kSettingsComNameKey, 12));
    ASSERT_TRUE(WriteStoredPortName(startup, kSettingsMotorComNameKey, 0));
    EXPECT_EQ(Contents(), "[Setting]\nCOM=2\nCOM_NAME=COM12\nMOTOR_COM_NAME=\n");
    EXPECT_EQ(ReadStoredPortName(startup, kSettingsComNameKey), 12);
    EXPECT_EQ(ReadStoredPortName(startup, kSettingsMotorComNameKey), 0);
    // What a hand or another tool may have put there.
    const std::pair<const char*, int> rows[] = {{"com7", 7},      {"COM1024", 1024}, {"COM1025", 0},
                                                {"/dev/ttyUSB0", 0}, {"COM", 0},     {" COM3 ", 3}};
    for (const auto& [text, number] : rows) {
        {
            std::ofstream out(SettingsFilePath(startup));
            out << "[Setting]\nCOM_NAME=" << text << "\n";
        }
        EXPECT_EQ(ReadStoredPortName(startup, kSettingsComNameKey), number) << text;
    }
}

TEST_F(SettingsFileTest, UnwritableFolderReportsFailure)
{
    const std::string missing = startup + "no/such/folder/";
    const Result r = WriteStoredIndex(missing, kSettingsComKey, 1);
    EXPECT_FALSE(r);
    EXPECT_NE(r.code, 0);
}

} // namespace
} // namespace qav
