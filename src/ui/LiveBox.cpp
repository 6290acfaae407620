#include "ui/LiveBox.h"

#include "ui/PaintPacer.h"

#include <QAccessible>
#include <QEvent>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <utility>

namespace qav {
namespace {

// The line edit's own margins around its text (QLineEdit keeps them private).
constexpr int kHorizontalMargin = 2;

constexpr int kFollowMs = static_cast<int>(CLiveBox::kTextFollowsWithin.count());

// How long the line edit's text may lag while values keep coming: no one
// but an assistive tool reads it then (the program reads LiveText).
std::chrono::milliseconds FlowFollow()
{
    return QAccessible::isActive() ? CLiveBox::kTextFollowsWithin : CLiveBox::kTextFollowsUnheard;
}

// What a value is written with. Drawn glyph by glyph, unshaped: none of
// these joins or kerns with its neighbours in a text font.
bool IsValueCharacter(char16_t c)
{
    return (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.' || c == u',' || c == u' ';
}

} // namespace

CLiveBox::CLiveBox(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    // It paints its whole area, beneath its rounded corners with the colour
    // behind it, so what lies behind (group box, screen) is not painted
    // again with every value.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Whoever sets the line edit's text sets the value shown.
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        MakeText();
        if (text != live_)
            value_.reset();
        live_ = text;
        details_.clear();
        UpdateElision();
    });
}

void CLiveBox::SetElideLongText(bool elide)
{
    elide_ = elide;
    UpdateElision();
}

int CLiveBox::TextWidth() const
{
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    return style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins()).width() -
           2 * kHorizontalMargin;
}

QString CLiveBox::ShownText() const
{
    return elided_ ? fontMetrics().elidedText(LiveText(), Qt::ElideRight, TextWidth()) : LiveText();
}

void CLiveBox::SetDetails(const QString& details)
{
    details_ = details;
    UpdateElision();
}

void CLiveBox::UpdateElision()
{
    elided_ = elide_ && fontMetrics().horizontalAdvance(LiveText()) > TextWidth();
    QString tip = elided_ ? live_ : QString();
    if (!details_.isEmpty())
        tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + details_;
    if (tip == toolTip())
        return;
    setToolTip(tip);
    setAccessibleDescription(tip);
}

void CLiveBox::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    UpdateElision();
}

void CLiveBox::SetLiveText(const QString& text)
{
    MakeText();
    value_.reset();
    if (text == live_)
        return;
    live_ = text;
    ShowNewValue();
}

void CLiveBox::SetLiveValue(double value, Format format, std::size_t key)
{
    const Value given{value, format, key};
    if (value_ == given)
        return;
    value_ = given;
    unmade_ = true;
    ShowNewValue();
}

void CLiveBox::MakeText() const
{
    if (!std::exchange(unmade_, false))
        return;
    live_ = value_->format(value_->key, value_->value);
}

void CLiveBox::ShowNewValue()
{
    details_.clear();
    UpdateElision();
    changedAt_ = now_();
    // A value the box cannot paint itself (too long, say) is followed by
    // its paint.
    const bool followNow = hasFocus() || !followedAt_ || changedAt_ - *followedAt_ >= FlowFollow();
    if (followNow)
        FollowLiveText();
    else if (!followTimer_.isActive())
        followTimer_.start(kFollowMs, Qt::CoarseTimer, this);
    // Also when the line edit's text already was this value.
    PaintPacer::Instance().Update(this, textArea_, PaintPacer::Pace::Reading);
}

void CLiveBox::FollowLiveText()
{
    followTimer_.stop();
    followedAt_ = now_();
    MakeText();
    if (text() != live_)
        setText(QString(live_)); // a copy: the change handler assigns live_
}

void CLiveBox::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != followTimer_.timerId()) {
        QLineEdit::timerEvent(event);
        return;
    }
    // While values keep coming, the next one brings the text up to date in
    // the repaint it causes anyway; once they stop, the last one is followed
    // here.
    const Clock::time_point now = now_();
    if (now - changedAt_ >= kTextFollowsWithin || !followedAt_ || now - *followedAt_ >= 2 * FlowFollow())
        FollowLiveText();
}

void CLiveBox::focusInEvent(QFocusEvent* event)
{
    // Read with focus, the box is a line edit and shows its own text.
    FollowLiveText();
    QLineEdit::focusInEvent(event);
}

void CLiveBox::mousePressEvent(QMouseEvent* event)
{
    FollowLiveText(); // a selection starts on the value shown
    QLineEdit::mousePressEvent(event);
}

bool CLiveBox::event(QEvent* event)
{
    const bool taken = QLineEdit::event(event);
    // Polishing by a style sheet clears the attribute: it is set again.
    if (event->type() == QEvent::Polish || event->type() == QEvent::StyleChange)
        setAttribute(Qt::WA_OpaquePaintEvent);
    return taken;
}

QColor CLiveBox::Behind() const
{
    const QWidget* under = parentWidget() ? parentWidget() : this;
    return under->palette().color(QPalette::Window);
}

void CLiveBox::changeEvent(QEvent* event)
{
    // A new style sheet or palette draws another frame; a new font needs
    // other glyphs.
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::FontChange)
        frame_ = QPixmap();
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange)
        glyphsReady_ = false;
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange)
        UpdateElision();
}

bool CLiveBox::FrameIsCurrent() const
{
    return !frame_.isNull() && frame_.deviceIndependentSize().toSize() == size() &&
           frame_.devicePixelRatio() == devicePixelRatioF() && framePalette_ == palette().cacheKey() &&
           frameEnabled_ == isEnabled() && frameBehind_ == Behind() && frameMargins_ == textMargins();
}

void CLiveBox::RenderFrame()
{
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    // The text where QLineEdit puts it: left, centred on the line height.
    textArea_ =
        style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
    const QFontMetrics fm = fontMetrics();
    textOrigin_ = QPointF(textArea_.x() + kHorizontalMargin,
                          textArea_.y() + (textArea_.height() - fm.height() + 1) / 2 + fm.ascent());
    const qreal ratio = devicePixelRatioF();
    frame_ = QPixmap((QSizeF(size()) * ratio).toSize());
    frame_.setDevicePixelRatio(ratio);
    frame_.fill(Behind());
    QPainter fp(&frame_);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &fp, this);
    fp.end();
    // Where the frame is of one colour all over the text area, a new value
    // is painted on a plain fill rather than on a copy of the picture.
    textGround_ = QColor();
    const QImage inside = frame_.toImage().copy(
        QRectF(QPointF(textArea_.topLeft()) * ratio, QSizeF(textArea_.size()) * ratio).toAlignedRect());
    if (!inside.isNull()) {
        const QRgb first = inside.pixel(0, 0);
        bool plain = true;
        for (int y = 0; plain && y < inside.height(); ++y)
            for (int x = 0; plain && x < inside.width(); ++x)
                plain = inside.pixel(x, y) == first;
        if (plain)
            textGround_ = QColor::fromRgba(first);
    }
    framePalette_ = palette().cacheKey();
    frameEnabled_ = isEnabled();
    frameBehind_ = Behind();
    frameMargins_ = textMargins();
    ++framesRendered_;
}

qreal CLiveBox::GlyphWidth(const QString& text)
{
    if (!glyphsReady_) {
        rawFont_ = QRawFont::fromFont(font());
        for (char16_t c = kFirstGlyph; c <= kLastGlyph; ++c) {
            const QChar ch(c);
            quint32 index = 0;
            int count = 1;
            QPointF advance;
            if (!IsValueCharacter(c) || !rawFont_.isValid() || !rawFont_.glyphIndexesForChars(&ch, 1, &index, &count) ||
                count != 1 || !rawFont_.advancesForGlyphIndexes(&index, &advance, 1))
                index = 0;
            glyphIndex_[c - kFirstGlyph] = index;
            glyphAdvance_[c - kFirstGlyph] = advance.x();
        }
        glyphsReady_ = true;
    }
    qreal width = 0;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < kFirstGlyph || c > kLastGlyph || glyphIndex_[c - kFirstGlyph] == 0)
            return -1;
        width += glyphAdvance_[c - kFirstGlyph];
    }
    return width;
}

bool CLiveBox::PaintsItself(const QString& text)
{
    // Being read, selected or scrolled (too long for the box), it is drawn
    // as a line edit draws itself.
    if (hasFocus() || hasSelectedText() || !isReadOnly() || layoutDirection() != Qt::LeftToRight ||
        alignment() != (Qt::AlignLeft | Qt::AlignVCenter))
        return false;
    const qreal width = GlyphWidth(text);
    return width >= 0 && qRound(width) + 1 <= textArea_.width() - 2 * kHorizontalMargin;
}

void CLiveBox::paintEvent(QPaintEvent* event)
{
    MakeText();
    if (!FrameIsCurrent())
        RenderFrame();
    if (elided_ && !hasFocus() && !hasSelectedText()) {
        // Cut with "…" on the box's own frame; with focus it scrolls as a
        // line edit does, so every word can be read.
        QPainter p(this);
        p.drawPixmap(rect(), frame_);
        p.setPen(palette().text().color());
        p.drawText(textArea_.adjusted(kHorizontalMargin, 0, -kHorizontalMargin, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   ShownText());
        return;
    }
    if (!PaintsItself(live_)) {
        if (text() != live_)
            FollowLiveText(); // its repaint follows this one
        QPainter(this).fillRect(rect(), Behind());
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter p(this);
    // Only where the box is repainted: the text area, for a new value.
    const QRect dirty = event->rect();
    if (textGround_.isValid() && textArea_.contains(dirty))
        p.fillRect(dirty, textGround_);
    else
        p.drawPixmap(dirty, frame_, QRectF(QPointF(dirty.topLeft()) * frame_.devicePixelRatio(),
                                           QSizeF(dirty.size()) * frame_.devicePixelRatio()));
    if (live_.isEmpty())
        return;
    QList<quint32> indexes;
    QList<QPointF> positions;
    indexes.reserve(live_.size());
    positions.reserve(live_.size());
    qreal x = 0;
    for (const QChar ch : live_) {
        const auto i = static_cast<std::size_t>(ch.unicode() - kFirstGlyph);
        indexes.append(glyphIndex_[i]);
        positions.append(QPointF(x, 0));
        x += glyphAdvance_[i];
    }
    QGlyphRun run;
    run.setRawFont(rawFont_);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    p.setClipRect(textArea_);
    p.setPen(palette().text().color());
    p.drawGlyphRun(textOrigin_, run);
}

} // namespace qav
