#pragma once
// The security log: the account's login records and abnormal events of the
// last days in three tabs (all, logins, abnormal), pulled with command 13 on
// every appearance and on pull-to-refresh. The abnormal events of each pull
// are reported as read (command 18, operation 0) and can be deleted one by
// one (operation 1). A high-risk login offers the password change.

#include <atomic>
#include <memory>
#include <optional>

#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/log/SafeAuditLog.h"
#include "lib/kit/HorizMenu.h"
#include "lib/kit/PrRefreshTableHeaderView.h"
#include "platform/ui/TableView.h"

class KAVOAuditionCell : public ui::TableViewCell {
public:
    explicit KAVOAuditionCell(const std::string& reuseIdentifier);
    const char* className() const override { return "KAVOAuditionCell"; }
    ui::Label* recordType() const { return recordType_.get(); }
    ui::Label* recordTime() const { return recordTime_.get(); }
    ui::Label* recordPlace() const { return recordPlace_.get(); }
    ui::ImageView* recordImage() const { return recordImage_.get(); }
    ui::ImageView* arrowImage() const { return arrowImage_.get(); }
    std::string displayedText() const override { return recordType_->text(); }

private:
    std::shared_ptr<ui::Label> recordType_, recordTime_, recordPlace_;
    std::shared_ptr<ui::ImageView> recordImage_, arrowImage_;
};

class KAVOSafeAuditViewController : public KAVOCommandViewController,
                                    public ui::TableViewDataSource,
                                    public ui::TableViewDelegate,
                                    public HorizMenuDataSource,
                                    public HorizMenuDelegate,
                                    public PrRefreshTableHeaderDelegate {
public:
    static constexpr const char* kIdentifier = "KAVOSafeAuditViewController";
    static constexpr int kTagPull = 100;      // command 13 with the overlay
    static constexpr int kTagRefresh = 101;   // command 13 from pull-to-refresh
    static constexpr int kTagMarkRead = 200;  // command 18, operation 0
    static constexpr int kTagDelete = 300;    // command 18, operation 1
    static constexpr int kAlertLeave = 1;
    static constexpr int kAlertHighRisk = 1024;

    KAVOSafeAuditViewController();
    const char* className() const override { return "KAVOSafeAuditViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    ui::TableView* tableView() const { return table_.get(); }
    HorizMenu* horizMenu() const { return menu_.get(); }
    ui::Label* emptyLabel() const { return emptyLabel_.get(); }
    PrRefreshTableHeaderView* pullRefreshView() const { return pullRefresh_.get(); }
    const SafeAuditLog& log() const { return log_; }
    // The list on screen (empty while the screen is not shown).
    const std::vector<LogEventRef>& currentAuditionLog() const;
    bool isRefreshing() const { return isRefreshing_; }
    // What a pull's deciphered reply does (command 13, with or without the
    // overlay): fills the lists, shows them and marks the abnormal events read.
    void handlePullReply(const std::string& text);
    // The id of the record whose deletion is under way.
    const std::optional<foundation::Value>& pendingDelete() const { return pendingDelete_; }

    // Table.
    int numberOfRowsInSection(ui::TableView*, int) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView* tableView,
                                                             const ui::IndexPath& indexPath) override;
    bool canEditRowAtIndexPath(ui::TableView*, const ui::IndexPath& indexPath) override;
    void commitEditingStyle(ui::TableView*, ui::TableViewCellEditingStyle style,
                            const ui::IndexPath& indexPath) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath&) override { return 70; }
    void didSelectRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& indexPath) override;
    std::string titleForDeleteConfirmationButtonForRowAtIndexPath(ui::TableView*, const ui::IndexPath&) override {
        return "删除";
    }
    void scrollViewDidScroll(ui::ScrollView* scrollView) override;
    void scrollViewDidEndDragging(ui::ScrollView* scrollView, bool willDecelerate) override;

    // Tabs.
    ui::Color backgroundColorForMenu(HorizMenu*) override;
    std::string horizMenuTitleForItemAtIndex(HorizMenu*, unsigned index) override;
    int numberOfItemsForMenu(HorizMenu*) override { return 3; }
    ui::ImageRef selectedItemImageForMenu(HorizMenu*) override;
    void horizMenuItemSelectedAtIndex(HorizMenu*, unsigned index) override;

    // Pull-to-refresh.
    void prRefreshTableHeaderDidTriggerRefresh(PrRefreshTableHeaderView*) override;
    bool prRefreshTableHeaderDataSourceIsLoading(PrRefreshTableHeaderView*) override { return isRefreshing_; }
    std::optional<double> prRefreshTableHeaderDataSourceLastUpdated(PrRefreshTableHeaderView*) override;

protected:
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;

private:
    void onPullFailure();
    void doneLoadingTableViewData();
    void showEmptyLabelIfNeeded();
    void setBackEnabled(bool enabled);
    void leaveAlert(const std::string& title);

    SafeAuditLog log_;
    SafeAuditLog::Tab tab_ = SafeAuditLog::All;
    bool shown_ = false;
    bool isRefreshing_ = false;
    std::optional<foundation::Value> pendingDelete_;
    std::shared_ptr<ui::TableView> table_;
    std::shared_ptr<HorizMenu> menu_;
    std::shared_ptr<ui::Label> emptyLabel_;
    std::shared_ptr<PrRefreshTableHeaderView> pullRefresh_;
};
