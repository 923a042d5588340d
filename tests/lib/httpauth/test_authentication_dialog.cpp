// The login sheet for requests that need credentials.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lib/httpauth/HttpAuthenticationDialog.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

namespace {

using namespace http;

// A request waiting for credentials; records what the dialog does to it.
class WaitingRequest : public AuthenticationRequest {
public:
    WaitingRequest(std::string scheme, std::string host, std::optional<int> port, std::optional<std::string> realm,
                   std::optional<std::string> authScheme = "Basic", int needed = kHTTPAuthenticationNeeded)
        : scheme_(std::move(scheme)),
          host_(std::move(host)),
          port_(port),
          realm_(std::move(realm)),
          authScheme_(std::move(authScheme)),
          needed_(needed) {}
    int authenticationNeeded() const override { return needed_; }
    std::string urlHost() const override { return host_; }
    std::optional<int> urlPort() const override { return port_; }
    std::string urlScheme() const override { return scheme_; }
    std::optional<std::string> proxyHost() const override { return proxy_; }
    std::optional<std::string> authenticationRealm() const override { return realm_; }
    std::optional<std::string> authenticationScheme() const override { return authScheme_; }
    std::optional<std::string> proxyAuthenticationScheme() const override { return proxyScheme_; }
    void setUsername(const std::string& v) override { log.push_back("user=" + v); }
    void setPassword(const std::string& v) override { log.push_back("password=" + v); }
    void setDomain(const std::string& v) override { log.push_back("domain=" + v); }
    void setProxyUsername(const std::string& v) override { log.push_back("proxyUser=" + v); }
    void setProxyPassword(const std::string& v) override { log.push_back("proxyPassword=" + v); }
    void setProxyDomain(const std::string& v) override { log.push_back("proxyDomain=" + v); }
    void retryUsingSuppliedCredentials() override { log.push_back("retry"); }
    void cancelAuthentication() override { log.push_back("cancel"); }

    std::vector<std::string> log;
    std::string scheme_, host_;
    std::optional<int> port_;
    std::optional<std::string> realm_, authScheme_, proxy_, proxyScheme_;
    int needed_;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock_ = std::make_unique<foundation::ManualClockScope>();
        window = ui::Window::create({0, 0, 320, 480});
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        HttpAuthenticationDialog::dismiss();
        settle();
        window.reset();
        clock_.reset();
    }
    // Lets the sheet's animations end and the next turn run.
    void settle() {
        (*clock_)->advance(1);
        foundation::RunLoop::main().drain();
        foundation::RunLoop::main().drain();
    }
    static std::shared_ptr<WaitingRequest> request(std::string scheme, std::string host, std::optional<int> port,
                                                   std::optional<std::string> realm,
                                                   std::optional<std::string> authScheme = "Basic") {
        return std::make_shared<WaitingRequest>(std::move(scheme), std::move(host), port, std::move(realm),
                                                std::move(authScheme));
    }
    void tapBarView(ui::View* v) {
        ui::Point p = v->convertPointToView(v->bounds().center(), nullptr);
        window->sendTouch(ui::TouchPhase::Began, p, 0);
        window->sendTouch(ui::TouchPhase::Ended, p, 0.1);
    }
    std::unique_ptr<foundation::ManualClockScope> clock_;
    std::shared_ptr<ui::Window> window;
};

TEST_F(DialogTest, OneLoginCompletesEveryRequestOfTheSameServerAndRealm) {
    auto first = request("http", "example.com", 8080, "office");
    auto second = request("http", "example.com", 8080, "office");
    auto otherRealm = request("http", "example.com", 8080, "lab");
    HttpAuthenticationDialog::presentAuthenticationDialogForRequest(first);
    HttpAuthenticationDialog::presentAuthenticationDialogForRequest(second);
    HttpAuthenticationDialog::presentAuthenticationDialogForRequest(otherRealm);
    settle();
    auto* dialog = HttpAuthenticationDialog::currentDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->request(), first);
    EXPECT_EQ(HttpAuthenticationDialog::waitingRequests().size(), 2u);
    EXPECT_EQ(dialog->navigationBar()->titleLabel()->text(), "example.com");
    EXPECT_EQ(dialog->navigationBar()->promptLabel()->text(), "Login to this secure server.");
    EXPECT_TRUE(dialog->view()->window() == window.get());
    // The user field has focus: typing goes there; the password stays empty.
    window->sendText("alice");
    EXPECT_EQ(dialog->usernameField()->text(), "alice");
    tapBarView(dialog->navigationBar()->rightView());
    std::vector<std::string> want{"user=alice", "password=", "retry"};
    EXPECT_EQ(first->log, want);
    EXPECT_EQ(second->log, want);
    EXPECT_TRUE(otherRealm->log.empty());
    settle();
    // The other realm gets its own sheet after the first closed.
    ASSERT_NE(HttpAuthenticationDialog::currentDialog(), nullptr);
    EXPECT_EQ(HttpAuthenticationDialog::currentDialog()->request(), otherRealm);
    EXPECT_TRUE(HttpAuthenticationDialog::waitingRequests().empty());
}

TEST_F(DialogTest, MatchingNeedsSameKindHostPortSchemeAndRealm) {
    auto mine = request("http", "example.com", std::nullopt, std::nullopt);
    struct Case {
        std::shared_ptr<WaitingRequest> other;
        bool matches;
    };
    auto proxyKind = request("http", "example.com", std::nullopt, std::nullopt);
    proxyKind->needed_ = kProxyAuthenticationNeeded;
    std::vector<Case> cases{
        {request("http", "example.com", std::nullopt, std::nullopt), true},
        {request("http", "Example.com", std::nullopt, std::nullopt), false},
        {request("https", "example.com", std::nullopt, std::nullopt), false},
        {request("http", "example.com", 80, std::nullopt), false},
        {request("http", "example.com", std::nullopt, "realm"), false},
        {proxyKind, false},
    };
    HttpAuthenticationDialog::presentAuthenticationDialogForRequest(mine);
    for (auto& c : cases) HttpAuthenticationDialog::presentAuthenticationDialogForRequest(c.other);
    auto matching = HttpAuthenticationDialog::currentDialog()->requestsRequiringTheseCredentials();
    ASSERT_EQ(matching.size(), 2u);
    EXPECT_EQ(matching[0], cases[0].other);
    EXPECT_EQ(matching.back(), mine);  // the dialog's own request comes last
    // Cancel applies to the same set.
    HttpAuthenticationDialog::currentDialog()->cancelAuthenticationFromDialog();
    EXPECT_EQ(mine->log, std::vector<std::string>{"cancel"});
    EXPECT_EQ(cases[0].other->log, std::vector<std::string>{"cancel"});
    for (size_t i = 1; i < cases.size(); ++i) EXPECT_TRUE(cases[i].other->log.empty()) << i;
    EXPECT_EQ(HttpAuthenticationDialog::waitingRequests().size(), cases.size() - 1);
}

TEST_F(DialogTest, FooterTellsWhetherThePasswordTravelsInTheClear) {
    struct Case {
        std::string urlScheme;
        std::optional<std::string> authScheme;
        std::string footer;
    };
    for (const auto& c : std::vector<Case>{{"http", "Basic", "Password will be sent in the clear."},
                                           {"http", "Digest", "Password will be sent securely."},
                                           {"https", "Basic", "Password will be sent securely."},
                                           {"http", std::nullopt, "Password will be sent securely."}}) {
        auto r = request(c.urlScheme, "h", std::nullopt, "Realm", c.authScheme);
        HttpAuthenticationDialog::presentAuthenticationDialogForRequest(r);
        auto* d = HttpAuthenticationDialog::currentDialog();
        ASSERT_NE(d, nullptr);
        auto* table = d->tableView();
        EXPECT_EQ(table->numberOfSections(), 1);
        ASSERT_NE(table->footerViewForSection(0), nullptr);
        EXPECT_EQ(table->footerViewForSection(0)->displayedText(), c.footer);
        EXPECT_EQ(table->headerViewForSection(0)->displayedText(), "Realm");
        EXPECT_EQ(table->rectForHeaderInSection(0).height(), 30);
        EXPECT_EQ(table->rectForFooterInSection(0).height(), 30);
        EXPECT_EQ(d->usernameField()->placeholder(), "User");
        EXPECT_TRUE(d->passwordField()->isSecureTextEntry());
        EXPECT_EQ(d->domainField(), nullptr);
        d->cancelAuthenticationFromDialog();
        settle();
    }
}

TEST_F(DialogTest, NtlmAddsTheDomainAndProxyDialogsSetProxyCredentials) {
    auto r = request("http", "intranet", std::nullopt, std::nullopt, "NTLM");
    HttpAuthenticationDialog::presentAuthenticationDialogForRequest(r);
    auto* d = HttpAuthenticationDialog::currentDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->tableView()->numberOfSections(), 2);
    ASSERT_NE(d->domainField(), nullptr);
    EXPECT_EQ(d->domainField()->placeholder(), "Domain");
    EXPECT_EQ(d->tableView()->footerViewForSection(0), nullptr);  // only the last section has the footer
    d->usernameField()->setText("bob");
    d->passwordField()->setText("pw");
    d->domainField()->setText("CORP");
    d->loginWithCredentialsFromDialog();
    EXPECT_EQ(r->log, (std::vector<std::string>{"user=bob", "password=pw", "domain=CORP", "retry"}));
    settle();

    auto p = request("http", "example.com", std::nullopt, std::nullopt, "Basic");
    p->needed_ = kProxyAuthenticationNeeded;
    p->proxy_ = "proxy.local";
    p->proxyScheme_ = "Basic";
    HttpAuthenticationDialog::presentAuthenticationDialogForRequest(p);
    d = HttpAuthenticationDialog::currentDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->type(), HttpAuthenticationDialog::DialogForProxy);
    EXPECT_EQ(d->navigationBar()->titleLabel()->text(), "proxy.local");
    EXPECT_EQ(d->navigationBar()->promptLabel()->text(), "Login to this secure proxy server.");
    d->loginWithCredentialsFromDialog();
    EXPECT_EQ(p->log, (std::vector<std::string>{"proxyUser=", "proxyPassword=", "retry"}));
}

TEST_F(DialogTest, LandscapeHasNoPromptAndKeyboardInsetsTheTable) {
    auto r = request("http", "h", std::nullopt, std::nullopt);
    HttpAuthenticationDialog::presentAuthenticationDialogForRequest(r);
    auto* d = HttpAuthenticationDialog::currentDialog();
    settle();
    EXPECT_DOUBLE_EQ(d->tableView()->contentInset().bottom, 216);  // the keyboard came with the user field
    EXPECT_DOUBLE_EQ(d->tableView()->frame().y(), 74);
    ui::Application::shared().setStatusBarOrientation(3);
    d->orientationChanged();
    EXPECT_TRUE(d->navigationBar()->promptLabel()->isHidden());
    EXPECT_DOUBLE_EQ(d->tableView()->frame().y(), 44);
    EXPECT_DOUBLE_EQ(d->view()->bounds().width(), 460);
}

}  // namespace
