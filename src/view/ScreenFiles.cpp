#include "view/ScreenFiles.h"

#include "platform/PortMap.h"
#include "ui/Prompts.h"
#include "view/EditTables.h"
#include "view/KeptKeys.h"
#include "view/LoadReviewFlow.h"
#include "view/ScreenBoxes.h"
#include "view/ScreenLink.h"
#include "view/ScreenStatus.h"
#include "view/TuningAids.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include <cerrno>

namespace qav {
namespace {

using namespace edit;

struct FileKindRow
{
    const char* filter;        // Qt's form, marked under "ScreenFiles"
    const char* defaultSuffix; // added by the save chooser to a bare name
    bool confirmOverwrite;
};
// By ConfigFileKind.
constexpr FileKindRow kFileKinds[] = {
    {QT_TRANSLATE_NOOP("ScreenFiles", "Config File (*.bgsc)"), "bgsc", true},
    // ".ini" is appended by the save command itself, and to the name as
    // chosen, so the chooser neither adds a suffix nor asks about a file it
    // may not write.
    {QT_TRANSLATE_NOOP("ScreenFiles", "Config File (*.ini)"), "", false},
};

const FileKindRow& RowOf(ConfigFileKind kind)
{
    return kFileKinds[static_cast<int>(kind)];
}

// Names of four characters or less are refused, as the Windows tool did.
constexpr qsizetype kShortestRefusedName = 4;

// Made when shown, so that the translation installed then applies.
QString OpenTitle()
{
    return QCoreApplication::translate("ScreenFiles", "Select config file");
}
QString SaveTitle()
{
    return QCoreApplication::translate("ScreenFiles", "Save config file");
}
QString FilterOf(const FileKindRow& row)
{
    return QCoreApplication::translate("ScreenFiles", row.filter);
}

const QString kIniSuffix = QStringLiteral(".ini");

} // namespace

ScreenFiles::ScreenFiles(QWidget& screen, IPrompts& prompts, ControllerParams& params,
                         ControllerLinkState& link, const ScreenLink& port, const TuningAids& tuning,
                         ScreenBoxes& boxes, ScreenStatus& status, bool& valuesKnown,
                         std::string backupFolder)
    : screen_(screen), prompts_(prompts), params_(params), link_(link), port_(port), tuning_(tuning),
      boxes_(boxes), status_(status), valuesKnown_(valuesKnown), backupFolder_(std::move(backupFolder))
{
}

QWidget* ScreenFiles::Window() const
{
    return screen_.window();
}

void ScreenFiles::ReportShortFileName(ConfigFileKind kind)
{
    if (kind == ConfigFileKind::Bgsc)
        status_.ShowMessage(
            QStringLiteral("$INKblue$") +
            QCoreApplication::translate("ScreenFiles", "File name too short, please re-select!"));
    else
        prompts_.Message(Window(), AppTitle(),
                         QCoreApplication::translate("ScreenFiles", "File name too short, please re-select!"),
                         MessageButtons::Ok);
}

void ScreenFiles::LoadCommand(ConfigFileKind kind)
{
    // A backup is restored the way any file is loaded.
    QStringList places;
    if (!backupFolder_.empty() && QFileInfo(QString::fromStdString(backupFolder_)).isDir())
        places << QString::fromStdString(backupFolder_);
    const QString path = prompts_.OpenFileName(Window(), OpenTitle(), FilterOf(RowOf(kind)), places);
    if (path.isEmpty())
        return;
    if (path.size() <= kShortestRefusedName) {
        ReportShortFileName(kind);
        return;
    }
    LoadConfigFile(path);
}

void ScreenFiles::SaveCommand(ConfigFileKind kind)
{
    // Before a read-back or a load the set holds nothing but zeros, which a
    // later load would send to a gimbal.
    if (!valuesKnown_) {
        prompts_.Message(Window(), AppTitle(), NothingToSaveMessage(), MessageButtons::Ok);
        return;
    }
    const FileKindRow& row = RowOf(kind);
    QString path = prompts_.SaveFileName(Window(), SaveTitle(), FilterOf(row),
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

void ScreenFiles::LoadConfigFile(const QString& path)
{
    // A controller's set is only changed once the user has seen what the
    // file changes in it. Values that never travel in an upload count as
    // the controller holds them.
    ControllerParams read;
    ConfigLoadReport found;
    if (!ReadReviewedFile(prompts_, Window(), path, params_,
                          link_.linkEstablished ? &tuning_.BoardSet() : nullptr, &DiffControllerUpload, read,
                          found))
        return;
    // Only a set that came from the controller is worth keeping.
    const bool keep = link_.linkEstablished && !backupFolder_.empty();
    QString report;
    if (!BackupBeforeLoad(prompts_, Window(), tuning_.BoardSet(), read, &DiffControllerUpload,
                          keep ? &backupFolder_ : nullptr, PortName(port_.OpenedPortNumber()), report))
        return;
    params_ = read;
    valuesKnown_ = true;
    boxes_.ShowParameterSet(ScreenPart::kAllParts);
    link_.SelectFrameType(kTypeGains);
    const KeptKeys kept = KeptKeysOf(found.missing);
    if (link_.linkEstablished && status_.GateOpen()) {
        status_.ShowMessage(QStringLiteral("$INKblue$") +
                            QCoreApplication::translate("ScreenFiles", "Config file uploaded successfully!") +
                            report + kept.count);
        status_.SetDetails(kept.list);
    } else if (!found.missing.empty()) {
        // Nothing is uploaded without a controller, but what was kept is
        // worth saying all the same.
        status_.SetText(QStringLiteral("$INKblue$") +
                        QCoreApplication::translate("ScreenFiles", "Config file loaded.") + kept.count);
        status_.SetDetails(kept.list);
    }
}

QString ScreenFiles::NothingToSaveMessage()
{
    return QCoreApplication::translate("ScreenFiles",
                                       "Nothing to save yet: no values have been read from a controller or "
                                       "loaded from a file.");
}

bool ScreenFiles::SaveConfigFile(const QString& path)
{
    return SaveForScreen(prompts_, Window(), path, params_);
}

} // namespace qav
