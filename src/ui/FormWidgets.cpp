// The host's controls: making each row's widget, and routing what the user
// does with it to the screen's handler by control id.
#include "ui/FormWidgets.h"
#include "ui/AttitudeArea.h"
#include "ui/ImageBar.h"
#include "ui/LiveBox.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

namespace qav {

namespace form {

SkinKind KindOf(ControlType type)
{
    switch (type) {
    case ControlType::Button:
        return SkinKind::PushButton;
    case ControlType::CheckBox:
        return SkinKind::CheckBox;
    case ControlType::Radio:
        return SkinKind::RadioButton;
    case ControlType::Group:
        return SkinKind::GroupBox;
    case ControlType::Edit:
    case ControlType::ReadOnlyEdit:
        return SkinKind::EditBox;
    case ControlType::Slider:
        return SkinKind::Slider;
    case ControlType::Spin:
        return SkinKind::UpDown;
    case ControlType::Combo:
        return SkinKind::ComboBox;
    case ControlType::ProgressBar:
        return SkinKind::ProgressBar;
    case ControlType::Label:
    case ControlType::ImageBar:
    case ControlType::AttitudeArea:
        break;
    }
    return SkinKind::StaticText;
}

} // namespace form

using form::FormCombo;
using form::FormRadio;
using form::FormSlider;

QWidget* FormHost::Create(const ControlRow& row, QWidget* parent)
{
    const QString caption = Words(row.caption);
    const int id = row.id;
    switch (row.type) {
    case ControlType::Button:
        return new QPushButton(caption, parent);
    case ControlType::CheckBox:
        return new QCheckBox(caption, parent);
    case ControlType::Radio: {
        // Made before its text is set: setting it is the first time Qt asks
        // for its accessible interface, which must come from our factory.
        auto* radio = new FormRadio(parent);
        radio->setText(caption);
        // The program checks and unchecks each radio button on its own, so
        // Qt's exclusivity would get in the way; a click does it by hand.
        radio->setAutoExclusive(false);
        return radio;
    }
    case ControlType::Group:
        return new QGroupBox(caption, parent);
    case ControlType::Label:
        return new QLabel(caption, parent);
    case ControlType::Edit:
    case ControlType::ReadOnlyEdit: {
        if (row.type == ControlType::ReadOnlyEdit)
            return new CLiveBox(parent);
        return new QLineEdit(parent);
    }
    case ControlType::Slider: {
        auto* slider = new FormSlider([this, id] { events_->OnSliderReleased(id); }, parent);
        slider->setTickPosition(QSlider::NoTicks);
        return slider;
    }
    case ControlType::Spin:
        return new QSpinBox(parent);
    case ControlType::Combo: {
        auto* combo = new FormCombo([this, id] { events_->OnDropDown(id); }, parent);
        for (const char* item : row.items)
            combo->addItem(Words(item, row.itemContext));
        combo->setCurrentIndex(-1);
        return combo;
    }
    case ControlType::ImageBar:
        return new CImageBar(parent);
    case ControlType::AttitudeArea:
        return new CAttitudeArea(parent);
    case ControlType::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setValue(0);
        // The percentage is written on the bar, for everyone who cannot
        // judge a bar's length.
        bar->setTextVisible(true);
        bar->setAlignment(Qt::AlignCenter);
        return bar;
    }
    }
    return new QWidget(parent);
}

void FormHost::Connect(const ControlRow& row, QWidget* widget)
{
    const int id = row.id;
    switch (row.type) {
    case ControlType::Button:
    case ControlType::CheckBox:
        connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, this,
                [this, id] { events_->OnClicked(id); });
        break;
    case ControlType::Radio:
        connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, this, [this, id, widget] {
            // A click always selects, and deselects the group's other radio buttons.
            static_cast<QAbstractButton*>(widget)->setChecked(true);
            for (QRadioButton* other :
                 widget->parentWidget()->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly))
                if (other != widget)
                    other->setChecked(false);
            events_->OnClicked(id);
        });
        break;
    case ControlType::Edit:
    case ControlType::ReadOnlyEdit:
        connect(static_cast<QLineEdit*>(widget), &QLineEdit::textChanged, this,
                [this, id] { events_->OnTextChanged(id); });
        break;
    case ControlType::Slider:
        // Programmatic moves go through SetSliderPos with signals blocked, so
        // every change seen here comes from the user.
        connect(static_cast<QSlider*>(widget), &QSlider::valueChanged, this,
                [this, id] { events_->OnSliderMoved(id); });
        break;
    case ControlType::Combo:
        connect(static_cast<QComboBox*>(widget), &QComboBox::activated, this,
                [this, id] { events_->OnSelectionChanged(id); });
        break;
    default:
        break;
    }
}

} // namespace qav
