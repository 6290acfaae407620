#include "ui/Skin.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace qav {
namespace {

QImage Render(QWidget& w)
{
    w.resize(120, 40);
    w.ensurePolished();
    QImage image(w.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    w.render(&image);
    return image;
}

struct KindRow
{
    const char* what;
    SkinKind kind;
    std::function<QWidget*()> make;
};

// A tagged control is drawn by the sheet, an untagged one by the style: the
// selectors made from the kind codes match the tags the forms set.
TEST(Skin, EachKindOfControlIsDrawnByTheSheet)
{
    const QString sheet = SkinStyleSheet();
    EXPECT_FALSE(sheet.contains(QLatin1Char('$')));
    const QString previous = qApp->styleSheet();
    qApp->setStyleSheet(sheet);
    const KindRow rows[] = {
        {"push button", SkinKind::PushButton, [] { return new QPushButton(QStringLiteral("OK")); }},
        {"edit box", SkinKind::EditBox, [] { return new QLineEdit(QStringLiteral("12")); }},
        {"combo box", SkinKind::ComboBox, [] { return new QComboBox; }},
        {"group box", SkinKind::GroupBox, [] { return new QGroupBox(QStringLiteral("Roll")); }},
        {"slider", SkinKind::Slider, [] { return new QSlider(Qt::Horizontal); }},
        {"check box", SkinKind::CheckBox, [] { return new QCheckBox(QStringLiteral("Reverse")); }},
        {"progress bar", SkinKind::ProgressBar,
         [] {
             auto* bar = new QProgressBar;
             bar->setValue(50);
             return bar;
         }},
        {"form window", SkinKind::FormWindow, [] { return new QWidget; }},
    };
    for (const KindRow& row : rows) {
        std::unique_ptr<QWidget> plain(row.make());
        std::unique_ptr<QWidget> tagged(row.make());
        SetSkinKind(tagged.get(), row.kind);
        EXPECT_EQ(GetSkinKind(tagged.get()), row.kind) << row.what;
        EXPECT_NE(Render(*tagged), Render(*plain)) << row.what;
    }
    qApp->setStyleSheet(previous);
}

} // namespace
} // namespace qav
