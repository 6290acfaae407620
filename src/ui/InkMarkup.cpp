#include "ui/InkMarkup.h"

namespace qav {
namespace {

const QString kTagStart = QStringLiteral("$INK");
const QChar kTagEnd = QLatin1Char('$');

bool ColourByName(const QString& name, QColor& colour)
{
    struct Named
    {
        const char* name;
        QColor colour;
    };
    static const Named kColours[] = {
        {"black", QColor(0, 0, 0)},
        {"blue", QColor(0, 0, 255)},
        {"red", QColor(255, 0, 0)},
        {"green", QColor(0, 85, 0)},
    };
    for (const Named& n : kColours) {
        if (name == QLatin1String(n.name)) {
            colour = n.colour;
            return true;
        }
    }
    return false;
}

} // namespace

QList<InkRun> ParseInk(const QString& message)
{
    QList<InkRun> runs;
    QColor colour(0, 0, 0);
    qsizetype at = 0;
    for (;;) {
        const qsizetype tag = message.indexOf(kTagStart, at);
        const QString part = message.mid(at, tag < 0 ? -1 : tag - at);
        if (!part.isEmpty())
            runs.append({part, colour});
        if (tag < 0)
            break;
        const qsizetype nameStart = tag + kTagStart.size();
        const qsizetype close = message.indexOf(kTagEnd, nameStart);
        if (close < 0)
            break;
        ColourByName(message.mid(nameStart, close - nameStart), colour);
        at = close + 1;
    }
    return runs;
}

QString InkPlainText(const QString& message)
{
    QString plain;
    for (const InkRun& run : ParseInk(message))
        plain += run.text;
    return plain;
}

} // namespace qav
