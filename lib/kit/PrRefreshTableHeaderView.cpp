#include "lib/kit/PrRefreshTableHeaderView.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Time.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFlipDuration = 0.18;

const char* statusText(PrRefreshState s) {
    switch (s) {
        case PrRefreshPulling:
            return "放松执行刷新...";
        case PrRefreshNormal:
            return "下拉进行刷新...";
        case PrRefreshLoading:
            return "刷新中...";
    }
    return "";
}

std::shared_ptr<ui::Label> makeLabel(const ui::Rect& frame, const ui::Font& font, const ui::Color& color) {
    auto l = ui::Label::create(frame);
    l->setAutoresizingMask(ui::kAutoresizingFlexibleWidth);
    l->setFont(font);
    l->setTextColor(color);
    l->setBackgroundColor(ui::Color::clearColor());
    l->setTextAlignment(ui::TextAlignment::Center);
    return l;
}

void setTopInset(ui::ScrollView* sv, double top) {
    ui::EdgeInsets insets;
    insets.top = top;
    sv->setContentInset(insets);
}

}  // namespace

PrRefreshTableHeaderView::PrRefreshTableHeaderView(const ui::Rect& frame)
    : PrRefreshTableHeaderView(frame, "whiteArrow.png", ui::Color::whiteColor()) {}

PrRefreshTableHeaderView::PrRefreshTableHeaderView(const ui::Rect& frame, const std::string& arrowImageName,
                                                   const ui::Color& textColor)
    : ui::View(frame) {
    setAutoresizingMask(ui::kAutoresizingFlexibleWidth);
    setBackgroundColor(ui::Color::clearColor());
    const double w = frame.width(), h = frame.height();

    lastUpdatedLabel_ = makeLabel({0, h - 30, w, 20}, ui::Font::systemFont(12), textColor);
    addSubview(lastUpdatedLabel_);
    statusLabel_ = makeLabel({0, h - 48, w, 20}, ui::Font::boldSystemFont(13), textColor);
    addSubview(statusLabel_);

    arrowImage_ = ui::Layer::create();
    ui::Transaction::begin();
    ui::Transaction::setDisableActions(true);
    arrowImage_->setFrame({25, h - 65, 30, 55});
    arrowImage_->setContentsGravity(ui::ContentsGravity::ResizeAspect);
    arrowImage_->setContentsScale(ui::Screen::main().scale());
    arrowImage_->setContents(ui::Image::named(arrowImageName));
    ui::Transaction::commit();
    layer().addSublayer(arrowImage_);

    activityView_ = std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorStyle::Gray);
    activityView_->setFrame({25, h - 38, 20, 20});
    addSubview(activityView_);

    setState(PrRefreshNormal);
}

std::string PrRefreshTableHeaderView::lastUpdatedText(double unixSeconds) {
    // One fixed form, so the stored text does not change with the language.
    return "最后更新: " + foundation::formatDate(unixSeconds, "yyyy-MM-dd HH:mm");
}

void PrRefreshTableHeaderView::refreshLastUpdatedDate() {
    std::optional<double> date;
    if (delegate_) date = delegate_->prRefreshTableHeaderDataSourceLastUpdated(this);
    if (!date) {
        lastUpdatedLabel_->setText("");
        return;
    }
    lastUpdatedLabel_->setText(lastUpdatedText(*date));
    auto& defaults = foundation::UserDefaults::standard();
    defaults.setString(kLastRefreshKey, lastUpdatedLabel_->text());
    defaults.synchronize();
}

bool PrRefreshTableHeaderView::delegateIsLoading() {
    return delegate_ && delegate_->prRefreshTableHeaderDataSourceIsLoading(this);
}

void PrRefreshTableHeaderView::setState(PrRefreshState s) {
    switch (s) {
        case PrRefreshPulling:
            statusLabel_->setText(statusText(s));
            ui::Transaction::begin();
            ui::Transaction::setAnimationDuration(kFlipDuration);
            arrowImage_->setTransform(ui::Transform3D::makeRotation(kPi, 0, 0, 1));
            ui::Transaction::commit();
            break;
        case PrRefreshNormal:
            if (state_ == PrRefreshPulling) {
                ui::Transaction::begin();
                ui::Transaction::setAnimationDuration(kFlipDuration);
                arrowImage_->setTransform(ui::Transform3D::identity());
                ui::Transaction::commit();
            }
            statusLabel_->setText(statusText(s));
            activityView_->stopAnimating();
            ui::Transaction::begin();
            ui::Transaction::setDisableActions(true);
            arrowImage_->setHidden(false);
            arrowImage_->setTransform(ui::Transform3D::identity());
            ui::Transaction::commit();
            refreshLastUpdatedDate();
            break;
        case PrRefreshLoading:
            statusLabel_->setText(statusText(s));
            activityView_->startAnimating();
            ui::Transaction::begin();
            ui::Transaction::setDisableActions(true);
            arrowImage_->setHidden(true);
            ui::Transaction::commit();
            break;
    }
    state_ = s;
}

void PrRefreshTableHeaderView::prRefreshScrollViewDidScroll(ui::ScrollView* scrollView) {
    if (!scrollView) return;
    const double y = scrollView->contentOffset().y;
    if (state_ == PrRefreshLoading) {
        setTopInset(scrollView, std::min(std::max(-y, 0.0), kLoadingInset));
        return;
    }
    if (!scrollView->isDragging()) return;
    const bool loading = delegateIsLoading();
    if (state_ == PrRefreshPulling && y > -kTriggerDistance && y < 0 && !loading) {
        setState(PrRefreshNormal);
    } else if (state_ == PrRefreshNormal && y < -kTriggerDistance && !loading) {
        setState(PrRefreshPulling);
    }
    if (scrollView->contentInset().top != 0) setTopInset(scrollView, 0);
}

void PrRefreshTableHeaderView::prRefreshScrollViewDidEndDragging(ui::ScrollView* scrollView) {
    if (!scrollView) return;
    // A release while a refresh runs (ours or the delegate's) starts no second one.
    if (state_ == PrRefreshLoading || delegateIsLoading()) return;
    if (scrollView->contentOffset().y > -kTriggerDistance) return;
    if (delegate_) delegate_->prRefreshTableHeaderDidTriggerRefresh(this);
    setState(PrRefreshLoading);
    setTopInset(scrollView, kLoadingInset);
}

void PrRefreshTableHeaderView::prRefreshScrollViewDataSourceDidFinishedLoading(ui::ScrollView* scrollView) {
    if (scrollView) {
        scrollView->setContentInset({});
        // The content that the inset held open slides back into place.
        ui::Point o = scrollView->contentOffset();
        ui::Point top = scrollView->minimumContentOffset();
        if (o.y < top.y && !scrollView->isDragging()) scrollView->setContentOffset({o.x, top.y}, true);
    }
    setState(PrRefreshNormal);
}
