#pragma once
// The widgets the form host makes where Qt's own do not do: shared by the
// host's making of controls and by its accessible interfaces, which know
// the host's lists and radio buttons by these classes.
//
// GUI thread only.
#include "ui/FormHost.h"
#include "ui/Skin.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSlider>

#include <functional>

namespace qav::form {

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

// The skin's kind of a control of `type`.
SkinKind KindOf(ControlType type);

// Puts the accessible interfaces of the host's lists and radio buttons in
// place; before the host makes its first list, since a widget's interface
// is made at its first query and then kept.
void InstallAccessibleFactory();

// "AX:" is spoken as "AX".
QString SpokenName(const QString& caption);

} // namespace qav::form
