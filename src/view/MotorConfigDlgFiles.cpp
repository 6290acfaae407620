// Motor configuration files in the dialog: "Load Config" puts a file's four
// parameters into the boxes and sends them to the board; "Save Config"
// writes the parameter set as it is.
#include "platform/PortMap.h"
#include "ui/Prompts.h"
#include "view/KeptKeys.h"
#include "view/LoadReviewFlow.h"
#include "view/MotorConfigDlg.h"
#include "view/MotorDialogTable.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace qav {
namespace {

// The board's own extension, as its row has it.
const QString kSuffix = QString::fromUtf8(BoardOf(BoardId::Motor).configExtensions.front().substr(1));
// Names of four characters or less are refused, as the Windows tool did.
constexpr qsizetype kShortestRefusedName = 4;

} // namespace

void CMotorConfigDlg::LoadMotorConfig()
{
    // A backup is restored the way any file is loaded.
    QStringList places;
    if (const QString backups = QString::fromStdString(DefaultBackupFolder()); QFileInfo(backups).isDir())
        places << backups;
    const QString path =
        prompts_.OpenFileName(this, tr("Load config file"), tr("Config File (*.%1)").arg(kSuffix), places);
    if (path.isEmpty())
        return;
    if (path.size() <= kShortestRefusedName) {
        prompts_.Message(this, AppTitle(), tr("File name too short!"), MessageButtons::Ok);
        return;
    }
    LoadMotorConfigFile(path);
}

QString CMotorConfigDlg::NothingToSaveMessage()
{
    return tr("Nothing to save yet: no values have been read from a motor board or loaded from a "
              "file.");
}

void CMotorConfigDlg::SaveMotorConfig()
{
    // Before a board's report or a load the set holds nothing but zeros.
    if (!*valuesKnown_) {
        prompts_.Message(this, AppTitle(), NothingToSaveMessage(), MessageButtons::Ok);
        return;
    }
    const QString path = prompts_.SaveFileName(this, tr("Save config file"),
                                               tr("Config File (*.%1)").arg(kSuffix), kSuffix, true);
    if (path.isEmpty())
        return;
    if (path.size() <= kShortestRefusedName) {
        prompts_.Message(this, AppTitle(), tr("File name too short!"), MessageButtons::Ok);
        return;
    }
    SaveMotorConfigFile(path);
}

void CMotorConfigDlg::LoadMotorConfigFile(const QString& path)
{
    // The board's set is only changed once the user has seen what the file
    // changes in it.
    const MotorParams shown = BoardSet();
    MotorParams read;
    ConfigLoadReport found;
    if (!ReadReviewedFile(prompts_, this, path, params_, MotorConnected() ? &shown : nullptr,
                          &DiffParams<MotorParams>, read, found))
        return;
    // The board's own set is kept before a file replaces it.
    const MotorParams before = BoardSet();
    const std::string folder = DefaultBackupFolder();
    QString report;
    if (!BackupBeforeLoad(prompts_, this, before, read, &DiffParams<MotorParams>,
                          MotorConnected() ? &folder : nullptr, PortName(OpenedPortNumber()), report))
        return;
    params_ = read;
    *valuesKnown_ = true;
    // The box rules limit each changed value to the box's range and store
    // it back.
    for (const MotorParamBox& p : kMotorParamBoxes)
        form_->SetText(p.box, QString::number(params_.*p.param));
    form_->SetChecked(mdc::Motor1Reverse, params_.DIR_MOTOR1 == 0xFF);
    form_->SetChecked(mdc::Motor2Reverse, params_.DIR_MOTOR2 == 0xFF);
    engine_.RequestCommand(kMotorCmdWrite);
    const KeptKeys notInFile = KeptKeysOf(found.missing);
    ShowStatus(tr("Config file uploaded successfully!") + report + notInFile.count);
    ShowStatusDetails(notInFile.list);
}

bool CMotorConfigDlg::SaveMotorConfigFile(const QString& path)
{
    return SaveForScreen(prompts_, this, path, params_);
}

} // namespace qav
