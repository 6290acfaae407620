#pragma once
// The main screen's configuration files: ".bgsc" through the "Load Config"
// and "Save Config" buttons, ".ini" through Ctrl+O and Ctrl+S. A load shows
// what it read and sends it to the controller; a save writes the parameter
// set as it is.
#include "protocol/ControllerProtocol.h"

#include <QString>

#include <string>

class QWidget;

namespace qav {

class IPrompts;
class ScreenBoxes;
class ScreenLink;
class ScreenStatus;
class TuningAids;

// The two kinds of controller configuration file: ".bgsc" from the "Load
// Config" and "Save Config" buttons, ".ini" from Ctrl+O and Ctrl+S.
enum class ConfigFileKind { Bgsc, Ini };

class ScreenFiles
{
public:
    // `valuesKnown` is the screen's: whether the set holds real values.
    ScreenFiles(QWidget& screen, IPrompts& prompts, ControllerParams& params, ControllerLinkState& link,
                const ScreenLink& port, const TuningAids& tuning, ScreenBoxes& boxes, ScreenStatus& status,
                bool& valuesKnown, std::string backupFolder);

    // The file dialog, the name checks, then LoadConfigFile or
    // SaveConfigFile.
    void LoadCommand(ConfigFileKind kind);
    void SaveCommand(ConfigFileKind kind);
    // Reads a controller configuration file into the parameter set, shows it
    // on the screen and starts the upload. A file that exists but cannot be
    // read is reported in a message box and changes nothing. While the
    // controller is connected, what the file would change is shown first
    // (IPrompts::ReviewLoad) and nothing changes unless it is applied; a
    // file that changes nothing says so and sends nothing.
    void LoadConfigFile(const QString& path);
    // Writes the parameter set (not the boxes) to `path`; a failure is
    // reported in a message box. True when written.
    bool SaveConfigFile(const QString& path);
    static QString NothingToSaveMessage();

    // Where a load keeps the set it replaces; empty: no backups.
    void SetBackupFolder(std::string folder) { backupFolder_ = std::move(folder); }

private:
    void ReportShortFileName(ConfigFileKind kind);
    QWidget* Window() const;

    QWidget& screen_;
    IPrompts& prompts_;
    ControllerParams& params_;
    ControllerLinkState& link_;
    const ScreenLink& port_;
    const TuningAids& tuning_;
    ScreenBoxes& boxes_;
    ScreenStatus& status_;
    bool& valuesKnown_;
    std::string backupFolder_;
};

} // namespace qav
