// Motor configuration files in the dialog: "Load Config" puts a file's four
// parameters into the boxes and sends them to the board; "Save Config"
// writes the parameter set as it is.
#include "files/Backups.h"
#include "files/ConfigDiff.h"
#include "motor/MotorConfigFile.h"
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
    // A backup is restored the way any file is loaded.
    QStringList places;
    if (const QString backups = QString::fromStdString(DefaultBackupFolder()); QFileInfo(backups).isDir())
        places << backups;
    const QString path = prompts_.OpenFileName(this, QStringLiteral("Load config file"), kFilter, places);
    if (path.isEmpty())
        return;
    if (path.size() <= kShortestRefusedName) {
        prompts_.Message(this, AppTitle(), QStringLiteral("File name too short!"), MessageButtons::Ok);
        return;
    }
    LoadMotorConfigFile(path);
}

QString CMotorConfigDlg::NothingToSaveMessage()
{
    return QStringLiteral("Nothing to save yet: no values have been read from a motor board or loaded from a "
                          "file.");
}

void CMotorConfigDlg::SaveMotorConfig()
{
    // Before a board's report or a load the set holds nothing but zeros.
    if (!*valuesKnown_) {
        prompts_.Message(this, AppTitle(), NothingToSaveMessage(), MessageButtons::Ok);
        return;
    }
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

bool CMotorConfigDlg::ReadMotorConfigFile(const QString& path, MotorParams& read, ConfigLoadReport& found)
{
    // Read into a copy first: a file that is there but cannot be read must
    // not change the set. A key the file lacks keeps the value on screen: a
    // partial file must never zero a board.
    read = params_;
    found = {};
    if (const Result loaded = qav::LoadMotorConfig(LocalPath(path), read, &found, MissingKeys::KeepValues);
        !loaded) {
        prompts_.Message(this, AppTitle(), QStringLiteral("Could not read %1: %2").arg(path, Reason(loaded)),
                         MessageButtons::Ok);
        return false;
    }
    if (const std::string none = NothingToLoad(found, kMotorConfigSection, MotorConfigKeyRanges().size());
        !none.empty()) {
        prompts_.Message(this, AppTitle(),
                         QStringLiteral("Could not read %1: %2").arg(path, QString::fromStdString(none)),
                         MessageButtons::Ok);
        return false;
    }
    return true;
}

void CMotorConfigDlg::LoadMotorConfigFile(const QString& path)
{
    MotorParams read;
    ConfigLoadReport found;
    if (!ReadMotorConfigFile(path, read, found))
        return;
    // The board's set is only changed once the user has seen what the file
    // changes in it.
    if (MotorConnected()) {
        static const std::vector<ParamFacts> facts = MotorReference();
        static const std::vector<ConfigKeyRange> keys = MotorConfigKeyRanges();
        if (!ConfirmLoad(prompts_, this,
                         {path,
                          QStringLiteral("motor board"),
                          kMotorConfigSection,
                          keys,
                          {},
                          DiffEntries(MotorConfigEntries(BoardSet()), MotorConfigEntries(read), keys),
                          facts,
                          found.missing}))
            return;
        // The link ran on while the review was up: the keys the file lacks
        // keep the values held now.
        if (!ReadMotorConfigFile(path, read, found))
            return;
    }
    // The board's own set is kept before a file replaces it, and changes
    // are counted from it: a value typed and not sent is none of the
    // board's.
    const MotorParams before = BoardSet();
    QString kept;
    if (MotorConnected()) {
        const std::string folder = DefaultBackupFolder();
        std::string backup;
        const Result saved = WriteBackup(
            folder, kMotorBackupExtension, PortName(OpenedPortNumber()),
            [&](const std::string& to) { return qav::SaveMotorConfig(to, before); }, backup);
        if (saved)
            kept =
                QStringLiteral(" Previous set kept in %1").arg(QString::fromStdString(ShortenHome(folder)));
        else if (!prompts_.Message(this, AppTitle(),
                                   QString::fromLocal8Bit(saved.message.c_str()) +
                                       QStringLiteral(" Load the file without a backup of the board's set?"),
                                   MessageButtons::YesNo))
            return;
    }
    params_ = read;
    *valuesKnown_ = true;
    // The box rules limit each changed value to the box's range and store
    // it back.
    for (const MotorParamBox& p : kMotorParamBoxes)
        form_->SetText(p.box, QString::number(params_.*p.param));
    form_->SetChecked(mdc::Motor1Reverse, params_.DIR_MOTOR1 == 0xFF);
    form_->SetChecked(mdc::Motor2Reverse, params_.DIR_MOTOR2 == 0xFF);
    engine_.RequestCommand(kMotorCmdWrite);
    const auto changed =
        DiffEntries(MotorConfigEntries(before), MotorConfigEntries(params_), MotorConfigKeyRanges()).size();
    const KeptKeys notInFile = KeptKeysOf(found.missing);
    ShowStatus(QStringLiteral("Config file uploaded successfully!") +
               (changed == 1 ? QStringLiteral(" 1 value changed.")
                             : QStringLiteral(" %1 values changed.").arg(changed)) +
               kept + notInFile.count);
    ShowStatusDetails(notInFile.list);
}

bool CMotorConfigDlg::SaveMotorConfigFile(const QString& path)
{
    const Result result = qav::SaveMotorConfig(LocalPath(path), params_);
    if (result)
        return true;
    prompts_.Message(this, AppTitle(), QStringLiteral("Could not write %1: %2").arg(path, Reason(result)),
                     MessageButtons::Ok);
    return false;
}

} // namespace qav
