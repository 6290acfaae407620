#include "ui/InkMarkup.h"

#include "protocol/StatusMarkup.h"

namespace qav {
namespace {

QColor ColourByName(std::string_view name)
{
    if (name == "blue")
        return QColor(0, 0, 255);
    if (name == "red")
        return QColor(255, 0, 0);
    if (name == "green")
        return QColor(0, 85, 0); // a dark green, not 255
    return QColor(0, 0, 0);
}

} // namespace

QList<InkRun> ParseInk(const QString& message)
{
    // The tags are ASCII, so the markup is read on the UTF-8 text and each
    // run converted back whole.
    const QByteArray utf8 = message.toUtf8();
    QList<InkRun> runs;
    for (const MarkupRun& run : SplitStatusMarkup(std::string_view(utf8.constData(), utf8.size())))
        runs.append({QString::fromUtf8(run.text.data(), static_cast<qsizetype>(run.text.size())),
                     ColourByName(run.colour)});
    return runs;
}

QString InkPlainText(const QString& message)
{
    const QByteArray utf8 = message.toUtf8();
    return QString::fromStdString(StatusPlainText(std::string_view(utf8.constData(), utf8.size())));
}

QList<InkRun> ElideInk(const QList<InkRun>& runs, const QFontMetrics& metrics, int width, bool* elided)
{
    int total = 0;
    for (const InkRun& run : runs)
        total += metrics.horizontalAdvance(run.text);
    *elided = total > width;
    if (!*elided)
        return runs;
    const QString ellipsis = QStringLiteral("…");
    int room = width - metrics.horizontalAdvance(ellipsis);
    QList<InkRun> cut;
    for (const InkRun& run : runs) {
        const int w = metrics.horizontalAdvance(run.text);
        if (w <= room) {
            cut.append(run);
            room -= w;
            continue;
        }
        // The longest start of this run that fits, by halving.
        qsizetype lo = 0, hi = run.text.size();
        while (lo < hi) {
            const qsizetype mid = (lo + hi + 1) / 2;
            if (metrics.horizontalAdvance(run.text.left(mid)) <= room)
                lo = mid;
            else
                hi = mid - 1;
        }
        if (lo > 0 && run.text.at(lo - 1).isHighSurrogate())
            --lo; // never half a character
        cut.append({run.text.left(lo) + ellipsis, run.color});
        break;
    }
    return cut;
}

} // namespace qav
