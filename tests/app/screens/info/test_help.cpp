// The help list: its 44 questions, the answer rows' arithmetic as answers
// open and close, the carrier's gateway in answer 39, and the screen's rows.
#include <gtest/gtest.h>

#include "app/screens/info/HelpAccordion.h"
#include "app/screens/info/InfoScreens.h"
#include "app/screens/info/KAVOHelpViewController.h"
#include "platform/foundation/Device.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

TEST(HelpAccordion, TheContentHasFortyFourNumberedQuestions) {
    const auto entries = loadHelpEntries(std::nullopt);
    ASSERT_EQ(entries.size(), 44u);
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].question.rfind(std::to_string(i + 1) + ".", 0), 0u) << entries[i].question;
        EXPECT_EQ(entries[i].answer.rfind("    ", 0), 0u) << i + 1;
        EXPECT_EQ(entries[i].answer.find("%@"), std::string::npos) << i + 1;
    }
    // Answer 39 names the unlock gateway of the SIM's carrier.
    EXPECT_NE(entries[38].answer.find(unlockGatewayNumber(std::nullopt)), std::string::npos);
    const auto unicom = loadHelpEntries(std::string("中国联通"));
    EXPECT_NE(unicom[38].answer.find(unlockGatewayNumber(std::string("中国联通"))), std::string::npos);
    EXPECT_NE(unlockGatewayNumber(std::string("中国联通")), unlockGatewayNumber(std::string("中国移动")));
}

std::vector<HelpEntry> numbered(int n) {
    std::vector<HelpEntry> out;
    for (int i = 1; i <= n; ++i) {
        const std::string number = std::to_string(i);
        out.push_back({"Q" + number, "A" + number});
    }
    return out;
}

TEST(HelpAccordion, AnswersOpenAndCloseUnderTheirQuestions) {
    HelpAccordion a(numbered(44));
    EXPECT_EQ(a.tap(0), HelpAccordion::Change::Opened);  // question 1
    EXPECT_EQ(a.textAt(1), "A1");
    EXPECT_EQ(a.textAt(3), "Q3");
    EXPECT_EQ(a.cellIndexToTextArrayIndex(3), 2);
    EXPECT_EQ(a.tap(3), HelpAccordion::Change::Opened);  // question 3
    EXPECT_EQ(a.answerRows(), (std::set<int>{1, 4}));
    EXPECT_EQ(a.tap(1), HelpAccordion::Change::None);  // an answer row
    EXPECT_EQ(a.tap(0), HelpAccordion::Change::Closed);
    // Question 3's answer moved up with it and stays right under it.
    EXPECT_EQ(a.answerRows(), std::set<int>{3});
    EXPECT_EQ(a.textAt(2), "Q3");
    EXPECT_EQ(a.textAt(3), "A3");
    EXPECT_EQ(a.rowCount(), 45);

    // Every answer open: 88 rows, questions and answers alternating.
    HelpAccordion all(numbered(44));
    for (int q = 43; q >= 0; --q) all.tap(q);
    ASSERT_EQ(all.rowCount(), 88);
    for (int r = 0; r < 88; r += 2) {
        const std::string number = std::to_string(r / 2 + 1);
        EXPECT_EQ(all.textAt(r), "Q" + number);
        EXPECT_EQ(all.textAt(r + 1), "A" + number);
    }
    // Closing them from the top leaves 44 questions again.
    for (int q = 0; q < 44; ++q) EXPECT_EQ(all.tap(q), HelpAccordion::Change::Closed);
    EXPECT_EQ(all.rowCount(), 44);
    EXPECT_TRUE(all.answerRows().empty());
}

class HelpScreenTest : public screentest::ScreenFixture {
protected:
    HelpScreenTest() : ScreenFixture(Options{.server = false, .boundAccount = false}) {}
    void SetUp() override {
        ScreenFixture::SetUp();
        map = std::make_unique<ui::ScreenMap>();
        registerInfoScreens(*map);
        screen = std::dynamic_pointer_cast<KAVOHelpViewController>(show(*map, KAVOHelpViewController::kIdentifier));
        ASSERT_TRUE(screen);
    }
    void TearDown() override {
        screen.reset();
        ScreenFixture::TearDown();
    }
    double height(int row) {
        return screen->tableView()->rectForRowAtIndexPath(ui::IndexPath::forRow(row, 0)).height();
    }
    std::unique_ptr<ui::ScreenMap> map;
    std::shared_ptr<KAVOHelpViewController> screen;
};

TEST_F(HelpScreenTest, TapsOpenAnswersWhoseRowsFitTheirText) {
    ui::TableView* table = screen->tableView();
    EXPECT_EQ(table->numberOfRowsInSection(0), 44);
    ASSERT_TRUE(driver().tapText(screen->accordion().textAt(0)));
    driver().advance(0.5);
    EXPECT_EQ(table->numberOfRowsInSection(0), 45);
    // A long answer wraps into several lines: its row is taller than a one-line question's.
    EXPECT_GE(height(0), 40 + 15);
    EXPECT_GT(height(1), height(0) + 20);
    // Opening the last question scrolls its answer into view at the bottom.
    table->scrollToRowAtIndexPath(ui::IndexPath::forRow(44, 0), ui::TableViewScrollPosition::Bottom, false);
    screen->didSelectRowAtIndexPath(table, ui::IndexPath::forRow(44, 0));
    driver().advance(1);
    EXPECT_EQ(table->numberOfRowsInSection(0), 46);
    const ui::Rect last = table->rectForRowAtIndexPath(ui::IndexPath::forRow(45, 0));
    EXPECT_NEAR(table->contentOffset().y + table->bounds().height(), last.maxY(), 1);
}

}  // namespace
