#pragma once
// The reader's help page: a page of the bundle in a web view, over a bar with
// Done and, once the user has followed a link inside the page, Back. The page
// is told why it was opened ("INFO" from the info button, "FAIL" after a
// picture that held nothing) through its onScanHelp script. Links that leave
// the bundle are not followed: the user is asked whether to open them in the
// browser.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/WeakRef.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/WebView.h"

class ScanHelpController;

class ScanHelpDelegate : public foundation::Referenceable {
public:
    virtual ~ScanHelpDelegate() = default;
    // Optional: the user is done with the page.
    virtual bool respondsToHelpControllerDidFinish() const { return false; }
    virtual void helpControllerDidFinish(ScanHelpController&) {}
};

class ScanHelpController : public ui::ViewController, public ui::WebViewDelegate, public ui::AlertViewDelegate {
public:
    // Without a reason: "INFO".
    explicit ScanHelpController(const std::string& reason = "");
    ~ScanHelpController() override;
    const char* className() const override { return "ScanHelpController"; }

    const std::string& reason() const { return reason_; }
    ScanHelpDelegate* delegate() const { return delegate_; }
    void setDelegate(ScanHelpDelegate* delegate) { delegate_ = delegate; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidUnload() override;

    // Done: the delegate's, else the page closes itself.
    void dismiss();

    // Orientations: bit n for orientation n; none set lets the parent decide.
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) override;
    bool isInterfaceOrientationSupported(int orientation);
    void setInterfaceOrientation(int orientation, bool supported);
    void willAnimateRotationToInterfaceOrientation(int orientation, double duration);
    void didRotateFromInterfaceOrientation(int orientation);

    ui::WebView* webView() const { return webView_.get(); }
    ui::Toolbar* toolbar() const { return toolbar_.get(); }
    ui::BarButtonItem* doneButton() const { return doneBtn_.get(); }
    ui::BarButtonItem* backButton() const { return backBtn_.get(); }
    const std::string& linkURL() const { return linkURL_; }

    // WebViewDelegate
    bool webViewShouldStartLoad(ui::WebView* webView, const std::string& url, ui::WebNavigationType type) override;
    void webViewDidFinishLoad(ui::WebView* webView) override;
    // AlertViewDelegate: any button but Cancel opens the waiting link.
    void clickedButtonAtIndex(ui::AlertView* alertView, int buttonIndex) override;

private:
    void cleanup();

    std::string reason_;
    foundation::WeakRef<ScanHelpDelegate> delegate_;
    std::shared_ptr<ui::WebView> webView_;
    std::shared_ptr<ui::Toolbar> toolbar_;
    std::shared_ptr<ui::BarButtonItem> doneBtn_, backBtn_, space_;
    std::string linkURL_;
    uint32_t orientations_ = 0;
};
