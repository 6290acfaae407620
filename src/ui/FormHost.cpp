#include "ui/FormHost.h"

#include "ui/AttitudeArea.h"
#include "ui/ImageBar.h"
#include "ui/Skin.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include <functional>

namespace qav {
namespace {

// A slider that reports the end of every mouse drag or click, also one that
// leaves the position where it was.
class FormSlider : public QSlider
{
public:
    FormSlider(std::function<void()> released, QWidget* parent)
        : QSlider(Qt::Horizontal, parent), released_(std::move(released))
    {
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QSlider::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton)
            released_();
    }

private:
    std::function<void()> released_;
};

// A list that tells the screen before it opens, so the screen can refill it.
class FormCombo : public QComboBox
{
public:
    FormCombo(std::function<void()> aboutToOpen, QWidget* parent)
        : QComboBox(parent), aboutToOpen_(std::move(aboutToOpen))
    {
    }

    void showPopup() override
    {
        aboutToOpen_();
        QComboBox::showPopup();
    }

private:
    std::function<void()> aboutToOpen_;
};

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

// "AX:" is spoken as "AX".
QString SpokenName(const QString& caption)
{
    QString name = caption.trimmed();
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name;
}

} // namespace

FormHost::FormHost(const std::vector<ControlRow>& rows, IFormEvents* events, QWidget* parent)
    : QWidget(parent), events_(events), rows_(rows)
{
    SetSkinKind(this, SkinKind::FormWindow);
    setAttribute(Qt::WA_StyledBackground, true);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const ControlRow& row = rows_[i];
        Q_ASSERT_X(!controls_.contains(row.id), "FormHost", "duplicate control id");
        rowIndex_.insert(row.id, static_cast<int>(i));
        QWidget* parentWidget = this;
        if (row.group != 0) {
            parentWidget = Control(row.group);
            Q_ASSERT_X(parentWidget, "FormHost", "group row must come first");
            if (!parentWidget)
                parentWidget = this;
        }
        QWidget* w = Create(row, parentWidget);
        w->setObjectName(QString::number(row.id));
        SetSkinKind(w, KindOf(row.type));
        // Table rectangles are screen coordinates.
        w->setGeometry(
            QRect(parentWidget->mapTo(this, QPoint(0, 0)) * -1 + row.rect.topLeft(), row.rect.size()));
        if (row.hidden)
            w->setVisible(false);
        controls_.insert(row.id, w);
    }
    // Accessible names, once every label exists.
    for (const ControlRow& row : rows_) {
        QWidget* w = Control(row.id);
        QString name = QString::fromUtf8(row.caption);
        if (row.label != 0) {
            if (auto* label = qobject_cast<QLabel*>(Control(row.label))) {
                name = SpokenName(label->text());
                // The slider and the box beside it share one label; the box
                // is its buddy and keeps the plain name.
                if (row.type == ControlType::Slider)
                    name += QStringLiteral(" slider");
                else if (!label->buddy())
                    label->setBuddy(w);
            }
        }
        w->setAccessibleName(name);
    }
    for (const ControlRow& row : rows_)
        Connect(row, Control(row.id));
    qApp->installEventFilter(this);
}

FormHost::~FormHost()
{
    qApp->removeEventFilter(this);
}

QWidget* FormHost::Create(const ControlRow& row, QWidget* parent)
{
    const QString caption = QString::fromUtf8(row.caption);
    const int id = row.id;
    switch (row.type) {
    case ControlType::Button:
        return new QPushButton(caption, parent);
    case ControlType::CheckBox:
        return new QCheckBox(caption, parent);
    case ControlType::Radio: {
        auto* radio = new QRadioButton(caption, parent);
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
        auto* edit = new QLineEdit(parent);
        edit->setReadOnly(row.type == ControlType::ReadOnlyEdit);
        return edit;
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
            combo->addItem(QString::fromUtf8(item));
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
        bar->setTextVisible(false);
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

const ControlRow* FormHost::Row(int id) const
{
    const auto it = rowIndex_.constFind(id);
    return it == rowIndex_.constEnd() ? nullptr : &rows_[static_cast<std::size_t>(*it)];
}

int FormHost::IdOf(const QWidget* widget) const
{
    for (const QWidget* w = widget; w && w != this; w = w->parentWidget()) {
        bool ok = false;
        const int id = w->objectName().toInt(&ok);
        if (ok && Control(id) == w)
            return id;
    }
    return 0;
}

int FormHost::FocusedId() const
{
    return IdOf(QApplication::focusWidget());
}

QString FormHost::Text(int id) const
{
    QWidget* w = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(w))
        return group->title();
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->currentText();
    if (auto* spin = qobject_cast<QSpinBox*>(w))
        return spin->text();
    return {};
}

void FormHost::SetText(int id, const QString& text)
{
    QWidget* w = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text); // reports the change, as any change of a box's text does
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(w))
        group->setTitle(text);
}

bool FormHost::Checked(int id) const
{
    auto* button = qobject_cast<QAbstractButton*>(Control(id));
    return button && button->isChecked();
}

void FormHost::SetChecked(int id, bool checked)
{
    if (auto* button = qobject_cast<QAbstractButton*>(Control(id)))
        button->setChecked(checked);
}

int FormHost::Selection(int id) const
{
    auto* combo = qobject_cast<QComboBox*>(Control(id));
    return combo ? combo->currentIndex() : -1;
}

void FormHost::SetSelection(int id, int index)
{
    if (auto* combo = qobject_cast<QComboBox*>(Control(id)))
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

int FormHost::ItemCount(int id) const
{
    auto* combo = qobject_cast<QComboBox*>(Control(id));
    return combo ? combo->count() : 0;
}

QString FormHost::ItemText(int id, int index) const
{
    auto* combo = qobject_cast<QComboBox*>(Control(id));
    return combo ? combo->itemText(index) : QString();
}

void FormHost::SetItems(int id, const QStringList& items)
{
    if (auto* combo = qobject_cast<QComboBox*>(Control(id))) {
        combo->clear();
        combo->addItems(items);
        combo->setCurrentIndex(-1);
    }
}

bool FormHost::Enabled(int id) const
{
    QWidget* w = Control(id);
    return w && w->isEnabled();
}

void FormHost::Enable(int id, bool enabled)
{
    if (QWidget* w = Control(id))
        w->setEnabled(enabled);
}

bool FormHost::Visible(int id) const
{
    QWidget* w = Control(id);
    return w && !w->isHidden();
}

int FormHost::SliderPos(int id) const
{
    if (auto* slider = qobject_cast<QSlider*>(Control(id)))
        return slider->value();
    if (auto* spin = qobject_cast<QSpinBox*>(Control(id)))
        return spin->value();
    if (auto* bar = qobject_cast<QProgressBar*>(Control(id)))
        return bar->value();
    return 0;
}

void FormHost::SetSliderPos(int id, int position)
{
    if (auto* slider = qobject_cast<QSlider*>(Control(id))) {
        const QSignalBlocker quiet(slider);
        slider->setValue(position);
    } else if (auto* bar = qobject_cast<QProgressBar*>(Control(id))) {
        bar->setValue(position);
    }
}

void FormHost::SetRange(int id, int low, int high)
{
    if (auto* slider = qobject_cast<QSlider*>(Control(id))) {
        const QSignalBlocker quiet(slider);
        slider->setRange(low, high);
    } else if (auto* spin = qobject_cast<QSpinBox*>(Control(id))) {
        const QSignalBlocker quiet(spin);
        spin->setRange(low, high);
    }
}

void FormHost::Focus(int id, bool selectAll)
{
    QWidget* w = Control(id);
    if (!w)
        return;
    w->setFocus(Qt::OtherFocusReason);
    if (selectAll) {
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            edit->selectAll();
    }
}

bool FormHost::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWidgetType()) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* target = static_cast<QWidget*>(watched);
        // A key event not taken by its receiver travels on to the parents;
        // only its first delivery, to the focus widget, counts.
        const bool firstDelivery =
            target == QApplication::focusWidget() || (!QApplication::focusWidget() && target->isWindow());
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && firstDelivery &&
            target->window() == window())
            events_->OnEnterKey(FocusedId(), type == QEvent::KeyPress, key->isAutoRepeat());
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace qav
