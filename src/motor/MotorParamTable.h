#pragma once
// The motor board's parameters, one row each (see protocol/ParamTable.h):
// the four keys of its configuration files in file order, then the two
// directions, which the dialog keeps in hidden check boxes and no file or
// frame carries.
#include "motor/MotorProtocol.h"
#include "protocol/ParamTable.h"

#include <span>
#include <string_view>

namespace qav {

using MotorParamRow = ParamRow<MotorParams>;

std::span<const MotorParamRow> MotorParamTable();
const MotorParamRow* FindMotorParam(std::string_view key);
const MotorParamRow& MotorParamOf(const ParamMember<MotorParams>& member);

// How the row's field travels in a write request (MotorParamsLayout;
// `frame` is the request's command). The board's parameter report carries
// it in the same bytes.
WireForm MotorWireForm(const MotorParamRow& row);

} // namespace qav
