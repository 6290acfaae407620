#pragma once
// The program's look: one style sheet for the whole application. Every
// control carries a kind code as the dynamic property "skinKind", and the
// sheet styles by kind, so any window that tags its controls gets the same
// look. Set the kind before the widget is first shown.
//
// The font is DejaVu Sans 9 pt; Chinese text falls back to WenQuanYi Micro
// Hei (fonts-wqy-microhei, which the package recommends).
#include <QString>

class QWidget;

namespace qav {

enum class SkinKind : int {
    SmallDialog = 1, // the window of a small modal dialog
    ComboBox = 201,
    GroupBox = 204,
    ProgressBar = 207,
    PushButton = 208,
    Slider = 210,
    UpDown = 211,
    StaticText = 215,
    FormWindow = 218, // a screen full of controls (main screen, motor dialog)
    CheckBox = 224,
    RadioButton = 225,
    EditBox = 226,
};

inline constexpr char kSkinKindProperty[] = "skinKind";
// Captions drawn with a transparent background and black text.
inline constexpr char kTransparentCaptionProperty[] = "transparentCaption";

void SetSkinKind(QWidget* widget, SkinKind kind);
SkinKind GetSkinKind(const QWidget* widget); // SmallDialog..EditBox, or 0 when untagged

QString SkinStyleSheet();

// The style sheet and the application font; call once after the
// QApplication exists.
void ApplySkin();

} // namespace qav
