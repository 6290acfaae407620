#pragma once
// A status line that keeps every message it was given, in order.
#include "ui/StatusLine.h"

#include <QStringList>

namespace qav::test {

class RecordingStatus : public IStatusLine
{
public:
    void SetStatusText(const QString& text) override
    {
        texts << text;
        details.clear();
    }
    void SetStatusDetails(const QString& text) override { details = text; }
    void SetProgress(int position) override { progress = position; }
    int Count(const QString& text) const { return static_cast<int>(texts.count(text)); }
    QStringList texts;
    QString details; // of the last message
    int progress = 0;
};

} // namespace qav::test
