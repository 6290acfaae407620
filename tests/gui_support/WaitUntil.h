#pragma once
// Handles the program's events until `condition` holds; false once
// `patience` (kPatience unless told) has run out. What the screens do
// happens in their event loop, so this is how a GUI test waits for it.
#include "support/Patience.h"

#include <QTest>

namespace qav::test {

template <class Condition> bool WaitUntil(Condition condition, std::chrono::milliseconds patience = kPatience)
{
    return QTest::qWaitFor(condition, static_cast<int>(patience.count()));
}

} // namespace qav::test
