#include "lib/reader/ScanHelpController.h"

#include <cstdio>

#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/Image.h"

namespace {

std::string describe(const ui::Rect& r) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "{{%g, %g}, {%g, %g}}", r.origin.x, r.origin.y, r.size.width, r.size.height);
    return buf;
}

// The page's text in a script string: quotes and backslashes escaped.
std::string scriptString(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

}  // namespace

ScanHelpController::ScanHelpController(const std::string& reason) : reason_(reason.empty() ? "INFO" : reason) {}

ScanHelpController::~ScanHelpController() { cleanup(); }

void ScanHelpController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    ui::View* root = view();
    ui::Rect b = root->bounds();
    if (b.size.width == 0 || b.size.height == 0) {
        root->setFrame({0, 0, 320, 480});
        b = root->bounds();
    }
    const double W = b.size.width, H = b.size.height;
    const ui::Color ground = ui::Color::white(0.125, 1.0);
    root->setBackgroundColor(ground);
    root->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);

    webView_ = ui::WebView::create({0, 0, W, H - 44});
    webView_->setDelegate(this);
    webView_->setBackgroundColor(ground);
    webView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight |
                                  ui::kAutoresizingFlexibleBottomMargin);
    webView_->setHidden(true);
    root->addSubview(webView_);

    toolbar_ = std::make_shared<ui::Toolbar>(ui::Rect{0, H - 44, W, 44});
    toolbar_->setBarStyle(ui::BarStyle::Black);
    toolbar_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleTopMargin |
                                  ui::kAutoresizingFlexibleHeight);
    root->addSubview(toolbar_);

    doneBtn_ =
        ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Done, [this](ui::BarButtonItem*) { dismiss(); });
    auto back = std::make_shared<ui::Button>(ui::Rect{0, 0, 30, 30});
    back->setImage(ui::Image::named("zbar-back.png"));
    back->setAccessibilityLabel("返回");
    ui::WebView* page = webView_.get();
    back->addTarget(
        this, [page](ui::Control*, const ui::Event*) { page->goBack(); }, ui::kControlEventTouchUpInside);
    backBtn_ = ui::BarButtonItem::withCustomView(back);
    space_ = ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::FlexibleSpace, {});
    toolbar_->setItems({space_, doneBtn_});

    std::optional<std::string> page_path = foundation::bundlePath("zbar-help", "html");
    if (!page_path) {
        foundation::logLine("ERROR: unable to load zbar-help.html from bundle");
        return;
    }
    webView_->loadRequest("file://" + *page_path);
}

void ScanHelpController::viewWillAppear(bool animated) {
    if (webView_) {
        if (webView_->isLoading()) webView_->setHidden(true);
        webView_->setDelegate(this);
    }
    ui::ViewController::viewWillAppear(animated);
}

void ScanHelpController::viewWillDisappear(bool animated) {
    if (webView_) {
        webView_->stopLoading();
        webView_->setDelegate(nullptr);
    }
    ui::ViewController::viewWillDisappear(animated);
}

void ScanHelpController::viewDidUnload() {
    cleanup();
    ui::ViewController::viewDidUnload();
}

void ScanHelpController::cleanup() {
    if (webView_) webView_->setDelegate(nullptr);
    toolbar_.reset();
    webView_.reset();
    doneBtn_.reset();
    backBtn_.reset();
    space_.reset();
}

void ScanHelpController::dismiss() {
    if (delegate_ && delegate_->respondsToHelpControllerDidFinish())
        delegate_->helpControllerDidFinish(*this);
    else
        dismissModalViewControllerAnimated(true);
}

bool ScanHelpController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) {
    return isInterfaceOrientationSupported(int(o));
}

bool ScanHelpController::isInterfaceOrientationSupported(int orientation) {
    if (parentViewController() && orientations_ == 0)
        return parentViewController()->shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation(orientation));
    if (orientation < 0 || orientation >= 32) return false;
    return (orientations_ >> orientation) & 1;
}

void ScanHelpController::setInterfaceOrientation(int orientation, bool supported) {
    if (orientation < 0 || orientation >= 32) return;
    if (supported)
        orientations_ |= 1u << orientation;
    else
        orientations_ &= ~(1u << orientation);
}

void ScanHelpController::willAnimateRotationToInterfaceOrientation(int, double) {
    if (webView_ && !webView_->currentURL().empty()) webView_->loadRequest(webView_->currentURL());
}

void ScanHelpController::didRotateFromInterfaceOrientation(int) {
    foundation::logLine("ScanHelpController: frame=" + describe(view()->frame()) +
                        " webView.frame=" + describe(webView_ ? webView_->frame() : ui::Rect{}) +
                        " toolbar.frame=" + describe(toolbar_ ? toolbar_->frame() : ui::Rect{}));
}

void ScanHelpController::webViewDidFinishLoad(ui::WebView* webView) {
    if (webView->isHidden()) {
        webView->stringByEvaluatingJavaScriptFromString("onScanHelp({reason:\"" + scriptString(reason_) + "\"});");
        ui::View::beginAnimations("ScanHelp");
        webView->setHidden(false);
        ui::View::commitAnimations();
    }
    const auto& items = toolbar_->items();
    bool backFirst = !items.empty() && items.front() == backBtn_;
    if (webView->canGoBack() && !backFirst)
        toolbar_->setItems({backBtn_, space_, doneBtn_}, true);
    else if (!webView->canGoBack() && backFirst)
        toolbar_->setItems({space_, doneBtn_}, true);
}

bool ScanHelpController::webViewShouldStartLoad(ui::WebView*, const std::string& url, ui::WebNavigationType) {
    if (url.rfind("file:", 0) == 0) return true;
    linkURL_ = url;
    auto alert = ui::AlertView::create("Open External Link", "Close this application and open link in Safari?", this,
                                       "Cancel", {"OK"});
    alert->show();
    return false;
}

void ScanHelpController::clickedButtonAtIndex(ui::AlertView* alertView, int buttonIndex) {
    if (buttonIndex != alertView->cancelButtonIndex() && !linkURL_.empty()) ui::Application::shared().openURL(linkURL_);
}
