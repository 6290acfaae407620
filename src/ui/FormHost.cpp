#include "ui/FormHost.h"

#include "ui/AttitudeArea.h"
#include "ui/ImageBar.h"
#include "ui/LiveBox.h"
#include "ui/Skin.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
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
        // An entry may be longer than the list is wide (a port with its
        // adapter's name): the open list grows to show it whole.
        view()->setMinimumWidth(view()->sizeHintForColumn(0) + 2 * view()->frameWidth());
        QComboBox::showPopup();
    }

private:
    std::function<void()> aboutToOpen_;
};

// Marks the radio buttons the host makes, for the accessibility factory.
class FormRadio : public QRadioButton
{
public:
    using QRadioButton::QRadioButton;
};

// Qt on Linux names a list by its shown entry and leaves the label to a
// relation some readers ignore; ours is named by its label, and the chosen
// entry is its value, also readable as text.
class ComboAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit ComboAccessible(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QComboBox* Combo() const { return static_cast<QComboBox*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const QString name = widget()->accessibleName();
            return name.isEmpty() ? Combo()->currentText() : name;
        }
        if (t == QAccessible::Value)
            return Combo()->currentText();
        return QAccessibleWidget::text(t);
    }

    // The drop-down list, whose current entry is the chosen one.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(Combo()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() == Combo()->view() ? 0 : -1;
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction())
            Combo()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

    // Read-only text: the chosen entry.
    QString text(int start, int end) const override { return Combo()->currentText().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(Combo()->currentText().size()); }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override
    {
        *start = *end = offset;
        return {};
    }
};

// Qt reports a radio button that is not auto-exclusive as a check box; the
// host's radio buttons are exclusive, only by hand.
class RadioAccessible : public QAccessibleWidget
{
public:
    explicit RadioAccessible(QRadioButton* radio) : QAccessibleWidget(radio, QAccessible::RadioButton) {}

    QRadioButton* Radio() const { return static_cast<QRadioButton*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return Radio()->text();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = Radio()->isChecked();
        return s;
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            Radio()->click();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* FormAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QComboBox")) {
        if (auto* combo = dynamic_cast<FormCombo*>(object))
            return new ComboAccessible(combo);
    } else if (className == QLatin1String("QRadioButton")) {
        if (auto* radio = dynamic_cast<FormRadio*>(object))
            return new RadioAccessible(radio);
    }
    return nullptr;
}

// A widget's accessible interface is made at its first query and then kept;
// the factory must be in place before the host makes its first list.
void InstallAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(FormAccessibleFactory);
        return true;
    }();
    (void)installed;
}

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
    InstallAccessibleFactory();
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
        if (row.label != 0) {
            // The slider and the box beside it share one label; the box is
            // its buddy.
            auto* label = qobject_cast<QLabel*>(Control(row.label));
            if (label && row.type != ControlType::Slider && !label->buddy())
                label->setBuddy(w);
        }
        w->setAccessibleName(AccessibleNameOf(row));
    }
    for (const ControlRow& row : rows_)
        Connect(row, Control(row.id));
    qApp->installEventFilter(this);
}

FormHost::~FormHost()
{
    qApp->removeEventFilter(this);
}

QString FormHost::AccessibleNameOf(const ControlRow& row) const
{
    QString name = QString::fromUtf8(row.caption);
    if (row.type == ControlType::Label)
        return name;
    if (row.label != 0) {
        if (auto* label = qobject_cast<QLabel*>(Control(row.label))) {
            name = SpokenName(label->text());
            if (row.type == ControlType::Slider)
                name += QStringLiteral(" slider");
        }
    }
    // The nearest enclosing group with a scope word leads the name, so the
    // roll and tilt gains are told apart by a screen reader.
    for (const ControlRow* group = Row(row.group); group; group = Row(group->group)) {
        if (!group->scope)
            continue;
        const QString scope = QString::fromUtf8(group->scope);
        if (!name.split(QLatin1Char(' ')).contains(scope))
            name = scope + QLatin1Char(' ') + name;
        break;
    }
    return name;
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
    if (auto* live = qobject_cast<CLiveBox*>(w))
        return live->LiveText();
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
    else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(text);
        // A label is read by its name only, so the name keeps up.
        label->setAccessibleName(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w))
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
