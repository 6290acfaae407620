#include "app/ShellPrompts.h"

#include "app/Dialogs.h"
#include "app/LoadReviewDlg.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace qav {

bool ShellPrompts::Message(QWidget* owner, const QString& caption, const QString& text,
                           MessageButtons buttons)
{
    if (buttons == MessageButtons::YesNo)
        return QMessageBox::question(owner, caption, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::Yes) == QMessageBox::Yes;
    QMessageBox::warning(owner, caption, text, QMessageBox::Ok);
    return true;
}

bool ShellPrompts::ConfirmExit(QWidget* owner)
{
    CExitConfirmDlg dialog(owner);
    return dialog.exec() == QDialog::Accepted;
}

void ShellPrompts::About(QWidget* owner)
{
    CAboutDlg dialog(owner);
    dialog.exec();
}

void ShellPrompts::ReceiverTypeChanged(QWidget* owner)
{
    CReceiverTypeDlg dialog(owner);
    dialog.exec();
}

QString ShellPrompts::OpenFileName(QWidget* owner, const QString& title, const QString& filter,
                                   const QStringList& places)
{
    QFileDialog dialog(owner, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Only existing files can be chosen in an open dialog.
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Windows keeps its own chooser, which takes no added places; on Linux
    // a desktop's own chooser ignores them too, so Qt's shows them there.
    if (!places.isEmpty() && !kNativeChooserAlways) {
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        QList<QUrl> urls = dialog.sidebarUrls();
        for (const QString& place : places)
            if (!urls.contains(QUrl::fromLocalFile(place)))
                urls << QUrl::fromLocalFile(place);
        dialog.setSidebarUrls(urls);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    // As the system writes paths ("C:\\..." on Windows): messages show them.
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

QString ShellPrompts::SaveFileName(QWidget* owner, const QString& title, const QString& filter,
                                   const QString& defaultSuffix, bool confirmOverwrite)
{
    // A new file may be named here, not only an existing one.
    QFileDialog dialog(owner, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    // As the system writes paths ("C:\\..." on Windows): messages show them.
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

bool ShellPrompts::ReviewLoad(QWidget* owner, const LoadReview& review)
{
    CLoadReviewDlg dialog(review, owner);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace qav
