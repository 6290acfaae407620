// The parameter reference against the tables it is made from: every key of
// both boards with its range in every form it is printed in, also a row
// added to a table, and what it derives from the layouts and file checks.
#include "files/ParamReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace qav {
namespace {

void ExpectEveryKeyWithItsRange(const std::vector<ParamFacts>& facts, const std::string& md)
{
    const std::string text = ReferenceText(facts), json = ReferenceJson(facts);
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), static_cast<long>(facts.size()));
    for (const ParamFacts& f : facts) {
        SCOPED_TRACE(std::string(f.key));
        const std::string row = "| `" + std::string(f.key) + "` | " + std::string(f.control) + " | " +
                                std::string(f.meaning) + " | " + std::string(f.unit) + " | " + RangeText(f) +
                                " | " + TravelText(f) + " | " + FileText(f) + " |\n";
        EXPECT_NE(md.find(row), std::string::npos);
        EXPECT_NE(text.find(std::string(f.key) + "\n  screen:  " + std::string(f.control)),
                  std::string::npos);
        EXPECT_NE(text.find("  range:   " + RangeText(f) + "\n"), std::string::npos);
        EXPECT_NE(json.find("\"key\":\"" + std::string(f.key) + "\",\"control\":\"" + std::string(f.control)),
                  std::string::npos);
        EXPECT_NE(
            json.find("\"min\":" + std::to_string(f.range.low) + ",\"max\":" + std::to_string(f.range.high)),
            std::string::npos);
    }
}

// The renderings walk the rows they are given: a row added to a table is
// shown with no other edit.
TEST(ParamReference, HoldsEveryKeyOfBothBoardsWithItsRangeAlsoOneAdded)
{
    static constexpr ParamChoice kSpeeds[] = {{3, "slow"}, {7, "fast"}};
    std::vector<ControllerParamRow> rows(ControllerParamTable().begin(), ControllerParamTable().end());
    std::vector<MotorParamRow> motorRows(MotorParamTable().begin(), MotorParamTable().end());
    for (const bool added : {false, true}) {
        if (added) {
            rows.push_back({"PAN_SPEED",
                            &ControllerParams::YAW_RC_ACC,
                            FileUse::ReadWrite,
                            {3, 7},
                            {3, 7},
                            kSpeeds,
                            {},
                            1,
                            {},
                            "Pan Speed",
                            "How fast the pan turns."});
            motorRows.push_back({"POL_MOTOR3",
                                 &MotorParams::POL_MOTOR1,
                                 FileUse::ReadWrite,
                                 {2, 60},
                                 {2, 60},
                                 {},
                                 {},
                                 1,
                                 {},
                                 "Third motor > Polar Num",
                                 "Poles of a third motor."});
        }
        const auto controller = ControllerReference(rows), motor = MotorReference(motorRows);
        EXPECT_EQ(controller.size(), rows.size());
        const std::string md = ReferenceMarkdown(controller, motor);
        ExpectEveryKeyWithItsRange(controller, md);
        ExpectEveryKeyWithItsRange(motor, md);
        EXPECT_LT(md.find("## Main controller"), md.find("`ROLL_TOTAL`"));
        EXPECT_LT(md.find("## Motor board"), md.find("`POL_MOTOR1`"));
        EXPECT_EQ(md.find("3 = slow, 7 = fast | ") != std::string::npos, added);
        EXPECT_EQ(md.find("[MOTOR_PARAMETERS] POL_MOTOR3, saved and loaded: 2 to 60") != std::string::npos,
                  added);
    }
}

// Bytes and carried values come from the payload layouts, file ranges from
// the checks `write` applies.
TEST(ParamReference, SaysHowEachKindOfParameterTravelsAndWhatAFileMayHold)
{
    const struct
    {
        const char *key, *range, *travels, *file;
    } rows[] = {
        {"PITCH_MAX", "-135 to 90; typed: 0 to 90; above PITCH_MIN",
         "32-bit signed field; sent in upload type 3 and reported in echo 0x83, byte 22, halved into one "
         "signed "
         "byte (-256 to 254), kept in steps of 2",
         "[PARAMETERS] PITCH_MAX, saved and loaded: -135 to 90, in steps of 2; write --allow-out-of-range: "
         "-256 "
         "to 254"},
        {"DIR_MOTOR1", "1 = normal, 255 = reversed",
         "8-bit unsigned field; never sent: kept by this tool only", "not in files"},
    };
    std::vector<ParamFacts> all = ControllerReference();
    const std::vector<ParamFacts> motor = MotorReference();
    all.insert(all.end(), motor.begin(), motor.end());
    for (const auto& row : rows) {
        const ParamFacts* f = FindFacts(all, row.key);
        ASSERT_NE(f, nullptr) << row.key;
        EXPECT_EQ(RangeText(*f), row.range);
        EXPECT_EQ(TravelText(*f), row.travels);
        EXPECT_EQ(FileText(*f), row.file);
    }
    EXPECT_EQ(
        ParamTip(*FindFacts(all, "ROLL_MAX")),
        "Largest roll angle the gimbal turns to; the controller keeps it in steps of 2 degrees.\nRange: -45 "
        "to 45 degrees; typed: 0 to 45; above ROLL_MIN. Key: ROLL_MAX.");
    EXPECT_EQ(ValueText(*FindFacts(all, "RECEIVER_TYPE"), 2), "2 (Futaba SBUS)");
    EXPECT_EQ(ValueText(*FindFacts(all, "RECEIVER_TYPE"), 0), "0"); // no item stands for it
    EXPECT_EQ(ValueText(*FindFacts(all, "INIT_PITCH"), -455), "-455 (-45.5 on screen)");
}

} // namespace
} // namespace qav
