#pragma once
// The one-key-verify tab ("OKV") of the product container: every request the
// security server holds for the account, polled every 5 seconds while the
// tab is on screen, one row per request with a button that lets it pass
// (command 19). While the tab is on screen it holds the main screen's poll
// gate, so the same request does not also come up as the main screen's
// alert.

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/VerifyReplies.h"
#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/shared/PendingLoginPoller.h"
#include "app/screens/token/ProductTab.h"
#include "lib/kit/KAVOCustomCells.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"

// A row: the operation, the place and the time beside the picture "yijian",
// and the let-go button on the right.
class KAVOOneKeyVerifyfCustomCell : public KAVOAccountProtectImageLabelCell {
public:
    static constexpr const char* kReuseIdentifier = "OneKeyCustomCell";
    static constexpr const char* kLetGoTitle = "放行";

    using KAVOAccountProtectImageLabelCell::KAVOAccountProtectImageLabelCell;
    const char* className() const override { return "KAVOOneKeyVerifyfCustomCell"; }

    ui::Label* locationTitle() const { return locationTitle_.get(); }
    ui::Button* letGoButton() const { return letGoButton_.get(); }
    // Not owned.
    KAVOCustomCellButtonPress* delegate() const { return delegate_; }
    void setDelegate(KAVOCustomCellButtonPress* d) { delegate_ = d; }

    void buildLayout(ui::Size size) override;
    // The button's action: tells the delegate the cell and its row.
    void letGoButtonPressed();

protected:
    double textRightInset() const override { return 80; }

private:
    std::shared_ptr<ui::Label> locationTitle_;
    std::shared_ptr<ui::Button> letGoButton_;
    KAVOCustomCellButtonPress* delegate_ = nullptr;
};

class KAVOOneKeyVerifyViewController : public KAVOCommandViewController,
                                       public ProductTab,
                                       public ui::TableViewDataSource,
                                       public ui::TableViewDelegate,
                                       public KAVOCustomCellButtonPress {
public:
    static constexpr const char* kScreenIdentifier = "OKV";
    static constexpr int kTagPoll = 1;
    static constexpr int kTagLetGo = 2;
    static constexpr int kConfirmAlertTag = 1;
    // Seconds between two polls; a poll times out sooner, so at most one is
    // in flight.
    static constexpr double kPollPeriod = 5.0;
    static constexpr double kPollTimeOut = 4.0;
    static constexpr double kRowHeight = 80;
    static constexpr const char* kEmptyText = "当前没有待处理的校验请求";
    static constexpr const char* kLetGoDoneText = "放行操作成功";
    static constexpr const char* kLetGoRefusedText = "放行操作失败";
    // A let-go whose reply could not be read: the server may have let the
    // login through, so the list is asked for again at once.
    static constexpr const char* kLetGoUnknownText = "未能确认放行结果，已为您刷新待处理列表";

    KAVOOneKeyVerifyViewController();
    ~KAVOOneKeyVerifyViewController() override;
    const char* className() const override { return "KAVOOneKeyVerifyViewController"; }

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidUnload() override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) override { return false; }

    // Table.
    int numberOfRowsInSection(ui::TableView*, int) override { return int(oneKeyVeryifyArray_.size()); }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView* tableView,
                                                             const ui::IndexPath& indexPath) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath&) override { return kRowHeight; }

    // A row's let-go button.
    void customCellButtonPressed(KAVOAccountProtectLabelCell* cell, int cellIndex) override;

    // What a poll reply shows: its requests when it succeeded, else none.
    void showRequests(const std::optional<PollReply>& poll);

    // ProgressHUDDelegate: the end of a let-go lets the poll go on.
    void hudWasHidden(ProgressHUD* hud) override;

    // What a test reads.
    const std::vector<VerifyRequest>& requests() const { return oneKeyVeryifyArray_; }
    ui::TableView* tableView() const { return table_.get(); }
    ui::Label* statusBar() const { return statusBar_.get(); }
    int currentCellIndex() const { return currentCellIndex_; }
    bool firstNetFail() const { return firstNetFail_; }
    bool isPolling() const { return poller_.running(); }
    int keepPulling() const { return KEEP_PULLING_THREAD_.load(); }
    int seizePulling() const { return SEIZE_PULLING_THREAD_.load(); }

protected:
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;
    // Overlay, bar buttons and notices belong to the container.
    ui::ViewController* commandHost() override { return parent() ? parent() : this; }

private:
    void registerCommands();
    void startPoller();
    void stopPoller();
    void handleResponseForPullOKVRequest(const CommandReply& reply);
    void handleNetWorkFaliureForPullOKVRequest();
    void popOutProgressHUDForLegGo(int row);
    void handleResponseForLetGoOKVRequest(const CommandReply& reply);
    void handleNetWorkFaliureForLetGoOKVRequest();
    void endLetGo();
    void showNotice(const std::optional<std::string>& message);
    void updateStatusBar();

    std::vector<VerifyRequest> oneKeyVeryifyArray_;
    // The row being let go (−1 when none) and the request it showed when it
    // was tapped: a poll may reorder the list while the confirmation is up,
    // and the request the user chose is the one that is sent.
    int currentCellIndex_ = -1;
    std::optional<VerifyRequest> chosen_;
    bool firstNetFail_ = true;
    std::atomic<int> KEEP_PULLING_THREAD_{0};
    std::atomic<int> SEIZE_PULLING_THREAD_{1};
    screens::PendingLoginPoller poller_;
    // The list is asked for as soon as the let-go under way has ended.
    bool pollAfterLetGo_ = false;
    std::shared_ptr<ui::TableView> table_;
    std::shared_ptr<ui::Label> statusBar_;
};
