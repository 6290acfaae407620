// Motor configuration files in the dialog: "Load Config" puts a file's four
// parameters into the boxes and sends them to the board; "Save Config"
// writes the parameter set as it is.
#include "files/Backups.h"
#include "files/ConfigDiff.h"
#include "motor/MotorConfigFile.h"
#include "platform/PortMap.h"
#include "view/MotorConfigDlg.h"
#include "view/MotorDialogTable.h"
#include "ui/Prompts.h"

#include <QFile>

#include <cerrno>
#include <cstring>

namespace qav {
namespace {

const QString kFilter = QStringLiteral("Config File (*.bmc)");
const QString kSuffix = QStringLiteral("bmc");
// Names of four characters or less are refused, as the Windows tool did.
constexpr qsizetype kShortestRefusedName = 4;

std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString Reason(const Result& result)
{
    return QString::fromLocal8Bit(result.message.c_str());
}

} // namespace

void CMotorConfigDlg::LoadMotorConfig()
{
    const QString path = prompts_.OpenFileName(this, QStringLiteral("Load config file"), kFilter);
    if (path.isEmpty())
        return;
    if (path.size() <= kShortestRefusedName) {
        prompts_.Message(this, AppTitle(), QStringLiteral("File name too short!"), MessageButtons::Ok);
        return;
    }
    LoadMotorConfigFile(path);
}

void CMotorConfigDlg::SaveMotorConfig()
{
    const QString path =
        prompts_.SaveFileName(this, QStringLiteral("Save config file"), kFilter, kSuffix, true);
    if (path.isEmpty())
        return;
    if (path.size() <= kShortestRefusedName) {
        prompts_.Message(this, AppTitle(), QStringLiteral("File name too short!"), MessageButtons::Ok);
        return;
    }
    SaveMotorConfigFile(path);
}

void CMotorConfigDlg::LoadMotorConfigFile(const QString& path)
{
    // Read into a copy first: a file that is there but cannot be read must
    // not put zeros into the set and send them to the board.
    MotorParams read = params_;
    if (const Result loaded = qav::LoadMotorConfig(LocalPath(path), read); !loaded) {
        prompts_.Message(this, AppTitle(), QStringLiteral("Could not read %1: %2").arg(path, Reason(loaded)),
                         MessageButtons::Ok);
        return;
    }
    // The board's own set is kept before a file replaces it.
    const MotorParams before = params_;
    QString kept;
    if (MotorConnected()) {
        const std::string folder = DefaultBackupFolder();
        std::string backup, why;
        if (WriteBackup(
                folder, kMotorBackupExtension, PortName(OpenedPortNumber()),
                [&](const std::string& to) { return qav::SaveMotorConfig(to, before); }, backup, why))
            kept =
                QStringLiteral(" Previous set kept in %1").arg(QString::fromStdString(ShortenHome(folder)));
        else if (!prompts_.Message(this, AppTitle(),
                                   QString::fromLocal8Bit(why.c_str()) +
                                       QStringLiteral(" Load the file without a backup of the board's set?"),
                                   MessageButtons::YesNo))
            return;
    }
    params_ = read;
    // The box rules limit each changed value to 0..100 and store it back.
    for (const MotorParamBox& p : kMotorParamBoxes)
        form_->SetText(p.box, QString::number(params_.*p.param));
    form_->SetChecked(mdc::Motor1Reverse, params_.DIR_MOTOR1 == 0xFF);
    form_->SetChecked(mdc::Motor2Reverse, params_.DIR_MOTOR2 == 0xFF);
    engine_.RequestCommand(kMotorCmdWrite);
    const auto changed =
        DiffEntries(MotorConfigEntries(before), MotorConfigEntries(params_), kMotorConfigRanges).size();
    ShowStatus(QStringLiteral("Config file uploaded successfully!") +
               (changed == 1 ? QStringLiteral(" 1 value changed.")
                             : QStringLiteral(" %1 values changed.").arg(changed)) +
               kept);
}

bool CMotorConfigDlg::SaveMotorConfigFile(const QString& path)
{
    const IniWriteResult result = qav::SaveMotorConfig(LocalPath(path), params_);
    if (result)
        return true;
    prompts_.Message(this, AppTitle(), QStringLiteral("Could not write %1: %2").arg(path, Reason(result)),
                     MessageButtons::Ok);
    return false;
}

} // namespace qav
