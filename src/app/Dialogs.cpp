#include "app/Dialogs.h"

#include "ui/Resources.h"
#include "ui/Skin.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qav {
namespace {

QPushButton* MakeButton(const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    SetSkinKind(button, SkinKind::PushButton);
    button->setMinimumWidth(80);
    return button;
}

void SetUpSmallDialog(QDialog* dialog, const QString& title)
{
    dialog->setWindowTitle(title);
    SetSkinKind(dialog, SkinKind::SmallDialog);
    dialog->setAttribute(Qt::WA_StyledBackground, true);
    dialog->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

} // namespace

QLabel* MakeNotice(int id, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::number(id));
    SetSkinKind(label, SkinKind::StaticText);
    // Red on whatever is behind it; the colour is the notice's own, so it is
    // set here rather than left to the skin.
    label->setStyleSheet(QStringLiteral("QLabel { color: rgb(255, 0, 0); background: transparent; }"));
    label->setAutoFillBackground(false);
    return label;
}

CExitConfirmDlg::CExitConfirmDlg(QWidget* parent) : QDialog(parent)
{
    SetUpSmallDialog(this, tr("Exit"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(8);
    layout->addWidget(MakeNotice(1035, tr("Please make sure you have written settings to flash."), this));
    layout->addWidget(MakeNotice(1038, tr("Do you want to exit, now?"), this));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    yes_ = MakeButton(tr("Yes"), this);
    no_ = MakeButton(tr("No"), this);
    yes_->setDefault(true);
    yes_->setAutoDefault(true);
    no_->setAutoDefault(false);
    buttons->addWidget(yes_);
    buttons->addWidget(no_);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    connect(yes_, &QPushButton::clicked, this, &QDialog::accept);
    connect(no_, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(sizeHint());
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    InitGuiResources();
    SetUpSmallDialog(this, tr("About QAV-NUVA Software"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 14);
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/app/icon-48.png")));
    icon->setAlignment(Qt::AlignTop);
    layout->addWidget(icon);
    auto* column = new QVBoxLayout;
    auto* text = new QLabel(tr("QAV-NUVA Brushless Motor Gimbal Controller Software V1.0"), this);
    SetSkinKind(text, SkinKind::StaticText);
    column->addWidget(text);
    auto* ok = MakeButton(tr("OK"), this);
    ok->setDefault(true);
    column->addWidget(ok, 0, Qt::AlignRight);
    layout->addLayout(column);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(sizeHint());
}

CReceiverTypeDlg::CReceiverTypeDlg(QWidget* parent) : QDialog(parent)
{
    SetUpSmallDialog(this, tr("Receiver Type Changed!"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->addWidget(MakeNotice(
        1035,
        tr("Receiver type has been changed,  please write the settings to flash and restart QAV-NUVA. "),
        this));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = MakeButton(tr("OK"), this);
    ok->setDefault(true);
    auto* cancel = MakeButton(tr("Cancel"), this);
    cancel->setVisible(false);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(sizeHint());
}

} // namespace qav
