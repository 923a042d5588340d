#pragma once
// The protections table: each protection of the bound account with its
// on/off switch, the account-lock row (whose switch opens the lock-period
// editor and whose text shows the locked hours) and the quick password
// change. Statuses are read once per screen (command 11); a switch changes
// one protection (command 12, or command 10 for the lock) and shows only
// what the server's reply says.
#include <memory>
#include <optional>

#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/protect/ProtectionTable.h"
#include "lib/kit/KAVOCustomCells.h"
#include "lib/kit/MarqueeLabel.h"
#include "platform/ui/TableView.h"

class AccountProtectViewController : public KAVOCommandViewController,
                                     public ui::TableViewDataSource,
                                     public ui::TableViewDelegate,
                                     public KAVOCustomCellButtonPress {
public:
    static constexpr int kTagStatus = 11;
    static constexpr int kTagChange = 12;
    static constexpr int kTagLock = 10;
    static constexpr int kStrongVerificationAlertTag = 0x10000;
    static constexpr int kLeaveAlertTag = 1;
    // A change whose reply never came or could not be read may have been
    // made on the server all the same: the statuses are read again and shown
    // with this notice (or, when they cannot be read either, the alert that
    // leaves the screen says so).
    static constexpr const char* kChangeUnknownText = "未能确认操作结果，已为您显示服务器上的最新状态";
    static constexpr const char* kChangeUnknownNoListText = "未能确认操作结果，请稍后重新进入本页查看";

    AccountProtectViewController();
    const char* className() const override { return "AccountProtectViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    ui::TableView* tableView() const { return table_.get(); }
    const ProtectionStatuses& statuses() const { return statuses_; }
    MarqueeLabel* locationLabel() const { return locationLabel_.get(); }
    bool lockEditorOpened() const { return lockEditorOpened_; }
    bool isOpenLockGoingOn() const { return isOpenLockGoingOn_; }

    // Table.
    int numberOfRowsInSection(ui::TableView*, int) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) override;
    void didSelectRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) override;

    // A switch moved: switchIndex 0 on, 1 off.
    void customCellButtonPressed(KAVOAccountProtectLabelCell* cell, int cellIndex, int switchIndex) override;

protected:
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;

private:
    // Starts a change: [row, switch index, strong verification or lock types].
    void startChange(int row, int switchIndex, std::optional<long long> third);
    void trackChange(int row, int value);
    void handleStatusReply(const CommandReply& reply);
    void handleChangeReply(const CommandReply& reply);
    void openingSucceeded(const ProtectionChangeReply& reply);
    void closingSucceeded();
    // After a lock opening that did not go through: the hours are forgotten.
    void cleanUpForOpenACLockFailed();
    void showLockText(KAVOAccountProtectOpertationCell& cell);
    void removeLocationLabel();
    void reloadTable();
    ScreenCommand changeCommand(int tag);
    // A change's outcome is unknown: the statuses are read again.
    void changeOutcomeUnknown();
    // The status read failed; after an unknown change it says so.
    void statusReadFailed();

    std::shared_ptr<ui::TableView> table_;
    ProtectionStatuses statuses_;
    std::shared_ptr<MarqueeLabel> locationLabel_;
    std::optional<int> pendingLoginSwitch_;  // the row waiting for the strong-verification answer
    bool firstTimeShow_ = true;
    bool lockEditorOpened_ = false;
    bool isOpenLockGoingOn_ = false;
    // The status read under way follows a change whose outcome is unknown.
    bool recheckingChange_ = false;
};
