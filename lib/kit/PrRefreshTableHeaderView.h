#pragma once
// The "pull down to refresh" header placed above a table's content. The
// owner forwards its scroll view's events; the header follows the pull
// through three states, tells its delegate when a release past the
// threshold asks for a refresh, keeps the table open by a top inset while
// loading, and shows (and remembers in the user defaults) when the data was
// last updated.

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/Layer.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"

class PrRefreshTableHeaderView;

enum PrRefreshState {
    PrRefreshPulling = 0,
    PrRefreshNormal = 1,
    PrRefreshLoading = 2,
};

class PrRefreshTableHeaderDelegate {
public:
    virtual ~PrRefreshTableHeaderDelegate() = default;
    virtual void prRefreshTableHeaderDidTriggerRefresh(PrRefreshTableHeaderView* view) { (void)view; }
    // A delegate that does not answer counts as not loading.
    virtual bool prRefreshTableHeaderDataSourceIsLoading(PrRefreshTableHeaderView* view) {
        (void)view;
        return false;
    }
    // Seconds since 1970 of the last update; nullopt: the delegate does not say.
    virtual std::optional<double> prRefreshTableHeaderDataSourceLastUpdated(PrRefreshTableHeaderView* view) {
        (void)view;
        return std::nullopt;
    }
};

class PrRefreshTableHeaderView : public ui::View {
public:
    // The user-defaults key of the last-updated text.
    static constexpr const char* kLastRefreshKey = "PrRefreshTableView_LastRefresh";
    // How far the table must be pulled (points) and the inset kept while loading.
    static constexpr double kTriggerDistance = 65;
    static constexpr double kLoadingInset = 60;

    PrRefreshTableHeaderView(const ui::Rect& frame, const std::string& arrowImageName, const ui::Color& textColor);
    // The white arrow and white text.
    explicit PrRefreshTableHeaderView(const ui::Rect& frame);
    static std::shared_ptr<PrRefreshTableHeaderView> create(const ui::Rect& frame) {
        return std::make_shared<PrRefreshTableHeaderView>(frame);
    }
    const char* className() const override { return "PrRefreshTableHeaderView"; }

    PrRefreshTableHeaderDelegate* delegate() const { return delegate_; }
    void setDelegate(PrRefreshTableHeaderDelegate* d) { delegate_ = d; }
    PrRefreshState state() const { return state_; }

    // Shows the delegate's last-updated date and stores the text, or clears
    // the label when the delegate gives no date.
    void refreshLastUpdatedDate();

    // The owner's scroll view events.
    void prRefreshScrollViewDidScroll(ui::ScrollView* scrollView);
    void prRefreshScrollViewDidEndDragging(ui::ScrollView* scrollView);
    void prRefreshScrollViewDataSourceDidFinishedLoading(ui::ScrollView* scrollView);

    ui::Label* lastUpdatedLabel() const { return lastUpdatedLabel_.get(); }
    ui::Label* statusLabel() const { return statusLabel_.get(); }
    ui::Layer* arrowImage() const { return arrowImage_.get(); }
    ui::ActivityIndicatorView* activityView() const { return activityView_.get(); }

    // The last-updated text of a date: "最后更新: " and the local date and
    // time written the same way whatever the user's language.
    static std::string lastUpdatedText(double unixSeconds);

private:
    void setState(PrRefreshState s);
    bool delegateIsLoading();

    PrRefreshTableHeaderDelegate* delegate_ = nullptr;
    PrRefreshState state_ = PrRefreshNormal;
    std::shared_ptr<ui::Label> lastUpdatedLabel_, statusLabel_;
    std::shared_ptr<ui::Layer> arrowImage_;
    std::shared_ptr<ui::ActivityIndicatorView> activityView_;
};
