#pragma once
// The main controller's parameters, one row each (see ParamTable.h): the
// 24 keys of its configuration files in the order a save writes them, then
// the fields no file carries (pan gains, pan direction and RC sensitivity,
// servo types, control modes). Ranges are those the screen enforces on
// typed values; the set itself holds whatever the controller or a file
// gives it.
#include "protocol/ControllerProtocol.h"
#include "protocol/ParamTable.h"

#include <span>
#include <string_view>

namespace qav {

using ControllerParamRow = ParamRow<ControllerParams>;

// The translation context the list choices' captions are marked with.
inline constexpr char kControllerChoiceContext[] = "ControllerParamTable";

// Every field of ControllerParams, keyed rows first in save order.
std::span<const ControllerParamRow> ControllerParamTable();

// The row of `key` (file keys compare as written in the table), or null.
const ControllerParamRow* FindControllerParam(std::string_view key);
// The row of a field; every field has one.
const ControllerParamRow& ControllerParamOf(const ParamMember<ControllerParams>& member);

// How the row's field travels in the uploads (frame types 1 to 4, see
// ControllerPayloadLayout); servo centres, servo types and control modes
// never travel to the controller. `frame` is the upload's frame type.
WireForm ControllerWireForm(const ControllerParamRow& row);
// How the controller reports the row's field in its parameter echoes
// (frame types 0x81 to 0x84, which carry every field); `frame` is the
// echo's frame type.
WireForm ControllerEchoForm(const ControllerParamRow& row);

} // namespace qav
