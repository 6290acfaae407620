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

QString SkinStyleSheet()
{
    // A flat, light look: one accent colour (blue) for focus, selection and
    // slider fill; grey-blue borders; rounded corners kept small.
    return QStringLiteral(R"(
*[skinKind="218"] { background: #f3f5f8; }
*[skinKind="1"] { background: #f7f8fa; }

QGroupBox[skinKind="204"] {
    background: #fbfcfd;
    border: 1px solid #c8d0da;
    border-radius: 6px;
    margin-top: 10px;
    font-weight: bold;
    color: #1d2a38;
}
QGroupBox[skinKind="204"]::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 10px;
    padding: 0 4px;
}

QLabel[skinKind="215"] { color: #1d2a38; background: transparent; }
*[transparentCaption="true"] { background: transparent; color: black; }

QPushButton[skinKind="208"] {
    background: #e8edf3;
    border: 1px solid #a9b5c3;
    border-radius: 4px;
    padding: 3px 10px;
    color: #1d2a38;
}
QPushButton[skinKind="208"]:hover { background: #dce5ef; }
QPushButton[skinKind="208"]:pressed { background: #c6d4e3; }
QPushButton[skinKind="208"]:focus { border: 1px solid #2f6fb5; }
QPushButton[skinKind="208"]:default { border: 1px solid #2f6fb5; }
QPushButton[skinKind="208"]:disabled { background: #eef1f4; border-color: #d3d9e0; color: #9aa5b1; }

QLineEdit[skinKind="226"] {
    background: white;
    border: 1px solid #a9b5c3;
    border-radius: 3px;
    padding: 1px 4px;
    color: #111a24;
    selection-background-color: #2f6fb5;
}
QLineEdit[skinKind="226"]:focus { border: 1px solid #2f6fb5; }
QLineEdit[skinKind="226"]:read-only { background: #eef1f5; color: #1d2a38; }
QLineEdit[skinKind="226"]:disabled { color: #9aa5b1; }

QComboBox[skinKind="201"] {
    background: white;
    border: 1px solid #a9b5c3;
    border-radius: 3px;
    padding: 1px 6px;
    color: #111a24;
}
QComboBox[skinKind="201"]:focus { border: 1px solid #2f6fb5; }
QComboBox[skinKind="201"]::drop-down {
    subcontrol-origin: padding;
    subcontrol-position: top right;
    width: 20px;
    border: none;
    border-left: 1px solid #d3d9e0;
}
QComboBox[skinKind="201"]::down-arrow { image: url(:/ui/arrow-down.png); width: 10px; height: 6px; }
QComboBox[skinKind="201"]:disabled { background: #eef1f4; color: #9aa5b1; }
QComboBox[skinKind="201"] QAbstractItemView {
    background: white;
    selection-background-color: #2f6fb5;
    selection-color: white;
}

QSlider[skinKind="210"] { background: transparent; }
QSlider[skinKind="210"]::groove:horizontal { height: 4px; background: #c8d0da; border-radius: 2px; }
QSlider[skinKind="210"]::sub-page:horizontal { background: #2f6fb5; border-radius: 2px; }
QSlider[skinKind="210"]::handle:horizontal {
    background: white;
    border: 2px solid #2f6fb5;
    width: 10px;
    margin: -6px 0;
    border-radius: 7px;
}
QSlider[skinKind="210"]::handle:horizontal:focus { background: #d7e5f5; }

QCheckBox[skinKind="224"], QRadioButton[skinKind="225"] { color: #1d2a38; background: transparent; spacing: 6px; }
QCheckBox[skinKind="224"]::indicator, QRadioButton[skinKind="225"]::indicator {
    width: 14px;
    height: 14px;
    background: white;
    border: 1px solid #8a97a6;
}
QCheckBox[skinKind="224"]::indicator { border-radius: 3px; }
QRadioButton[skinKind="225"]::indicator { border-radius: 8px; }
QCheckBox[skinKind="224"]::indicator:checked { background: #2f6fb5; border-color: #2f6fb5; image: url(:/ui/check.png); }
QRadioButton[skinKind="225"]::indicator:checked {
    background: qradialgradient(cx: 0.5, cy: 0.5, radius: 0.5, fx: 0.5, fy: 0.5,
                                stop: 0 #2f6fb5, stop: 0.45 #2f6fb5, stop: 0.55 white, stop: 1 white);
    border-color: #2f6fb5;
}
QCheckBox[skinKind="224"]::indicator:focus, QRadioButton[skinKind="225"]::indicator:focus { border-color: #2f6fb5; }

QProgressBar[skinKind="207"] { background: white; border: 1px solid #a9b5c3; border-radius: 3px; }
QProgressBar[skinKind="207"]::chunk { background: #2e9b5a; }

QStatusBar { background: #e8ecf1; border-top: 1px solid #c8d0da; }
QStatusBar::item { border: none; }
)");
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
