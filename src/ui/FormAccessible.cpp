// What the host's controls tell assistive tools: their names, led by the
// scope word of their group, and the interfaces of its lists and radio
// buttons.
#include "ui/FormWidgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

namespace qav {
namespace form {
namespace {

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

} // namespace

void InstallAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(FormAccessibleFactory);
        return true;
    }();
    (void)installed;
}

QString SpokenName(const QString& caption)
{
    QString name = caption.trimmed();
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name;
}

} // namespace form

QString FormHost::AccessibleNameOf(const ControlRow& row) const
{
    QString name = Words(row.caption);
    if (row.type == ControlType::Label)
        return name;
    if (row.label != 0) {
        if (auto* label = qobject_cast<QLabel*>(Control(row.label))) {
            name = form::SpokenName(label->text());
            if (row.type == ControlType::Slider)
                name = tr("%1 slider").arg(name);
        }
    }
    // The nearest enclosing group with a scope word leads the name, so the
    // roll and tilt gains are told apart by a screen reader.
    for (const ControlRow* group = Row(row.group); group; group = Row(group->group)) {
        if (!group->scope)
            continue;
        const QString scope = Words(group->scope);
        if (!name.split(QLatin1Char(' ')).contains(scope))
            name = scope + QLatin1Char(' ') + name;
        break;
    }
    return name;
}

} // namespace qav
