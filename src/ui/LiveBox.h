#pragma once
// A read-only box whose value the controller changes up to 50 times a
// second. It is a QLineEdit in every way the program and assistive tools
// see (text, accessible name and value, selection, focus), but while it is
// not being interacted with it shows its values cheaply:
//  - its frame, drawn by the style (the skin's style sheet), is kept as a
//    picture and only the text is drawn anew, from glyphs looked up once;
//  - a value given with SetLiveText is painted with the next round of the
//    readings' pace (ui/PaintPacer.h), while the line
//    edit's own text, whose every change lays the text out again and is
//    announced to assistive tools, follows at most kTextFollowsWithin later
//    (kTextFollowsUnheard while no assistive tool is active and values keep
//    coming; at once while the box has focus).
// With focus or a selection it paints as any line edit. The line edit's
// text lags behind because laying it out again 50 times a second cost more,
// measured, than everything else of showing a value.
//
// A box that elides (a status box) draws a text too long for it cut with
// "…", and gives the whole text as its tooltip and accessible description
// while it is cut.
#include <QBasicTimer>
#include <QColor>
#include <QLineEdit>
#include <QPixmap>
#include <QRawFont>

#include <array>
#include <chrono>
#include <functional>
#include <optional>

namespace qav {

class CLiveBox : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kTextFollowsWithin{500};
    static constexpr std::chrono::milliseconds kTextFollowsUnheard{2000};
    using Clock = std::chrono::steady_clock;

    explicit CLiveBox(QWidget* parent = nullptr);

    // Shows `text` with the next paint; text() follows as said above.
    void SetLiveText(const QString& text);
    // Shows the text `format` makes of `value` (with `key`, what the value
    // is of), made only when the box is painted or its text is read: most
    // of 50 values a second are never painted. The same value, format and
    // key again change nothing.
    using Format = QString (*)(std::size_t key, double value);
    void SetLiveValue(double value, Format format, std::size_t key);
    // The value shown: the last one given, by SetLiveText, SetLiveValue or
    // setText.
    const QString& LiveText() const
    {
        MakeText();
        return live_;
    }

    // Cut long texts with "…" (see above).
    void SetElideLongText(bool elide);
    // The text as drawn without focus: LiveText(), or its cut form.
    QString ShownText() const;
    bool Elided() const { return elided_; }
    // What the value stands for in full (a list it only counts): the
    // tooltip and accessible description, after the whole text when that
    // is cut. A new value goes without it.
    void SetDetails(const QString& details);

    // Where values are drawn, for the look last painted (tests).
    QRect TextArea() const { return textArea_; }

    // How many times the frame picture was drawn by the style (tests).
    int FramesRendered() const { return framesRendered_; }

    // Where the box reads the time (tests move a clock of their own).
    void SetClock(std::function<Clock::time_point()> now) { now_ = std::move(now); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    struct Value
    {
        double value;
        Format format;
        std::size_t key;
        bool operator==(const Value&) const = default;
    };
    // Makes live_ of the value given last, if that is not done yet.
    void MakeText() const;
    // What a new value to show sets off: its paint and the text following.
    void ShowNewValue();
    // The colour behind the box: that of the group box or screen it is on.
    QColor Behind() const;
    // Brings the line edit's own text up to the value shown.
    void FollowLiveText();
    // Whether the frame picture and text area fit the box's present look.
    bool FrameIsCurrent() const;
    void RenderFrame();
    // The width of `text` drawn from the kept glyphs, or a negative value
    // when it has a character they do not cover.
    qreal GlyphWidth(const QString& text);
    // Whether `text` is painted by this box rather than as a line edit.
    bool PaintsItself(const QString& text);
    // Where the style puts the text, less the line edit's own margins.
    int TextWidth() const;
    void UpdateElision();

    mutable QString live_;
    // The value live_ is (or is yet to be) made of, when one was given.
    std::optional<Value> value_;
    mutable bool unmade_ = false;
    QString details_; // of live_
    bool elide_ = false;
    bool elided_ = false;
    QBasicTimer followTimer_;
    std::function<Clock::time_point()> now_ = [] { return Clock::now(); };
    std::optional<Clock::time_point> followedAt_; // the text last followed
    Clock::time_point changedAt_{};               // the value last changed

    QPixmap frame_;
    qint64 framePalette_ = 0;
    bool frameEnabled_ = false;
    QColor frameBehind_;
    QMargins frameMargins_;
    // Where the text goes, for the frame drawn, and its first baseline point.
    QRect textArea_;
    QPointF textOrigin_;
    // The frame's colour all over the text area, when it is one colour.
    QColor textGround_;
    int framesRendered_ = 0;

    // Printable ASCII (all a value needs) as glyphs of the box's font.
    static constexpr char16_t kFirstGlyph = 0x20, kLastGlyph = 0x7e;
    QRawFont rawFont_;
    bool glyphsReady_ = false;
    std::array<quint32, kLastGlyph - kFirstGlyph + 1> glyphIndex_{};
    std::array<qreal, kLastGlyph - kFirstGlyph + 1> glyphAdvance_{};
};

} // namespace qav
