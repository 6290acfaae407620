// The Windows device map: names are the system's own.
#include "platform/PortMap.h"

#include <gtest/gtest.h>

#include <string>

namespace qav {
namespace {

TEST(PortMapWin32, NamesOpenTheSystemsPortsAndNoAliasExists)
{
    const struct
    {
        const char* name;
        const char* device;
    } rows[] = {
        {"COM1", "\\\\.\\COM1"},     {"com12", "\\\\.\\COM12"},       {"COM1024", "\\\\.\\COM1024"},
        {"\\\\.\\COM7", "\\\\.\\COM7"}, {"COM0", ""},                 {"COM1025", ""},
        {"/dev/ttyUSB0", ""},        {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ResolvePortDevice(row.name), row.device) << row.name;
    EXPECT_EQ(PortAliasDirectory(), "");
    EXPECT_TRUE(ListPortAliases().empty());
    std::error_code error;
    EXPECT_FALSE(RegisterPortAlias(5, "\\\\.\\COM6", &error));
    EXPECT_EQ(error, std::errc::operation_not_supported);
    EXPECT_FALSE(AliasTarget(5));
    EXPECT_TRUE(UnregisterPortAlias(5));
}

} // namespace
} // namespace qav
