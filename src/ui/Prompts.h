#pragma once
// Every modal question the screens ask, behind one interface so tests can
// answer without a modal loop and see what was asked. GUI thread only.
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace qav {

enum class MessageButtons { Ok, YesNo };

// What loading a configuration file would change on a connected board.
struct ReviewedChange
{
    QString key;  // the file key
    QString name; // the screen's name for it
    QString now, inFile;
};
struct LoadReview
{
    QString file;                  // as chosen
    QString board;                 // "controller", "motor board"
    QList<ReviewedChange> changes; // in file order; never empty
    QStringList kept;              // keys the file lacks, which keep their values
    QStringList unknown;           // keys of its section that are no parameter, ignored
    QStringList nearest;           // "ROLL_TOTL: did you mean ROLL_TOTAL?" for those near a parameter
};

class IPrompts
{
public:
    virtual ~IPrompts() = default;
    // A message box; true for OK or Yes.
    virtual bool Message(QWidget* owner, const QString& caption, const QString& text,
                         MessageButtons buttons) = 0;
    // "Exit" confirmation; true for "Yes".
    virtual bool ConfirmExit(QWidget* owner) = 0;
    virtual void About(QWidget* owner) = 0;
    // The notice that a new receiver type needs a flash write and restart.
    virtual void ReceiverTypeChanged(QWidget* owner) = 0;
    // File choosers: the chosen full path, or empty when cancelled. `filter`
    // is in Qt's form, e.g. "Config File (*.ini)". The open chooser accepts
    // only an existing file; the save chooser also a new one, adds
    // `defaultSuffix` (without the dot; empty for none) to a name typed
    // without an extension and, when asked, confirms replacing a file.
    // `places` are folders offered beside the usual ones (the backups).
    virtual QString OpenFileName(QWidget* owner, const QString& title, const QString& filter,
                                 const QStringList& places = {}) = 0;
    virtual QString SaveFileName(QWidget* owner, const QString& title, const QString& filter,
                                 const QString& defaultSuffix, bool confirmOverwrite = true) = 0;
    // Shows what a load would change before anything is sent; true for
    // "Apply", false for "Cancel".
    virtual bool ReviewLoad(QWidget* owner, const LoadReview& review) = 0;
};

// The caption of the program's message boxes.
inline QString AppTitle()
{
    return QCoreApplication::translate("Prompts", "QAV-NUVA");
}

} // namespace qav
