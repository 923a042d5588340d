// The reader's help page in a headless window: the bundle's page in the real
// web view, its script told the reason, outside links held back.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "lib/reader/ScanHelpController.h"
#include "platform/foundation/Paths.h"
#include "platform/shell/Driver.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "tests/support/TestSupport.h"
#include "tests/support/reader/QrPicture.h"

using readertest::Lines;

namespace {

class HelpTest : public ::testing::Test {
protected:
    void SetUp() override {
        driver = std::make_unique<shell::Driver>();
        host = std::make_shared<ui::ViewController>();
        host->view()->setFrame({0, 0, 320, 480});
        driver->window().addSubview(host->viewRef());
    }
    void TearDown() override {
        host->viewRef()->removeFromSuperview();
        help.reset();
        host.reset();
        driver.reset();
    }
    // Presents the page and lets it load.
    void show(const std::string& reason) {
        help = std::make_shared<ScanHelpController>(reason);
        host->presentModalViewController(help, false);
        driver->advance(0.5);
    }
    std::string script(const std::string& js) { return help->webView()->stringByEvaluatingJavaScriptFromString(js); }

    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<ui::ViewController> host;
    std::shared_ptr<ScanHelpController> help;
};

}  // namespace

TEST_F(HelpTest, ThePageIsToldWhyItWasOpened) {
    for (const auto& [reason, shown, hidden] :
         {std::tuple{"", "why-info", "why-fail"}, std::tuple{"FAIL", "why-fail", "why-info"}}) {
        SCOPED_TRACE(reason);
        show(reason);
        EXPECT_EQ(help->reason(), *reason ? reason : "INFO");
        EXPECT_FALSE(help->webView()->isHidden());
        EXPECT_EQ(script(std::string("document.getElementById('") + shown + "').className"), "reason shown");
        EXPECT_EQ(script(std::string("document.getElementById('") + hidden + "').className"), "reason");
        EXPECT_NE(help->webView()->rectOfElement(shown).size.height, 0);
        EXPECT_EQ(help->webView()->rectOfElement(hidden).size.height, 0);
        // The bar: Done alone on the right while there is no page to go back to.
        ASSERT_EQ(help->toolbar()->items().size(), 2u);
        EXPECT_EQ(help->toolbar()->items()[1].get(), help->doneButton());
        host->dismissModalViewControllerAnimated(false);
        driver->settle();
    }
}

TEST_F(HelpTest, AZeroFrameIsLaidOutAsAWholeScreen) {
    ScanHelpController page("INFO");
    page.setView(ui::View::create());
    page.viewDidLoad();
    EXPECT_EQ(page.view()->frame(), (ui::Rect{0, 0, 320, 480}));
    EXPECT_EQ(page.webView()->frame(), (ui::Rect{0, 0, 320, 436}));
    EXPECT_EQ(page.toolbar()->frame(), (ui::Rect{0, 436, 320, 44}));
}

TEST_F(HelpTest, OutsideLinksAskFirstAndOnlyOkOpensThem) {
    show("INFO");
    ui::Rect link = help->webView()->rectOfElement("help-centre");
    ASSERT_GT(link.size.width, 0);
    help->webView()->tapAtPagePoint(link.center());
    driver->settle();
    ui::AlertView* alert = ui::AlertView::frontmost();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "Open External Link");
    EXPECT_EQ(help->linkURL(), "https://help.quenta.example/scan");
    alert->clickButtonAtIndex(alert->cancelButtonIndex());
    driver->advance(0.5);
    EXPECT_TRUE(ui::Application::shared().openedURLs().empty());

    help->webView()->tapAtPagePoint(link.center());
    driver->settle();
    alert = ui::AlertView::frontmost();
    ASSERT_NE(alert, nullptr);
    alert->clickButtonAtIndex(alert->firstOtherButtonIndex());
    driver->advance(0.5);
    EXPECT_EQ(ui::Application::shared().openedURLs(), std::vector<std::string>{"https://help.quenta.example/scan"});
}

TEST_F(HelpTest, BackAppearsOnceAPageCanGoBack) {
    // Pages open only from the bundle's page folder: a bundle of the help
    // page and one more.
    std::string bundle = testsupport::tempDir("help-bundle");
    std::string page = *foundation::bundlePath("zbar-help", "html");
    std::string other = bundle + "/html/more.html";
    std::filesystem::create_directories(bundle + "/html");
    ASSERT_TRUE(foundation::writeFileAtomically(bundle + "/html/zbar-help.html", *foundation::readFile(page)));
    ASSERT_TRUE(foundation::writeFileAtomically(other, "<html><body><p>更多</p></body></html>"));
    const char* before = std::getenv("QUENTA_BUNDLE");
    std::string saved = before ? before : "";
    setenv("QUENTA_BUNDLE", bundle.c_str(), 1);
    show("INFO");
    help->webView()->loadRequest("file://" + other);
    driver->advance(0.5);
    EXPECT_EQ(help->toolbar()->items().size(), 3u);
    if (help->toolbar()->items().size() == 3u) {
        EXPECT_EQ(help->toolbar()->items()[0].get(), help->backButton());
    }
    help->webView()->goBack();
    driver->advance(0.5);
    EXPECT_EQ(help->toolbar()->items().size(), 2u);
    EXPECT_EQ(help->webView()->currentURL(), "file://" + bundle + "/html/zbar-help.html");
    if (before)
        setenv("QUENTA_BUNDLE", saved.c_str(), 1);
    else
        unsetenv("QUENTA_BUNDLE");
}

TEST_F(HelpTest, WithoutThePageTheBarStillCloses) {
    std::string empty = testsupport::tempDir("bundle");
    const char* before = std::getenv("QUENTA_BUNDLE");
    std::string saved = before ? before : "";
    setenv("QUENTA_BUNDLE", empty.c_str(), 1);
    Lines log;
    show("INFO");
    if (before)
        setenv("QUENTA_BUNDLE", saved.c_str(), 1);
    else
        unsetenv("QUENTA_BUNDLE");
    EXPECT_EQ(log.matching("ERROR: unable to load zbar-help.html from bundle").size(), 1u);
    EXPECT_TRUE(help->webView()->isHidden());
    // No delegate: Done closes the page itself.
    help->dismiss();
    driver->advance(1);
    EXPECT_EQ(host->modalViewController(), nullptr);
}
