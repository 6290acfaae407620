#include "ui/LiveBox.h"
#include "ui/PaintPacer.h"
#include "ui/Skin.h"

#include "gui_support/WaitUntil.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPalette>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace qav {
namespace {

using namespace std::chrono_literals;

// A live box and a plain read-only line edit side by side under the skin:
// whatever the live box paints must be what the line edit paints.
class LiveBoxLook : public ::testing::Test
{
protected:
    void SetUp() override
    {
        screen_ = std::make_unique<QWidget>();
        screen_->setStyleSheet(SkinStyleSheet());
        QPalette behind = screen_->palette();
        behind.setColor(QPalette::Window, QColor(0xfb, 0xfc, 0xfd));
        screen_->setPalette(behind);
        live_ = new CLiveBox(screen_.get());
        plain_ = new QLineEdit(screen_.get());
        plain_->setReadOnly(true);
        for (QLineEdit* box : {static_cast<QLineEdit*>(live_), plain_}) {
            SetSkinKind(box, SkinKind::EditBox);
            box->ensurePolished();
        }
        // The plain box is filled beneath with the colour behind, as the live
        // box paints it itself.
        QPalette palette = plain_->palette();
        palette.setColor(QPalette::Window, QColor(0xfb, 0xfc, 0xfd));
        plain_->setPalette(palette);
        plain_->setBackgroundRole(QPalette::Window);
        plain_->setAutoFillBackground(true);
        plain_->move(0, 40);
    }

    static QImage Render(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_ARGB32); }

    void ExpectSameLook(const char* what)
    {
        const QImage live = Render(live_), plain = Render(plain_);
        ASSERT_EQ(live.size(), plain.size()) << what;
        int differing = 0;
        for (int y = 0; y < live.height(); ++y)
            for (int x = 0; x < live.width(); ++x)
                differing += live.pixel(x, y) != plain.pixel(x, y);
        EXPECT_EQ(differing, 0) << what << ": pixels differ from a plain line edit's";
        // A new value repaints the text area only, as it does on screen.
        QImage partial = live.copy();
        const QRect area = live_->TextArea();
        ASSERT_TRUE(area.isValid()) << what;
        partial.fill(Qt::magenta);
        live_->render(&partial, area.topLeft(), QRegion(area));
        EXPECT_EQ(partial.copy(area), live.copy(area)) << what << ": the text area alone";
    }

    std::unique_ptr<QWidget> screen_;
    CLiveBox* live_ = nullptr;
    QLineEdit* plain_ = nullptr;
};

TEST_F(LiveBoxLook, PaintsAsAReadOnlyLineEdit)
{
    const struct
    {
        const char* text;
        int width;
        bool enabled;
    } cases[] = {
        {"", 72, true},
        {"0", 72, true},
        {"-180.0", 100, true},
        {"12.5", 100, false},
        {"-0.98", 72, true},
        {"1500", 56, false},
        {"-32768", 56, true},
        {"123456789012345678901234567890", 72, true}, // longer than the box: scrolled as a line edit does
    };
    for (const auto& c : cases) {
        for (QLineEdit* box : {static_cast<QLineEdit*>(live_), plain_}) {
            box->resize(c.width, 24);
            box->setEnabled(c.enabled);
        }
        plain_->setText(QString::fromUtf8(c.text));
        // Given as a live value: shown at once, before the line edit's own
        // text follows.
        live_->SetLiveText(QString::fromUtf8(c.text));
        ExpectSameLook(c.text);
        live_->setText(QString::fromUtf8(c.text));
        ExpectSameLook(c.text);
    }
}

TEST_F(LiveBoxLook, StaysOpaqueUnderTheSkin)
{
    // What is behind it is then not painted again with every value.
    EXPECT_TRUE(live_->testAttribute(Qt::WA_OpaquePaintEvent)) << "after polishing";
    live_->setStyleSheet(QStringLiteral("QLineEdit { padding: 2px; }"));
    live_->ensurePolished();
    EXPECT_TRUE(live_->testAttribute(Qt::WA_OpaquePaintEvent)) << "after a new style sheet";
    live_->setEnabled(false);
    live_->setEnabled(true);
    EXPECT_TRUE(live_->testAttribute(Qt::WA_OpaquePaintEvent)) << "after being greyed and live again";
}

TEST_F(LiveBoxLook, FrameDrawnOncePerLookNotPerValue)
{
    live_->resize(72, 24);
    for (int i = 0; i < 20; ++i) {
        live_->setText(QString::number(i * 7 - 50));
        Render(live_);
    }
    EXPECT_EQ(live_->FramesRendered(), 1);
    live_->setEnabled(false); // greyed while stale: another frame, then kept
    for (int i = 0; i < 5; ++i) {
        live_->setText(QString::number(i));
        Render(live_);
    }
    EXPECT_EQ(live_->FramesRendered(), 2);
    live_->resize(100, 24);
    plain_->resize(100, 24);
    plain_->setEnabled(false);
    plain_->setText(live_->text());
    ExpectSameLook("after resize");
    EXPECT_EQ(live_->FramesRendered(), 3);
}

// Counts a box's paints and keeps the value each showed.
class PaintLog : public QObject
{
public:
    explicit PaintLog(CLiveBox* box) : box_(box) { box->installEventFilter(this); }
    QStringList shown;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            shown << box_->LiveText();
        return false;
    }

private:
    CLiveBox* box_;
};

TEST(LiveBox, EveryValueIsPaintedAndTheTextFollows)
{
    QWidget screen;
    screen.resize(120, 60);
    auto* box = new CLiveBox(&screen);
    // The box's clock moves only when the test moves it.
    CLiveBox::Clock::time_point now = CLiveBox::Clock::now();
    box->SetClock([&] { return now; });
    box->resize(100, 24);
    auto* other = new QLineEdit(&screen); // where the focus is
    other->move(0, 30);
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen, static_cast<int>(test::kPatience.count())));
    other->setFocus();
    PaintLog log(box);
    // While an assistive tool listens, the text follows values that keep
    // coming at the shorter interval (offscreen, none listens).
    QAccessible::setActive(true);
    const auto follow =
        QAccessible::isActive() ? CLiveBox::kTextFollowsWithin : CLiveBox::kTextFollowsUnheard;
    const QString tooLong = QStringLiteral("123456789012345678901234567890");
    // Each step moves the clock by `before`, gives a value, then lets the
    // screen repaint; `text` is the line edit's own text afterwards.
    const struct
    {
        const char* value;
        std::chrono::milliseconds before;
        QString text;
    } steps[] = {
        {"+1.00", follow + 10ms, "+1.00"}, // the text follows
        {"+1.01", 0ms, "+1.00"},           // within the follow time: only painted
        {"+1.02", follow - 10ms, "+1.00"},
        {"+1.00", 20ms, "+1.00"}, // the text follows, back to a value it already had
        {"-0.50", 0ms, "+1.00"},
        {"-0.50", 0ms, "+1.00"}, // the same value: nothing to paint
        {"12", follow, "12"},
        {"123456789012345678901234567890", 0ms, tooLong}, // too long: a line edit at once
        {"7", 0ms, tooLong},
    };
    QString last;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.value);
        now += step.before;
        log.shown.clear();
        box->SetLiveText(QString::fromUtf8(step.value));
        EXPECT_EQ(box->LiveText(), QString::fromUtf8(step.value));
        // Painted at the pace of readings.
        if (QString::fromUtf8(step.value) != last) {
            EXPECT_TRUE(test::WaitUntil([&] { return !log.shown.isEmpty(); }));
            EXPECT_EQ(log.shown.join(u','), QString::fromUtf8(step.value)) << "painted";
        } else {
            EXPECT_EQ(PaintPacer::Instance().Pending(), 0);
            QApplication::processEvents();
            EXPECT_TRUE(log.shown.isEmpty());
        }
        EXPECT_EQ(box->text(), step.text);
        last = QString::fromUtf8(step.value);
    }
    // Once values stop, the line edit's own text catches up at the box's
    // next look, one follow time after the last value.
    now += follow;
    EXPECT_TRUE(test::WaitUntil([&] { return box->text() == last; }));
    // Read with focus, it is the value shown at once.
    box->SetLiveText(QStringLiteral("42"));
    box->setFocus();
    EXPECT_EQ(box->text(), QStringLiteral("42"));
    box->SetLiveText(QStringLiteral("43"));
    EXPECT_EQ(box->text(), QStringLiteral("43"));
    // Whoever sets the line edit's text sets the value shown.
    box->setText(QStringLiteral("-1"));
    EXPECT_EQ(box->LiveText(), QStringLiteral("-1"));
    QAccessible::setActive(false);
}

TEST(LiveBox, ValuesAreWrittenOutOnlyWhenPaintedOrRead)
{
    QWidget screen;
    screen.resize(120, 60);
    auto* box = new CLiveBox(&screen);
    box->resize(100, 24);
    auto* other = new QLineEdit(&screen); // where the focus is: the box is not being read
    other->move(0, 30);
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen, static_cast<int>(test::kPatience.count())));
    other->setFocus();
    static int written;
    written = 0;
    const CLiveBox::Format format = [](std::size_t key, double value) {
        ++written;
        return QString::number(value * static_cast<double>(key), 'f', 1);
    };
    PaintLog log(box);
    // Painted showing `text`, and no repaint asked for left (of this box, or
    // of any that earlier tests left).
    const auto painted = [&](const char* text) {
        return test::WaitUntil([&] {
            return PaintPacer::Instance().Pending() == 0 && !log.shown.isEmpty() &&
                   log.shown.last() == QLatin1String(text);
        });
    };
    // The first value: the line edit's own text follows it at once.
    box->SetLiveText(QStringLiteral("0"));
    ASSERT_TRUE(painted("0"));

    // Values that come faster than the box paints: only the one painted is written out.
    for (int i = 1; i <= 10; ++i)
        box->SetLiveValue(i, format, 2);
    EXPECT_EQ(written, 0);
    EXPECT_TRUE(painted("20.0"));
    EXPECT_EQ(written, 1);
    // The same value again changes nothing; another key is another value.
    box->SetLiveValue(10, format, 2);
    EXPECT_EQ(PaintPacer::Instance().Pending(), 0);
    box->SetLiveValue(10, format, 3);
    EXPECT_EQ(box->LiveText(), QStringLiteral("30.0")); // read before its paint
    EXPECT_TRUE(painted("30.0"));
    EXPECT_EQ(written, 2);
    // A text given in between replaces the value: the same value again is new.
    box->SetLiveText(QStringLiteral("-"));
    box->SetLiveValue(10, format, 3);
    EXPECT_EQ(box->LiveText(), QStringLiteral("30.0"));
    box->setText(QStringLiteral("7"));
    box->SetLiveValue(10, format, 3);
    EXPECT_EQ(box->LiveText(), QStringLiteral("30.0"));
}

TEST(LiveBox, ReadsAsALineEditToAssistiveTools)
{
    QWidget screen;
    auto* box = new CLiveBox(&screen);
    box->setAccessibleName(QStringLiteral("Roll"));
    box->setText(QStringLiteral("-12.5"));
    EXPECT_TRUE(box->isReadOnly());
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(box);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::EditableText);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("Roll"));
    EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("-12.5"));
}

} // namespace
} // namespace qav
