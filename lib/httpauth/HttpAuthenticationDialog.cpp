#include "lib/httpauth/HttpAuthenticationDialog.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace http {

namespace {
std::shared_ptr<HttpAuthenticationDialog>& shownDialog() {
    static std::shared_ptr<HttpAuthenticationDialog> dialog;
    return dialog;
}
std::vector<AuthenticationRequestRef>& waiting() {
    static std::vector<AuthenticationRequestRef> list;
    return list;
}
// The dialog a case left up goes with its modal; the requests waiting for one are let go.
[[maybe_unused]] const bool registered =
    (foundation::registerResetter("httpauth.dialogs", foundation::ResetPhase::Presentation,
                                  [] {
                                      waiting().clear();
                                      shownDialog().reset();
                                  }),
     true);
const char* kNTLM = "NTLM";

// The first waiting request gets its dialog once none is on screen.
void presentNext() {
    if (shownDialog() || waiting().empty()) return;
    auto next = waiting().front();
    waiting().erase(waiting().begin());
    HttpAuthenticationDialog::presentAuthenticationDialogForRequest(next);
}
}  // namespace

HttpAuthenticationDialog::HttpAuthenticationDialog() {
    keyboardToken_ = foundation::NotificationCenter::defaultCenter().addObserver(
        this, ui::kKeyboardWillShowNotification, [this](const foundation::Notification& n) { keyboardWillShow(n); });
}

HttpAuthenticationDialog::~HttpAuthenticationDialog() {
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
    if (presentingController_ && presentingController_->isViewLoaded())
        presentingController_->view()->removeFromSuperview();
}

void HttpAuthenticationDialog::presentAuthenticationDialogForRequest(const AuthenticationRequestRef& request) {
    if (!request) return;
    if (shownDialog()) {
        waiting().push_back(request);
        return;
    }
    auto dialog = std::make_shared<HttpAuthenticationDialog>();
    dialog->setRequest(request);
    dialog->setType(request->authenticationNeeded() == kProxyAuthenticationNeeded ? DialogForProxy : DialogForServer);
    shownDialog() = dialog;
    dialog->show();
}

void HttpAuthenticationDialog::dismiss() {
    if (auto d = shownDialog()) {
        if (auto* p = d->presentingController()) p->dismissViewControllerAnimated(true);
    }
}

HttpAuthenticationDialog* HttpAuthenticationDialog::currentDialog() { return shownDialog().get(); }

std::vector<AuthenticationRequestRef> HttpAuthenticationDialog::waitingRequests() { return waiting(); }

void HttpAuthenticationDialog::dismissDialog() {
    if (shownDialog().get() == this) {
        dismiss();
        return;
    }
    if (presentingController_) presentingController_->dismissViewControllerAnimated(true);
}

ui::ViewController* HttpAuthenticationDialog::presentingController() {
    if (!presentingController_) {
        presentingController_ = std::make_shared<HttpAutorotatingViewController>();
        ui::View* v = presentingController_->view();
        v->setFrame({});
        v->setUserInteractionEnabled(false);
        if (ui::Window* w = ui::Window::keyWindow()) w->addSubview(presentingController_->viewRef());
    }
    return presentingController_.get();
}

bool HttpAuthenticationDialog::isNTLM() const {
    if (!request_) return false;
    auto scheme = type_ == DialogForProxy ? request_->proxyAuthenticationScheme() : request_->authenticationScheme();
    return scheme && *scheme == kNTLM;
}

void HttpAuthenticationDialog::show() {
    ui::View* v = view();
    for (auto& s : std::vector<std::shared_ptr<ui::View>>(v->subviews())) s->removeFromSuperview();

    bar_ = std::make_shared<ui::NavigationBar>(ui::Rect{0, 0, v->bounds().width(), ui::NavigationBar::kHeight});
    bar_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth);
    v->addSubview(bar_);
    item_ = std::make_unique<ui::NavigationItem>();
    item_->setTitle(type_ == DialogForProxy ? request_->proxyHost().value_or("") : request_->urlHost());
    item_->setLeftBarButtonItem(ui::BarButtonItem::withSystemItem(
        ui::BarButtonSystemItem::Cancel, [this](ui::BarButtonItem*) { cancelAuthenticationFromDialog(); }));
    item_->setRightBarButtonItem(ui::BarButtonItem::withTitle(
        "Login", ui::BarButtonItemStyle::Done, [this](ui::BarButtonItem*) { loginWithCredentialsFromDialog(); }));
    bar_->setItems({item_.get()});

    tableView_ = std::make_shared<ui::TableView>(ui::Rect{}, ui::TableViewStyle::Grouped);
    tableView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    tableView_->setDataSource(this);
    tableView_->setTableDelegate(this);
    v->addSubview(tableView_);
    showTitle();

    // The cells hold the fields; they are made once per showing.
    cells_.clear();
    for (int s = 0; s < numberOfSectionsInTableView(tableView_.get()); ++s) {
        cells_.emplace_back();
        for (int r = 0; r < numberOfRowsInSection(tableView_.get(), s); ++r) {
            auto cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "");
            cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
            ui::Rect b = cell->contentView()->bounds();
            auto field = std::make_shared<ui::TextField>(b.insetBy(10, 10));
            field->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
            field->traits().autocapitalizationType = ui::TextAutocapitalizationType::None;
            field->traits().autocorrectionType = ui::TextAutocorrectionType::No;
            if (s == 0 && r == 0) field->setPlaceholder("User");
            if (s == 0 && r == 1) {
                field->setPlaceholder("Password");
                field->setSecureTextEntry(true);
            }
            if (s == 1) field->setPlaceholder("Domain");
            cell->contentView()->addSubview(field);
            cells_.back().push_back(cell);
        }
    }
    tableView_->reloadData();
    if (auto* f = usernameField()) f->becomeFirstResponder();

    presentingController()->presentViewController(shared_from_this(), true);
}

void HttpAuthenticationDialog::showTitle() {
    int o = ui::Application::shared().statusBarOrientation();
    bool portrait = o == 1 || o == 2;
    std::string prompt;
    if (portrait)
        prompt = type_ == DialogForProxy ? "Login to this secure proxy server." : "Login to this secure server.";
    if (item_) item_->setPrompt(prompt);
    if (!bar_ || !tableView_) return;
    ui::Rect b = view()->bounds();
    ui::Size s = bar_->sizeThatFits({b.width(), 0});
    bar_->setFrame({0, 0, b.width(), s.height});
    tableView_->setFrame({0, s.height, b.width(), std::max(0.0, b.height() - s.height)});
}

void HttpAuthenticationDialog::orientationChanged() {
    showTitle();
    int o = ui::Application::shared().statusBarOrientation();
    double angle = o == 2 ? M_PI : o == 3 ? M_PI / 2 : o == 4 ? -M_PI / 2 : 0;
    ui::Rect screen = ui::Screen::main().bounds();
    ui::Rect app = ui::Application::shared().statusBarFrame();
    ui::Rect frame{0, app.height(), screen.width(), screen.height() - app.height()};
    if (o == 3 || o == 4) frame = {frame.origin, {frame.height(), frame.width()}};
    ui::View* v = view();
    v->setTransform(ui::AffineTransform::identity());
    v->setFrame({{0, 0}, frame.size});
    showTitle();
    auto ref = viewRef();
    ui::View::animate(0.3, [ref, angle, frame]() {
        ref->setTransform(ui::AffineTransform::makeRotation(angle));
        ref->setCenter({frame.x() + frame.width() / 2, frame.y() + frame.height() / 2});
    });
}

void HttpAuthenticationDialog::keyboardWillShow(const foundation::Notification& note) {
    if (!tableView_) return;
    const auto* info = note.userInfo.asDictionary();
    const auto* h = info ? info->find("frameEndHeight") : nullptr;
    if (!h) return;
    ui::EdgeInsets inset = tableView_->contentInset();
    inset.bottom = h->doubleValue();
    tableView_->setContentInset(inset);
    ui::EdgeInsets indicators = tableView_->scrollIndicatorInsets();
    indicators.bottom = h->doubleValue();
    tableView_->setScrollIndicatorInsets(indicators);
}

void HttpAuthenticationDialog::presentNextDialog() { presentNext(); }

std::vector<AuthenticationRequestRef> HttpAuthenticationDialog::requestsRequiringTheseCredentials() const {
    std::vector<AuthenticationRequestRef> matching;
    if (!request_) return matching;
    auto port = request_->urlPort();
    auto realm = request_->authenticationRealm();
    for (const auto& r : waiting()) {
        if (r == request_) continue;
        if (r->authenticationNeeded() != request_->authenticationNeeded()) continue;
        if (r->urlHost() != request_->urlHost()) continue;
        auto otherPort = r->urlPort();
        // The same port: both without one, or ours set and equal.
        bool samePort = (!port && !otherPort) || (port && otherPort && *port == *otherPort);
        if (!samePort) continue;
        if (r->urlScheme() != request_->urlScheme()) continue;
        auto otherRealm = r->authenticationRealm();
        bool sameRealm = (!realm && !otherRealm) || (realm && otherRealm && *realm == *otherRealm);
        if (!sameRealm) continue;
        matching.push_back(r);
    }
    matching.push_back(request_);
    return matching;
}

void HttpAuthenticationDialog::loginWithCredentialsFromDialog() {
    auto keep = shared_from_this();
    std::string user = usernameField() ? usernameField()->text() : "";
    std::string password = passwordField() ? passwordField()->text() : "";
    bool ntlm = isNTLM();
    std::string domain = ntlm && domainField() ? domainField()->text() : "";
    for (const auto& r : requestsRequiringTheseCredentials()) {
        if (type_ == DialogForProxy) {
            r->setProxyUsername(user);
            r->setProxyPassword(password);
            if (ntlm) r->setProxyDomain(domain);
        } else {
            r->setUsername(user);
            r->setPassword(password);
            if (ntlm) r->setDomain(domain);
        }
        r->retryUsingSuppliedCredentials();
        auto& list = waiting();
        list.erase(std::remove(list.begin(), list.end(), r), list.end());
    }
    dismissDialog();
}

void HttpAuthenticationDialog::cancelAuthenticationFromDialog() {
    auto keep = shared_from_this();
    for (const auto& r : requestsRequiringTheseCredentials()) {
        r->cancelAuthentication();
        auto& list = waiting();
        list.erase(std::remove(list.begin(), list.end(), r), list.end());
    }
    dismissDialog();
}

void HttpAuthenticationDialog::viewDidDisappear(bool animated) {
    HttpAutorotatingViewController::viewDidDisappear(animated);
    if (usernameField()) usernameField()->resignFirstResponder();
    if (passwordField()) passwordField()->resignFirstResponder();
    if (domainField()) domainField()->resignFirstResponder();
    if (shownDialog().get() == this) shownDialog().reset();
    foundation::postToMain(presentNext);
}

ui::TextField* HttpAuthenticationDialog::textFieldInRow(int row, int section) const {
    if (section < 0 || section >= int(cells_.size()) || row < 0 || row >= int(cells_[section].size())) return nullptr;
    for (const auto& v : cells_[section][row]->contentView()->subviews())
        if (auto* f = dynamic_cast<ui::TextField*>(v.get())) return f;
    return nullptr;
}

int HttpAuthenticationDialog::numberOfSectionsInTableView(ui::TableView*) { return isNTLM() ? 2 : 1; }

int HttpAuthenticationDialog::numberOfRowsInSection(ui::TableView*, int section) { return section == 0 ? 2 : 1; }

std::shared_ptr<ui::TableViewCell> HttpAuthenticationDialog::cellForRowAtIndexPath(ui::TableView*,
                                                                                   const ui::IndexPath& ip) {
    if (ip.section < int(cells_.size()) && ip.row < int(cells_[ip.section].size())) return cells_[ip.section][ip.row];
    return std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "");
}

std::string HttpAuthenticationDialog::titleForHeaderInSection(ui::TableView*, int section) {
    if (section != 0 || !request_) return {};
    return request_->authenticationRealm().value_or("");
}

std::string HttpAuthenticationDialog::titleForFooterInSection(ui::TableView* t, int section) {
    if (section != numberOfSectionsInTableView(t) - 1 || !request_) return {};
    auto scheme = request_->authenticationScheme();
    if (scheme && *scheme == "Basic" && request_->urlScheme() != "https") return "Password will be sent in the clear.";
    return "Password will be sent securely.";
}

std::optional<double> HttpAuthenticationDialog::heightForHeaderInSection(ui::TableView*, int section) {
    return section == 0 ? 30.0 : 0.0;
}

std::optional<double> HttpAuthenticationDialog::heightForFooterInSection(ui::TableView* t, int section) {
    return section == numberOfSectionsInTableView(t) - 1 ? 30.0 : 0.0;
}

}  // namespace http
