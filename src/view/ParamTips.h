#pragma once
// Each control that edits a parameter tells what the parameter is: its
// sentence, range and key (files/ParamReference.h) as the control's tooltip
// and accessible description. Which control edits which field is read from
// the screens' own tables (EditTables.h, MotorDialogTable.h).
#include "files/ParamReference.h"

#include <QString>

#include <vector>

class QWidget;

namespace qav {

class FormHost;

struct ParamControl
{
    int id;
    ParamMember<ControllerParams> member;
};
// Every control of the main screen that edits a parameter: the boxes,
// sliders, check boxes and lists of the edit tables, hidden ones included.
std::vector<ParamControl> MainScreenParamControls();

QString ParamTipText(const ParamFacts& facts);

// Gives every control of MainScreenParamControls its parameter's tip.
void SetMainScreenParamTips(FormHost& host);

// Sets `widget`'s tooltip and accessible description.
void SetTip(QWidget* widget, const QString& tip);

} // namespace qav
