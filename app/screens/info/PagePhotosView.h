#pragma once
// A paged picture carousel with a page control along its bottom. Pages are
// made lazily, the first time a page or its neighbour is shown; a tap on a
// picture is reported to the data source.

#include <memory>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"

class PagePhotosDataSource {
public:
    virtual ~PagePhotosDataSource() = default;
    virtual int numberOfPages() = 0;
    virtual ui::ImageRef imageAtIndex(int index) = 0;
    virtual void tapImageAtIndex(int index) = 0;
};

class PagePhotosView : public ui::View, public ui::ScrollViewDelegate {
public:
    // The banner's width on the supported screens: a tap's page is its x over it.
    static constexpr double kPageWidth = 320;

    PagePhotosView(const ui::Rect& frame, PagePhotosDataSource* dataSource);
    const char* className() const override { return "PagePhotosView"; }

    ui::ScrollView* scrollView() const { return scrollView_.get(); }
    ui::PageControl* pageControl() const { return pageControl_.get(); }
    // The page's image view, nullptr while the page is not made.
    ui::ImageView* pageView(int index) const;
    bool pageControlUsed() const { return pageControlUsed_; }

    void loadScrollViewWithPage(int page);
    // A tap at x in the scroll view's content.
    void handleSingleTap(double contentX);
    void changePage();

    void scrollViewDidScroll(ui::ScrollView* scrollView) override;
    void scrollViewWillBeginDragging(ui::ScrollView* scrollView) override;
    void scrollViewDidEndDecelerating(ui::ScrollView* scrollView) override;

private:
    PagePhotosDataSource* dataSource_;
    int pages_ = 0;
    std::shared_ptr<ui::ScrollView> scrollView_;
    std::shared_ptr<ui::PageControl> pageControl_;
    std::vector<std::shared_ptr<ui::ImageView>> imageViews_;
    bool pageControlUsed_ = false;
};
