// The boards' parameter tables against the payload layouts they link to:
// every field has one row, each row's ranges fit what its frame carries,
// and the value the board keeps after a trip through the real encoder is
// the one the table predicts.
#include "motor/MotorParamTable.h"
#include "protocol/ControllerParamTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace qav {
namespace {

using P = ControllerParams;

// The echoes carry every field of the set, so walking them walks the record.
TEST(ParamTable, EveryControllerFieldHasOneRowAndEveryKeyOneField)
{
    std::size_t fields = 0;
    for (std::uint8_t type = kTypeReadGains; type <= kTypeReadPan; ++type)
        for (const WireField<P>& f : ControllerPayloadLayout(type)) {
            if (f.wire == Wire::Fixed)
                continue;
            ++fields;
            const auto rows = std::count_if(ControllerParamTable().begin(), ControllerParamTable().end(),
                                            [&](const ControllerParamRow& r) { return r.member == f.member; });
            EXPECT_EQ(rows, 1) << "type " << int(type) << " byte " << f.at;
        }
    EXPECT_EQ(ControllerParamTable().size(), fields);
    std::set<std::string_view> keys;
    for (const ControllerParamRow& r : ControllerParamTable())
        EXPECT_TRUE(keys.insert(r.key).second) << r.key;
    // The files carry 24 keys, the first 24 rows, in the order a save writes.
    const auto keyed = std::count_if(ControllerParamTable().begin(), ControllerParamTable().end(),
                                     [](const ControllerParamRow& r) { return r.file != FileUse::None; });
    EXPECT_EQ(keyed, 24);
    for (std::size_t i = 0; i < ControllerParamTable().size(); ++i)
        EXPECT_EQ(ControllerParamTable()[i].file != FileUse::None, i < 24u) << ControllerParamTable()[i].key;
}

// A table row that allowed what its frame cannot carry, a list value
// outside its range or a typing range wider than the range would be a
// mistake of the table; so would a pair naming a key that is not there.
template <class Row, class WireOf> void CheckRowsFit(std::span<const Row> rows, WireOf wireOf)
{
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.key));
        const WireForm form = wireOf(row);
        EXPECT_TRUE(form.carried.Contains(row.range.low) && form.carried.Contains(row.range.high));
        EXPECT_TRUE(row.range.Contains(row.typing.low) && row.range.Contains(row.typing.high));
        for (const ParamChoice& c : row.choices)
            EXPECT_TRUE(row.range.Contains(c.value) && !c.caption.empty()) << c.value;
        EXPECT_GE(row.scale, 1);
        EXPECT_FALSE(row.control.empty());
        EXPECT_TRUE(row.meaning.ends_with(".")) << row.meaning;
        if (!row.above.empty()) {
            const auto partner = std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.key == row.above; });
            ASSERT_NE(partner, rows.end());
            EXPECT_EQ(partner->range, row.range);
        }
    }
}

TEST(ParamTable, RangesFitWhatTheFramesCarry)
{
    CheckRowsFit(ControllerParamTable(), ControllerWireForm);
    CheckRowsFit(MotorParamTable(), MotorWireForm);
}

TEST(ParamTable, WireFormsComeFromTheLayouts)
{
    const struct
    {
        const char* key;
        bool travels;
        Wire wire;
        ValueRange carried;
        std::int64_t step;
    } rows[] = {
        {"ROLL_TOTAL", true, Wire::BE16, {0, 65535}, 1},
        {"YAW_INT", true, Wire::BE16, {0, 65535}, 1},
        {"ROLL_MAX", true, Wire::HalfDegrees, {-256, 254}, 2},
        {"PITCH_MIN", true, Wire::HalfDegrees, {-256, 254}, 2},
        {"ROLL_SERVO_REV", true, Wire::Byte, {-128, 127}, 1},
        {"INSTALL_MODE", true, Wire::Byte, {0, 255}, 1},
        {"INIT_PITCH", true, Wire::BE16, {-32768, 32767}, 1}, // low 16 bits of a 32-bit field
        {"ROLL_SERVO_CENTER", false, Wire::Fixed, {-32768, 32767}, 1},
        {"ROLL_SERVO_TYPE", false, Wire::Fixed, {0, 255}, 1}, // a fixed 7 goes in its place
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        const ControllerParamRow* param = FindControllerParam(row.key);
        ASSERT_NE(param, nullptr);
        const WireForm form = ControllerWireForm(*param);
        EXPECT_EQ(form.travels, row.travels);
        EXPECT_EQ(form.wire, row.wire);
        EXPECT_EQ(form.carried, row.carried);
        EXPECT_EQ(form.step, row.step);
    }
    const WireForm pole = MotorWireForm(*FindMotorParam("POL_MOTOR1"));
    EXPECT_TRUE(pole.travels);
    EXPECT_EQ(pole.carried, (ValueRange{0, 255}));
    EXPECT_FALSE(MotorWireForm(*FindMotorParam("DIR_MOTOR1")).travels);
    EXPECT_EQ(FindControllerParam("NO_SUCH_KEY"), nullptr);
}

// What the controller keeps of a limit is what the upload's encoder and the
// echo's decoder make of it.
TEST(ParamTable, HeldValuesAreWhatTheFramesBringBack)
{
    const WireForm form = ControllerWireForm(ControllerParamOf(&P::ROLL_MAX));
    for (const std::int32_t sent : {45, 44, -45, -44, 1, -1, 0, 90, -135, 254, -256}) {
        P p;
        p.ROLL_MAX = sent;
        Frame f{};
        EncodeUploadPayload(kTypeLimits, p, f);
        P back;
        ApplyUploadPayload(f, back);
        EXPECT_EQ(back.ROLL_MAX, HeldValue(sent, form.step)) << sent;
    }
}

} // namespace
} // namespace qav
