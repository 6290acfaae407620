// Firmware files against what only POSIX has: a FIFO, which a read would
// wait on for ever.
#include "upgrade/FirmwareFile.h"

#include "platform/RegularFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace qav {
namespace {

TEST(FirmwareFile, AFifoIsRefusedWithoutAReadThatWouldWait)
{
    test::TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    for (const std::string& path : {dir.File("fifo"), std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        FirmwareImage out;
        const Result r = ReadFirmwareFile(path, 1, out);
        EXPECT_EQ(r.code, kNotRegularFile) << r.message;
        EXPECT_TRUE(out.image.empty());
    }
}

} // namespace
} // namespace qav
