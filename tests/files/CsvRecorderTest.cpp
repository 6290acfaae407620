// Telemetry rows as CSV: the header, the rows with t from the first row,
// and when the rows reach the file.
#include "files/CsvRecorder.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <sys/stat.h>

namespace qav {
namespace {

using namespace std::chrono_literals;
using Clock = CsvRecorder::Clock;

// Roll in tenths of a degree, accZ in hundredths of g, as they travel.
TelemetrySample Sample(std::int16_t roll, std::int8_t rcMode, std::int16_t accZ)
{
    TelemetrySample s;
    s.live.counts[kChannelRoll] = roll;
    s.live.counts[kChannelTilt] = -45;
    s.live.counts[kChannelRcRoll] = -3;
    s.live.counts[kChannelRcMode] = rcMode;
    s.live.counts[kChannelAz] = accZ;
    return s;
}

TEST(TelemetrySampleTest, RowsJsonAndTextCarryTheSameFieldsInTheHeadersOrder)
{
    struct Case
    {
        const char* name;
        TelemetrySample sample;
        double t;
        const char* csv;
        const char* json;
        const char* text; // of `monitor` without --json or --csv
    };
    TelemetrySample known = Sample(300, 100, -200);
    known.motor = kMotorsOn;
    known.firmware = 23;
    TelemetrySample off = Sample(-1, -100, 100);
    off.motor = 3;
    const Case cases[] = {
        {"nothing reported yet", Sample(0, 0, 0), 0, "0.000,0.0,-4.5,0.0,-3,0,0,0,0,0.00,0.00,0.00,unknown,",
         "{\"t\":0.000,\"roll\":0.0,\"tilt\":-4.5,\"pan\":0.0,\"rc_roll\":-3,\"rc_tilt\":0,\"rc_pan\":0,"
         "\"rc_mode\":0,\"rc_shot\":0,\"ax\":0.00,\"ay\":0.00,\"az\":0.00,\"motor\":\"unknown\",\"firmware\":"
         "null}",
         "roll +0.0 tilt -4.5 pan +0.0 rc_roll -3 rc_tilt 0 rc_pan 0 rc_mode 0 rc_shot 0 "
         "ax +0.00 ay +0.00 az +0.00 motor unknown firmware -"},
        {"motors on, firmware known", known, 1.25, "1.250,30.0,-4.5,0.0,-3,0,0,100,0,0.00,0.00,-2.00,on,2.3",
         "{\"t\":1.250,\"roll\":30.0,\"tilt\":-4.5,\"pan\":0.0,\"rc_roll\":-3,\"rc_tilt\":0,\"rc_pan\":0,"
         "\"rc_mode\":100,\"rc_shot\":0,\"ax\":0.00,\"ay\":0.00,\"az\":-2.00,\"motor\":\"on\",\"firmware\":2."
         "3}",
         "roll +30.0 tilt -4.5 pan +0.0 rc_roll -3 rc_tilt 0 rc_pan 0 rc_mode 100 rc_shot 0 "
         "ax +0.00 ay +0.00 az -2.00 motor on firmware 2.3"},
        {"motors off", off, 61.0005, "61.001,-0.1,-4.5,0.0,-3,0,0,-100,0,0.00,0.00,1.00,off,",
         "{\"t\":61.001,\"roll\":-0.1,\"tilt\":-4.5,\"pan\":0.0,\"rc_roll\":-3,\"rc_tilt\":0,\"rc_pan\":0,"
         "\"rc_mode\":-100,\"rc_shot\":0,\"ax\":0.00,\"ay\":0.00,\"az\":1.00,\"motor\":\"off\",\"firmware\":"
         "null}",
         "roll -0.1 tilt -4.5 pan +0.0 rc_roll -3 rc_tilt 0 rc_pan 0 rc_mode -100 rc_shot 0 "
         "ax +0.00 ay +0.00 az +1.00 motor off firmware -"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TelemetryCsvRow(c.t, c.sample), c.csv);
        EXPECT_EQ(TelemetryJson(c.t, c.sample), c.json);
        EXPECT_EQ(TelemetryText(c.sample), c.text);
    }
    // Every JSON key, in order, is a header column.
    std::string keys;
    const std::string json = TelemetryJson(0, known);
    const std::regex key("\"([a-z_]+)\":");
    for (auto m = std::sregex_iterator(json.begin(), json.end(), key); m != std::sregex_iterator(); ++m)
        keys += (keys.empty() ? "" : ",") + (*m)[1].str();
    EXPECT_EQ(keys, TelemetryCsvHeader());
}

TEST(CsvRecorderTest, HeaderOnceThenRowsWithTFromTheFirstRow)
{
    std::ostringstream out;
    CsvRecorder recorder(out);
    const auto start = Clock::now();
    EXPECT_EQ(out.str(), ""); // no header before the first row
    ASSERT_TRUE(recorder.Append(Sample(10, 0, 100), start));
    ASSERT_TRUE(recorder.Append(Sample(20, 1, 100), start + 20ms));
    ASSERT_TRUE(recorder.Append(Sample(30, 2, 100), start + 1500ms));
    ASSERT_TRUE(recorder.Finish());
    EXPECT_EQ(out.str(), std::string(TelemetryCsvHeader()) + "\n" +
                             "0.000,1.0,-4.5,0.0,-3,0,0,0,0,0.00,0.00,1.00,unknown,\n"
                             "0.020,2.0,-4.5,0.0,-3,0,0,1,0,0.00,0.00,1.00,unknown,\n"
                             "1.500,3.0,-4.5,0.0,-3,0,0,2,0,0.00,0.00,1.00,unknown,\n");
    EXPECT_EQ(recorder.Rows(), 3);
    EXPECT_FALSE(recorder.Append(Sample(40, 0, 0), start + 2s)); // finished
}

TEST(CsvRecorderTest, RowsReachTheFileOnceTheOldestIsHalfASecondOld)
{
    test::TempDir dir;
    const std::string path = dir.File("run.csv");
    std::unique_ptr<CsvRecorder> recorder;
    const Result created = CsvRecorder::Create(path, recorder);
    ASSERT_TRUE(created) << created.message;
    const auto start = Clock::now();
    const auto lines = [&] {
        const std::string text = test::ReadWholeFile(path);
        return std::count(text.begin(), text.end(), '\n');
    };
    struct Step
    {
        const char* what;
        std::chrono::milliseconds at;
        bool append; // else only the flush check
        long linesOnDisk;
    };
    const Step steps[] = {
        {"first row stays buffered", 0ms, true, 0},
        {"rows within half a second stay buffered", 400ms, true, 0},
        {"a quiet check before the time changes nothing", 499ms, false, 0},
        {"the check at half a second writes them", 500ms, false, 3},
        {"a new row starts a new half second", 600ms, true, 3},
        {"the next row past it flushes both", 1100ms, true, 5},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.append)
            ASSERT_TRUE(recorder->Append(Sample(0, 0, 0), start + s.at));
        else
            ASSERT_TRUE(recorder->FlushIfDue(start + s.at));
        EXPECT_EQ(lines(), s.linesOnDisk);
    }
    ASSERT_TRUE(recorder->Append(Sample(0, 0, 0), start + 1200ms));
    recorder.reset(); // closing flushes the rest
    EXPECT_EQ(lines(), 6); // header and five rows
}

TEST(CsvRecorderTest, FilesThatCannotBeWrittenAreRefused)
{
    test::TempDir dir;
    std::unique_ptr<CsvRecorder> none;
    const Result folder = CsvRecorder::Create(dir.path().string(), none); // a folder
    EXPECT_FALSE(folder);
    EXPECT_FALSE(none);
    EXPECT_NE(folder.message.find("Cannot create"), std::string::npos) << folder.message;
    EXPECT_FALSE(CsvRecorder::Create(dir.File("no/such/folder.csv"), none));

    // A full device: the failure shows at the flush, and rows are refused after.
    std::string path = "/dev/full";
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        GTEST_SKIP() << "no /dev/full";
    std::unique_ptr<CsvRecorder> full;
    const Result created = CsvRecorder::Create(path, full);
    ASSERT_TRUE(created) << created.message;
    const auto start = Clock::now();
    full->Append(Sample(0, 0, 0), start);
    EXPECT_FALSE(full->FlushIfDue(start + 1s));
    EXPECT_TRUE(full->Failed());
    EXPECT_FALSE(full->Append(Sample(0, 0, 0), start + 2s));
}

} // namespace
} // namespace qav
