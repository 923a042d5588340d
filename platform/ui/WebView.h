#pragma once
// A view that lays out and draws an HTML page: the HTML and CSS layout comes
// from litehtml over a document container of our own (cairo and pango), the
// page's scripts run on duktape over a small DOM of the document. Only local
// content loads: file: pictures relative to the base address; anything from
// the network renders as nothing. Pages open by address only from the page
// folder. Scripts have a time budget per run, and a page has one budget for
// all its own scripts together (1 s), a script heap limit (64 MB), and limits
// on what its document holds (20,000 elements, 16 MB of text and attributes,
// however they got there); elements nested deeper than a fixed limit are
// dropped. Whatever passes a limit is stopped, left out or refused, each with
// a logged error.
//
// Supported scripting: document.getElementById, document.getElementsByTagName,
// document.body, element.id/src/href/tagName/parentNode/innerHTML,
// element.style.display, getAttribute/setAttribute/removeAttribute,
// addEventListener('click', fn), window.location (a navigation request).

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"

namespace ui {

class WebView;

// Why a load is asked for: a tapped link, or anything else (scripts, frames).
enum class WebNavigationType {
    LinkClicked = 0,
    FormSubmitted = 1,
    BackForward = 2,
    Reload = 3,
    FormResubmitted = 4,
    Other = 5
};

class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;
    // false refuses the load.
    virtual bool webViewShouldStartLoad(WebView* webView, const std::string& url, WebNavigationType type) {
        (void)webView;
        (void)url;
        (void)type;
        return true;
    }
    virtual void webViewDidStartLoad(WebView* webView) { (void)webView; }
    virtual void webViewDidFinishLoad(WebView* webView) { (void)webView; }
    virtual void webViewDidFailLoad(WebView* webView, const std::string& error) {
        (void)webView;
        (void)error;
    }
};

class WebView : public View {
public:
    explicit WebView(const Rect& frame = {});
    ~WebView() override;
    static std::shared_ptr<WebView> create(const Rect& frame = {});
    const char* className() const override { return "WebView"; }

    void setDelegate(WebViewDelegate* d) { delegate_ = d; }
    WebViewDelegate* delegate() const { return delegate_; }

    // Page settings kept for callers; the view shows still pictures only.
    void setScalesPageToFit(bool v) { scalesPageToFit_ = v; }
    bool scalesPageToFit() const { return scalesPageToFit_; }
    void setAllowsInlineMediaPlayback(bool v) { inlineMedia_ = v; }
    bool allowsInlineMediaPlayback() const { return inlineMedia_; }
    void setMediaPlaybackRequiresUserAction(bool v) { mediaNeedsAction_ = v; }
    bool mediaPlaybackRequiresUserAction() const { return mediaNeedsAction_; }

    // Starts loading the page: didStartLoad now, then in a later turn of the
    // main run loop the page is parsed and laid out and didFinishLoad (or
    // didFailLoad) follows. baseURL is a file: address of a folder (or "").
    void loadHTMLString(const std::string& html, const std::string& baseURL);
    bool isLoading() const { return pendingLoad_ != 0; }
    // Loads a page by address (file: addresses load here; the delegate is
    // asked first). Pages loaded this way make the history goBack() walks.
    void loadRequest(const std::string& url);
    const std::string& currentURL() const;
    bool canGoBack() const;
    void goBack();
    // The load under way (if any) never finishes.
    void stopLoading();

    // Pages load by address (links, scripts, loadRequest) only from files
    // under this folder; by default the bundle's page folder, <bundle>/html.
    void setLocalPageFolder(const std::string& folder) { pageFolder_ = folder; }
    std::string localPageFolder() const;

    // Runs the script on the current page; the result as text ("" for
    // undefined, null or an error, which is logged).
    std::string stringByEvaluatingJavaScriptFromString(const std::string& script);

    // The scroller holding the page; its content size is the page's size.
    ScrollView* scrollView() const { return scroll_.get(); }
    // Size of the laid-out page in points.
    Size contentSize() const;
    // Rectangle of the first element with this id, in page coordinates (empty
    // when it takes no space or does not exist).
    Rect rectOfElement(const std::string& id) const;
    // Text content of the page's body (for reading back in tests and tools).
    std::string bodyText() const;
    // How many elements the page holds (for tests and tools).
    size_t elementCount() const;
    // Taps the page at a point in page coordinates, as a finger would.
    void tapAtPagePoint(Point p);

    void layoutSubviews() override;

    struct Impl;

private:
    void finishLoad(unsigned generation);
    bool isInPageFolder(const std::string& path) const;
    void relayout();

    std::unique_ptr<Impl> impl_;
    std::shared_ptr<ScrollView> scroll_;
    std::shared_ptr<View> page_;
    WebViewDelegate* delegate_ = nullptr;
    bool scalesPageToFit_ = false;
    bool inlineMedia_ = false;
    bool mediaNeedsAction_ = true;
    unsigned generation_ = 0;
    unsigned pendingLoad_ = 0;
    std::string pageFolder_;
};

}  // namespace ui
