// The segmented on/off switch and the shared cells that carry it: layout
// from measured titles, taps and drags through the headless driver, and
// which changes reach the handlers and the cell's delegate.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lib/kit/KAVOCustomCells.h"
#include "lib/kit/SwSegmentedControl.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Text.h"
#include "tests/lib/kit/WidgetFixture.h"

namespace {

class Listener : public SwSegmentedControlDelegate {
public:
    void segmentedControl(SwSegmentedControl*, unsigned index) override { selected.push_back(index); }
    std::vector<unsigned> selected;
};

// Fixed-width text: " 开 " in bold 15 is 22.5 wide.
class SwitchTest : public kittest::WidgetFixture {
protected:
    // An on/off switch at (100, 100) in the window, settled on `index`.
    std::shared_ptr<SwSegmentedControl> makeSwitch(unsigned index = 0) {
        auto control = SwSegmentedControl::create({" 开 ", " 关 "});
        host->addSubview(control);
        control->setFrame({100, 100, control->bounds().width(), control->bounds().height()});
        control->moveThumbToIndex(index, false);
        driver->advance(0.2);
        control->changeHandler = [this](unsigned i) { changes.push_back(i); };
        return control;
    }
    ui::Point at(double x) const { return {100 + x, 115}; }

    std::vector<unsigned> changes;
};

TEST_F(SwitchTest, LaysOutEvenSegmentsAndThumbRectangles) {
    auto control = SwSegmentedControl::create({" 开 ", " 关 "});
    host->addSubview(control);
    // 22.5 + 10 + 10 + 2 + 2 = 46.5, rounded up to an even 48.
    EXPECT_EQ(control->segmentWidth(), 48);
    EXPECT_EQ(control->bounds(), ui::Rect(0, 0, 96, 30));
    EXPECT_EQ(control->thumbHeight(), 25);
    const std::vector<ui::Rect> rects = {{2, 2, 44, 25}, {50, 2, 44, 25}};
    EXPECT_EQ(control->thumbRects(), rects);
    EXPECT_EQ(control->thumb()->frame(), rects[0]);
    EXPECT_EQ(control->thumb()->label()->text(), " 开 ");
    EXPECT_EQ(control->thumb()->tintColor(), ui::Color::orangeColor());
    EXPECT_EQ(control->subviews().front().get(), control->thumb());

    // Entering a superview again lays out afresh: no stale rectangles pile up,
    // and a new font is taken into account.
    control->removeFromSuperview();
    control->setFont(ui::Font::boldSystemFont(20));  // 30 + 24 = 54
    host->addSubview(control);
    EXPECT_EQ(control->segmentWidth(), 54);
    EXPECT_EQ(control->thumbRects(), (std::vector<ui::Rect>{{2, 2, 50, 25}, {56, 2, 50, 25}}));
    EXPECT_EQ(std::count(control->subviews().begin(), control->subviews().end(),
                         std::static_pointer_cast<ui::View>(control->thumb()->shared_from_this())),
              1);
}

TEST_F(SwitchTest, RealFontGivesEqualEvenSegments) {
    ui::setTextMeasurer(nullptr);
    auto control = SwSegmentedControl::create({" 开 ", " 关 "});
    host->addSubview(control);
    ui::Font bold = ui::Font::boldSystemFont(15);
    EXPECT_EQ(ui::sizeWithFont(" 开 ", bold).width, ui::sizeWithFont(" 关 ", bold).width);
    double w = control->segmentWidth();
    EXPECT_GT(w, 24);
    EXPECT_EQ(std::fmod(w, 2.0), 0);
    EXPECT_EQ(control->bounds().width(), 2 * w);
}

TEST_F(SwitchTest, TapsToggleOrSelectTheSegmentUnderTheFinger) {
    struct Case {
        const char* name;
        unsigned start;
        double x;  // in the control
        unsigned end;
        std::vector<unsigned> changes;
    };
    const Case cases[] = {
        {"tap on the thumb at 0 toggles", 0, 24, 1, {1}},         {"tap on the thumb at 1 toggles", 1, 72, 0, {0}},
        {"tap on the track selects segment 1", 0, 72, 1, {1}},    {"tap on the track selects segment 0", 1, 20, 0, {0}},
        {"tap beside the thumb on its own segment", 0, 1, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        changes.clear();
        auto control = makeSwitch(c.start);
        EXPECT_EQ(driver->tap(at(c.x)), control.get());
        driver->advance(0.35);
        EXPECT_EQ(control->selectedIndex(), c.end);
        EXPECT_EQ(changes, c.changes);
        EXPECT_EQ(control->thumb()->frame(), control->thumbRects()[c.end]);
        EXPECT_EQ(control->thumb()->tintColor(), c.end == 0 ? ui::Color::orangeColor() : ui::Color::grayColor());
        EXPECT_EQ(control->thumb()->label()->text(), control->titles()[c.end]);
        EXPECT_TRUE(control->isActivated());
        control->removeFromSuperview();
    }
}

TEST_F(SwitchTest, DragPastEitherEdgeLandsOnTheEndSegment) {
    struct Case {
        const char* name;
        unsigned start;
        double from, to;
        unsigned end;
    };
    const Case cases[] = {
        {"right, beyond the bounds", 0, 24, 160, 1},
        {"left, beyond the bounds", 1, 72, -60, 0},
        {"right, released inside", 0, 24, 80, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        changes.clear();
        auto control = makeSwitch(c.start);
        driver->drag(at(c.from), at(c.to), 12);
        driver->advance(0.35);
        EXPECT_EQ(control->selectedIndex(), c.end);
        EXPECT_EQ(changes, std::vector<unsigned>{c.end}) << "one change, after the finger left";
        EXPECT_EQ(control->thumb()->frame(), control->thumbRects()[c.end]);
        control->removeFromSuperview();
    }
}

TEST_F(SwitchTest, ThumbFollowsTheFingerAndCrossFadesTitles) {
    auto control = makeSwitch(0);
    control->setCrossFadeLabelsOnDrag(true);
    ui::Window& w = driver->window();
    w.sendTouch(ui::TouchPhase::Began, at(24), 1);
    w.sendTouch(ui::TouchPhase::Moved, at(60), 2);
    // Centre 60 of segments 48 wide: a quarter into segment 1.
    EXPECT_EQ(control->thumb()->center().x, 60);
    EXPECT_DOUBLE_EQ(control->thumb()->label()->alpha(), 0.75);
    EXPECT_EQ(control->thumb()->label()->text(), " 关 ");
    EXPECT_EQ(control->thumb()->secondLabel()->text(), " 开 ");
    EXPECT_DOUBLE_EQ(control->thumb()->secondLabel()->alpha(), 0.25);
    EXPECT_TRUE(changes.empty());
    w.sendTouch(ui::TouchPhase::Cancelled, at(60), 3);
    // A cancel puts the thumb back on the segment it started from, telling no one.
    EXPECT_EQ(control->thumb()->frame(), control->thumbRects()[0]);
    EXPECT_EQ(control->selectedIndex(), 0u);
    EXPECT_TRUE(changes.empty());
}

TEST_F(SwitchTest, ChangesFromCodeNeverReachTheChangeHandler) {
    Listener listener;
    auto control = makeSwitch(0);
    control->setDelegate(&listener);
    int valueChanged = 0, settled = 0;
    control->addTarget(
        this, [&](ui::Control*, const ui::Event*) { ++valueChanged; }, ui::kControlEventValueChanged);
    control->selectedSegmentChangedHandler = [&](SwSegmentedControl*) { ++settled; };

    control->moveThumbToIndex(1, true);
    driver->advance(0.35);
    control->moveThumbToIndex(1, false);  // the same index again
    control->moveThumbToIndex(7, false);  // no such segment: ignored
    EXPECT_EQ(control->selectedIndex(), 1u);
    EXPECT_EQ(valueChanged, 2);
    EXPECT_EQ(settled, 2);
    EXPECT_EQ(listener.selected, (std::vector<unsigned>{1, 1}));
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(control->thumb()->tintColor(), ui::Color::grayColor());
    control->setDelegate(nullptr);
}

class CellListener : public KAVOCustomCellButtonPress {
public:
    void customCellButtonPressed(KAVOAccountProtectLabelCell* cell, int row) override {
        buttons.push_back({cell, row});
    }
    void customCellButtonPressed(KAVOAccountProtectLabelCell* cell, int row, int segment) override {
        switches.push_back({cell, row, segment});
    }
    struct Switch {
        KAVOAccountProtectLabelCell* cell;
        int row, segment;
        bool operator==(const Switch&) const = default;
    };
    struct Press {
        KAVOAccountProtectLabelCell* cell;
        int row;
        bool operator==(const Press&) const = default;
    };
    std::vector<Switch> switches;
    std::vector<Press> buttons;
};

TEST_F(SwitchTest, OperationCellReportsItsSwitchWithCellAndRow) {
    CellListener listener;
    auto cell = std::static_pointer_cast<KAVOAccountProtectOpertationCell>(
        makeKAVOCellFromLayout(KAVOCellClass::Operation, "APCustomCell3"));
    cell->setCellIndex(4);
    cell->setDelegate(&listener);
    host->addSubview(cell);
    driver->settle();
    SwSegmentedControl* sw = cell->segmentControl();
    ASSERT_TRUE(sw);
    EXPECT_EQ(sw->titles(), (std::vector<std::string>{" 开 ", " 关 "}));
    // Centred 3 points from the right edge, 25 from the top.
    EXPECT_EQ(sw->center(), (ui::Point{320 - 48 - 3, 25}));
    EXPECT_EQ(sw->frame(), ui::Rect(221, 10, 96, 30));

    driver->tap(ui::Point{221 + 72, 25});  // " 关 "
    driver->advance(0.35);
    driver->tap(ui::Point{221 + 20, 25});  // back to " 开 "
    driver->advance(0.35);
    using S = CellListener::Switch;
    EXPECT_EQ(listener.switches, (std::vector<S>{{cell.get(), 4, 1}, {cell.get(), 4, 0}}));
    EXPECT_EQ(sw->thumb()->tintColor(), ui::Color::orangeColor());

    // Filling the row from the stored state sends nothing.
    sw->moveThumbToIndex(1, false);
    driver->advance(0.2);
    EXPECT_EQ(listener.switches.size(), 2u);
    EXPECT_EQ(sw->thumb()->tintColor(), ui::Color::grayColor());
    cell->setDelegate(nullptr);
}

TEST_F(SwitchTest, CellFactoriesAndTheSettingButton) {
    ui::TableView table({0, 0, 320, 400});
    registerKAVOCellFactory(table, "SettingCustomCell8", KAVOCellClass::Setting);
    registerKAVOCellFactory(table, "APCustomCell2", KAVOCellClass::Label, {320, 50});
    registerKAVOCellFactory(table, "SettingCustomCell10", KAVOCellClass::SettingWithButton);

    auto setting =
        std::dynamic_pointer_cast<KAVOSettingCell>(table.dequeueReusableCellWithIdentifier("SettingCustomCell8"));
    ASSERT_TRUE(setting);
    EXPECT_EQ(setting->reuseIdentifier(), "SettingCustomCell8");
    EXPECT_TRUE(setting->segmentControl());
    EXPECT_TRUE(setting->customImageView());
    CellListener listener;
    setting->setDelegate(&listener);
    setting->setCellIndex(9);
    setting->logoutButtonPressed(nullptr);
    using P = CellListener::Press;
    EXPECT_EQ(listener.buttons, (std::vector<P>{{setting.get(), 9}}));
    EXPECT_TRUE(listener.switches.empty());

    auto label = std::dynamic_pointer_cast<KAVOAccountProtectLabelCell>(
        table.dequeueReusableCellWithIdentifier("APCustomCell2"));
    ASSERT_TRUE(label);
    EXPECT_STREQ(label->className(), "KAVOAccountProtectLabelCell");
    EXPECT_TRUE(label->titleLabel());
    EXPECT_EQ(label->frame().height(), 50);

    auto withButton = std::dynamic_pointer_cast<KAVOSettingWithButton>(
        table.dequeueReusableCellWithIdentifier("SettingCustomCell10"));
    ASSERT_TRUE(withButton);
    EXPECT_TRUE(withButton->button());

    // Made in code, a cell has no switch and no layout views.
    KAVOAccountProtectOpertationCell bare(ui::TableViewCellStyle::Default, "x");
    EXPECT_EQ(bare.segmentControl(), nullptr);
    EXPECT_EQ(bare.titleLabel(), nullptr);
    setting->setDelegate(nullptr);
}

}  // namespace
