#pragma once
// The red "Changes not written to flash" mark both screens show while their
// board holds settings that a restart would lose. Hidden when made.
#include <QString>

class QLabel;
class QRect;
class QWidget;

namespace qav {

// `board` names the board in the mark's description for screen readers
// ("controller", "motor board").
QLabel* MakeUnflashedMark(QWidget* parent, const QRect& where, const QString& board);

} // namespace qav
