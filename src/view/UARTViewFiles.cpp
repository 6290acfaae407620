// Controller configuration files on the main screen: ".bgsc" through the
// "Load Config" and "Save Config" buttons, ".ini" through Ctrl+O and Ctrl+S.
// A load shows what it read and sends it to the controller; a save writes
// the parameter set as it is.
#include "platform/PortMap.h"
#include "ui/Prompts.h"
#include "view/EditTables.h"
#include "view/KeptKeys.h"
#include "view/LoadReviewFlow.h"
#include "view/UARTView.h"

#include <QFile>
#include <QFileInfo>

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
    // A backup is restored the way any file is loaded.
    QStringList places;
    if (!backupFolder_.empty() && QFileInfo(QString::fromStdString(backupFolder_)).isDir())
        places << QString::fromStdString(backupFolder_);
    const QString path =
        prompts_.OpenFileName(window(), kOpenTitle, QString::fromUtf8(RowOf(kind).filter), places);
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
    // Before a read-back or a load the set holds nothing but zeros, which a
    // later load would send to a gimbal.
    if (!valuesKnown_) {
        prompts_.Message(window(), AppTitle(), NothingToSaveMessage(), MessageButtons::Ok);
        return;
    }
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
    // A controller's set is only changed once the user has seen what the
    // file changes in it. Values that never travel in an upload count as
    // the controller holds them.
    ControllerParams read;
    ConfigLoadReport found;
    if (!ReadReviewedFile(prompts_, window(), path, params_, Link().linkEstablished ? &BoardSet() : nullptr,
                          &DiffControllerUpload, read, found))
        return;
    // Only a set that came from the controller is worth keeping.
    const bool keep = Link().linkEstablished && !backupFolder_.empty();
    QString report;
    if (!BackupBeforeLoad(prompts_, window(), BoardSet(), read, &DiffControllerUpload,
                          keep ? &backupFolder_ : nullptr, PortName(OpenedPortNumber()), report))
        return;
    params_ = read;
    valuesKnown_ = true;
    ShowParameterSet(kAllParts);
    Link().SelectFrameType(kTypeGains);
    const KeptKeys kept = KeptKeysOf(found.missing);
    if (Link().linkEstablished && MessageGateOpen()) {
        ShowStatusMessage(QStringLiteral("$INKblue$Config file uploaded successfully!") + report + kept.count);
        SetStatusDetails(kept.list);
    } else if (!found.missing.empty()) {
        // Nothing is uploaded without a controller, but what was kept is
        // worth saying all the same.
        SetStatusText(QStringLiteral("$INKblue$Config file loaded.") + kept.count);
        SetStatusDetails(kept.list);
    }
}

QString CUARTView::NothingToSaveMessage()
{
    return QStringLiteral("Nothing to save yet: no values have been read from a controller or loaded from a "
                          "file.");
}

bool CUARTView::SaveConfigFile(const QString& path)
{
    return SaveForScreen(prompts_, window(), path, params_);
}

} // namespace qav
