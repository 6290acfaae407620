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

} // namespace qav
