#include "ui/FormHost.h"

#include "ui/FormWidgets.h"
#include "ui/LiveBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

namespace qav {

FormHost::FormHost(const std::vector<ControlRow>& rows, IFormEvents* events, QWidget* parent,
                   const char* context)
    : QWidget(parent), events_(events), context_(context), rows_(rows)
{
    form::InstallAccessibleFactory();
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
        SetSkinKind(w, form::KindOf(row.type));
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

QString FormHost::Words(const char* text, const char* context) const
{
    if (!context)
        context = context_;
    if (!context || !text || !*text)
        return QString::fromUtf8(text);
    return QCoreApplication::translate(context, text);
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
