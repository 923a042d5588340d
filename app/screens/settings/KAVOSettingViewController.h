#pragma once
// The settings: push notices of account anomalies (command 17, operation 1),
// quick one-key verification, remote de-registration and start-PIN settings,
// the version row, and de-registering this phone (command 24) after a short
// survey of reasons. Command 25 asks what is new.

#include <memory>
#include <string>
#include <vector>

#include "app/cycle/KAVOCommandViewController.h"
#include "lib/kit/KAVOCustomCells.h"
#include "platform/ui/TableView.h"

class KAVOSettingViewController : public KAVOCommandViewController,
                                  public ui::TableViewDataSource,
                                  public ui::TableViewDelegate,
                                  public KAVOCustomCellButtonPress,
                                  public ui::ActionSheetDelegate {
public:
    static constexpr const char* kIdentifier = "KAVOSettingViewController";
    static constexpr int kTagPush = 256;         // command 17, operation 1
    static constexpr int kTagLogout = 512;       // command 24
    static constexpr int kTagNewFeature = 1024;  // command 25
    static constexpr int kRowCount = 11;
    // The segue a row without an action of its own leads by (rows 4, 6, 7
    // and 8), nullptr for the others.
    static const char* segueOfRow(int row);

    // Alert and sheet tags.
    static constexpr int kSheetPin = 50;
    static constexpr int kSheetSafePhone = 100;
    static constexpr int kAlertReasons = 1024;
    static constexpr int kAlertOtherReason = 8457;
    static constexpr int kAlertPaymentWarning = 64565;
    static constexpr int kAlertLoggedOut = 2048;
    static constexpr int kAlertNewFeature = 5096;

    KAVOSettingViewController();
    const char* className() const override { return "KAVOSettingViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    ui::TableView* tableView() const { return table_.get(); }
    // [push, quick one-key verification], "1" on and "0" off.
    const std::vector<std::string>& settingItemStatus() const { return status_; }
    int settingIndexBeingModified() const { return beingModified_; }
    bool isNeedUpdate() const;
    // Starts command 25 (no row starts it).
    void popOutProgressHuDForGetNewFeature() { popOutProgressHUD(kTagNewFeature); }

    // Table.
    int numberOfRowsInSection(ui::TableView*, int) override { return kRowCount; }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView* tableView,
                                                             const ui::IndexPath& indexPath) override;
    bool canEditRowAtIndexPath(ui::TableView*, const ui::IndexPath&) override { return false; }
    std::optional<double> heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& indexPath) override;

    // Cells.
    void customCellButtonPressed(KAVOAccountProtectLabelCell* cell, int cellIndex) override;
    void customCellButtonPressed(KAVOAccountProtectLabelCell* cell, int cellIndex, int switchIndex) override;

    // Sheets.
    void didDismissWithButtonIndex(ui::ActionSheet* sheet, int buttonIndex) override;

protected:
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;

private:
    struct Row {
        std::string cellId;
        double height;
        std::string title, subtitle, image;  // switch rows only
    };
    void buildRows();
    void rollBackForChangeANPSStatusFaliure();
    void showReasonList();
    void startLogout(const std::string& label, bool dispatchNow);
    void logoutSucceeded();
    void openStorePage();

    std::vector<Row> rows_;
    std::vector<std::string> status_;
    int beingModified_ = -1;
    std::string isPassword_ = "null", safePhone_ = "null";
    std::string localVersion_, remoteVersion_;
    std::shared_ptr<ui::TableView> table_;
};
