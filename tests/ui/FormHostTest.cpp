#include "ui/FormHost.h"
#include "ui/Skin.h"

#include "gui_support/Activate.h"
#include "gui_support/QtPrinters.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace qav {
namespace {

struct Event
{
    const char* what;
    int id;
    bool operator==(const Event& o) const { return std::string(what) == o.what && id == o.id; }
};
void PrintTo(const Event& e, std::ostream* os)
{
    *os << e.what << "(" << e.id << ")";
}

class Recorder : public IFormEvents
{
public:
    void OnClicked(int id) override { events.push_back({"click", id}); }
    void OnTextChanged(int id) override { events.push_back({"text", id}); }
    void OnSelectionChanged(int id) override { events.push_back({"select", id}); }
    void OnDropDown(int id) override { events.push_back({"dropdown", id}); }
    void OnSliderMoved(int id) override { events.push_back({"moved", id}); }
    void OnSliderReleased(int id) override { events.push_back({"released", id}); }
    void OnEnterKey(int id, bool down, bool) override
    {
        events.push_back({down ? "enter-down" : "enter-up", id});
    }
    std::vector<Event> events;
};

using T = ControlType;

std::vector<ControlRow> Table()
{
    return {
        {10, T::Group, "Axis", {10, 10, 300, 200}},
        {11, T::Label, "Gain:", {20, 40, 60, 24}, false, 10},
        {12, T::Slider, "", {80, 40, 150, 24}, false, 10, 11},
        {13, T::Edit, "", {240, 40, 60, 24}, false, 10, 11},
        {14, T::CheckBox, "Reverse", {20, 80, 100, 24}, false, 10},
        {20, T::Group, "Mode", {320, 10, 200, 100}},
        {21, T::Radio, "Off", {330, 40, 80, 24}, false, 20},
        {22, T::Radio, "On", {420, 40, 80, 24}, false, 20},
        {23, T::Radio, "Third", {420, 70, 80, 24}, true, 20},
        {30, T::Label, "List", {330, 130, 60, 24}},
        {31, T::Combo, "", {390, 130, 120, 24}, false, 0, 30, {"one", "two", "three"}},
        {40, T::Edit, "Secret box", {0, 0, 60, 24}, true},
        {41, T::ReadOnlyEdit, "", {20, 230, 60, 24}},
    };
}

class FormHostTest : public ::testing::Test
{
protected:
    FormHostTest() : host_(Table(), &rec_)
    {
        host_.resize(540, 270);
        test::ShowActive(&host_);
        rec_.events.clear();
    }
    template <class W> W* Get(int id) { return qobject_cast<W*>(host_.Control(id)); }

    Recorder rec_;
    FormHost host_;
};

TEST_F(FormHostTest, ControlsAreNamedByIdAndPlacedInScreenCoordinates)
{
    for (const ControlRow& row : Table()) {
        QWidget* w = host_.Control(row.id);
        ASSERT_NE(w, nullptr) << row.id;
        EXPECT_EQ(w->objectName(), QString::number(row.id));
        EXPECT_EQ(QRect(w->mapTo(&host_, QPoint(0, 0)), w->size()), row.rect) << row.id;
        EXPECT_EQ(host_.Visible(row.id), !row.hidden) << row.id;
    }
    // Controls of a group are its children.
    EXPECT_EQ(host_.Control(13)->parentWidget(), host_.Control(10));
    EXPECT_EQ(host_.Control(31)->parentWidget(), &host_);
}

TEST_F(FormHostTest, AccessibleNamesComeFromCaptionsAndLabels)
{
    EXPECT_EQ(host_.Control(10)->accessibleName(), "Axis");
    EXPECT_EQ(host_.Control(14)->accessibleName(), "Reverse");
    EXPECT_EQ(host_.Control(13)->accessibleName(), "Gain");
    EXPECT_EQ(host_.Control(12)->accessibleName(), "Gain slider");
    EXPECT_EQ(host_.Control(31)->accessibleName(), "List");
    EXPECT_EQ(host_.Control(40)->accessibleName(), "Secret box");
    EXPECT_EQ(Get<QLabel>(11)->buddy(), host_.Control(13));
    EXPECT_EQ(Get<QLabel>(30)->buddy(), host_.Control(31));
}

TEST(FormHostNames, AGroupsScopeWordLeadsTheNamesInsideIt)
{
    Recorder rec;
    FormHost host({{50, T::Group, "Pan Setting", {0, 0, 300, 200}, false, 0, 0, {}, "Pan"},
                   {51, T::Label, "Gain:", {10, 20, 60, 24}, false, 50},
                   {52, T::Slider, "", {70, 20, 100, 24}, false, 50, 51},
                   {53, T::Edit, "", {180, 20, 60, 24}, false, 50, 51},
                   {54, T::Group, "Limit", {10, 60, 200, 80}, false, 50},
                   {55, T::Edit, "Max", {20, 90, 60, 24}, false, 54},
                   {56, T::CheckBox, "Reverse Pan", {20, 150, 100, 24}, false, 50},
                   {57, T::Combo, "Mode", {120, 150, 100, 24}, false, 50, 0, {"a", "b"}},
                   {60, T::Edit, "Outside", {0, 210, 60, 24}}},
                  &rec);
    const struct
    {
        int id;
        const char* name;
    } cases[] = {
        {50, "Pan Setting"}, {51, "Gain:"},     {52, "Pan Gain slider"},
        {53, "Pan Gain"},    {54, "Pan Limit"}, {55, "Pan Max"},
        {56, "Reverse Pan"}, {57, "Pan Mode"},  {60, "Outside"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(host.Control(c.id)->accessibleName().toStdString(), c.name) << c.id;
        EXPECT_EQ(
            QAccessible::queryAccessibleInterface(host.Control(c.id))->text(QAccessible::Name).toStdString(),
            c.name)
            << c.id;
    }
}

TEST_F(FormHostTest, EveryControlCarriesItsSkinKind)
{
    EXPECT_EQ(GetSkinKind(&host_), SkinKind::FormWindow);
    EXPECT_EQ(GetSkinKind(host_.Control(10)), SkinKind::GroupBox);
    EXPECT_EQ(GetSkinKind(host_.Control(11)), SkinKind::StaticText);
    EXPECT_EQ(GetSkinKind(host_.Control(12)), SkinKind::Slider);
    EXPECT_EQ(GetSkinKind(host_.Control(13)), SkinKind::EditBox);
    EXPECT_EQ(GetSkinKind(host_.Control(14)), SkinKind::CheckBox);
    EXPECT_EQ(GetSkinKind(host_.Control(21)), SkinKind::RadioButton);
    EXPECT_EQ(GetSkinKind(host_.Control(31)), SkinKind::ComboBox);
    EXPECT_EQ(GetSkinKind(host_.Control(41)), SkinKind::EditBox);
}

TEST_F(FormHostTest, TextChangesAreReportedAlsoWhenTheProgramWrites)
{
    host_.SetText(13, "42");
    QTest::keyClick(host_.Control(13), Qt::Key_7);
    EXPECT_EQ(host_.Text(13), "427");
    EXPECT_EQ(rec_.events, (std::vector<Event>{{"text", 13}, {"text", 13}}));
}

TEST_F(FormHostTest, SliderReportsUserMovesNotProgramMoves)
{
    host_.SetRange(12, 0, 500);
    host_.SetSliderPos(12, 250);
    EXPECT_EQ(host_.SliderPos(12), 250);
    EXPECT_TRUE(rec_.events.empty());

    host_.Focus(12, false);
    QTest::keyClick(host_.Control(12), Qt::Key_Right);
    EXPECT_EQ(host_.SliderPos(12), 251);
    EXPECT_EQ(rec_.events, (std::vector<Event>{{"moved", 12}}));
}

TEST_F(FormHostTest, SliderReportsTheEndOfEveryMouseClick)
{
    host_.SetRange(12, 0, 500);
    auto* slider = Get<QSlider>(12);
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 3, slider->height() / 2));
    ASSERT_FALSE(rec_.events.empty());
    EXPECT_EQ(rec_.events.back(), (Event{"released", 12}));
    // A click that moves nothing still ends with a release.
    rec_.events.clear();
    host_.SetSliderPos(12, 500);
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 3, slider->height() / 2));
    EXPECT_EQ(rec_.events, (std::vector<Event>{{"released", 12}}));
}

TEST_F(FormHostTest, RadioClickSelectsItAndClearsItsGroup)
{
    host_.SetChecked(21, true);
    QTest::mouseClick(host_.Control(22), Qt::LeftButton);
    EXPECT_TRUE(host_.Checked(22));
    EXPECT_FALSE(host_.Checked(21));
    EXPECT_FALSE(host_.Checked(23));
    // Clicking the selected one keeps it selected and is still reported.
    QTest::mouseClick(host_.Control(22), Qt::LeftButton);
    EXPECT_TRUE(host_.Checked(22));
    EXPECT_EQ(rec_.events, (std::vector<Event>{{"click", 22}, {"click", 22}}));
    // The program may set each one freely, even all off.
    host_.SetChecked(22, false);
    EXPECT_FALSE(host_.Checked(21) || host_.Checked(22) || host_.Checked(23));
    host_.SetChecked(23, true);
    host_.SetChecked(21, true);
    EXPECT_TRUE(host_.Checked(21) && host_.Checked(23));
}

TEST_F(FormHostTest, CheckBoxClickTogglesBeforeItIsReported)
{
    bool seenChecked = false;
    QObject::connect(Get<QCheckBox>(14), &QCheckBox::clicked, [&] { seenChecked = host_.Checked(14); });
    QTest::mouseClick(host_.Control(14), Qt::LeftButton);
    EXPECT_TRUE(seenChecked);
    EXPECT_EQ(rec_.events, (std::vector<Event>{{"click", 14}}));
}

TEST_F(FormHostTest, ListsStartEmptyAndReportOnlyTheUsersChoice)
{
    EXPECT_EQ(host_.Selection(31), -1);
    EXPECT_EQ(host_.ItemCount(31), 3);
    host_.SetSelection(31, 1);
    EXPECT_EQ(host_.Selection(31), 1);
    EXPECT_TRUE(rec_.events.empty());
    host_.SetSelection(31, 7); // out of range: no selection
    EXPECT_EQ(host_.Selection(31), -1);

    host_.Focus(31, false);
    QTest::keyClick(host_.Control(31), Qt::Key_Down);
    EXPECT_EQ(host_.Selection(31), 0);
    EXPECT_EQ(rec_.events, (std::vector<Event>{{"select", 31}}));
}

TEST_F(FormHostTest, ListReportsBeforeItOpensSoItCanBeRefilled)
{
    int itemsSeenByPopup = -1;
    struct Refill : Recorder
    {
        FormHost* host = nullptr;
        void OnDropDown(int id) override
        {
            Recorder::OnDropDown(id);
            host->SetItems(id, {"COM1", "COM7 /dev/ttyUSB0 CP2102 USB to UART Bridge Controller (0001)"});
        }
    } refill;
    FormHost host(Table(), &refill);
    refill.host = &host;
    host.show();
    auto* combo = qobject_cast<QComboBox*>(host.Control(31));
    combo->showPopup();
    itemsSeenByPopup = combo->view()->model()->rowCount();
    // The long entry shows whole in the open list.
    EXPECT_GE(combo->view()->width(), combo->view()->sizeHintForColumn(0));
    EXPECT_GT(combo->view()->width(), combo->width());
    combo->hidePopup();
    EXPECT_EQ(refill.events, (std::vector<Event>{{"dropdown", 31}}));
    EXPECT_EQ(itemsSeenByPopup, 2);
    EXPECT_EQ(host.ItemText(31, 1).left(5), "COM7 ");
}

TEST_F(FormHostTest, EnterIsSeenOnceOnPressAndOnceOnReleaseWithTheFocusedControl)
{
    host_.Focus(13, false);
    ASSERT_EQ(QApplication::focusWidget(), host_.Control(13));
    QTest::keyClick(host_.Control(13), Qt::Key_Return);
    QTest::keyClick(host_.Control(13), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(rec_.events, (std::vector<Event>{
                               {"enter-down", 13}, {"enter-up", 13}, {"enter-down", 13}, {"enter-up", 13}}));
    rec_.events.clear();
    host_.Focus(41, false);
    QTest::keyClick(host_.Control(41), Qt::Key_A);
    QTest::keyClick(host_.Control(41), Qt::Key_Return);
    EXPECT_EQ(rec_.events, (std::vector<Event>{{"enter-down", 41}, {"enter-up", 41}}));
}

TEST_F(FormHostTest, EnterInAnotherWindowIsNotOurs)
{
    QLineEdit elsewhere;
    test::ShowActive(&elsewhere);
    elsewhere.setFocus();
    QTest::keyClick(&elsewhere, Qt::Key_Return);
    EXPECT_TRUE(rec_.events.empty());
}

TEST_F(FormHostTest, FocusCanSelectTheWholeText)
{
    host_.SetText(13, "123");
    host_.Focus(13, true);
    EXPECT_EQ(Get<QLineEdit>(13)->selectedText(), "123");
    EXPECT_EQ(host_.FocusedId(), 13);
}

TEST_F(FormHostTest, IdOfFindsTheControlAroundAnInnerWidget)
{
    auto* combo = Get<QComboBox>(31);
    EXPECT_EQ(host_.IdOf(combo), 31);
    EXPECT_EQ(host_.IdOf(&host_), 0);
    EXPECT_EQ(host_.IdOf(nullptr), 0);
}

} // namespace
} // namespace qav
