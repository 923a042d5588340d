#include "app/screens/guide/GuideViewController.h"

#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "app/core/UpdateDataToSqlite.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Screen.h"

GuideViewController::~GuideViewController() {
    if (myScrollView_) myScrollView_->setDelegate(nullptr);
}

std::string GuideViewController::pageImageName(int page, bool tallScreen) {
    static const char* const kPictures[] = {"lead111", "lead22", "lead33"};
    if (page < 0 || page > GuideRouting::kLastPicturePage) return "bg4.jpg";
    return std::string(kPictures[page]) + (tallScreen ? "-568h@2x.png" : ".jpg");
}

void GuideViewController::loadView() {
    const ui::Rect bounds = ui::Screen::main().bounds();
    auto root = ui::View::create(bounds);
    root->setBackgroundColor(ui::Color::blackColor());
    bgImage_ = std::make_shared<ui::ImageView>(bounds);
    bgImage_->setContentMode(ui::ContentMode::ScaleToFill);
    root->addSubview(bgImage_);
    myScrollView_ = std::make_shared<ui::ScrollView>(bounds);
    root->addSubview(myScrollView_);
    myPageControl_ = std::make_shared<ui::PageControl>(ui::Rect{0, bounds.height() - 62, bounds.width(), 20});
    root->addSubview(myPageControl_);
    // A way past the pictures without swiping through them.
    skip_ = std::make_shared<ui::Button>(ui::Rect{bounds.width() - 72, 26, 60, 28}, ui::ButtonType::Custom);
    skip_->setTitle("跳过");
    skip_->setTitleColor(ui::Color::whiteColor());
    skip_->setBackgroundColor(ui::Color::white(0, 0.35));
    skip_->layer().setCornerRadius(14);
    skip_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { initAction(); }, ui::kControlEventTouchUpInside);
    root->addSubview(skip_);
    setView(root);
}

void GuideViewController::viewDidLoad() {
    bgImage_->setImage(ui::Image::named("bg4.jpg"));
    if (auto* nav = navigationController()) nav->setNavigationBarHidden(true);
    const ui::Rect frame = myScrollView_->frame();
    myScrollView_->setPagingEnabled(true);
    myScrollView_->setShowsHorizontalScrollIndicator(false);
    myScrollView_->setShowsVerticalScrollIndicator(false);
    myScrollView_->setDelegate(this);
    myScrollView_->setContentSize({frame.width() * GuideRouting::kPageCount, 1});
    myPageControl_->setBackgroundColor(ui::Color::clearColor());
    myPageControl_->setNumberOfPages(GuideRouting::kPageCount);
    myPageControl_->setCurrentPage(0);
    myPageControl_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { changePage(); }, ui::kControlEventValueChanged);
    createPages();
    if (!DBController::databaseExit()) ScreenAnalytics::trackPageview("guideView");
}

void GuideViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    if (auto* nav = navigationController()) nav->setNavigationBarHidden(true);
    const ui::Rect frame = myPageControl_->frame();
    myPageControl_->setFrame({frame.x(), ui::Screen::main().bounds().height() - 62, frame.width(), frame.height()});
    ended_ = false;
}

void GuideViewController::viewWillDisappear(bool animated) {
    if (auto* nav = navigationController()) nav->setNavigationBarHidden(false);
    ui::ViewController::viewWillDisappear(animated);
}

void GuideViewController::createPages() {
    const bool tall = Constants::isTallScreen();
    const ui::Rect frame = myScrollView_->frame();
    for (int page = 0; page < GuideRouting::kPageCount; ++page) {
        auto holder = ui::View::create({0, 0, frame.width(), frame.height()});
        holder->setBackgroundColor(ui::Color::blackColor());
        auto picture = std::make_shared<ui::ImageView>(holder->bounds());
        picture->setContentMode(ui::ContentMode::ScaleToFill);
        picture->setImage(ui::Image::named(pageImageName(page, tall)));
        holder->addSubview(picture);
        loadScrollViewWithPage(holder);
    }
}

void GuideViewController::loadScrollViewWithPage(const std::shared_ptr<ui::View>& page) {
    const ui::Rect frame = myScrollView_->frame();
    page->setFrame({pagesLoaded_ * frame.width(), 0, frame.width(), frame.height()});
    myScrollView_->addSubview(page);
    ++pagesLoaded_;
}

void GuideViewController::scrollViewDidScroll(ui::ScrollView* scrollView) {
    const int page = GuideRouting::pageForOffset(scrollView->contentOffset().x, scrollView->frame().width());
    if (page > GuideRouting::kLastPicturePage) {
        if (!ended_) {
            ended_ = true;
            showNextView();
        }
        return;
    }
    myPageControl_->setCurrentPage(page);
}

void GuideViewController::changePage() {
    const double width = myScrollView_->frame().width();
    myScrollView_->setContentOffset({myPageControl_->currentPage() * width, 0}, true);
}

void GuideViewController::initAction() {
    ended_ = true;
    showNextView();
}

void GuideViewController::showNextView() {
    const bool exists = DBController::databaseExit();
    std::optional<std::string> readIndex, passward;
    if (exists) {
        readIndex = Constants::getValueFromDBByKey(StoreKeys::read_index);
        passward = Constants::getValueFromDBByKey(StoreKeys::passward);
    }
    const GuideRouting routing = GuideRouting::decide(exists, readIndex, passward);
    if (routing.action == GuideRouting::Close) {
        auto* nav = navigationController();
        if (nav && nav->viewControllers().size() > 1)
            nav->popViewControllerAnimated(true);
        else
            dismissViewControllerAnimated(true);
        return;
    }
    if (routing.writesReadIndex) UpdateDataToSqlite::updateData(GuideRouting::kGuideVersion, StoreKeys::read_index);
    performSegueWithIdentifier(routing.segue);
}
