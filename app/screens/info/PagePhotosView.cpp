#include "app/screens/info/PagePhotosView.h"

#include <cmath>

#include "platform/ui/GestureRecognizer.h"

PagePhotosView::PagePhotosView(const ui::Rect& frame, PagePhotosDataSource* dataSource)
    : ui::View(frame), dataSource_(dataSource) {
    const double w = frame.width(), h = frame.height();
    scrollView_ = std::make_shared<ui::ScrollView>(ui::Rect{0, 0, w, h});
    auto tap = std::make_shared<ui::TapGestureRecognizer>(
        [this](ui::GestureRecognizer& recognizer) { handleSingleTap(recognizer.locationInView(scrollView_.get()).x); });
    tap->setNumberOfTapsRequired(1);
    ui::addGestureRecognizer(*scrollView_, tap);
    pageControl_ = std::make_shared<ui::PageControl>(ui::Rect{0, h - 17, w, 17});
    pageControl_->setAlpha(0.39);
    pageControl_->setBackgroundColor(ui::Color::blackColor());
    pageControl_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { changePage(); }, ui::kControlEventValueChanged);
    addSubview(scrollView_);
    addSubview(pageControl_);

    pages_ = dataSource_ ? dataSource_->numberOfPages() : 0;
    imageViews_.assign(size_t(std::max(pages_, 0)), nullptr);
    scrollView_->setPagingEnabled(true);
    scrollView_->setContentSize({w * pages_, h});
    scrollView_->setShowsHorizontalScrollIndicator(false);
    scrollView_->setShowsVerticalScrollIndicator(false);
    scrollView_->setScrollsToTop(false);
    scrollView_->setDelegate(this);
    pageControl_->setNumberOfPages(pages_);
    pageControl_->setCurrentPage(0);
    loadScrollViewWithPage(0);
    loadScrollViewWithPage(1);
}

ui::ImageView* PagePhotosView::pageView(int index) const {
    return index >= 0 && index < pages_ ? imageViews_[size_t(index)].get() : nullptr;
}

void PagePhotosView::loadScrollViewWithPage(int page) {
    if (page < 0 || page >= pages_) return;
    auto& slot = imageViews_[size_t(page)];
    if (!slot) slot = std::make_shared<ui::ImageView>(dataSource_->imageAtIndex(page));
    if (!slot->superview()) {
        const double w = frame().width(), h = frame().height();
        slot->setFrame({w * page, 0, w, h});
        scrollView_->addSubview(slot);
    }
}

void PagePhotosView::scrollViewDidScroll(ui::ScrollView*) {
    if (pageControlUsed_) return;
    const double w = frame().width();
    const int page = int(std::floor((scrollView_->contentOffset().x - w / 2) / w)) + 1;
    pageControl_->setCurrentPage(page);
    loadScrollViewWithPage(page - 1);
    loadScrollViewWithPage(page);
    loadScrollViewWithPage(page + 1);
}

void PagePhotosView::scrollViewWillBeginDragging(ui::ScrollView*) { pageControlUsed_ = false; }

void PagePhotosView::scrollViewDidEndDecelerating(ui::ScrollView*) { pageControlUsed_ = false; }

void PagePhotosView::changePage() {
    const int page = pageControl_->currentPage();
    loadScrollViewWithPage(page - 1);
    loadScrollViewWithPage(page);
    loadScrollViewWithPage(page + 1);
    pageControlUsed_ = true;
    scrollView_->setContentOffset({frame().width() * page, 0}, true);
}

void PagePhotosView::handleSingleTap(double contentX) {
    const int k = int(std::floor(contentX / kPageWidth));
    if (k >= 0 && k < pages_ && dataSource_) dataSource_->tapImageAtIndex(k);
}
