#pragma once
// An alert holding a table of rows below its title and message. The alert
// grows to make room for the table (up to a number of visible rows), and
// passes the alert's and the table's events to its own delegate and data
// source. In the single-select type a row choice closes the alert; in the
// multiple-select type the alert stays open while rows are chosen.
//
// The layout runs before the first presentation and again after the status
// bar turns; a repeated layout first takes back the growth of the one
// before, so the alert never grows twice.

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/WeakRef.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/View.h"

class MsTableAlert;

enum MsTableAlertType {
    MsTableAlertTypeSingleSelect = 0,
    MsTableAlertTypeMultipleSelect = 1,
};

enum MsTableAlertStyle {
    MsTableAlertStylePlain = 0,
    MsTableAlertStyleShaded = 1,
};

// Kept weakly: a delegate destroyed while the panel shows is not called.
class MsTableAlertDelegate : public foundation::Referenceable {
public:
    virtual ~MsTableAlertDelegate() = default;
    // nullopt: the alert's rowHeight.
    virtual std::optional<double> tableAlertHeightForRowAtIndexPath(MsTableAlert*, const ui::IndexPath&) {
        return std::nullopt;
    }
    virtual void tableAlertDidSelectRowAtIndexPath(MsTableAlert*, const ui::IndexPath&) {}
    virtual void tableAlertCancel(MsTableAlert*) {}
    virtual void tableAlertClickedButtonAtIndex(MsTableAlert*, int) {}
    virtual void willPresentTableAlert(MsTableAlert*) {}
    virtual void didPresentTableAlert(MsTableAlert*) {}
    virtual void tableAlertWillDismissWithButtonIndex(MsTableAlert*, int) {}
    virtual void tableAlertDidDismissWithButtonIndex(MsTableAlert*, int) {}
};

class MsTableAlertDataSource : public foundation::Referenceable {
public:
    virtual ~MsTableAlertDataSource() = default;
    virtual std::shared_ptr<ui::TableViewCell> tableAlertCellForRowAtIndexPath(MsTableAlert*, const ui::IndexPath&) = 0;
    virtual int tableAlertNumberOfRowsInSection(MsTableAlert*, int section) = 0;
    virtual int numberOfSectionsInTableAlert(MsTableAlert*) { return 1; }
    // nullopt: the section has no header bar.
    virtual std::optional<std::string> tableAlertTitleForHeaderInSection(MsTableAlert*, int) { return std::nullopt; }
};

// The embedded table; in the shaded style it paints a grey gradient behind its rows.
class MsTableView : public ui::TableView {
public:
    explicit MsTableView(const ui::Rect& frame = {});
    const char* className() const override { return "MsTableView"; }
    int alertStyle() const { return alertStyle_; }
    void setAlertStyle(int s);
    void drawRect(const ui::Rect& rect) override;

private:
    int alertStyle_ = 0;
};

// A shadow strip over the table's top edge: black at 0.4 fading out over 8 points.
class MsTableViewTopShadowView : public ui::View {
public:
    explicit MsTableViewTopShadowView(const ui::Rect& frame = {}) : ui::View(frame) {}
    const char* className() const override { return "MsTableViewTopShadowView"; }
    void drawRect(const ui::Rect& rect) override;
};

// A section title bar.
class MsTableViewSectionHeaderView : public ui::View {
public:
    explicit MsTableViewSectionHeaderView(const std::string& title);
    const char* className() const override { return "MsTableViewSectionHeaderView"; }
    const std::string& title() const { return title_; }
    void setTitle(const std::string& t);
    std::string displayedText() const override { return title_; }
    void drawRect(const ui::Rect& rect) override;

private:
    std::string title_;
};

class MsTableAlertCell;

// Draws the light and dark rules of its cell.
class MsTableAlertCellBackgroundView : public ui::View {
public:
    MsTableAlertCellBackgroundView(const ui::Rect& frame, MsTableAlertCell* cell);
    const char* className() const override { return "MsTableAlertCellBackgroundView"; }
    void drawRect(const ui::Rect& rect) override;

private:
    MsTableAlertCell* cell_;
};

class MsTableAlertCell : public ui::TableViewCell {
public:
    MsTableAlertCell(ui::TableViewCellStyle style, const std::string& reuseIdentifier);
    ~MsTableAlertCell() override;
    const char* className() const override { return "MsTableAlertCell"; }
    MsTableAlertCellBackgroundView* cellBackgroundView() const { return cellBackgroundView_.get(); }
    // A white rule along the top and a dark one along the bottom.
    void drawCellBackgroundView(const ui::Rect& rect);
    void layoutSubviews() override;
    // Redraws the cell and its background.
    void setNeedsDisplay();

private:
    std::shared_ptr<MsTableAlertCellBackgroundView> cellBackgroundView_;
};

class MsTableAlert : public ui::TableViewDataSource,
                     public ui::TableViewDelegate,
                     public ui::AlertViewDelegate,
                     public std::enable_shared_from_this<MsTableAlert> {
public:
    // An empty message means none. Use the create functions: the alert must
    // be owned by a shared_ptr.
    MsTableAlert(const std::string& title, const std::string& cancelButtonTitle, const std::string& message = "");
    ~MsTableAlert() override;
    static std::shared_ptr<MsTableAlert> alertWithTitle(const std::string& title, const std::string& cancelButtonTitle,
                                                        const std::string& message = "") {
        return std::make_shared<MsTableAlert>(title, cancelButtonTitle, message);
    }

    ui::AlertView* view() const { return view_.get(); }
    const std::shared_ptr<ui::AlertView>& viewRef() const { return view_; }
    MsTableView* tableView() const { return tableView_.get(); }
    MsTableViewTopShadowView* shadow() const { return shadow_.get(); }

    int type() const { return type_; }
    void setType(int t) { type_ = t; }
    int style() const { return style_; }
    void setStyle(int s);
    int maximumVisibleRows() const { return maximumVisibleRows_; }
    void setMaximumVisibleRows(int n) { maximumVisibleRows_ = n; }
    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double h) { rowHeight_ = h; }
    MsTableAlertDelegate* delegate() const { return delegate_; }
    void setDelegate(MsTableAlertDelegate* d) { delegate_ = d; }
    MsTableAlertDataSource* dataSource() const { return dataSource_; }
    void setDataSource(MsTableAlertDataSource* d) { dataSource_ = d; }
    bool presented() const { return presented_; }

    // Pass-through to the table and the alert.
    ui::TableViewDelegate* tableViewDelegate() const { return tableView_->tableDelegate(); }
    void setTableViewDelegate(ui::TableViewDelegate* d) { tableView_->setTableDelegate(d); }
    ui::TableViewDataSource* tableViewDataSource() const { return tableView_->dataSource(); }
    void setTableViewDataSource(ui::TableViewDataSource* d) { tableView_->setDataSource(d); }
    ui::AlertViewDelegate* alertViewDelegate() const { return view_->delegate(); }
    void setAlertViewDelegate(ui::AlertViewDelegate* d) { view_->setDelegate(d); }

    // Reloads the table and shows the alert.
    void show();
    // Sizes the table, grows the alert for it and places table and shadow.
    void layout();
    // Grows the alert by d points about its centre and moves its buttons down by d.
    void increaseHeightBy(double d);
    // Runs layout on the next turn of the main run loop.
    void layoutAfterSomeTime();
    // How much the last layout grew the alert.
    double grownBy() const { return grownBy_; }

    // Table data source and delegate.
    int numberOfSectionsInTableView(ui::TableView*) override;
    int numberOfRowsInSection(ui::TableView*, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) override;
    std::shared_ptr<ui::View> viewForHeaderInSection(ui::TableView*, int section) override;
    std::optional<double> heightForHeaderInSection(ui::TableView*, int section) override;
    void didSelectRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) override;

    // Alert delegate.
    void alertViewCancel(ui::AlertView*) override;
    void clickedButtonAtIndex(ui::AlertView*, int buttonIndex) override;
    void willPresentAlertView(ui::AlertView*) override;
    void didPresentAlertView(ui::AlertView*) override;
    void willDismissWithButtonIndex(ui::AlertView*, int buttonIndex) override;
    void didDismissWithButtonIndex(ui::AlertView*, int buttonIndex) override;

private:
    std::shared_ptr<ui::AlertView> view_;
    std::shared_ptr<MsTableView> tableView_;
    std::shared_ptr<MsTableViewTopShadowView> shadow_;
    int type_ = MsTableAlertTypeSingleSelect;
    int style_ = MsTableAlertStylePlain;
    int maximumVisibleRows_ = 4;
    double rowHeight_ = 40;
    foundation::WeakRef<MsTableAlertDelegate> delegate_;
    foundation::WeakRef<MsTableAlertDataSource> dataSource_;
    bool presented_ = false;
    // The alert's frame before and after the last growth.
    double grownBy_ = 0;
    ui::Rect frameBeforeGrowth_, frameAfterGrowth_;
};
