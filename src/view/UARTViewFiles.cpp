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
    if (const Result loaded = LoadControllerConfig(LocalPath(path), read, &hasSection); !loaded) {
        prompts_.Message(window(), AppTitle(),
                         QStringLiteral("Could not read %1: %2").arg(path, Reason(loaded)),
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
    ShowParameterSet(kAllParts);
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
    if (result)
        return true;
    // Status messages are dropped while no controller is connected, and a
    // save fails mostly then: say it in a box.
    prompts_.Message(window(), AppTitle(), QStringLiteral("Could not write %1: %2").arg(path, Reason(result)),
                     MessageButtons::Ok);
    return false;
}

} // namespace qav
