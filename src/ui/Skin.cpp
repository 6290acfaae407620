#include "ui/Skin.h"

#include "ui/Resources.h"

#include <QApplication>
#include <QFont>
#include <QWidget>

namespace qav {

void SetSkinKind(QWidget* widget, SkinKind kind)
{
    widget->setProperty(kSkinKindProperty, static_cast<int>(kind));
}

SkinKind GetSkinKind(const QWidget* widget)
{
    return static_cast<SkinKind>(widget->property(kSkinKindProperty).toInt());
}

namespace {

// The sheet names each kind as $Name; the selector is made from the kind's
// code, so the sheet and the codes the forms set cannot drift apart.
struct SkinSelector
{
    const char* token;
    const char* widgetClass;
    SkinKind kind;
};
constexpr SkinSelector kSelectors[] = {
    {"SmallDialog", "*", SkinKind::SmallDialog},
    {"ComboBox", "QComboBox", SkinKind::ComboBox},
    {"GroupBox", "QGroupBox", SkinKind::GroupBox},
    {"ProgressBar", "QProgressBar", SkinKind::ProgressBar},
    {"PushButton", "QPushButton", SkinKind::PushButton},
    {"Slider", "QSlider", SkinKind::Slider},
    {"StaticText", "QLabel", SkinKind::StaticText},
    {"FormWindow", "*", SkinKind::FormWindow},
    {"CheckBox", "QCheckBox", SkinKind::CheckBox},
    {"RadioButton", "QRadioButton", SkinKind::RadioButton},
    {"EditBox", "QLineEdit", SkinKind::EditBox},
};

} // namespace

QString SkinStyleSheet()
{
    // A flat, light look: one accent colour (blue) for focus, selection and
    // slider fill; grey-blue borders; rounded corners kept small.
    QString sheet = QStringLiteral(R"(
$FormWindow { background: #f3f5f8; }
$SmallDialog { background: #f7f8fa; }

$GroupBox {
    background: #fbfcfd;
    border: 1px solid #c8d0da;
    border-radius: 6px;
    margin-top: 10px;
    font-weight: bold;
    color: #1d2a38;
}
$GroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 10px;
    padding: 0 4px;
}

$StaticText { color: #1d2a38; background: transparent; }
*[transparentCaption="true"] { background: transparent; color: black; }

$PushButton {
    background: #e8edf3;
    border: 1px solid #a9b5c3;
    border-radius: 4px;
    padding: 3px 10px;
    color: #1d2a38;
}
$PushButton:hover { background: #dce5ef; }
$PushButton:pressed { background: #c6d4e3; }
$PushButton:focus { border: 1px solid #2f6fb5; }
$PushButton:default { border: 1px solid #2f6fb5; }
$PushButton:disabled { background: #eef1f4; border-color: #d3d9e0; color: #9aa5b1; }

$EditBox {
    background: white;
    border: 1px solid #a9b5c3;
    border-radius: 3px;
    padding: 1px 4px;
    color: #111a24;
    selection-background-color: #2f6fb5;
}
$EditBox:focus { border: 1px solid #2f6fb5; }
$EditBox:read-only { background: #eef1f5; color: #1d2a38; }
$EditBox:disabled { color: #9aa5b1; }

$ComboBox {
    background: white;
    border: 1px solid #a9b5c3;
    border-radius: 3px;
    padding: 1px 6px;
    color: #111a24;
}
$ComboBox:focus { border: 1px solid #2f6fb5; }
$ComboBox::drop-down {
    subcontrol-origin: padding;
    subcontrol-position: top right;
    width: 20px;
    border: none;
    border-left: 1px solid #d3d9e0;
}
$ComboBox::down-arrow { image: url(:/ui/arrow-down.png); width: 10px; height: 6px; }
$ComboBox:disabled { background: #eef1f4; color: #9aa5b1; }
$ComboBox QAbstractItemView {
    background: white;
    selection-background-color: #2f6fb5;
    selection-color: white;
}

$Slider { background: transparent; }
$Slider::groove:horizontal { height: 4px; background: #c8d0da; border-radius: 2px; }
$Slider::sub-page:horizontal { background: #2f6fb5; border-radius: 2px; }
$Slider::handle:horizontal {
    background: white;
    border: 2px solid #2f6fb5;
    width: 10px;
    margin: -6px 0;
    border-radius: 7px;
}
$Slider::handle:horizontal:focus { background: #d7e5f5; }

$CheckBox, $RadioButton { color: #1d2a38; background: transparent; spacing: 6px; }
$CheckBox::indicator, $RadioButton::indicator {
    width: 14px;
    height: 14px;
    background: white;
    border: 1px solid #8a97a6;
}
$CheckBox::indicator { border-radius: 3px; }
$RadioButton::indicator { border-radius: 8px; }
$CheckBox::indicator:checked { background: #2f6fb5; border-color: #2f6fb5; image: url(:/ui/check.png); }
$RadioButton::indicator:checked {
    background: qradialgradient(cx: 0.5, cy: 0.5, radius: 0.5, fx: 0.5, fy: 0.5,
                                stop: 0 #2f6fb5, stop: 0.45 #2f6fb5, stop: 0.55 white, stop: 1 white);
    border-color: #2f6fb5;
}
$CheckBox::indicator:focus, $RadioButton::indicator:focus { border-color: #2f6fb5; }

$ProgressBar { background: white; border: 1px solid #a9b5c3; border-radius: 3px; }
$ProgressBar::chunk { background: #2e9b5a; }

QStatusBar { background: #e8ecf1; border-top: 1px solid #c8d0da; }
QStatusBar::item { border: none; }
)");
    for (const SkinSelector& s : kSelectors)
        sheet.replace(QLatin1Char('$') + QLatin1String(s.token),
                      QStringLiteral("%1[%2=\"%3\"]")
                          .arg(QLatin1String(s.widgetClass), QLatin1String(kSkinKindProperty))
                          .arg(static_cast<int>(s.kind)));
    return sheet;
}

void ApplySkin()
{
    InitGuiResources(); // the sheet draws with pictures of ours
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(9);
    QApplication::setFont(font);
    qApp->setStyleSheet(SkinStyleSheet());
}

} // namespace qav
