#pragma once
// The real modal questions: message boxes, the shell's dialogs and the file
// choosers, each run modally over its owner.
#include "ui/Prompts.h"

namespace qav {

// The system's own file chooser, whatever is asked: on Windows, where the
// chooser a user knows matters more than the places it lacks.
#ifdef Q_OS_WIN
inline constexpr bool kNativeChooserAlways = true;
#else
inline constexpr bool kNativeChooserAlways = false;
#endif

class ShellPrompts : public IPrompts
{
public:
    bool Message(QWidget* owner, const QString& caption, const QString& text,
                 MessageButtons buttons) override;
    bool ConfirmExit(QWidget* owner) override;
    void About(QWidget* owner) override;
    void ReceiverTypeChanged(QWidget* owner) override;
    QString OpenFileName(QWidget* owner, const QString& title, const QString& filter,
                         const QStringList& places = {}) override;
    QString SaveFileName(QWidget* owner, const QString& title, const QString& filter,
                         const QString& defaultSuffix, bool confirmOverwrite = true) override;
    bool ReviewLoad(QWidget* owner, const LoadReview& review) override;
};

} // namespace qav
