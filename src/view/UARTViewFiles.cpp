// Controller configuration files on the main screen: ".bgsc" through the
// "Load Config" and "Save Config" buttons, ".ini" through Ctrl+O and Ctrl+S.
// A load shows what it read and sends it to the controller; a save writes
// the parameter set as it is.
#include "files/ConfigDiff.h"
#include "files/ControllerConfigFile.h"
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

std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString Reason(const Result& result)
{
    return QString::fromLocal8Bit(result.message.c_str());
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

bool CUARTView::ReadConfigFile(const QString& path, ControllerParams& read, ConfigLoadReport& found)
{
    // Read into a copy first: a file that is there but cannot be read must
    // not change the set. A key the file lacks keeps the value on screen,
    // as the command line's write keeps the controller's: a partial file
    // must never zero a gimbal.
    read = params_;
    found = {};
    if (const Result loaded = LoadControllerConfig(LocalPath(path), read, &found, MissingKeys::KeepValues);
        !loaded) {
        prompts_.Message(window(), AppTitle(),
                         QStringLiteral("Could not read %1: %2").arg(path, Reason(loaded)),
                         MessageButtons::Ok);
        return false;
    }
    // A file of another kind, or no configuration at all, changes nothing.
    if (const std::string none =
            NothingToLoad(found, kControllerConfigSection, ControllerConfigKeyRanges().size());
        !none.empty()) {
        prompts_.Message(window(), AppTitle(),
                         QStringLiteral("Could not read %1: %2").arg(path, QString::fromStdString(none)),
                         MessageButtons::Ok);
        return false;
    }
    return true;
}

void CUARTView::LoadConfigFile(const QString& path)
{
    ControllerParams read;
    ConfigLoadReport found;
    if (!ReadConfigFile(path, read, found))
        return;
    // A controller's set is only changed once the user has seen what the
    // file changes in it.
    if (Link().linkEstablished) {
        static const std::vector<ParamFacts> facts = ControllerReference();
        static const std::vector<ConfigKeyRange> keys = ControllerConfigKeyRanges();
        static const std::vector<std::string_view> writeOnly = ControllerConfigWriteOnlyKeys();
        if (!ConfirmLoad(prompts_, window(),
                         {path, QStringLiteral("controller"), kControllerConfigSection, keys, writeOnly,
                          DiffControllerUpload(BoardSet(), read), facts, found.missing}))
            return;
        // The link ran on while the review was up: the keys the file lacks
        // keep the values held now.
        if (!ReadConfigFile(path, read, found))
            return;
    }
    QString report;
    if (!BackupBeforeLoad(read, report))
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
    const Result result = SaveControllerConfig(LocalPath(path), params_);
    if (result)
        return true;
    // Status messages are dropped while no controller is connected, and a
    // save fails mostly then: say it in a box.
    prompts_.Message(window(), AppTitle(), QStringLiteral("Could not write %1: %2").arg(path, Reason(result)),
                     MessageButtons::Ok);
    return false;
}

} // namespace qav
