// The modal panel and the help panel: frames, the show and close sequences
// on the manual clock, the delegate's say over closing, and the help list.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "lib/kit/ExampleModalPanel.h"
#include "lib/kit/ModalPanel.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Text.h"
#include "tests/lib/kit/WidgetFixture.h"

namespace {

class Recorder : public ModalPanelDelegate {
public:
    void willShowModalPanel(ModalPanel*) override { events.push_back("willShow"); }
    void didShowModalPanel(ModalPanel*) override { events.push_back("didShow"); }
    // nullopt stands for a delegate without the method: nothing to record.
    std::optional<bool> shouldCloseModalPanel(ModalPanel*) override {
        if (answer) events.push_back("shouldClose");
        return answer;
    }
    void willCloseModalPanel(ModalPanel*) override { events.push_back("willClose"); }
    void didCloseModalPanel(ModalPanel* panel) override {
        events.push_back(panel->superview() ? "didClose(in superview)" : "didClose(removed)");
    }
    std::optional<bool> answer;
    std::vector<std::string> events;
};

// Records the subclass hooks in the order they run, with the container's scale.
class HookedPanel : public ModalPanel {
public:
    using ModalPanel::ModalPanel;
    void showAnimationStarting() override { hooks.push_back("starting"); }
    void showAnimationPart1Finished() override { hooks.push_back("part1@" + scale()); }
    void showAnimationPart2Finished() override { hooks.push_back("part2@" + scale()); }
    void showAnimationPart3Finished() override { hooks.push_back("part3@" + scale()); }
    void showAnimationFinished() override { hooks.push_back("finished@" + scale()); }
    std::string scale() const {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.2f", contentContainer()->transform().a);
        return buf;
    }
    std::vector<std::string> hooks;
};

class ModalPanelTest : public kittest::WidgetFixture {};

TEST_F(ModalPanelTest, LaysOutBoxCloseButtonAndContentFromItsBounds) {
    // Placed away from its superview's origin: the box still sits at the
    // margins of the panel's own space.
    auto panel = ModalPanel::create({10, 64, 300, 400});
    host->addSubview(panel);
    panel->layoutIfNeeded();
    EXPECT_EQ(panel->roundedRect()->frame(), ui::Rect(20, 20, 260, 360));
    EXPECT_EQ(panel->closeButton()->frame(), ui::Rect(-2, -2, 44, 44));
    EXPECT_EQ(panel->contentView()->frame(), ui::Rect(40, 40, 220, 320));
    // The close button's centre is the box's corner; it sits above the box
    // and under the content view.
    const auto& order = panel->contentContainer()->subviews();
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[0].get(), panel->roundedRect());
    EXPECT_EQ(order[1].get(), panel->closeButton());
    EXPECT_EQ(order[2].get(), panel->contentView());

    // An odd-sized button is centred on the corner rounded down.
    panel->setMargin({30, 25, 10, 5});
    panel->closeButton()->setFrame({0, 0, 45, 31});
    panel->layoutIfNeeded();
    EXPECT_EQ(panel->roundedRect()->frame(), ui::Rect(25, 30, 270, 360));
    EXPECT_EQ(panel->closeButton()->frame(), ui::Rect(3, 15, 45, 31));

    // The box's looks follow the properties at once.
    panel->setBorderWidth(3);
    panel->setCornerRadius(9);
    EXPECT_EQ(panel->roundedRect()->layer().borderWidth(), 3);
    EXPECT_EQ(panel->roundedRect()->layer().cornerRadius(), 9);
    EXPECT_GE(panel->tag(), 0);
    EXPECT_LE(panel->tag(), 0x7FFF);
    EXPECT_EQ(panel->description(), "<ModalPanel " + std::to_string(panel->tag()) + ">");
}

TEST_F(ModalPanelTest, ShowsWithAndWithoutBounce) {
    struct Case {
        bool bounce;
        std::vector<std::string> hooks;
        double seconds;
    };
    const Case cases[] = {
        {false, {"starting", "finished@1.00"}, 0.3},
        {true, {"starting", "part1@1.05", "part2@0.95", "part3@1.02", "finished@1.00"}, 0.6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bounce ? "bounce" : "no bounce");
        Recorder rec;
        auto panel = std::make_shared<HookedPanel>(ui::Rect{0, 0, 320, 480});
        panel->setDelegate(&rec);
        panel->setShouldBounce(c.bounce);
        host->addSubview(panel);
        panel->showFromPoint({300, 20});
        EXPECT_EQ(panel->startEndPoint(), (ui::Point{300, 20}));
        EXPECT_EQ(rec.events, std::vector<std::string>{"willShow"});
        // The container grows from the point towards the panel's centre.
        driver->advance(0.15);
        ui::Point mid = panel->contentContainer()->layer().presentationState().position;
        EXPECT_LT(mid.x, 300);
        EXPECT_GT(mid.x, 160);
        driver->advance(c.seconds - 0.15 - 0.01);
        EXPECT_EQ(rec.events.size(), 1u) << "didShow came early";
        driver->advance(0.02);
        EXPECT_EQ(rec.events, (std::vector<std::string>{"willShow", "didShow"}));
        EXPECT_EQ(panel->hooks, c.hooks);
        EXPECT_EQ(panel->alpha(), 1);
        EXPECT_EQ(panel->contentContainer()->center(), (ui::Point{160, 240}));
        panel->setDelegate(nullptr);
        panel->removeFromSuperview();
    }
}

TEST_F(ModalPanelTest, CloseButtonAsksTheDelegateThenTheBlock) {
    struct Case {
        const char* name;
        bool withDelegate;
        std::optional<bool> answer;
        bool withBlock;
        std::vector<std::string> events;
        bool blockRan;
        bool removed;
    };
    const Case cases[] = {
        {"delegate refuses", true, false, true, {"shouldClose"}, false, false},
        {"delegate agrees", true, true, true, {"shouldClose", "willClose", "didClose(in superview)"}, false, true},
        {"delegate silent, block set", true, std::nullopt, true, {}, true, false},
        {"no delegate, no block", false, std::nullopt, false, {}, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        rec.answer = c.answer;
        auto panel = ModalPanel::create({0, 0, 320, 480});
        if (c.withDelegate) panel->setDelegate(&rec);
        bool blockRan = false;
        if (c.withBlock) panel->setOnClosePressed([&](ModalPanel*) { blockRan = true; });
        host->addSubview(panel);
        panel->setShouldBounce(false);
        panel->show();
        driver->advance(0.31);
        rec.events.clear();
        // A real tap on the close button (its centre is the box's corner).
        ui::View* hit = driver->tap(ui::Point{20, 20});
        EXPECT_EQ(hit, panel->closeButton());
        driver->advance(0.31);
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(blockRan, c.blockRan);
        EXPECT_EQ(panel->superview() == nullptr, c.removed);
        panel->setDelegate(nullptr);
        panel->removeFromSuperview();
    }
}

TEST_F(ModalPanelTest, HideWithOnCompleteOnlyAnimates) {
    Recorder rec;
    auto panel = ModalPanel::create({0, 0, 320, 480});
    panel->setDelegate(&rec);
    host->addSubview(panel);
    panel->showFromPoint({50, 400});
    driver->advance(0.7);
    rec.events.clear();

    std::vector<bool> completions;
    bool inSuperviewAtCompletion = false;
    panel->hideWithOnComplete([&](bool finished) {
        completions.push_back(finished);
        inSuperviewAtCompletion = panel->superview() != nullptr;
        panel->removeFromSuperview();
    });
    driver->advance(0.29);
    EXPECT_TRUE(completions.empty());
    EXPECT_EQ(panel->superview(), host.get());
    driver->advance(0.02);
    EXPECT_EQ(completions, std::vector<bool>{true});
    EXPECT_TRUE(inSuperviewAtCompletion);
    EXPECT_TRUE(rec.events.empty());
    // It shrank into the point it grew from.
    EXPECT_EQ(panel->contentContainer()->center(), (ui::Point{50, 400}));
    EXPECT_EQ(panel->alpha(), 0);
    panel->setDelegate(nullptr);

    // Shown from (0, 0) it shrinks in place.
    auto still = ModalPanel::create({0, 0, 320, 480});
    host->addSubview(still);
    still->showFromPoint({0, 0});
    driver->advance(0.7);
    still->hideWithOnComplete(nullptr);
    driver->advance(0.31);
    EXPECT_EQ(still->contentContainer()->center(), (ui::Point{160, 240}));
    EXPECT_EQ(still->superview(), host.get());
}

TEST_F(ModalPanelTest, HelpPanelListsQuestionsAndAnswers) {
    std::vector<std::string> questions = {"Q one", "Q two", std::string(80, 'q')};
    std::vector<std::string> answers = {"A one", "", "A three"};
    auto panel = ExampleModalPanel::create({0, 0, 320, 480}, "help", questions, answers);
    host->addSubview(panel);
    panel->layoutIfNeeded();
    EXPECT_EQ(panel->textList(),
              (std::vector<std::string>{"Q one", "A one", "Q two", "", std::string(80, 'q'), "A three"}));
    ui::TableView* list = panel->listView();
    list->reloadData();
    ASSERT_EQ(list->numberOfRowsInSection(0), 6);

    // Heights with the fixed measurer: 15-pt lines are 18.75 high and 7.5 a
    // character, so 80 characters need 3 lines in 270 points; 12-pt lines are 15.
    const double expected[] = {18.75 + 10, 15, 18.75 + 10, 0, 3 * 18.75 + 10, 15};
    for (int row = 0; row < 6; ++row) {
        SCOPED_TRACE(row);
        EXPECT_DOUBLE_EQ(list->rectForRowAtIndexPath({0, row}).height(), expected[row]);
    }
    // Questions and answers come from cells of their own kind and look.
    auto question = panel->cellForRowAtIndexPath(list, {0, 0});
    auto answer = panel->cellForRowAtIndexPath(list, {0, 1});
    EXPECT_EQ(question->reuseIdentifier(), "TitleCell");
    EXPECT_EQ(answer->reuseIdentifier(), "DetailCell");
    EXPECT_EQ(question->textLabel()->font(), ui::Font::boldSystemFont(15));
    EXPECT_EQ(answer->textLabel()->textColor(), ui::Color::lightGrayColor());
    EXPECT_EQ(answer->textLabel()->numberOfLines(), 0);
    EXPECT_EQ(question->selectionStyle(), ui::TableViewCellSelectionStyle::None);

    // Title bar: box width, under the 1.5 border, 38.5 high; header 20-pt bold.
    EXPECT_EQ(panel->roundedRect()->frame(), ui::Rect(20, 20, 280, 440));
    EXPECT_EQ(panel->titleBar()->frame(), ui::Rect(0, 1.5, 280, 38.5));
    EXPECT_EQ(panel->headerLabel()->frame(), ui::Rect(0, 0, 280, 38.5));
    EXPECT_EQ(panel->headerLabel()->font(), ui::Font::boldSystemFont(20));
    EXPECT_EQ(panel->headerLabel()->text(), "help");
    // The list: 10 points in from the box's sides, 20 above its bottom.
    ui::Rect content = panel->contentView()->frame();
    EXPECT_EQ(content, ui::Rect(30, 60, 260, 380));
    EXPECT_EQ(content.maxY(), panel->roundedRect()->frame().maxY() - 20);
    EXPECT_EQ(list->frame(), ui::Rect(0, 0, 260, 380));
    int mode = panel->titleBar()->lineMode();
    EXPECT_TRUE(mode == 1 || mode == 2 || mode == 4) << mode;
}

// Every row is as high as its label needs at the width the label has, so
// no line of a longer answer is cut or runs past the label's right edge.
TEST_F(ModalPanelTest, HelpPanelRowsHoldTheirWholeTextAtTheLabelsWidth) {
    std::vector<std::string> questions, answers;
    for (size_t n : {10u, 36u, 41u, 44u, 50u, 85u, 130u}) {
        questions.push_back(std::string(n / 2, 'q'));
        std::string answer;
        for (size_t i = 0; i < n; ++i) answer += (i % 6 == 5) ? ' ' : 'a';
        answers.push_back(answer);
    }
    auto panel = ExampleModalPanel::create({0, 0, 320, 480}, "help", questions, answers);
    host->addSubview(panel);
    panel->layoutIfNeeded();
    ui::TableView* list = panel->listView();
    list->reloadData();
    for (int row = 0; row < list->numberOfRowsInSection(0); ++row) {
        SCOPED_TRACE(row);
        auto cell = panel->cellForRowAtIndexPath(list, {0, row});
        cell->setFrame({0, 0, list->bounds().width(), list->rectForRowAtIndexPath({0, row}).height()});
        cell->layoutIfNeeded();
        ui::Label* label = cell->textLabel();
        const ui::Size needed =
            ui::sizeWithFont(label->text(), label->font(), {label->bounds().width(), 1e6}, ui::LineBreakMode::WordWrap);
        EXPECT_LE(needed.height, label->bounds().height() + 1e-9) << label->text();
        EXPECT_LE(needed.width, label->bounds().width() + 1e-9);
    }
}

TEST_F(ModalPanelTest, HelpPanelToleratesShortAnswerLists) {
    auto panel = ExampleModalPanel::create({0, 0, 320, 480}, "t", {"a", "b", "c"}, {"x"});
    EXPECT_EQ(panel->textList(), (std::vector<std::string>{"a", "x", "b", "", "c", ""}));
    auto empty = ExampleModalPanel::create({0, 0, 320, 480}, "t", {}, {"x"});
    empty->listView()->reloadData();
    EXPECT_EQ(empty->listView()->numberOfRowsInSection(0), 0);
}

TEST_F(ModalPanelTest, HelpPanelFadesItsTitleAndListInAfterTheBox) {
    auto panel = ExampleModalPanel::create({0, 0, 320, 480}, "help", {"q"}, {"a"});
    host->addSubview(panel);
    panel->showFromPoint({160, 240});
    driver->advance(0.59);
    EXPECT_EQ(panel->titleBar()->alpha(), 0);
    EXPECT_EQ(panel->contentView()->alpha(), 0);
    driver->advance(0.02);                     // the box stands; the fade starts
    EXPECT_EQ(panel->titleBar()->alpha(), 1);  // model value, set at the start
    driver->advance(0.1);
    double shown = panel->contentView()->layer().presentationState().opacity;
    EXPECT_GT(shown, 0.2);
    EXPECT_LT(shown, 0.9);
    driver->advance(0.11);
    EXPECT_DOUBLE_EQ(panel->contentView()->layer().presentationState().opacity, 1);
}

TEST_F(ModalPanelTest, DrawsVeilBoxAndCloseButton) {
    auto panel = ExampleModalPanel::create({0, 0, 320, 480}, "help", {"q"}, {"a"});
    host->addSubview(panel);
    panel->setShouldBounce(false);
    panel->show();
    driver->advance(0.6);
    auto picture = driver->snapshot();
    ASSERT_TRUE(picture);
    // The veil outside the box: black at 0.5 over the white window.
    ui::Rgba veil = picture->pixel(5, 300);
    EXPECT_NEAR(veil.r, 128, 3);
    // Inside the box below the list: black at 0.7 over the veil.
    ui::Rgba box = picture->pixel(160, 450);
    EXPECT_NEAR(box.r, 38, 4);
    // The border: white at 0.7.
    ui::Rgba border = picture->pixel(299, 300);
    EXPECT_GT(border.r, 160);
    // The close button on the box corner: a white cross at the centre, the
    // dark disc between its arms, the white ring 14 points out.
    EXPECT_GT(picture->pixel(20, 20).r, 200);
    EXPECT_LT(picture->pixel(29, 20).r, 60);
    EXPECT_GT(picture->pixel(20, 6).r, 180);
}

}  // namespace
