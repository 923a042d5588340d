#pragma once
// The login sheet shown when a server (401) or a proxy (407) asks a request
// for credentials: a navigation bar with Cancel and "Login" over a grouped
// table of fields (user, password, and a domain for NTLM). One sheet shows
// at a time; requests asking meanwhile wait. Credentials typed once go to
// every waiting request that needs the same ones (same kind, host, port,
// scheme and realm).
//
// The dialog works on AuthenticationRequest, the part of an HTTP request it
// reads and drives, so it does not depend on the HTTP client itself.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

namespace http {

// What authenticationNeeded answers.
enum AuthenticationNeeded {
    kNoAuthenticationNeeded = 0,
    kHTTPAuthenticationNeeded = 1,
    kProxyAuthenticationNeeded = 2
};

class AuthenticationRequest {
public:
    virtual ~AuthenticationRequest() = default;
    virtual int authenticationNeeded() const = 0;
    // Parts of the request URL.
    virtual std::string urlHost() const = 0;
    virtual std::optional<int> urlPort() const = 0;
    virtual std::string urlScheme() const = 0;
    virtual std::optional<std::string> proxyHost() const = 0;
    virtual std::optional<std::string> authenticationRealm() const = 0;
    virtual std::optional<std::string> authenticationScheme() const = 0;
    virtual std::optional<std::string> proxyAuthenticationScheme() const = 0;
    virtual void setUsername(const std::string& v) = 0;
    virtual void setPassword(const std::string& v) = 0;
    virtual void setDomain(const std::string& v) = 0;
    virtual void setProxyUsername(const std::string& v) = 0;
    virtual void setProxyPassword(const std::string& v) = 0;
    virtual void setProxyDomain(const std::string& v) = 0;
    virtual void retryUsingSuppliedCredentials() = 0;
    virtual void cancelAuthentication() = 0;
};

using AuthenticationRequestRef = std::shared_ptr<AuthenticationRequest>;

// A controller that turns with the device to any orientation.
class HttpAutorotatingViewController : public ui::ViewController {
public:
    const char* className() const override { return "HttpAutorotatingViewController"; }
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) override { return true; }
};

class HttpAuthenticationDialog : public HttpAutorotatingViewController,
                                 public ui::TableViewDataSource,
                                 public ui::TableViewDelegate {
public:
    enum DialogType { DialogForServer = 0, DialogForProxy = 1 };

    HttpAuthenticationDialog();
    ~HttpAuthenticationDialog() override;
    const char* className() const override { return "HttpAuthenticationDialog"; }

    // Shows a dialog for the request, or queues it while one is on screen.
    static void presentAuthenticationDialogForRequest(const AuthenticationRequestRef& request);
    // Dismisses the dialog on screen (animated).
    static void dismiss();
    // The dialog on screen and the requests waiting for one (for the window and tests).
    static HttpAuthenticationDialog* currentDialog();
    static std::vector<AuthenticationRequestRef> waitingRequests();

    const AuthenticationRequestRef& request() const { return request_; }
    void setRequest(AuthenticationRequestRef r) { request_ = std::move(r); }
    DialogType type() const { return type_; }
    void setType(DialogType t) { type_ = t; }
    ui::TableView* tableView() const { return tableView_.get(); }
    ui::NavigationBar* navigationBar() const { return bar_.get(); }

    // Dismisses this dialog (through the class when it is the one on screen).
    void dismissDialog();
    void show();
    void showTitle();
    // Lays the sheet out again for the status bar's orientation.
    void orientationChanged();
    void keyboardWillShow(const foundation::Notification& note);
    void presentNextDialog();
    void cancelAuthenticationFromDialog();
    void loginWithCredentialsFromDialog();
    std::vector<AuthenticationRequestRef> requestsRequiringTheseCredentials() const;
    ui::TextField* usernameField() const { return textFieldInRow(0, 0); }
    ui::TextField* passwordField() const { return textFieldInRow(1, 0); }
    ui::TextField* domainField() const { return textFieldInRow(0, 1); }
    ui::TextField* textFieldInRow(int row, int section) const;

    // Table.
    int numberOfSectionsInTableView(ui::TableView*) override;
    int numberOfRowsInSection(ui::TableView*, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) override;
    std::string titleForHeaderInSection(ui::TableView*, int section) override;
    std::string titleForFooterInSection(ui::TableView*, int section) override;
    std::optional<double> heightForHeaderInSection(ui::TableView*, int section) override;
    std::optional<double> heightForFooterInSection(ui::TableView*, int section) override;
    std::optional<ui::IndexPath> willSelectRowAtIndexPath(ui::TableView*, const ui::IndexPath&) override {
        return std::nullopt;
    }

    void viewDidDisappear(bool animated) override;

private:
    bool isNTLM() const;
    ui::ViewController* presentingController();

    AuthenticationRequestRef request_;
    DialogType type_ = DialogForServer;
    std::shared_ptr<ui::TableView> tableView_;
    std::shared_ptr<ui::NavigationBar> bar_;
    std::unique_ptr<ui::NavigationItem> item_;
    std::vector<std::vector<std::shared_ptr<ui::TableViewCell>>> cells_;
    std::shared_ptr<ui::ViewController> presentingController_;
    foundation::NotificationCenter::Token keyboardToken_ = 0;
};

}  // namespace http
