#pragma once
// The first-start guide: four pages swiped sideways (three pictures, then the
// background picture on which the guide ends) with a page control, and the
// routing to the next step of the app's start (GuideRouting).

#include <memory>

#include "app/screens/guide/GuideRouting.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/ViewController.h"

class GuideViewController : public ui::ViewController, public ui::ScrollViewDelegate {
public:
    const char* className() const override { return "GuideViewController"; }
    ~GuideViewController() override;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    void createPages();
    void loadScrollViewWithPage(const std::shared_ptr<ui::View>& page);
    void scrollViewDidScroll(ui::ScrollView* scrollView) override;
    void changePage();
    void initAction();
    void showNextView();

    // The picture of a page for the screen in use.
    static std::string pageImageName(int page, bool tallScreen);

    ui::ScrollView* myScrollView() const { return myScrollView_.get(); }
    ui::PageControl* myPageControl() const { return myPageControl_.get(); }
    ui::ImageView* bgImage() const { return bgImage_.get(); }

private:
    std::shared_ptr<ui::ScrollView> myScrollView_;
    std::shared_ptr<ui::PageControl> myPageControl_;
    std::shared_ptr<ui::ImageView> bgImage_;
    std::shared_ptr<ui::Button> skip_;
    int pagesLoaded_ = 0;
    // The guide ends once per appearance, however often the scroll view
    // reports the last page.
    bool ended_ = false;
};
