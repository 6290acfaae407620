#pragma once
// What the screens need from the status line at the bottom of the main
// window. GUI thread only.
#include <QString>

namespace qav {

class IStatusLine
{
public:
    virtual ~IStatusLine() = default;
    // Replaces the message, tags and all ("$INKred$..."), and repaints; the
    // details of the message before go with it.
    virtual void SetStatusText(const QString& text) = 0;
    // What the message stands for in full (a list it only counts), shown
    // as the status line's tooltip and accessible description.
    virtual void SetStatusDetails(const QString& details) = 0;
    // 0 to 100.
    virtual void SetProgress(int position) = 0;
};

} // namespace qav
