#pragma once
// Keyboard focus only lands in the active window; offscreen windows become
// active when asked, but not by showing alone.
#include <QApplication>
#include <QTest>
#include <QWidget>

namespace qav::test {

inline bool ShowActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window, 2000);
}

} // namespace qav::test
