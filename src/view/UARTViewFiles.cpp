// Controller configuration files on the main screen: ".bgsc" through the
// "Load Config" and "Save Config" buttons, ".ini" through Ctrl+O and Ctrl+S.
// A load shows what it read and sends it to the controller; a save writes
// the parameter set as it is.
#include "files/ControllerConfigFile.h"
#include "ui/Prompts.h"
#include "view/EditTables.h"
#include "view/UARTView.h"

#include <QFile>

#include <cerrno>

namespace qav {
namespace {

using namespace edit;

struct FileKindRow
{
    const char* filter;        // Qt's form
    const char* defaultSuffix; // added by the save chooser to a bare name
    bool confirmOverwrite;
};
// By ConfigFileKind.
constexpr FileKindRow kFileKinds[] = {
    {"Config File (*.bgsc)", "bgsc", true},
    // ".ini" is appended by the save command itself, and to the name as
    // chosen, so the chooser neither adds a suffix nor asks about a file it
    // may not write.
    {"Config File (*.ini)", "", false},
};

const FileKindRow& RowOf(ConfigFileKind kind)
{
    return kFileKinds[static_cast<int>(kind)];
}

// Names of four characters or less are refused, as the Windows tool did.
constexpr qsizetype kShortestRefusedName = 4;

const QString kOpenTitle = QStringLiteral("Select config file");
const QString kSaveTitle = QStringLiteral("Save config file");
const QString kIniSuffix = QStringLiteral(".ini");

// The hidden servo lists of each axis: a speed servo (type above 3) has no
// control mode to choose.
struct ServoListRow
{
    std::uint8_t P::*servoType;
    std::uint8_t P::*controlMode;
    int typeList, modeList;
};
constexpr ServoListRow kServoLists[] = {
    {&P::ROLL_SERVO_TYPE, &P::ROLL_CTRL_MODE, idc::RollServoType, idc::RollControlMode},
    {&P::PITCH_SERVO_TYPE, &P::PITCH_CTRL_MODE, idc::TiltServoType, idc::TiltControlMode},
    {&P::YAW_SERVO_TYPE, &P::YAW_CTRL_MODE, idc::PanServoType, idc::PanControlMode},
};
constexpr std::uint8_t kLastPositionServo = 3;

std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(IniReadErrorText(error).c_str());
}

} // namespace

void CUARTView::ReportShortFileName(ConfigFileKind kind)
{
    if (kind == ConfigFileKind::Bgsc)
        ShowStatusMessage(QStringLiteral("$INKblue$File name too short, please re-select!"));
    else
        prompts_.Message(window(), AppTitle(), QStringLiteral("File name too short, please re-select!"),
                         MessageButtons::Ok);
}

void CUARTView::LoadCommand(ConfigFileKind kind)
{
    const QString path = prompts_.OpenFileName(window(), kOpenTitle, QString::fromUtf8(RowOf(kind).filter));
    if (path.isEmpty())
        return;
    if (path.size() <= kShortestRefusedName) {
        ReportShortFileName(kind);
        return;
    }
    LoadConfigFile(path);
}

void CUARTView::SaveCommand(ConfigFileKind kind)
{
    const FileKindRow& row = RowOf(kind);
    QString path = prompts_.SaveFileName(window(), kSaveTitle, QString::fromUtf8(row.filter),
                                         QString::fromUtf8(row.defaultSuffix), row.confirmOverwrite);
    if (path.isEmpty())
        return;
    if (path.size() <= kShortestRefusedName) {
        ReportShortFileName(kind);
        return;
    }
    // Case matters: "gains.INI" becomes "gains.INI.ini".
    if (kind == ConfigFileKind::Ini && !path.endsWith(kIniSuffix, Qt::CaseSensitive))
        path += kIniSuffix;
    SaveConfigFile(path);
}

void CUARTView::LoadConfigFile(const QString& path)
{
    // Read into a copy first: a file that is there but cannot be read must
    // not put zeros into the set and send them to the controller.
    ControllerParams read = params_;
    bool hasSection = false;
    if (!LoadControllerConfig(LocalPath(path), read, &hasSection)) {
        const int error = errno;
        prompts_.Message(window(), AppTitle(),
                         QStringLiteral("Could not read %1: %2").arg(path, ErrorText(error)),
                         MessageButtons::Ok);
        return;
    }
    // A file of another kind, or no configuration at all, would send zeros.
    if (!hasSection) {
        prompts_.Message(
            window(), AppTitle(),
            QStringLiteral("Could not read %1: it has no [%2] section")
                .arg(path, QString::fromUtf8(kControllerConfigSection.data(),
                                             static_cast<qsizetype>(kControllerConfigSection.size()))),
            MessageButtons::Ok);
        return;
    }
    QString report;
    if (!BackupBeforeLoad(read, report))
        return;
    params_ = read;
    const ControllerParams& p = params_;

    for (const GainRow& g : kGains)
        values_.Int(g.box) = p.*g.param;
    SyncSliders();
    for (const auto& c : kServoCenters)
        values_.Int(c.box) = p.*c.param;
    for (const DirectionRow& d : kDirections)
        SetChecked(d.checkBox, p.*d.param == kReversed);

    for (const ServoListRow& s : kServoLists) {
        const bool speedServo = p.*s.servoType > kLastPositionServo;
        if (speedServo)
            SetSelection(s.modeList, 0);
        Enable(s.modeList, !speedServo);
    }
    for (const ServoListRow& s : kServoLists)
        SetSelection(s.typeList, p.*s.servoType - 1);

    ShowModeList(idc::DefaultMode);

    for (const LimitRow& l : kLimits)
        values_.Int(l.box) = p.*l.param;
    for (const InitAngleRow& a : kInitAngles)
        values_.Float(a.box) = static_cast<float>(p.*a.param * 0.1);
    for (const auto& rc : kRcSensitivities)
        values_.Int(rc.box) = p.*rc.param;

    for (const ServoListRow& s : kServoLists) {
        const std::uint8_t mode = p.*s.controlMode;
        if (mode == 1 || mode == 2)
            SetSelection(s.modeList, mode - 1);
    }
    ShowModeList(idc::SensorModuleMount);
    SetSelection(idc::ReceiverType, p.RECEIVER_TYPE - 1); // 0 or past the end: no selection

    ShowAllValues();
    Link().SelectFrameType(kTypeGains);
    ShowStatusMessage(QStringLiteral("$INKblue$Config file uploaded successfully!") + report);
}

void CUARTView::ShowModeList(int list)
{
    // A value no item stands for leaves the list as it was.
    const ModeListRow& m = *FindRow(kModeLists, list, &ModeListRow::list);
    for (int i = 0; i < m.count; ++i)
        if (m.values[static_cast<std::size_t>(i)] == params_.*m.param)
            SetSelection(m.list, i);
}

bool CUARTView::SaveConfigFile(const QString& path)
{
    const IniWriteResult result = SaveControllerConfig(LocalPath(path), params_);
    if (result.ok)
        return true;
    // Status messages are dropped while no controller is connected, and a
    // save fails mostly then: say it in a box.
    prompts_.Message(window(), AppTitle(),
                     QStringLiteral("Could not write %1: %2").arg(path, ErrorText(result.error)),
                     MessageButtons::Ok);
    return false;
}

} // namespace qav
