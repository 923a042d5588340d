#pragma once
// Table views: rows in sections, with headers and footers, row heights,
// cells reused by identifier (made by registered factories when the pool is
// empty), selection, editing with a delete button, row insertion, deletion
// and reloading, and scrolling to a row. Cells come in the default, value-1,
// value-2 and subtitle styles with accessories.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"

namespace ui {

struct IndexPath {
    int section = 0;
    int row = 0;
    static IndexPath forRow(int row, int section) { return {section, row}; }
    auto operator<=>(const IndexPath&) const = default;
};

enum class TableViewCellStyle { Default = 0, Value1 = 1, Value2 = 2, Subtitle = 3 };
enum class TableViewCellAccessoryType { None = 0, DisclosureIndicator = 1, DetailDisclosureButton = 2, Checkmark = 3 };
enum class TableViewCellSelectionStyle { None = 0, Blue = 1, Gray = 2 };
enum class TableViewCellEditingStyle { None = 0, Delete = 1, Insert = 2 };
enum class TableViewStyle { Plain = 0, Grouped = 1 };
enum class TableViewCellSeparatorStyle { None = 0, SingleLine = 1, SingleLineEtched = 2 };
enum class TableViewRowAnimation { Fade = 0, Right, Left, Top, Bottom, None, Middle, Automatic = 100 };
enum class TableViewScrollPosition { None = 0, Top, Middle, Bottom };

class TableView;

class TableViewCell : public View {
public:
    TableViewCell(TableViewCellStyle style, const std::string& reuseIdentifier);
    const char* className() const override { return "TableViewCell"; }

    TableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    View* contentView() const { return contentView_.get(); }
    Label* textLabel() const { return textLabel_.get(); }
    // nullptr for the default style.
    Label* detailTextLabel() const { return detailTextLabel_.get(); }
    ImageView* imageView() const { return imageView_.get(); }
    View* backgroundView() const { return backgroundView_.get(); }
    void setBackgroundView(std::shared_ptr<View> v);
    View* selectedBackgroundView() const { return selectedBackgroundView_.get(); }
    void setSelectedBackgroundView(std::shared_ptr<View> v);

    TableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(TableViewCellAccessoryType t);
    View* accessoryView() const { return accessoryView_.get(); }
    void setAccessoryView(std::shared_ptr<View> v);
    TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(TableViewCellSelectionStyle s) { selectionStyle_ = s; }

    bool isSelected() const { return selected_; }
    void setSelected(bool s) { setSelected(s, false); }
    virtual void setSelected(bool s, bool animated);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool h, bool animated);
    bool isEditing() const { return editing_; }
    virtual void setEditing(bool e, bool animated);
    // The delete button shown for this row (nullptr when none).
    Button* deleteConfirmationButton() const { return deleteButton_.get(); }
    // The round editing control at the left in editing mode (nullptr when none).
    Button* editingControl() const { return editingControl_.get(); }

    // The line under the cell (the table sets its colour and hides it for no separators).
    View* separatorView() const { return separator_.get(); }

    // Called when the table hands the cell out again.
    virtual void prepareForReuse() {}
    void layoutSubviews() override;
    std::string displayedText() const override { return textLabel_->text(); }

    // The table touches go to (the cell passes them on after selection).
    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;

private:
    friend class TableView;
    void showDeleteButton(const std::string& title, std::function<void()> action);
    void hideDeleteButton();
    void updateBackgrounds();

    TableViewCellStyle style_;
    std::string reuseIdentifier_;
    std::shared_ptr<View> contentView_, backgroundView_, selectedBackgroundView_, accessoryView_, accessoryMark_;
    std::shared_ptr<Label> textLabel_, detailTextLabel_;
    std::shared_ptr<ImageView> imageView_;
    std::shared_ptr<Button> deleteButton_, editingControl_;
    std::shared_ptr<View> separator_;
    TableViewCellAccessoryType accessoryType_ = TableViewCellAccessoryType::None;
    TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyle::Blue;
    bool selected_ = false, highlighted_ = false, editing_ = false;
    bool touchMoved_ = false;
    // The current touch has already been taken as a sideways swipe.
    bool swiped_ = false;
    Point touchStart_;
};

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfRowsInSection(TableView* tableView, int section) = 0;
    virtual std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView* tableView, const IndexPath& indexPath) = 0;
    virtual int numberOfSectionsInTableView(TableView* tableView) {
        (void)tableView;
        return 1;
    }
    virtual std::string titleForHeaderInSection(TableView*, int) { return {}; }
    virtual std::string titleForFooterInSection(TableView*, int) { return {}; }
    virtual bool canEditRowAtIndexPath(TableView*, const IndexPath&) { return true; }
    virtual void commitEditingStyle(TableView*, TableViewCellEditingStyle, const IndexPath&) {}
};

class TableViewDelegate : public ScrollViewDelegate {
public:
    // nullopt: the table's rowHeight / section header and footer heights.
    virtual std::optional<double> heightForRowAtIndexPath(TableView*, const IndexPath&) { return std::nullopt; }
    virtual std::optional<double> heightForHeaderInSection(TableView*, int) { return std::nullopt; }
    virtual std::optional<double> heightForFooterInSection(TableView*, int) { return std::nullopt; }
    virtual std::shared_ptr<View> viewForHeaderInSection(TableView*, int) { return nullptr; }
    virtual std::shared_ptr<View> viewForFooterInSection(TableView*, int) { return nullptr; }
    virtual void willDisplayCell(TableView*, TableViewCell*, const IndexPath&) {}
    // Answers the row to select instead, or nullopt for none.
    virtual std::optional<IndexPath> willSelectRowAtIndexPath(TableView*, const IndexPath& ip) { return ip; }
    virtual void didSelectRowAtIndexPath(TableView*, const IndexPath&) {}
    virtual void didDeselectRowAtIndexPath(TableView*, const IndexPath&) {}
    virtual TableViewCellEditingStyle editingStyleForRowAtIndexPath(TableView*, const IndexPath&) {
        return TableViewCellEditingStyle::Delete;
    }
    virtual std::string titleForDeleteConfirmationButtonForRowAtIndexPath(TableView*, const IndexPath&) {
        return "Delete";
    }
    virtual void accessoryButtonTappedForRowWithIndexPath(TableView*, const IndexPath&) {}
};

using CellFactory = std::function<std::shared_ptr<TableViewCell>(const std::string& identifier)>;

class TableView : public ScrollView {
public:
    explicit TableView(const Rect& frame = {}, TableViewStyle style = TableViewStyle::Plain);
    ~TableView() override;
    const char* className() const override { return "TableView"; }
    TableViewStyle style() const { return style_; }

    TableViewDataSource* dataSource() const { return dataSource_; }
    void setDataSource(TableViewDataSource* d) { dataSource_ = d; }
    TableViewDelegate* tableDelegate() const { return tableDelegate_; }
    // Also the scroll view's delegate.
    void setTableDelegate(TableViewDelegate* d);

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double h) { rowHeight_ = h; }
    double sectionHeaderHeight() const { return headerHeight_; }
    void setSectionHeaderHeight(double h) { headerHeight_ = h; }
    double sectionFooterHeight() const { return footerHeight_; }
    void setSectionFooterHeight(double h) { footerHeight_ = h; }
    TableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(TableViewCellSeparatorStyle s) {
        separatorStyle_ = s;
        setNeedsLayout();
    }
    Color separatorColor() const { return separatorColor_; }
    void setSeparatorColor(const Color& c) {
        separatorColor_ = c;
        setNeedsLayout();
    }
    View* backgroundView() const { return backgroundView_.get(); }
    void setBackgroundView(std::shared_ptr<View> v);
    View* tableHeaderView() const { return tableHeaderView_.get(); }
    void setTableHeaderView(std::shared_ptr<View> v);
    View* tableFooterView() const { return tableFooterView_.get(); }
    void setTableFooterView(std::shared_ptr<View> v);
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool a) { allowsSelection_ = a; }

    // Cell factories by reuse identifier, used when the pool has no cell.
    void registerCellFactory(const std::string& identifier, CellFactory factory);
    // A pooled cell (after prepareForReuse), else a new one from the factory,
    // else nullptr.
    std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    // Cells made by factories since the table was made (for tests and tuning).
    int cellsCreatedByFactories() const { return factoryMade_; }

    // Asks the data source again; the content size is right when this returns.
    void reloadData();
    int numberOfSections() const { return int(sections_.size()); }
    int numberOfRowsInSection(int section) const;
    Rect rectForSection(int section) const;
    Rect rectForHeaderInSection(int section) const;
    Rect rectForFooterInSection(int section) const;
    Rect rectForRowAtIndexPath(const IndexPath& ip) const;
    std::optional<IndexPath> indexPathForRowAtPoint(Point p) const;
    std::optional<IndexPath> indexPathForCell(const TableViewCell* cell) const;
    // The visible cell of the row, nullptr when the row is not on screen.
    TableViewCell* cellForRowAtIndexPath(const IndexPath& ip) const;
    std::vector<TableViewCell*> visibleCells() const;
    std::vector<IndexPath> indexPathsForVisibleRows() const;
    View* headerViewForSection(int section) const;
    View* footerViewForSection(int section) const;

    std::optional<IndexPath> indexPathForSelectedRow() const { return selected_; }
    void selectRowAtIndexPath(const std::optional<IndexPath>& ip, bool animated, TableViewScrollPosition pos);
    void deselectRowAtIndexPath(const IndexPath& ip, bool animated);
    void scrollToRowAtIndexPath(const IndexPath& ip, TableViewScrollPosition pos, bool animated);

    bool isEditing() const { return editing_; }
    void setEditing(bool e) { setEditing(e, false); }
    void setEditing(bool e, bool animated);
    // Shows the row's delete button (as a swipe across the row does); the
    // button's tap asks the data source to commit the deletion.
    void showDeleteConfirmationForRowAtIndexPath(const IndexPath& ip);
    // The row whose delete button shows, if any.
    std::optional<IndexPath> indexPathForDeleteConfirmation() const { return confirming_; }
    // A finger swiped across the row: leftward shows its delete button (when
    // the row can be deleted and the table is not in editing mode),
    // rightward hides it again.
    void userSwipedRowAtIndexPath(const IndexPath& ip, bool leftward);

    void beginUpdates();
    void endUpdates();
    void insertRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation);
    void deleteRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation);
    void reloadRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation);

    // The user tapped the row (what a tap on the cell does).
    void userSelectedRowAtIndexPath(const IndexPath& ip);

    void layoutSubviews() override;
    // A touch anywhere on the table but the delete button hides a showing
    // delete button (the tap does nothing more).
    void touchesBegan(const TouchSet& touches, const Event& event) override;

protected:
    void contentOffsetDidChange() override;

private:
    struct Section {
        double headerHeight = 0, footerHeight = 0;
        std::vector<double> rowHeights;
        std::string headerTitle, footerTitle;
        std::shared_ptr<View> headerView, footerView;
        double top = 0;  // y of the header
    };
    void computeLayout();
    void tile();
    void enqueue(const std::shared_ptr<TableViewCell>& cell);
    void clearVisible();
    std::shared_ptr<View> makeHeaderFooter(const std::string& title, bool header) const;
    void applyRowChanges(const std::vector<IndexPath>& paths, bool insert, TableViewRowAnimation animation);
    double contentTop() const;

    TableViewStyle style_;
    TableViewDataSource* dataSource_ = nullptr;
    TableViewDelegate* tableDelegate_ = nullptr;
    double rowHeight_ = 44, headerHeight_, footerHeight_;
    TableViewCellSeparatorStyle separatorStyle_ = TableViewCellSeparatorStyle::SingleLine;
    Color separatorColor_ = Color::white(0.88);
    std::shared_ptr<View> backgroundView_, tableHeaderView_, tableFooterView_;
    bool allowsSelection_ = true, editing_ = false;
    int updates_ = 0;
    bool loaded_ = false;
    std::vector<Section> sections_;
    std::map<IndexPath, std::shared_ptr<TableViewCell>> visible_;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> pool_;
    std::map<std::string, CellFactory> factories_;
    int factoryMade_ = 0;
    std::optional<IndexPath> selected_;
    std::optional<IndexPath> confirming_;
    // The current touch hid a delete button: it selects nothing.
    bool touchHidConfirmation_ = false;
};

}  // namespace ui
