// Table views: reuse, content size, selection, editing, row changes, scrolling.

#include <set>
#include <string>
#include <vector>

#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using namespace ui;

class RowsSource : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<std::vector<std::string>> sections{{}};
    std::vector<std::string> headers;
    std::vector<std::string> log;
    std::map<IndexPath, double> heights;
    std::set<int> readOnlyRows;
    int cellRequests = 0;

    int numberOfSectionsInTableView(TableView*) override { return int(sections.size()); }
    int numberOfRowsInSection(TableView*, int s) override { return int(sections[s].size()); }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView* t, const IndexPath& ip) override {
        ++cellRequests;
        auto cell = t->dequeueReusableCellWithIdentifier("row");
        if (cell) cell->textLabel()->setText(sections[ip.section][ip.row]);
        return cell;
    }
    std::string titleForHeaderInSection(TableView*, int s) override {
        return s < int(headers.size()) ? headers[s] : "";
    }
    bool canEditRowAtIndexPath(TableView*, const IndexPath& ip) override { return !readOnlyRows.count(ip.row); }
    void commitEditingStyle(TableView* t, TableViewCellEditingStyle style, const IndexPath& ip) override {
        log.push_back("commit " + std::to_string(int(style)) + " " + sections[ip.section][ip.row]);
        sections[ip.section].erase(sections[ip.section].begin() + ip.row);
        t->deleteRowsAtIndexPaths({ip}, TableViewRowAnimation::Fade);
    }
    std::optional<double> heightForRowAtIndexPath(TableView*, const IndexPath& ip) override {
        auto it = heights.find(ip);
        if (it == heights.end()) return std::nullopt;
        return it->second;
    }
    void didSelectRowAtIndexPath(TableView*, const IndexPath& ip) override {
        log.push_back("select " + sections[ip.section][ip.row]);
    }
    void didDeselectRowAtIndexPath(TableView*, const IndexPath& ip) override {
        log.push_back("deselect " + std::to_string(ip.row));
    }
    std::string titleForDeleteConfirmationButtonForRowAtIndexPath(TableView*, const IndexPath&) override {
        return "删除";
    }
};

class TablesTest : public uitest::UiFixture {
protected:
    void SetUp() override {
        UiFixture::SetUp();
        window = Window::create({0, 0, 320, 480});
        window->makeKeyAndVisible();
        table = std::make_shared<TableView>(Rect{0, 0, 320, 440});
        table->setRowHeight(44);
        table->registerCellFactory("row", [](const std::string& id) {
            return std::make_shared<TableViewCell>(TableViewCellStyle::Default, id);
        });
        for (int i = 0; i < 40; ++i) source.sections[0].push_back("row " + std::to_string(i));
        table->setDataSource(&source);
        table->setTableDelegate(&source);
        window->addSubview(table);
    }
    std::shared_ptr<Window> window;
    std::shared_ptr<TableView> table;
    RowsSource source;
};

TEST_F(TablesTest, ScrollingAwayAndBackReusesCellsInsteadOfMakingThem) {
    table->reloadData();
    // 440 points show rows 0 to 9 (the tenth partly).
    EXPECT_EQ(table->visibleCells().size(), 10u);
    int made = table->cellsCreatedByFactories();
    EXPECT_EQ(made, 10);
    TableViewCell* first = table->cellForRowAtIndexPath({0, 0});
    ASSERT_NE(first, nullptr);
    table->setContentOffset({0, 880});
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0}), nullptr);
    ASSERT_NE(table->cellForRowAtIndexPath({0, 25}), nullptr);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 25})->textLabel()->text(), "row 25");
    table->setContentOffset({0, 0});
    EXPECT_EQ(table->cellsCreatedByFactories(), made);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 3})->textLabel()->text(), "row 3");
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier("unknown"), nullptr);
}

TEST_F(TablesTest, ContentSizeIsKnownRightAfterReload) {
    source.sections = {{"a", "b", "c"}, {"d"}};
    source.headers = {"first", ""};
    source.heights[{0, 1}] = 80;
    table->reloadData();
    // Header 22 + 44 + 80 + 44, then the untitled section: 44.
    EXPECT_DOUBLE_EQ(table->contentSize().height, 22 + 44 + 80 + 44 + 44);
    EXPECT_EQ(table->rectForRowAtIndexPath({1, 0}), (Rect{0, 190, 320, 44}));
    EXPECT_EQ(table->rectForHeaderInSection(0), (Rect{0, 0, 320, 22}));
    ASSERT_NE(table->headerViewForSection(0), nullptr);
    EXPECT_EQ(table->headerViewForSection(0)->displayedText(), "first");
    EXPECT_EQ(table->headerViewForSection(1), nullptr);
    EXPECT_EQ(table->indexPathForRowAtPoint({5, 100}), (IndexPath{0, 1}));
    EXPECT_FALSE(table->indexPathForRowAtPoint({5, 10}).has_value());
}

TEST_F(TablesTest, GroupedTableInsetsRowsAndUsesDelegateHeights) {
    auto grouped = std::make_shared<TableView>(Rect{0, 0, 320, 400}, TableViewStyle::Grouped);
    grouped->registerCellFactory(
        "row", [](const std::string& id) { return std::make_shared<TableViewCell>(TableViewCellStyle::Value1, id); });
    source.sections = {{"x", "y"}};
    grouped->setDataSource(&source);
    grouped->reloadData();
    EXPECT_EQ(grouped->rectForRowAtIndexPath({0, 0}), (Rect{10, 10, 300, 44}));
    EXPECT_DOUBLE_EQ(grouped->contentSize().height, 10 + 88 + 10);
}

TEST_F(TablesTest, TapSelectsAndASecondRowDeselectsTheFirst) {
    table->reloadData();
    window->sendTouch(TouchPhase::Began, {100, 50}, 0);
    window->sendTouch(TouchPhase::Ended, {100, 50}, 0.1);
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 1}));
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 1})->isSelected());
    window->sendTouch(TouchPhase::Began, {100, 100}, 1);
    window->sendTouch(TouchPhase::Ended, {100, 100}, 1.1);
    table->deselectRowAtIndexPath({0, 2}, true);
    EXPECT_FALSE(table->indexPathForSelectedRow().has_value());
    std::vector<std::string> want{"select row 1", "deselect 1", "select row 2"};
    EXPECT_EQ(source.log, want);
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 1})->isSelected());
}

TEST_F(TablesTest, DragScrollsWithoutSelecting) {
    table->reloadData();
    table->drag({100, 400}, {100, 100}, 6);
    EXPECT_TRUE(source.log.empty());
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 300);
}

TEST_F(TablesTest, EditingDeleteButtonCommitsAndRemovesTheRow) {
    table->reloadData();
    table->setEditing(true, false);
    TableViewCell* cell = table->cellForRowAtIndexPath({0, 2});
    ASSERT_NE(cell, nullptr);
    ASSERT_NE(cell->editingControl(), nullptr);
    cell->editingControl()->sendActionsForControlEvents(kControlEventTouchUpInside);
    ASSERT_NE(cell->deleteConfirmationButton(), nullptr);
    EXPECT_EQ(cell->deleteConfirmationButton()->currentTitle(), "删除");
    Rect b = cell->deleteConfirmationButton()->convertRectToView(cell->deleteConfirmationButton()->bounds(), nullptr);
    window->sendTouch(TouchPhase::Began, b.center(), 0);
    window->sendTouch(TouchPhase::Ended, b.center(), 0.1);
    std::vector<std::string> want{"commit 1 row 2"};
    EXPECT_EQ(source.log, want);
    EXPECT_EQ(table->numberOfRowsInSection(0), 39);
    EXPECT_DOUBLE_EQ(table->contentSize().height, 39 * 44);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 2})->textLabel()->text(), "row 3");
    advance(0.5);
    turn();
}

TEST_F(TablesTest, SwipeLeftShowsTheDeleteButtonATapElsewhereHidesItAndItsTapCommits) {
    table->reloadData();
    source.readOnlyRows = {3};
    auto button = [&](int row) {
        TableViewCell* cell = table->cellForRowAtIndexPath({0, row});
        return cell ? cell->deleteConfirmationButton() : nullptr;
    };
    // Row 1 spans y 44 to 88: a leftward swipe across it shows its button,
    // neither scrolling nor selecting.
    table->drag({260, 66}, {120, 70}, 6);
    ASSERT_NE(button(1), nullptr);
    EXPECT_EQ(button(1)->currentTitle(), "删除");
    EXPECT_EQ(table->indexPathForDeleteConfirmation(), (IndexPath{0, 1}));
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 0);
    EXPECT_TRUE(source.log.empty());

    // A tap on another row only hides it; the next tap there selects.
    window->sendTouch(TouchPhase::Began, {100, 240}, 1);
    window->sendTouch(TouchPhase::Ended, {100, 240}, 1.1);
    EXPECT_EQ(button(1), nullptr);
    EXPECT_FALSE(table->indexPathForDeleteConfirmation().has_value());
    EXPECT_TRUE(source.log.empty());
    window->sendTouch(TouchPhase::Began, {100, 240}, 2);
    window->sendTouch(TouchPhase::Ended, {100, 240}, 2.1);
    EXPECT_EQ(source.log, std::vector<std::string>{"select row 5"});
    table->deselectRowAtIndexPath({0, 5}, false);
    source.log.clear();

    // A swipe back to the right hides it; a row the data source keeps shows none;
    // nor does a drag that is mostly downwards.
    table->drag({260, 66}, {120, 66}, 6);
    ASSERT_NE(button(1), nullptr);
    table->drag({120, 66}, {260, 66}, 6);
    EXPECT_EQ(button(1), nullptr);
    table->drag({260, 154}, {120, 154}, 6);
    EXPECT_EQ(button(3), nullptr);
    table->drag({260, 200}, {220, 300}, 6);
    EXPECT_FALSE(table->indexPathForDeleteConfirmation().has_value());
    table->setContentOffset({0, 0});

    // Swiped again, the button's tap commits the deletion of that row.
    table->drag({260, 66}, {120, 66}, 6);
    ASSERT_NE(button(1), nullptr);
    Rect b = button(1)->convertRectToView(button(1)->bounds(), nullptr);
    window->sendTouch(TouchPhase::Began, b.center(), 3);
    window->sendTouch(TouchPhase::Ended, b.center(), 3.1);
    EXPECT_EQ(source.log, std::vector<std::string>{"commit 1 row 1"});
    EXPECT_EQ(table->numberOfRowsInSection(0), 39);
    advance(0.5);
    turn();
}

TEST_F(TablesTest, InsertKeepsSelectionAndMismatchReloadsInsteadOfFailing) {
    table->reloadData();
    table->selectRowAtIndexPath(IndexPath{0, 5}, false, TableViewScrollPosition::None);
    source.sections[0].insert(source.sections[0].begin(), "new");
    table->insertRowsAtIndexPaths({{0, 0}}, TableViewRowAnimation::None);
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 6}));
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0})->textLabel()->text(), "new");
    // The data source grew by two while one insertion is announced.
    source.sections[0].push_back("x");
    source.sections[0].push_back("y");
    table->insertRowsAtIndexPaths({{0, 41}}, TableViewRowAnimation::Fade);
    EXPECT_EQ(table->numberOfRowsInSection(0), 43);
    EXPECT_FALSE(table->indexPathForSelectedRow().has_value());
}

TEST_F(TablesTest, ScrollToRowPositions) {
    table->reloadData();
    struct Case {
        int row;
        TableViewScrollPosition pos;
        double y;
    };
    for (auto c : std::vector<Case>{{20, TableViewScrollPosition::Top, 880},
                                    {20, TableViewScrollPosition::Bottom, 924 - 440},
                                    {20, TableViewScrollPosition::Middle, 902 - 220},
                                    {39, TableViewScrollPosition::Top, 40 * 44 - 440},
                                    {0, TableViewScrollPosition::Bottom, 0}}) {
        table->scrollToRowAtIndexPath({0, c.row}, c.pos, false);
        EXPECT_DOUBLE_EQ(table->contentOffset().y, c.y) << c.row << " " << int(c.pos);
        EXPECT_NE(table->cellForRowAtIndexPath({0, c.row}), nullptr);
    }
    table->scrollToRowAtIndexPath({0, 99}, TableViewScrollPosition::Top, false);  // logged, nothing moves
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 0);
}

TEST_F(TablesTest, CellStylesHaveTheirLabelsAndAccessories) {
    struct Case {
        TableViewCellStyle style;
        bool detail;
    };
    for (auto c : {Case{TableViewCellStyle::Default, false}, Case{TableViewCellStyle::Value1, true},
                   Case{TableViewCellStyle::Subtitle, true}}) {
        auto cell = std::make_shared<TableViewCell>(c.style, "id");
        EXPECT_EQ(cell->detailTextLabel() != nullptr, c.detail);
        cell->setAccessoryType(TableViewCellAccessoryType::Checkmark);
        cell->textLabel()->setText("t");
        cell->layoutIfNeeded();
        EXPECT_LT(cell->contentView()->frame().width(), 320);
        EXPECT_EQ(cell->reuseIdentifier(), "id");
    }
}

class ScrollRecorder : public ScrollViewDelegate {
public:
    std::vector<std::string> log;
    void scrollViewWillBeginDragging(ScrollView*) override { log.push_back("willBeginDragging"); }
    void scrollViewDidEndDragging(ScrollView*, bool d) override {
        log.push_back(std::string("didEndDragging ") + (d ? "1" : "0"));
    }
    void scrollViewDidEndDecelerating(ScrollView*) override { log.push_back("didEndDecelerating"); }
    void scrollViewDidEndScrollingAnimation(ScrollView*) override { log.push_back("didEndAnimation"); }
};

TEST_F(TablesTest, PagingScrollViewSettlesOnAPage) {
    auto sv = std::make_shared<ScrollView>(Rect{0, 0, 320, 480});
    sv->setContentSize({1280, 480});
    sv->setPagingEnabled(true);
    ScrollRecorder rec;
    sv->setDelegate(&rec);
    window->addSubview(sv);
    sv->drag({300, 200}, {100, 200}, 4);  // 200 points: past half a page
    advance(0.4);
    turn();
    EXPECT_DOUBLE_EQ(sv->contentOffset().x, 320);
    sv->drag({100, 200}, {200, 200}, 4);  // back 100 points: stays on page 1
    advance(0.4);
    turn();
    EXPECT_DOUBLE_EQ(sv->contentOffset().x, 320);
    std::vector<std::string> want{"willBeginDragging", "didEndDragging 1", "didEndDecelerating",
                                  "willBeginDragging", "didEndDragging 1", "didEndDecelerating"};
    EXPECT_EQ(rec.log, want);
    sv->setContentOffset({640, 0}, true);
    advance(0.4);
    turn();
    EXPECT_DOUBLE_EQ(sv->contentOffset().x, 640);
    EXPECT_EQ(rec.log.back(), "didEndAnimation");
}

}  // namespace
