// The safety classroom's rows and banner, the carousel, the article pages
// (loaded and faded in, or left blank) and the about page's buttons.
#include <gtest/gtest.h>

#include "app/cycle/Constants.h"
#include "app/screens/info/InfoPages.h"
#include "app/screens/info/InfoScreens.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "tests/support/screens/ScreenFixture.h"

namespace {

class InfoPagesTest : public screentest::ScreenFixture {
protected:
    InfoPagesTest() : ScreenFixture(Options{.server = false, .boundAccount = false}) {}
    void SetUp() override {
        ScreenFixture::SetUp();
        map = std::make_unique<ui::ScreenMap>();
        registerInfoScreens(*map);
    }
    void TearDown() override {
        screen.reset();
        ScreenFixture::TearDown();
    }
    // The article on top after an action, with its page loaded (or failed).
    ArticlePageViewController* topArticle() {
        driver().advance(1);
        auto* article = dynamic_cast<ArticlePageViewController*>(navigation()->topViewController());
        if (!article) return nullptr;
        // The page loads on a background queue; its completion then waits for the clock.
        foundation::RunLoop::main().runUntil(
            [&] { return article->htmlView()->loaded() || article->loadResult().has_value(); }, 20);
        driver().advance(0.5);
        return article;
    }
    void back() {
        navigation()->popViewControllerAnimated(false);
        driver().settle();
    }
    std::unique_ptr<ui::ScreenMap> map;
    std::shared_ptr<ui::ViewController> screen;
};

TEST_F(InfoPagesTest, ClassroomRowsAndBannerPicturesOpenTheirArticles) {
    screen = show(*map, KAVOSafeClassViewController::kIdentifier);
    auto* classroom = dynamic_cast<KAVOSafeClassViewController*>(screen.get());
    ui::TableView* table = classroom->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 6);
    EXPECT_EQ(table->rectForRowAtIndexPath(ui::IndexPath::forRow(0, 0)).height(), 170);
    EXPECT_EQ(table->rectForRowAtIndexPath(ui::IndexPath::forRow(1, 0)).height(), 70);
    EXPECT_NE(driver().findByText("一招击毙钓鱼网站"), nullptr);

    classroom->didSelectRowAtIndexPath(table, ui::IndexPath::forRow(0, 0));  // the banner row itself
    driver().advance(1);
    EXPECT_EQ(navigation()->topViewController(), screen.get());

    struct Case {
        std::function<void()> act;
        const char* file;
    };
    auto* banner = dynamic_cast<KAVOSafeClassBannerCell*>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0)));
    ASSERT_TRUE(banner);
    PagePhotosView* photos = banner->pagePhotoView();
    const Case cases[] = {
        {[&] { classroom->didSelectRowAtIndexPath(table, ui::IndexPath::forRow(5, 0)); }, "text7"},
        {[&] { classroom->didSelectRowAtIndexPath(table, ui::IndexPath::forRow(1, 0)); }, "text3"},
        {[&] { photos->handleSingleTap(10); }, "important"},
        {[&] { photos->handleSingleTap(320 + 5); }, "text1"},
        {[&] { photos->handleSingleTap(2 * 320 + 300); }, "text2"},
    };
    for (const Case& c : cases) {
        c.act();
        ArticlePageViewController* article = topArticle();
        ASSERT_TRUE(article) << c.file;
        EXPECT_EQ(article->contentFileName(), c.file);
        EXPECT_EQ(article->loadResult(), std::optional<std::string>("")) << c.file;
        back();
    }
    photos->handleSingleTap(3 * 320 + 1);  // past the last picture
    driver().advance(1);
    EXPECT_EQ(navigation()->topViewController(), screen.get());
}

TEST_F(InfoPagesTest, TheCarouselMakesPagesLazilyAndFollowsTheScroll) {
    struct Pictures : PagePhotosDataSource {
        int numberOfPages() override { return 3; }
        ui::ImageRef imageAtIndex(int) override { return ui::Image::named("banner1.jpg"); }
        void tapImageAtIndex(int index) override { taps.push_back(index); }
        std::vector<int> taps;
    } pictures;
    PagePhotosView view({0, 0, 320, 170}, &pictures);
    EXPECT_TRUE(view.pageView(0) && view.pageView(1));
    EXPECT_EQ(view.pageView(2), nullptr);
    EXPECT_EQ(view.pageControl()->frame(), (ui::Rect{0, 153, 320, 17}));
    view.scrollView()->setContentOffset({640, 0});
    view.scrollViewDidScroll(view.scrollView());
    EXPECT_EQ(view.pageControl()->currentPage(), 2);
    EXPECT_TRUE(view.pageView(2));
    EXPECT_EQ(view.pageView(3), nullptr);  // no fourth page
    EXPECT_EQ(view.pageView(2)->frame().x(), 640);
    // While a page-control scroll runs, the scroll does not move the control.
    view.pageControl()->setCurrentPage(0);
    view.changePage();
    EXPECT_TRUE(view.pageControlUsed());
    view.scrollView()->setContentOffset({320, 0});
    view.scrollViewDidScroll(view.scrollView());
    EXPECT_EQ(view.pageControl()->currentPage(), 0);
    view.scrollViewWillBeginDragging(view.scrollView());
    EXPECT_FALSE(view.pageControlUsed());
    view.handleSingleTap(330);
    EXPECT_EQ(pictures.taps, std::vector<int>{1});
}

TEST_F(InfoPagesTest, AnArticleFadesInAndAMissingOneStaysBlank) {
    auto article = std::make_shared<KAVOSafeClassDetailViewController>();
    article->setContentFileName("text5");
    screen = show(article);
    ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return article->htmlView()->loaded(); }, 20));
    EXPECT_DOUBLE_EQ(article->htmlView()->alpha(), 0);
    driver().advance(0.15);
    EXPECT_EQ(article->loadResult(), std::optional<std::string>(""));
    EXPECT_NE(article->htmlView()->webView()->bodyText().find("认准这一招"), std::string::npos);
    driver().advance(0.25);
    EXPECT_DOUBLE_EQ(article->htmlView()->alpha(), 1);

    auto missing = std::make_shared<KAVOAboutDetailViewController>();
    missing->setContentFileName("no-such-page");
    navigation()->pushViewController(missing, false);
    driver().settle();
    foundation::RunLoop::main().runUntil([&] { return missing->loadResult().has_value(); }, 20);
    driver().advance(0.5);
    ASSERT_TRUE(missing->loadResult().has_value());
    EXPECT_NE(*missing->loadResult(), "");
    EXPECT_DOUBLE_EQ(missing->htmlView()->alpha(), 0);
    EXPECT_EQ(missing->htmlView()->webView()->bodyText(), "");
}

TEST_F(InfoPagesTest, TheAboutButtonsOpenTheirPages) {
    screen = show(*map, KAVOAboutUsViewController::kIdentifier);
    struct Case {
        const char *button, *file;
    };
    for (const Case& c : {Case{"版权信息", "liscene"}, Case{"许可协议", "permission"}, Case{"关于我们", "aboutcrew"}}) {
        ASSERT_TRUE(driver().tapText(c.button)) << c.button;
        ArticlePageViewController* article = topArticle();
        ASSERT_TRUE(article) << c.button;
        EXPECT_EQ(article->title(), c.button);
        EXPECT_EQ(article->contentFileName(), c.file);
        EXPECT_EQ(article->loadResult(), std::optional<std::string>(""));
        back();
    }
    ASSERT_TRUE(driver().tapText("给禾盾评分"));
    EXPECT_EQ(ui::Application::shared().openedURLs(), std::vector<std::string>{Constants::rateAppURL()});
}

}  // namespace
