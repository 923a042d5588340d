// The HTML page view: the page builder as exact text, the navigation filter,
// local pictures, the load generation, the completion on the manual clock, and
// real rendering probed through the headless driver.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lib/kit/HtmlPageView.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/shell/Driver.h"

namespace {

const std::string kAPng = "32d3ca5e23f4ccf1e4c8660c40e75f33";  // MD5 of "a.png"

const std::string kStyle =
    "html {-webkit-tap-highlight-color:rgba(0,0,0,0); -webkit-text-size-adjust:none; word-wrap:break-word;} "
    "body {margin:0; padding:10px 9px; font-family:'HelveticaNeue-Light', 'HelveticaNeue'; font-size:14; "
    "line-height:1.4;} a:link {color: #3A75C4; text-decoration: underline;} img,video,iframe {display:block; "
    "padding:0 0 5px; margin:0 auto;} table {font-size:10px;} @media (orientation:portrait) { "
    "img,video,iframe {max-width:302px; height:auto;}} @media (orientation:landscape) { img,video,iframe "
    "{max-width:462px; height:auto;}} ";

const std::string kUnlink =
    " var link, img, arr;arr = document.getElementsByTagName('img');for (i in arr) {img = arr[i];link = "
    "img.parentNode;if (link && link.tagName.toLowerCase() == 'a') {link.removeAttribute('href');}}";

std::string clickScript(const std::string& id) {
    return "document.getElementById('" + id +
           "').addEventListener('click', function(event) {window.location='native://imageclick?" + id + "';}, false);";
}

struct LogCapture {
    std::vector<std::string> lines;
    foundation::LogSink old;
    LogCapture() {
        old = foundation::setLogSink([this](const std::string& l) { lines.push_back(l); });
    }
    ~LogCapture() { foundation::setLogSink(old); }
    int count(const std::string& part) const {
        int n = 0;
        for (const auto& l : lines) n += l.find(part) != std::string::npos;
        return n;
    }
};

class HtmlPageViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        driver = std::make_unique<shell::Driver>();
        view = HtmlPageView::create({0, 0, 320, 480});
        driver->window().addSubview(view);
    }
    void TearDown() override {
        view->removeFromSuperview();
        view.reset();
        foundation::RunLoop::main().drain();
        driver.reset();
    }
    // Loads and waits (in real time, for the background queue) until the
    // page has loaded; the completion still waits for the clock.
    void loadAndWait(const std::string& fragment, HtmlPageView::CompletionBlock done = nullptr) {
        view->loadHtmlBody(fragment, std::move(done));
        ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return view->loaded(); }, 20));
        driver->settle();
    }
    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<HtmlPageView> view;
};

TEST_F(HtmlPageViewTest, GoldenPageForASmallFragment) {
    LogCapture log;
    std::string page = view->buildPage(
        "<IMG SRC='a.png' width=10>\n<table width=\"100%\"><tr><td>x</td></tr></table>\n"
        "<p>a    b</p><br/>\n<br>\n<iframe src=\"http://www.ordinary.test/v\" width=\"300\"></iframe>");
    EXPECT_EQ(page,
              "<html><head><meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0; "
              "user-scalable=0; minimum-scale=1.0; maximum-scale=1.0\"/><style type=\"text/css\">" +
                  kStyle + "</style></head><body><img id=\"" + kAPng +
                  "\" src=\"a.png\"/><table idth=\"100%\"><tr><td>x</td></tr></table><p>a  b</p><br></body></html>");
    EXPECT_EQ(view->jsCode(), clickScript(kAPng) + kUnlink);
    EXPECT_EQ(view->imgURLforHash(), (std::map<std::string, std::string>{{kAPng, "a.png"}}));
    EXPECT_EQ(log.lines, std::vector<std::string>{"Deny load url from UIWebView - http://www.ordinary.test/v"});
}

TEST_F(HtmlPageViewTest, BuilderStepsOnTheirOwn) {
    struct Case {
        std::string name, in, out;
    };
    const Case cases[] = {
        {"table without a quoted width stays", "<table width=100><tr></tr></table>",
         "<table width=100><tr></tr></table>"},
        // The group takes any one character before the quote: a space counts too.
        {"table width with a space before the quote", "<table width '5'>", "<table idth '5'>"},
        {"table width on a later line of its own", "<p>\n<TABLE WIDTH='5'>", "<p><TABLE IDTH='5'>"},
        {"four spaces become two", "a    b", "a  b"},
        {"tabs and line feeds are spaces", "a\tb\nc", "a b c"},
        {"three breaks become two", "x<br><br><BR>y", "x<br><BR>y"},
        {"old video embed becomes a frame",
         "<object width=\"1\"><param name=\"movie\" src=\"http://old.test/v/abc12?x=1\"></param></object>",
         std::string("<iframe src=\"http://") + HtmlPageView::kVideoHost1 +
             "/embed/abc12?x=1\" frameborder=\"0\" allowfullscreen></iframe>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out =
            view->extendYouTubeSupportInHtml(view->removeExtraLineBreaksInHtml(view->simplifyTablesInHtml(c.in)));
        EXPECT_EQ(out, c.out);
    }
    EXPECT_EQ(view->removeTag("font", "<FONT color=red>红</font ><b>粗</b>"), "红<b>粗</b>");
    EXPECT_EQ(view->removeTag("a.b", "<a.b>x</a.b><axb>y</axb>"), "x<axb>y</axb>");  // the name is not a pattern
    // An iframe to a video host stays; the case-sensitive pattern leaves an upper-case one alone.
    std::string keep = std::string("<iframe src=\"http://") + HtmlPageView::kVideoHost2 + "/p/1\"></iframe>";
    EXPECT_EQ(view->disableIFrameForNonSupportedSrcInHtml(keep), keep);
    EXPECT_EQ(view->disableIFrameForNonSupportedSrcInHtml("<IFRAME src=\"http://x.test/\"></IFRAME>"),
              "<IFRAME src=\"http://x.test/\"></IFRAME>");
}

TEST_F(HtmlPageViewTest, SameAddressTwiceSharesOneIdAndBothGetAListener) {
    std::string out = view->prepareImagesInHtml("<img src=\"a.png\"><p>x</p><img class=\"c\" src='a.png' />");
    EXPECT_EQ(out, "<img id=\"" + kAPng + "\" src=\"a.png\"/><p>x</p><img id=\"" + kAPng + "\" src=\"a.png\"/>");
    EXPECT_EQ(view->images(), (std::vector<std::string>{"a.png", "a.png"}));
    EXPECT_EQ(view->imgURLforHash().size(), 1u);
    std::string js = view->jsCode();
    EXPECT_EQ(js.find(clickScript(kAPng)), 0u);
    EXPECT_NE(js.find("n++==1"), std::string::npos);  // the second picture by its place
}

TEST_F(HtmlPageViewTest, NavigationFilter) {
    view->prepareImagesInHtml("<img src='a.png'>");
    std::vector<std::string> imageClicks, urlClicks;
    view->setImageClick([&](const std::string& a) { imageClicks.push_back(a); });
    view->setUrlClick([&](const std::string& a) { urlClicks.push_back(a); });
    using T = ui::WebNavigationType;
    struct Case {
        std::string url;
        T type;
        bool allowed;
        std::string imageClick, urlClick;
        bool logged;
    };
    const std::string host1 = HtmlPageView::kVideoHost1, host2 = HtmlPageView::kVideoHost2;
    const Case cases[] = {
        {"native://imageclick?" + kAPng, T::Other, false, "a.png", "", false},
        {"native://imageclick?" + kAPng, T::LinkClicked, false, "a.png", "", false},
        {"native://other?" + kAPng, T::LinkClicked, false, "", "", false},
        {"about:blank", T::Other, true, "", "", false},
        {"file:///bundle/page.html", T::LinkClicked, true, "", "", false},
        {"http://" + host1 + "/embed/xyz", T::Other, true, "", "", false},
        {"https://" + host2 + "/video/1", T::LinkClicked, true, "", "", false},
        {"http://www.ordinary.test/a?b=1", T::LinkClicked, false, "", "http://www.ordinary.test/a?b=1", false},
        {"http://www.ordinary.test/frame", T::Other, false, "", "", true},
        {"http://www.ordinary.test/back", T::BackForward, false, "", "", false},
        {"http://other.test/watch?src=http://" + host1 + "/embed/1", T::LinkClicked, false, "", "", false},
        {"http://other.test/watch?src=http://" + host1 + "/embed/1", T::Other, false, "", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url + " type " + std::to_string(int(c.type)));
        imageClicks.clear();
        urlClicks.clear();
        LogCapture log;
        EXPECT_EQ(view->webViewShouldStartLoad(view->webView().get(), c.url, c.type), c.allowed);
        EXPECT_EQ(imageClicks,
                  c.imageClick.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.imageClick});
        EXPECT_EQ(urlClicks, c.urlClick.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.urlClick});
        EXPECT_EQ(log.count("Deny load url from UIWebView - " + c.url), c.logged ? 1 : 0);
    }
}

TEST_F(HtmlPageViewTest, ImageLoadingWithPathDefaultOrNeither) {
    const std::string address = "http://img.test/a.png";
    const std::string fragment = "<p>" + address + "</p><img src=\"" + address + "\">";
    const std::string id = HtmlPageView::md5OfString(address);
    const std::string hide = "var obj = document.getElementById('" + id + "'); obj.style.display='none';";
    struct Case {
        std::string name;
        bool hasBlock;
        std::string path;
        std::optional<std::string> defaultPath;
        std::string expectedSrc;
        bool hidden;
    };
    const Case cases[] = {
        {"a path", true, "/cache/1.png", std::nullopt, "/cache/1.png", false},
        {"the default path", true, "", "/bundle/wait.png", "/bundle/wait.png", false},
        {"a path over the default", true, "/cache/1.png", "/bundle/wait.png", "/cache/1.png", false},
        {"neither", true, "", std::nullopt, address, true},
        {"no block at all", false, "", "/bundle/wait.png", address, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view->clean();
        view->defaultImagePath = c.defaultPath;
        std::vector<std::string> asked;
        if (c.hasBlock)
            view->setImageLoading([&](const std::string& a, HtmlPageView::ImageLoadingCompletion) {
                asked.push_back(a);
                return c.path;
            });
        else
            view->setImageLoading(nullptr);
        std::string page = view->buildPage(fragment);
        EXPECT_NE(page.find("src=\"" + c.expectedSrc + "\""), std::string::npos);
        // Every occurrence is replaced, the text too.
        EXPECT_NE(page.find("<p>" + c.expectedSrc + "</p>"), std::string::npos);
        EXPECT_EQ(view->jsCode().find(hide) != std::string::npos, c.hidden);
        EXPECT_EQ(asked.size(), c.hasBlock ? 1u : 0u);
    }
}

TEST_F(HtmlPageViewTest, LateImageCompletionsPatchThePageEscaped) {
    std::vector<HtmlPageView::ImageLoadingCompletion> later;
    std::mutex m;
    view->setImageLoading([&](const std::string&, HtmlPageView::ImageLoadingCompletion done) {
        std::lock_guard<std::mutex> lock(m);
        later.push_back(done);
        return std::string();
    });
    view->defaultImagePath = "images/close.png";
    loadAndWait("<img src='one.png'><img src='two.png'>");
    ASSERT_EQ(later.size(), 2u);
    // Before the load ends nothing runs; now that it has, a completion runs on
    // the main queue. A path with quotes and a backslash survives as it is.
    const std::string tricky = "/tmp/it's \"a\"\\b.png";
    later[0](tricky);  // "one.png" sorts first by id? find out which id it was
    driver->settle();
    std::string one = HtmlPageView::md5OfString("one.png"), two = HtmlPageView::md5OfString("two.png");
    std::string srcOne = view->stringByEvaluatingJavaScriptFromString("document.getElementById('" + one + "').src");
    std::string srcTwo = view->stringByEvaluatingJavaScriptFromString("document.getElementById('" + two + "').src");
    EXPECT_TRUE((srcOne == tricky) != (srcTwo == tricky)) << srcOne << " / " << srcTwo;
    EXPECT_EQ(view->jsCode().find("it\\'s"), std::string::npos);  // ran, not appended
}

TEST_F(HtmlPageViewTest, LateCompletionBeforeTheLoadIsAppendedEscaped) {
    HtmlPageView::ImageLoadingCompletion done;
    view->setImageLoading([&](const std::string&, HtmlPageView::ImageLoadingCompletion d) {
        done = d;
        return std::string("/ready.png");
    });
    view->buildPage("<img src='a.png'>");
    ASSERT_TRUE(done);
    done("/tmp/o'k\n.png");
    std::string js = view->jsCode();
    EXPECT_NE(js.find("obj.src ='/tmp/o\\'k\\n.png';"), std::string::npos) << js;
    done("");
    EXPECT_NE(js.size(), view->jsCode().size());
    EXPECT_NE(view->jsCode().find("obj.style.display='none';"), std::string::npos);
}

TEST_F(HtmlPageViewTest, CompletionComesAFifthOfATenthAfterTheFinishWithScriptsRunFirst) {
    view->setImageLoading([](const std::string& a, HtmlPageView::ImageLoadingCompletion) {
        return a == "images/close.png" ? std::string("images/close.png") : std::string();
    });
    const std::string hiddenId = HtmlPageView::md5OfString("images/Default.png");
    std::vector<std::optional<std::string>> results;
    double hiddenHeight = -1;
    loadAndWait("<img src='images/close.png'><img src='images/Default.png'>", [&](const auto& error) {
        results.push_back(error);
        hiddenHeight = view->webView()->rectOfElement(hiddenId).size.height;
    });
    EXPECT_TRUE(results.empty());
    EXPECT_GT(view->webView()->rectOfElement(hiddenId).size.height, 0);  // not hidden yet
    driver->advance(0.09);
    EXPECT_TRUE(results.empty());
    driver->advance(0.02);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0].has_value());
    EXPECT_EQ(hiddenHeight, 0);  // the script ran before the completion
    driver->advance(1);
    EXPECT_EQ(results.size(), 1u);
}

TEST_F(HtmlPageViewTest, MissingFragmentEndsInAnErrorAndABlankPage) {
    loadAndWait("<p>旧内容</p>");
    driver->advance(0.2);
    std::vector<std::optional<std::string>> results;
    view->loadHtmlBody(std::nullopt, [&](const auto& e) { results.push_back(e); });
    driver->settle();
    driver->advance(0.2);
    ASSERT_EQ(results.size(), 1u);
    ASSERT_TRUE(results[0].has_value());
    EXPECT_EQ(view->webView()->bodyText(), "");
    EXPECT_FALSE(view->loaded());
}

TEST_F(HtmlPageViewTest, SecondLoadWinsOverAStillPreparingFirst) {
    foundation::Semaphore release;
    std::atomic<bool> firstWaiting{false};
    HtmlPageView::ImageLoadingCompletion firstLate;
    view->setImageLoading([&](const std::string& a, HtmlPageView::ImageLoadingCompletion done) {
        if (a == "first.png") {
            firstLate = done;
            firstWaiting = true;
            release.wait();
        }
        return std::string();
    });
    std::vector<std::string> completions;
    view->loadHtmlBody("<p>第一页</p><img src='first.png'>", [&](const auto&) { completions.push_back("first"); });
    ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return firstWaiting.load(); }, 20));
    LogCapture log;
    loadAndWait("<p>第二页</p>", [&](const auto&) { completions.push_back("second"); });
    driver->advance(0.2);
    release.signal();
    ASSERT_TRUE(
        foundation::RunLoop::main().runUntil([&] { return log.count("dropped the page of an older load") > 0; }, 20));
    driver->advance(0.2);
    EXPECT_EQ(view->webView()->bodyText(), "第二页");
    EXPECT_EQ(completions, std::vector<std::string>{"second"});
    // A late picture of the first page changes nothing on the second.
    std::string before = view->jsCode();
    firstLate("/late.png");
    driver->settle();
    EXPECT_EQ(view->jsCode(), before);
    EXPECT_EQ(view->images(), std::vector<std::string>{});
}

TEST_F(HtmlPageViewTest, RenderedPageTapsAndScaledPicture) {
    std::vector<std::string> imageClicks, urlClicks;
    view->setImageClick([&](const std::string& a) { imageClicks.push_back(a); });
    view->setUrlClick([&](const std::string& a) { urlClicks.push_back(a); });
    loadAndWait(
        "<p><a id=\"go\" href=\"http://www.ordinary.test/more\">更多安全知识</a></p>"
        "<a href=\"http://www.ordinary.test/pic\"><img src=\"images/Default.png\"></a>"
        "<img src=\"images/Default.png\">");
    driver->advance(0.2);
    auto web = view->webView();
    const std::string id = HtmlPageView::md5OfString("images/Default.png");
    ui::Rect pic = web->rectOfElement(id);
    // 320 x 480 scaled to 302 wide (320 less the margins), its shape kept, centred.
    EXPECT_EQ(pic.size.width, 302);
    EXPECT_EQ(pic.size.height, 453);
    EXPECT_EQ(pic.origin.x, 9);
    EXPECT_GT(web->contentSize().height, 2 * 453);

    ui::Rect link = web->rectOfElement("go");
    driver->tap(ui::Point{link.midX(), link.midY()});
    EXPECT_EQ(urlClicks, std::vector<std::string>{"http://www.ordinary.test/more"});
    // The first picture: its link was removed, so only the picture's click.
    driver->tap(ui::Point{pic.midX(), pic.midY()});
    EXPECT_EQ(imageClicks, std::vector<std::string>{"images/Default.png"});
    EXPECT_EQ(urlClicks.size(), 1u);
    // The second picture with the same address, scrolled into view.
    view->scrollView()->setContentOffset({0, pic.maxY()});
    driver->settle();
    driver->tap(ui::Point{160, 200});
    EXPECT_EQ(imageClicks, (std::vector<std::string>{"images/Default.png", "images/Default.png"}));
}

}  // namespace
