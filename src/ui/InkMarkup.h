#pragma once
// Status messages carry their colours inline: "$INK" + name + "$" switches
// the colour for the words after it, e.g. "$INKblue$Gains uploaded
// successfully!". Names are case-sensitive and exact: black, blue, red,
// green (a dark green, 0 85 0). An unknown name changes nothing and is not
// shown; a tag without its closing "$" ends the message there.
#include <QColor>
#include <QFontMetrics>
#include <QList>
#include <QString>

namespace qav {

struct InkRun
{
    QString text;
    QColor color;
    bool operator==(const InkRun&) const = default;
};

// The runs to draw, in order, starting in black. Runs with no text are left
// out.
QList<InkRun> ParseInk(const QString& message);

// What the message reads as when drawn, without its tags.
QString InkPlainText(const QString& message);

// The runs as drawn `width` pixels wide: unchanged when they fit, else cut
// after the last character that leaves room for "…", which ends the cut run
// in its colour. `elided` tells which.
QList<InkRun> ElideInk(const QList<InkRun>& runs, const QFontMetrics& metrics, int width, bool* elided);

} // namespace qav
