#pragma once
// Keyboard focus only lands in the active window; offscreen windows become
// active when asked, but not by showing alone.
#include "support/Patience.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

namespace qav::test {

inline bool ShowActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window, static_cast<int>(kPatience.count()));
}

} // namespace qav::test
