#include "view/MotorDialogTable.h"

#include <QtGlobal>

namespace qav {
namespace {

using T = ControlType;

// Every caption is marked for translation under kMotorDialogContext; the
// form host translates it when it makes the control.

// Labels have no id of their own in the template; these only have to be
// unique within the dialog.
constexpr int kComLabel = 1380;
constexpr int kPolLabel1 = 1381, kPowLabel1 = 1382, kPolLabel2 = 1383, kPowLabel2 = 1384;
constexpr int kVoltageLabel = 1385, kVoltageUnit = 1386, kCurrentLabel = 1387, kCurrentUnit = 1388;
constexpr int kSpareLabel1 = 1389, kSpareLabel2 = 1390;

void AddMotorGroup(std::vector<ControlRow>& rows, int group, const char* caption, int left, int pol, int pow,
                   int polLabel, int powLabel)
{
    rows.push_back({group, T::Group, caption, {left, 10, 265, 100}});
    rows.push_back({polLabel,
                    T::Label,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Polar Num"),
                    {left + 14, 38, 100, 24},
                    false,
                    group});
    rows.push_back({pol, T::Edit, "", {left + 120, 38, 80, 24}, false, group, polLabel});
    rows.push_back({powLabel,
                    T::Label,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Power"),
                    {left + 14, 70, 100, 24},
                    false,
                    group});
    rows.push_back({pow, T::Edit, "", {left + 120, 70, 80, 24}, false, group, powLabel});
}

std::vector<ControlRow> BuildTable()
{
    using namespace mdc;
    std::vector<ControlRow> rows;
    AddMotorGroup(rows, RollingGroup, QT_TRANSLATE_NOOP("MotorDialogTable", "Rolling motor"), 10, PolMotor1,
                  PowMotor1, kPolLabel1, kPowLabel1);
    AddMotorGroup(rows, TiltingGroup, QT_TRANSLATE_NOOP("MotorDialogTable", "Tilting motor"), 285, PolMotor2,
                  PowMotor2, kPolLabel2, kPowLabel2);

    rows.push_back({MonitorGroup,
                    T::Group,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Signal Monitor"),
                    {10, 120, 265, 100}});
    rows.push_back({kVoltageLabel,
                    T::Label,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Voltage"),
                    {24, 148, 80, 24},
                    false,
                    MonitorGroup});
    rows.push_back({Voltage, T::ReadOnlyEdit, "", {110, 148, 110, 24}, false, MonitorGroup, kVoltageLabel});
    rows.push_back({kVoltageUnit,
                    T::Label,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "V"),
                    {226, 148, 30, 24},
                    false,
                    MonitorGroup});
    rows.push_back({kCurrentLabel,
                    T::Label,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Current"),
                    {24, 180, 80, 24},
                    false,
                    MonitorGroup});
    rows.push_back({Current, T::ReadOnlyEdit, "", {110, 180, 110, 24}, false, MonitorGroup, kCurrentLabel});
    rows.push_back({kCurrentUnit,
                    T::Label,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "A"),
                    {226, 180, 30, 24},
                    false,
                    MonitorGroup});

    rows.push_back({kComLabel, T::Label, QT_TRANSLATE_NOOP("MotorDialogTable", "COM"), {285, 122, 44, 26}});
    rows.push_back({ComList, T::Combo, "", {331, 122, 219, 26}, false, 0, kComLabel});
    rows.push_back({OpenComPort,
                    T::Button,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Open COM Port"),
                    {285, 154, 265, 26}});
    rows.push_back(
        {LoadConfig, T::Button, QT_TRANSLATE_NOOP("MotorDialogTable", "Load Config"), {285, 186, 130, 26}});
    rows.push_back(
        {SaveConfig, T::Button, QT_TRANSLATE_NOOP("MotorDialogTable", "Save Config"), {420, 186, 130, 26}});
    rows.push_back({WriteSettingsToFlash,
                    T::Button,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Write Settings To Flash"),
                    {285, 224, 265, 28}});

    rows.push_back(
        {UpgradeGroup, T::Group, QT_TRANSLATE_NOOP("MotorDialogTable", "Upgrade"), {10, 262, 540, 88}});
    rows.push_back({OpenFirmware,
                    T::Button,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Open Firmware"),
                    {24, 288, 164, 26},
                    false,
                    UpgradeGroup});
    rows.push_back({StartUpgrade,
                    T::Button,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Start Upgrade"),
                    {198, 288, 164, 26},
                    false,
                    UpgradeGroup});
    rows.push_back({CancelUpgrade,
                    T::Button,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Cancel Upgrade"),
                    {372, 288, 164, 26},
                    false,
                    UpgradeGroup});
    rows.push_back({Progress,
                    T::ProgressBar,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Upgrade progress"),
                    {24, 322, 512, 18},
                    false,
                    UpgradeGroup});

    rows.push_back(
        {Status, T::ReadOnlyEdit, QT_TRANSLATE_NOOP("MotorDialogTable", "Status"), {10, 360, 540, 26}});
    rows.push_back({FirmwareVersion,
                    T::ReadOnlyEdit,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Firmware version"),
                    {10, 394, 540, 26}});

    // Kept by the template, never shown.
    const QRect nowhere(0, 0, 60, 24);
    rows.push_back({Ok, T::Button, QT_TRANSLATE_NOOP("MotorDialogTable", "OK"), nowhere, true});
    rows.push_back({Cancel, T::Button, QT_TRANSLATE_NOOP("MotorDialogTable", "Cancel"), nowhere, true});
    rows.push_back({kSpareLabel1, T::Label, QT_TRANSLATE_NOOP("MotorDialogTable", "Spare 1"), nowhere, true});
    rows.push_back({SpareBox1, T::Edit, "", nowhere, true, 0, kSpareLabel1});
    rows.push_back({kSpareLabel2, T::Label, QT_TRANSLATE_NOOP("MotorDialogTable", "Spare 2"), nowhere, true});
    rows.push_back({SpareBox2, T::Edit, "", nowhere, true, 0, kSpareLabel2});
    rows.push_back({SpareButton, T::Button, QT_TRANSLATE_NOOP("MotorDialogTable", "Spare"), nowhere, true});
    rows.push_back({Motor1Reverse, T::CheckBox,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Rolling motor reverse"), nowhere, true});
    rows.push_back({Motor2Reverse, T::CheckBox,
                    QT_TRANSLATE_NOOP("MotorDialogTable", "Tilting motor reverse"), nowhere, true});
    return rows;
}

} // namespace

const std::vector<ControlRow>& MotorDialogControls()
{
    static const std::vector<ControlRow> rows = BuildTable();
    return rows;
}

} // namespace qav
