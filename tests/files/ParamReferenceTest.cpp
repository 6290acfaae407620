// The parameter reference against the tables it is made from: every key of
// both boards with its range in every form it is printed in, a row added to
// a table shown with no other edit, and the facts it derives from the
// payload layouts and the file checks.
#include "files/ParamReference.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace qav {
namespace {

using P = ControllerParams;

// The markdown row of `key`, or empty.
std::string MarkdownRow(const std::string& md, std::string_view key)
{
    const std::string start = "| `" + std::string(key) + "` |";
    std::istringstream lines(md);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(start))
            return line;
    return {};
}

void ExpectEveryKeyWithItsRange(const std::vector<ParamFacts>& facts, const std::string& md)
{
    const std::string text = ReferenceText(facts), json = ReferenceJson(facts);
    std::size_t jsonLines = 0;
    for (char c : json)
        jsonLines += c == '\n';
    EXPECT_EQ(jsonLines, facts.size());
    for (const ParamFacts& f : facts) {
        SCOPED_TRACE(std::string(f.key));
        const std::string row = MarkdownRow(md, f.key);
        ASSERT_FALSE(row.empty());
        for (const std::string& part : {std::string(f.control), std::string(f.meaning), RangeText(f),
                                        TravelText(f), FileText(f)})
            EXPECT_NE(row.find(part), std::string::npos) << part;
        EXPECT_NE(text.find(std::string(f.key) + "\n  screen:  " + std::string(f.control)), std::string::npos);
        EXPECT_NE(text.find("  range:   " + RangeText(f) + "\n"), std::string::npos);
        EXPECT_NE(json.find("\"key\":\"" + std::string(f.key) + "\""), std::string::npos);
        EXPECT_NE(json.find("\"min\":" + std::to_string(f.range.low) + ",\"max\":" + std::to_string(f.range.high)),
                  std::string::npos);
    }
}

TEST(ParamReference, HoldsEveryKeyOfBothBoardsWithItsRange)
{
    const auto controller = ControllerReference(), motor = MotorReference();
    EXPECT_EQ(controller.size(), ControllerParamTable().size());
    EXPECT_EQ(motor.size(), MotorParamTable().size());
    const std::string md = ReferenceMarkdown(controller, motor);
    ExpectEveryKeyWithItsRange(controller, md);
    ExpectEveryKeyWithItsRange(motor, md);
    // Each board under its own heading, the controller's first.
    EXPECT_LT(md.find("## Main controller"), md.find("`ROLL_TOTAL`"));
    EXPECT_LT(md.find("`ROLL_TOTAL`"), md.find("## Motor board"));
    EXPECT_LT(md.find("## Motor board"), md.find("`POL_MOTOR1`"));
}

// A row added to a table is printed by every form of the reference without
// any other edit: they walk the rows they are given.
TEST(ParamReference, ARowAddedToATableIsShownWithNoOtherEdit)
{
    static constexpr ParamChoice kSpeeds[] = {{3, "slow"}, {7, "fast"}};
    std::vector<ControllerParamRow> rows(ControllerParamTable().begin(), ControllerParamTable().end());
    rows.push_back({"PAN_SPEED", &P::YAW_RC_ACC, FileUse::ReadWrite, {3, 7}, {3, 7}, kSpeeds, {}, 1, {},
                    "Pan Speed", "How fast the pan turns."});
    std::vector<MotorParamRow> motorRows(MotorParamTable().begin(), MotorParamTable().end());
    motorRows.push_back({"POL_MOTOR3", &MotorParams::POL_MOTOR1, FileUse::ReadWrite, {2, 60}, {2, 60}, {}, {}, 1,
                         {}, "Third motor > Polar Num", "Poles of a third motor."});
    const auto controller = ControllerReference(rows), motor = MotorReference(motorRows);
    const std::string md = ReferenceMarkdown(controller, motor);
    ExpectEveryKeyWithItsRange(controller, md);
    ExpectEveryKeyWithItsRange(motor, md);
    EXPECT_NE(MarkdownRow(md, "PAN_SPEED").find("3 = slow, 7 = fast"), std::string::npos);
    EXPECT_NE(MarkdownRow(md, "POL_MOTOR3").find("[MOTOR_PARAMETERS] POL_MOTOR3, saved and loaded: 2 to 60"),
              std::string::npos);
    EXPECT_NE(ParamTip(controller.back()).find("Key: PAN_SPEED."), std::string::npos);
}

// What the reference derives: bytes and carried values from the payload
// layouts, file ranges from the checks `write` applies.
TEST(ParamReference, DescribesHowEachKindOfParameterTravelsAndWhatAFileMayHold)
{
    const struct
    {
        bool motor;
        const char* key;
        const char* range;
        const char* travels;
        const char* file;
    } rows[] = {
        {false, "ROLL_TOTAL", "0 to 500",
         "16-bit unsigned field; sent in upload type 1 and reported in echo 0x81, bytes 14-15, 16 bits, high byte "
         "first (0 to 65535)",
         "[PARAMETERS] ROLL_TOTAL, saved and loaded: 0 to 500; write --allow-out-of-range: 0 to 65535"},
        {false, "PITCH_MAX", "-135 to 90; typed: 0 to 90; above PITCH_MIN",
         "32-bit signed field; sent in upload type 3 and reported in echo 0x83, byte 22, halved into one signed "
         "byte (-256 to 254), kept in steps of 2",
         "[PARAMETERS] PITCH_MAX, saved and loaded: -135 to 90, in steps of 2; write --allow-out-of-range: -256 "
         "to 254"},
        {false, "INIT_ROLL", "-450 to 450, shown as -45 to 45",
         "32-bit signed field; sent in upload type 4 and reported in echo 0x84, bytes 24-25, 16 bits, high byte "
         "first (-32768 to 32767)",
         "[PARAMETERS] INIT_ROLL, saved and loaded: -450 to 450; write --allow-out-of-range: -32768 to 32767"},
        {false, "INSTALL_MODE", "2 = Velsor Gopro Brushless Motor Gimbal, 1 = Face Up, 3 = Face Down",
         "8-bit unsigned field; sent in upload type 3 and reported in echo 0x83, byte 19, one byte (0 to 255)",
         "[PARAMETERS] INSTALL_MODE, saved and loaded: 1, 2 or 3; write --allow-out-of-range: 0 to 255"},
        {false, "PITCH_SERVO_CENTER", "-500 to 500",
         "16-bit signed field; never sent; reported in echo 0x82, bytes 19-20, 16 bits, high byte first (-32768 to "
         "32767)",
         "[PARAMETERS] PITCH_SERVO_CENTER, saved and loaded: -500 to 500; write --allow-out-of-range: -32768 to "
         "32767"},
        {false, "YAW_SERVO_CENTER", "-500 to 500",
         "16-bit signed field; never sent; reported in echo 0x82, bytes 21-22, 16 bits, high byte first (-32768 to "
         "32767)",
         "[PARAMETERS] YAW_SERVO_CENTER, saved, never loaded"},
        {false, "YAW_CTRL_MODE", "1 = 角度锁定模式, 2 = 跟随(FPV)模式",
         "8-bit unsigned field; never sent; reported in echo 0x83, byte 16, one byte (0 to 255)", "not in files"},
        {true, "POW_MOTOR2", "0 to 100",
         "8-bit unsigned field; sent in write requests (command 1) and reported in parameter reports (type 17), "
         "byte 9, one byte (0 to 255)",
         "[MOTOR_PARAMETERS] POW_MOTOR2, saved and loaded: 0 to 100; write --allow-out-of-range: 0 to 255"},
        {true, "DIR_MOTOR1", "1 = normal, 255 = reversed", "8-bit unsigned field; never sent: kept by this tool only",
         "not in files"},
    };
    const auto controller = ControllerReference(), motor = MotorReference();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        const ParamFacts* f = FindFacts(row.motor ? motor : controller, row.key);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(RangeText(*f), row.range);
        EXPECT_EQ(TravelText(*f), row.travels);
        EXPECT_EQ(FileText(*f), row.file);
    }
    EXPECT_EQ(FindFacts(controller, "POL_MOTOR1"), nullptr);
}

TEST(ParamReference, TipsAndReviewedValuesSpeakInTheScreensTerms)
{
    const auto controller = ControllerReference();
    const ParamFacts& limit = *FindFacts(controller, "ROLL_MAX");
    EXPECT_EQ(ParamTip(limit), "Largest roll angle the gimbal turns to; the controller keeps it in steps of 2 "
                               "degrees.\nRange: -45 to 45 degrees; typed: 0 to 45; above ROLL_MIN. Key: ROLL_MAX.");
    const struct
    {
        const char* key;
        std::int64_t value;
        const char* shown;
    } values[] = {
        {"RECEIVER_TYPE", 2, "2 (Futaba SBUS)"},
        {"RECEIVER_TYPE", 0, "0"}, // no item stands for it
        {"ROLL_SERVO_REV", -1, "-1 (reversed (Motor Reverse checked))"},
        {"INIT_PITCH", -455, "-455 (-45.5 on screen)"},
        {"ROLL_TOTAL", 70000, "70000"},
    };
    for (const auto& v : values)
        EXPECT_EQ(ValueText(*FindFacts(controller, v.key), v.value), v.shown) << v.key;
    const struct
    {
        ValueRange field;
        const char* text;
    } fields[] = {{{0, 255}, "8-bit unsigned"},
                  {{-128, 127}, "8-bit signed"},
                  {{0, 65535}, "16-bit unsigned"},
                  {{-2147483648LL, 2147483647}, "32-bit signed"}};
    for (const auto& f : fields)
        EXPECT_EQ(FieldTypeText(f.field), f.text);
}

} // namespace
} // namespace qav
