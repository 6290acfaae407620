#pragma once
// The reference of every parameter of both boards, read from their tables
// (through their board rows, boards/Boards.h), the payload
// layouts and the file checks: what the screen calls it, what it means, its
// unit and range, how it travels and what a file may hold. The same facts
// make docs/parameters.md, `qav-nuva-cli params` and the screens' tooltips,
// so none of them can tell a different story.
#include "boards/Boards.h"
#include "files/ConfigFileCheck.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

struct ParamFacts
{
    std::string_view board; // "controller" or "motor"
    std::string_view key, control, meaning, unit;
    ValueRange range, typing;             // what the screen lets it be, and typing
    std::span<const ParamChoice> choices; // its only values, in list order, when not empty
    std::string_view above;               // the key it must lie above
    int scale = 1;                        // field units per unit on screen
    ValueRange field;                     // what its field holds
    WireForm sent;                        // to the board; travels false: never sent
    WireForm reported;                    // from the board; travels false: never reported
    std::string sentIn, reportedIn;       // the frames: "upload type 1", "echo 0x81"
    FileUse file = FileUse::None;
    std::string_view section; // of the board's configuration files
    ConfigKeyRange checks;    // what `write` checks of a file's value
};

// The facts of one row, or of every row of a table (in table order). A
// table given here is read as the board's own, so a row added to it shows
// everywhere these are shown.
ParamFacts ControllerFacts(const ControllerParamRow& row);
ParamFacts MotorFacts(const MotorParamRow& row);
inline ParamFacts FactsOfRow(const ControllerParamRow& row)
{
    return ControllerFacts(row);
}
inline ParamFacts FactsOfRow(const MotorParamRow& row)
{
    return MotorFacts(row);
}
template <class S>
std::vector<ParamFacts> ReferenceOf(std::span<const ParamRow<S>> rows = BoardRecord<S>::Table())
{
    std::vector<ParamFacts> out;
    for (const ParamRow<S>& row : rows)
        out.push_back(FactsOfRow(row));
    return out;
}
inline std::vector<ParamFacts>
ControllerReference(std::span<const ControllerParamRow> rows = ControllerParamTable())
{
    return ReferenceOf(rows);
}
inline std::vector<ParamFacts> MotorReference(std::span<const MotorParamRow> rows = MotorParamTable())
{
    return ReferenceOf(rows);
}

// "16-bit unsigned".
std::string FieldTypeText(ValueRange field);
// What the screen lets it be: "0 to 500", "-1350 to 900, shown as -135 to
// 90", "2 = Velsor Gopro Brushless Motor Gimbal, 1 = Face Up, 3 = Face
// Down", then "; typed: 0 to 45" and "; above ROLL_MIN" where they apply;
// `withUnit` puts the unit after the numbers ("-45 to 45 degrees").
std::string RangeText(const ParamFacts& f, bool withUnit = false);
// Its field, then where it travels: "16-bit unsigned field; sent in upload
// type 1, bytes 14-15, 16 bits high byte first (0 to 65535); reported in
// echo 0x81, bytes 14-15".
std::string TravelText(const ParamFacts& f);
// What a configuration file may hold: "[PARAMETERS] ROLL_TOTAL, saved and
// loaded: 0 to 500; write --allow-out-of-range: 0 to 65535", "saved, never
// loaded", "not in files".
std::string FileText(const ParamFacts& f);
// The sentence, the range and the key, for a control's tooltip:
// "<meaning>\nRange: <range>. Key: <key>."
std::string ParamTip(const ParamFacts& f);
// A value as the review of a load shows it: "2 (Futaba SBUS)", "450 (45 on
// screen)", or the number alone.
std::string ValueText(const ParamFacts& f, std::int64_t value);
// The facts whose key is `key`, or null.
const ParamFacts* FindFacts(std::span<const ParamFacts> facts, std::string_view key);

// docs/parameters.md: both boards, one table each.
std::string ReferenceMarkdown(std::span<const ParamFacts> controller, std::span<const ParamFacts> motor);
// `params`: one block of lines per key.
std::string ReferenceText(std::span<const ParamFacts> facts);
// `params --json`: one JSON object a line.
std::string ReferenceJson(std::span<const ParamFacts> facts);

} // namespace qav
