// The web view: real layout and drawing of small pages read back as pixels and
// element rectangles, taps reaching the delegate, scripts on the page's DOM.

#include <cairo.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/ui/Render.h"
#include "platform/ui/WebView.h"
#include "tests/platform/ui/UiTest.h"
#include "tests/support/TestSupport.h"

namespace {

struct Recorder : ui::WebViewDelegate {
    struct Request {
        std::string url;
        ui::WebNavigationType type;
    };
    std::vector<Request> requests;
    int started = 0, finished = 0;
    std::vector<std::string> failures;
    bool allow = false;
    bool webViewShouldStartLoad(ui::WebView*, const std::string& url, ui::WebNavigationType type) override {
        requests.push_back({url, type});
        return allow;
    }
    void webViewDidStartLoad(ui::WebView*) override { ++started; }
    void webViewDidFinishLoad(ui::WebView*) override { ++finished; }
    void webViewDidFailLoad(ui::WebView*, const std::string& e) override { failures.push_back(e); }
};

// A solid picture of the given pixel size written as PNG.
void writePng(const std::string& path, int w, int h, double r, double g, double b) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_paint(cr);
    cairo_destroy(cr);
    ASSERT_EQ(cairo_surface_write_to_png(s, path.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(s);
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

class WebViewTest : public uitest::UiFixture {
protected:
    void SetUp() override {
        UiFixture::SetUp();
        web = ui::WebView::create({0, 0, 320, 480});
        web->setDelegate(&recorder);
    }
    void TearDown() override {
        web.reset();
        UiFixture::TearDown();
    }
    void load(const std::string& html, const std::string& base = "") {
        int before = recorder.finished;
        web->loadHTMLString(html, base);
        turn();
        ASSERT_EQ(recorder.finished, before + 1);
    }
    ui::ImageRef render() { return ui::renderLayerToImage(web->layer(), 1); }

    Recorder recorder;
    std::shared_ptr<ui::WebView> web;
};

TEST_F(WebViewTest, ChineseParagraphWrapsWithinTheWidthAndGrowsThePage) {
    std::string text = repeat("账户安全提醒请勿泄露验证码", 16).substr(0, 200 * 3);  // 200 characters
    load(
        "<html><body style=\"margin:0\"><p id=\"one\" style=\"margin:0;font-size:16px\">汉</p>"
        "<p id=\"long\" style=\"margin:0;font-size:16px\">" +
        text + "</p></body></html>");
    ui::Rect one = web->rectOfElement("one"), para = web->rectOfElement("long");
    ASSERT_GT(one.size.height, 0);
    // 200 characters of 16 px are 3200 px of text: at least ten lines of 320.
    EXPECT_GE(para.size.height, 10 * one.size.height);
    EXPECT_LE(para.size.width, 320);
    EXPECT_LE(web->contentSize().width, 320);  // no line runs past the page
    EXPECT_GE(web->contentSize().height, para.maxY());
    // Ink on the last line, nothing below the paragraph.
    auto img = render();
    auto inkInRow = [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < 320; ++x)
                if (img->pixel(x, y).a > 100) return true;
        return false;
    };
    EXPECT_TRUE(inkInRow(int(para.maxY() - one.size.height), int(para.maxY())));
    if (para.maxY() + 20 < 480) {
        EXPECT_FALSE(inkInRow(int(para.maxY()) + 2, int(para.maxY()) + 20));
    }
}

TEST_F(WebViewTest, UnitlessFontSizeIsReadAsPixels) {
    auto heightFor = [&](const std::string& size) {
        load("<html><body style=\"margin:0; font-size:" + size +
             "; line-height:1.0\"><div id=\"d\">汉字</div></body></html>");
        return web->rectOfElement("d").size.height;
    };
    double unitless = heightFor("30"), px = heightFor("30px"), small = heightFor("12px");
    EXPECT_EQ(unitless, px);
    EXPECT_GT(unitless, small * 2);
}

TEST_F(WebViewTest, WideLocalPictureIsScaledToTheWidthKeepingItsShape) {
    std::string dir = testsupport::tempDir("web-img");
    writePng(dir + "/wide.png", 1000, 500, 1, 0, 0);
    load(
        "<html><head><style>img {display:block; max-width:300px; height:auto; margin:0 auto}</style></head>"
        "<body style=\"margin:0\"><img id=\"w\" src=\"wide.png\"><img id=\"net\" src=\"http://127.0.0.1:9/x.png\">"
        "<p id=\"after\" style=\"margin:0\">下</p></body></html>",
        "file://" + dir + "/");
    ui::Rect r = web->rectOfElement("w");
    EXPECT_EQ(r.size.width, 300);
    EXPECT_EQ(r.size.height, 150);
    EXPECT_EQ(r.origin.x, 10);  // centred
    // A picture from the network loads nothing and takes no space.
    EXPECT_EQ(web->rectOfElement("net").size.height, 0);
    EXPECT_EQ(web->rectOfElement("after").origin.y, 150);
    auto img = render();
    EXPECT_TRUE(uitest::pixelNear(*img, 160, 75, {255, 0, 0, 255}));
    EXPECT_TRUE(uitest::pixelNear(*img, 5, 75, {0, 0, 0, 0}));
    EXPECT_TRUE(uitest::pixelNear(*img, 160, 149, {255, 0, 0, 255}));
}

TEST_F(WebViewTest, TapsOnLinksAndScriptedPicturesBecomeNavigationRequests) {
    std::string dir = testsupport::tempDir("web-tap");
    writePng(dir + "/p.png", 100, 100, 0, 0, 1);
    load(
        "<html><body style=\"margin:0\"><p style=\"margin:0\"><a id=\"l\" href=\"next.html\">下一篇文章</a></p>"
        "<img id=\"pic\" src=\"p.png\" style=\"display:block\"></body></html>",
        "file://" + dir);
    web->stringByEvaluatingJavaScriptFromString(
        "document.getElementById('pic').addEventListener('click', function(event) "
        "{window.location='native://imageclick?pic';}, false);");
    ui::Rect link = web->rectOfElement("l"), pic = web->rectOfElement("pic");
    web->tapAtPagePoint({link.midX(), link.midY()});
    web->tapAtPagePoint({pic.midX(), pic.midY()});
    web->tapAtPagePoint({300, 470});  // nothing there
    ASSERT_EQ(recorder.requests.size(), 2u);
    EXPECT_EQ(recorder.requests[0].url, "file://" + dir + "/next.html");
    EXPECT_EQ(recorder.requests[0].type, ui::WebNavigationType::LinkClicked);
    EXPECT_EQ(recorder.requests[1].url, "native://imageclick?pic");
    EXPECT_EQ(recorder.requests[1].type, ui::WebNavigationType::Other);
    // An allowed link to a local page loads it.
    recorder.allow = true;
    web->setLocalPageFolder(dir);
    {
        FILE* f = fopen((dir + "/next.html").c_str(), "w");
        fputs("<html><body><p>第二页</p></body></html>", f);
        fclose(f);
    }
    web->tapAtPagePoint({link.midX(), link.midY()});
    turn();
    EXPECT_EQ(web->bodyText(), "第二页");
}

TEST_F(WebViewTest, PageScriptsRunAtLoadAndPagesLoadedByAddressMakeAHistory) {
    std::string dir = testsupport::tempDir("web-history");
    ASSERT_TRUE(foundation::writeFileAtomically(
        dir + "/one.html",
        "<html><head><script>function mark(t) { document.getElementById('m').className = t; }</script></head>"
        "<body><p id=\"m\" class=\"a\">一</p><script>mark('b');</script></body></html>"));
    ASSERT_TRUE(foundation::writeFileAtomically(dir + "/two.html", "<html><body><p>二</p></body></html>"));
    recorder.allow = true;
    web->setLocalPageFolder(dir);
    web->loadRequest("file://" + dir + "/one.html");
    turn();
    turn();
    // Scripts in the head and the body ran before the page was finished.
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.getElementById('m').className"), "b");
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("typeof mark"), "function");
    EXPECT_FALSE(web->canGoBack());

    web->loadRequest("file://" + dir + "/two.html");
    turn();
    turn();
    EXPECT_EQ(web->bodyText(), "二");
    ASSERT_TRUE(web->canGoBack());
    web->goBack();
    turn();
    turn();
    EXPECT_EQ(web->currentURL(), "file://" + dir + "/one.html");
    EXPECT_FALSE(web->canGoBack());

    // A load that is stopped never finishes.
    int finished = recorder.finished;
    web->loadHTMLString("<p>三</p>", "");
    web->stopLoading();
    turn();
    EXPECT_EQ(recorder.finished, finished);
    EXPECT_FALSE(web->isLoading());
}

TEST_F(WebViewTest, ScriptsChangeTheDocumentAndBadScriptsOnlyFailThemselves) {
    std::string dir = testsupport::tempDir("web-js");
    writePng(dir + "/a.png", 50, 40, 0, 1, 0);
    writePng(dir + "/b.png", 60, 80, 0, 1, 0);
    load(
        "<html><body style=\"margin:0\"><a id=\"l\" href=\"x.html\"><img id=\"i\" src=\"a.png\" "
        "style=\"display:block\"></a><p id=\"after\" style=\"margin:0\">后</p></body></html>",
        "file://" + dir + "/");
    EXPECT_EQ(web->rectOfElement("after").origin.y, 40);

    web->stringByEvaluatingJavaScriptFromString("var obj = document.getElementById('i'); obj.src ='b.png';");
    EXPECT_EQ(web->rectOfElement("i").size.height, 80);
    EXPECT_EQ(web->rectOfElement("after").origin.y, 80);

    // The unlinking script of the page view: the link around the picture loses its address.
    web->stringByEvaluatingJavaScriptFromString(
        " var link, img, arr;arr = document.getElementsByTagName('img');for (i in arr) {img = arr[i];link = "
        "img.parentNode;if (link && link.tagName.toLowerCase() == 'a') {link.removeAttribute('href');}}");
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.getElementById('l').getAttribute('href')"), "");
    web->tapAtPagePoint({10, 10});
    EXPECT_TRUE(recorder.requests.empty());

    web->stringByEvaluatingJavaScriptFromString("var obj = document.getElementById('i'); obj.style.display='none';");
    EXPECT_EQ(web->rectOfElement("i").size.height, 0);
    EXPECT_EQ(web->rectOfElement("after").origin.y, 0);

    std::vector<std::string> lines;
    auto old = foundation::setLogSink([&](const std::string& l) { lines.push_back(l); });
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.getElementById('after').scrollIntoView();"), "");
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.getElementById('missing').src = 'x';"), "");
    foundation::setLogSink(old);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("script failed"), std::string::npos);

    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("1 + 1"), "2");
    web->stringByEvaluatingJavaScriptFromString("document.body.innerHTML = \"\";");
    EXPECT_EQ(web->bodyText(), "");
    EXPECT_EQ(web->contentSize().height, 0);
}

TEST_F(WebViewTest, TallPagesScrollAndTapsFollowTheScroll) {
    std::string body;
    for (int i = 0; i < 40; ++i) body += "<p style=\"margin:0;height:40px\">第" + std::to_string(i) + "段</p>";
    load("<html><body style=\"margin:0\">" + body + "<a id=\"end\" href=\"end.html\">末尾</a></body></html>",
         "file:///pages/");
    EXPECT_GT(web->contentSize().height, 1600);
    EXPECT_EQ(web->scrollView()->contentSize().height, web->contentSize().height);
    ui::Rect end = web->rectOfElement("end");
    web->scrollView()->setContentOffset({0, end.origin.y - 100});
    auto img = render();
    // The link's text is drawn 100 points down the view now.
    bool ink = false;
    for (int x = 0; x < 60 && !ink; ++x)
        for (int y = 100; y < 100 + int(end.size.height) && !ink; ++y) ink = img->pixel(x, y).a > 100;
    EXPECT_TRUE(ink);
    web->tapAtPagePoint({end.midX(), end.midY()});
    ASSERT_EQ(recorder.requests.size(), 1u);
    EXPECT_EQ(recorder.requests[0].url, "file:///pages/end.html");
}

TEST_F(WebViewTest, OnlyTheLatestOfTwoLoadsFinishes) {
    web->loadHTMLString("<html><body><p>旧</p></body></html>", "");
    web->loadHTMLString("<html><body><p>新</p></body></html>", "");
    EXPECT_TRUE(web->isLoading());
    turn();
    EXPECT_EQ(recorder.started, 2);
    EXPECT_EQ(recorder.finished, 1);
    EXPECT_EQ(web->bodyText(), "新");
    EXPECT_FALSE(web->isLoading());
}

// Page scripts run on the main thread: one that never ends or keeps growing
// is stopped (with a logged error) and the page goes on working.
TEST_F(WebViewTest, ScriptsThatNeverEndOrKeepGrowingAreStopped) {
    std::vector<std::string> lines;
    auto old = foundation::setLogSink([&](const std::string& l) { lines.push_back(l); });
    // At load, in the page itself: the load still finishes.
    load("<html><body><p id=\"p\">页</p><script>while (true) {}</script></body></html>");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("ran longer than"), std::string::npos) << lines[0];
    struct Case {
        const char* what;
        const char* script;
        const char* logged;
    };
    const Case cases[] = {
        {"endless loop", "while (true) {}", "ran longer than"},
        {"loop that catches the stop", "for (;;) { try { for (;;) {} } catch (e) {} }", "ran longer than"},
        {"growing string", "var s = 'x'; while (true) s = s + s;", "needed more than"},
        {"growing list", "var a = [], y = 'y'; for (var i = 0; i < 20; i++) y += y; while (true) a.push(y + a.length);",
         "needed more than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        lines.clear();
        EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString(c.script), "");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("ERROR: WebView: a page script"), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(c.logged), std::string::npos) << lines[0];
        // The page and its scripts still work.
        EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.getElementById('p').tagName"), "P");
    }
    foundation::setLogSink(old);
    // What a stopped script kept is freed with its page.
    web->stringByEvaluatingJavaScriptFromString("a = null; s = null;");
    EXPECT_EQ(
        web->stringByEvaluatingJavaScriptFromString("var b = []; for (var i = 0; i < 1000; i++) b.push(i); b.length"),
        "1000");
}

// The page's own scripts share one time budget: a page of many endless
// scripts is stopped after it, with one line for the rest, and its later
// scripts and listeners do not run. The app's own calls still do.
TEST_F(WebViewTest, APagesScriptsShareOneTimeBudget) {
    std::vector<std::string> lines;
    auto old = foundation::setLogSink([&](const std::string& l) { lines.push_back(l); });
    std::string page = "<html><body><p id=\"p\">页</p>";
    page += repeat("<script>while (true) {}</script>", 20);
    page += "<script>window.last = 'ran';</script></body></html>";
    load(page);
    foundation::setLogSink(old);
    size_t stopped = 0, skipped = 0;
    for (const std::string& l : lines) {
        if (l.find("ran longer than") != std::string::npos) ++stopped;
        if (l.find("the page's scripts have used their 1 s") != std::string::npos) ++skipped;
    }
    EXPECT_EQ(stopped, 2u);
    EXPECT_EQ(skipped, 1u);
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("typeof window.last"), "undefined");
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.getElementById('p').tagName"), "P");
    // A new page has a new budget.
    load("<html><body><script>window.last = 'ran';</script></body></html>");
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("window.last"), "ran");
}

// What scripts build counts against the page too: elements past the page's
// budget are left out, and attributes past its bytes are refused, each with a
// logged error; the page and its scripts go on working.
TEST_F(WebViewTest, WhatScriptsBuildStaysWithinThePagesBudget) {
    load("<html><body><p id=\"p\">页</p></body></html>");
    std::vector<std::string> lines;
    auto old = foundation::setLogSink([&](const std::string& l) { lines.push_back(l); });
    // A million elements asked for; html, head, body and p are there already.
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("var m = '<i></i>'; for (var k = 0; k < 20; k++) m += m;"
                                                          "document.getElementById('p').innerHTML = m; m = null;"
                                                          "'set'"),
              "set");
    EXPECT_EQ(web->elementCount(), 20000u);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("ERROR: WebView: the page would hold more than 20000 elements"), std::string::npos)
        << lines[0];
    // Emptied again, the element takes new ones.
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("var p = document.getElementById('p');"
                                                          "p.innerHTML = ''; p.innerHTML = '<b>粗</b>';"
                                                          "document.getElementsByTagName('b').length"),
              "1");
    EXPECT_EQ(web->elementCount(), 5u);

    lines.clear();
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString(
                  "var s = 'x'; for (var k = 0; k < 23; k++) s += s;"  // 8 MB
                  "var p = document.getElementById('p'), b = document.getElementsByTagName('b')[0], r = [];"
                  "p.setAttribute('title', s); r.push('one');"
                  "try { b.setAttribute('title', s); r.push('two'); } catch (e) { r.push(e.name); }"
                  "p.removeAttribute('title'); b.setAttribute('title', s); r.push('three'); s = null; r.join(' ')"),
              "one RangeError three");
    foundation::setLogSink(old);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("ERROR: WebView: the page would hold more than 16 MB"), std::string::npos) << lines[0];
    EXPECT_EQ(web->bodyText(), "粗");
}

// A page that holds more elements than the budget is cut where the budget
// ends, with a logged error.
TEST_F(WebViewTest, APageOfTooManyElementsIsCutWhereItsBudgetEnds) {
    std::vector<std::string> lines;
    auto old = foundation::setLogSink([&](const std::string& l) { lines.push_back(l); });
    load("<html><body><p id=\"first\">头</p>" + repeat("<i></i>", 30000) + "<p id=\"last\">尾</p></body></html>");
    foundation::setLogSink(old);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("ERROR: WebView: the page would hold more than 20000 elements"), std::string::npos)
        << lines[0];
    // html, body, the first p and 19,997 i (and the head the parser adds).
    EXPECT_EQ(web->elementCount(), 20001u);
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.getElementById('last') === null"), "true");
    EXPECT_EQ(web->bodyText(), "头");
}

// Elements nested deeper than the view's limit are dropped (and logged), so a
// hostile page neither overflows the stack nor stalls the layout.
TEST_F(WebViewTest, ContentNestedTooDeepIsDroppedWithALoggedError) {
    std::vector<std::string> lines;
    auto old = foundation::setLogSink([&](const std::string& l) { lines.push_back(l); });
    const int n = 30000;
    std::string page = "<html><body style=\"margin:0\">";
    page.reserve(size_t(n) * 24);
    for (int i = 0; i < n; ++i) page += "<div id=\"d" + std::to_string(i) + "\">";
    page += "底";
    for (int i = 0; i < n; ++i) page += "</div>";
    page += "<p id=\"after\">后</p></body></html>";
    load(page);
    foundation::setLogSink(old);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("ERROR: WebView: the page nests elements deeper than 256"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(std::to_string(n - 254) + " deeper elements were dropped"), std::string::npos) << lines[0];
    // html, body, then the divs: d253 is the 256th level, the last one kept.
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.getElementById('d253') !== null"), "true");
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.getElementById('d254') === null"), "true");
    EXPECT_EQ(web->bodyText(), "后");
    EXPECT_GT(web->rectOfElement("after").size.height, 0);

    // A script cannot build it either, one level at a time.
    lines.clear();
    old = foundation::setLogSink([&](const std::string& l) { lines.push_back(l); });
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("var e = document.getElementById('d250'), k = 0;"
                                                          "for (; e && k < 10; k++) { e.innerHTML = '<b id=\"b' + k + "
                                                          "'\">x</b>'; e = document.getElementById('b' + k); }"
                                                          "k + ' ' + (e === null)"),
              "4 true");  // b0 to b2 fill levels 254 to 256
    foundation::setLogSink(old);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("1 deeper elements were dropped"), std::string::npos) << lines[0];
}

// Pages open by address only from the page folder: a page's script cannot
// show the user's files or the app's own data.
TEST_F(WebViewTest, OnlyPagesUnderThePageFolderOpen) {
    std::string dir = testsupport::tempDir("web-folder");
    std::string pages = dir + "/pages";
    std::filesystem::create_directories(pages + "/sub");
    ASSERT_TRUE(foundation::writeFileAtomically(pages + "/a.html", "<html><body><p>甲</p></body></html>"));
    ASSERT_TRUE(foundation::writeFileAtomically(pages + "/sub/b.html", "<html><body><p>乙</p></body></html>"));
    ASSERT_TRUE(foundation::writeFileAtomically(dir + "/secret.html", "<html><body><p>秘密</p></body></html>"));
    ASSERT_EQ(symlink((dir + "/secret.html").c_str(), (pages + "/link.html").c_str()), 0);
    web->setLocalPageFolder(pages);
    recorder.allow = true;
    load("<html><body><p id=\"p\">起</p></body></html>", "file://" + pages + "/");

    const std::string refused[] = {"file:///etc/passwd", "file://" + dir + "/secret.html",
                                   "../secret.html",     "sub/../../secret.html",
                                   "link.html",          "file://" + pages + "/../pages-x/a.html"};
    for (const std::string& url : refused) {
        SCOPED_TRACE(url);
        recorder.failures.clear();
        std::vector<std::string> lines;
        auto old = foundation::setLogSink([&](const std::string& l) { lines.push_back(l); });
        web->stringByEvaluatingJavaScriptFromString("window.location = '" + url + "';");
        turn();
        turn();
        foundation::setLogSink(old);
        EXPECT_EQ(web->bodyText(), "起");
        ASSERT_EQ(recorder.failures.size(), 1u);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("ERROR: WebView: refused to open"), std::string::npos) << lines[0];
    }
    web->stringByEvaluatingJavaScriptFromString("window.location = 'sub/b.html';");
    turn();
    turn();
    EXPECT_EQ(web->bodyText(), "乙");
    web->loadRequest("file://" + pages + "/a.html");
    turn();
    turn();
    EXPECT_EQ(web->bodyText(), "甲");
}

TEST_F(WebViewTest, ByDefaultThePageFolderIsTheBundlesHtmlFolder) {
    EXPECT_EQ(web->localPageFolder(), foundation::joinPath(foundation::bundleDir(), "html"));
    recorder.allow = true;
    auto bundled = foundation::bundlePath("text1", "html");
    ASSERT_TRUE(bundled);
    web->loadRequest("file://" + *bundled);
    turn();
    turn();
    EXPECT_EQ(web->currentURL(), "file://" + *bundled);
    EXPECT_TRUE(recorder.failures.empty());
    // The bundle's other folders are not pages.
    web->loadRequest("file://" + foundation::joinPath(foundation::bundleDir(), "keys/make-test-key.sh"));
    turn();
    turn();
    EXPECT_EQ(web->currentURL(), "file://" + *bundled);
    EXPECT_EQ(recorder.failures.size(), 1u);
}

}  // namespace
