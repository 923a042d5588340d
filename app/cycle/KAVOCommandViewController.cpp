#include "app/cycle/KAVOCommandViewController.h"

#include <algorithm>
#include <thread>

#include "app/core/Envelope.h"
#include "app/core/GetSid.h"
#include "app/core/StoreKeys.h"
#include "app/core/rsaUtil.h"
#include "app/cycle/Constants.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/App.h"
#include "platform/foundation/Background.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"

KAVOCommandViewController::KAVOCommandViewController() = default;

KAVOCommandViewController::~KAVOCommandViewController() {
    // Requests still out must not call back into a screen that is gone.
    std::vector<http::HttpRequestRef> out;
    {
        std::lock_guard<std::mutex> lock(requestsMutex_);
        out.swap(requests_);
    }
    for (auto& r : out) r->clearDelegatesAndCancel();
}

void KAVOCommandViewController::registerCommand(ScreenCommand command) {
    auto s = std::make_unique<CommandState>();
    int tag = command.tag;
    s->command = std::move(command);
    std::lock_guard<std::mutex> lock(commandsMutex_);
    commands_[tag] = std::move(s);
}

KAVOCommandViewController::CommandState* KAVOCommandViewController::state(int tag) const {
    std::lock_guard<std::mutex> lock(commandsMutex_);
    auto it = commands_.find(tag);
    return it == commands_.end() ? nullptr : it->second.get();
}

const ScreenCommand* KAVOCommandViewController::command(int tag) const {
    CommandState* s = state(tag);
    return s ? &s->command : nullptr;
}

std::shared_ptr<ProgressHUD> KAVOCommandViewController::hud() const { return lastHud_; }

std::shared_ptr<ProgressHUD> KAVOCommandViewController::hud(int tag) const {
    CommandState* s = state(tag);
    return s ? s->hud : nullptr;
}

bool KAVOCommandViewController::isWaitingForResponse(int tag) const {
    CommandState* s = state(tag);
    return s && s->waiting.load() == 1;
}

void KAVOCommandViewController::setBarButtonsEnabled(bool enabled) {
    ui::NavigationItem* item = commandHost()->navigationItem();
    if (auto* right = item->rightBarButtonItem()) right->setEnabled(enabled);
    if (auto* left = item->leftBarButtonItem()) left->setEnabled(enabled);
}

// ---------------------------------------------------------------- 1. the overlay starter

bool KAVOCommandViewController::popOutProgressHUD(int tag, const foundation::Value& argument) {
    CommandState* s = state(tag);
    if (!s || s->hud || !s->command.showsOverlay) return false;
    setBarButtonsEnabled(false);
    ui::ViewController* host = commandHost();
    ui::NavigationController* nav = host->navigationController();
    ui::View* covered = nav ? nav->view() : host->view();
    auto overlay = ProgressHUD::initWithView(covered);
    s->hud = overlay;
    lastHud_ = overlay;
    ui::View* parentView = host->view()->superview() ? host->view()->superview() : host->view();
    parentView->addSubview(overlay);
    overlay->setDimBackground(true);
    overlay->setDelegate(this);
    overlay->setLabelText(s->command.waitingText);
    // The task keeps the screen until the overlay's clean-up.
    auto self = std::static_pointer_cast<KAVOCommandViewController>(shared_from_this());
    overlay->showWhileExecuting([self, tag, argument] { self->selectorForProgressHUD(tag, argument); }, true);
    return true;
}

// ---------------------------------------------------------------- 2. the overlay worker

void KAVOCommandViewController::selectorForProgressHUD(int tag, const foundation::Value& argument) {
    CommandState* s = state(tag);
    if (!s) return;
    foundation::compareAndSwap(s->waiting, 0, 1);
    auto self = std::static_pointer_cast<KAVOCommandViewController>(shared_from_this());
    auto command =
        foundation::BackgroundTask::run("command", [self, tag, argument] { self->threadFunc(tag, argument); });
    s->condition.lock();
    while (s->waiting.load() == 1) s->condition.waitFor(s->command.waitSlice);
    s->condition.unlock();
    command->wait();
}

// ---------------------------------------------------------------- 3. the command thread

void KAVOCommandViewController::threadFunc(int tag, const foundation::Value& argument) {
    CommandState* s = state(tag);
    if (!s) return;
    const ScreenCommand& cmd = s->command;
    Answer answer;
    if (cmd.handshake) {
        GetSid getSid;
        answer = getSid.getSid(cmd.handshakeMode);
        const std::string result = answer.answer.value_or(AnswerNetworkError);
        if (result == AnswerNetworkError) {
            notifyProgressHUDToDisappear(tag);
            reportFailure(cmd.handshakeFailure);
            finished(cmd);
            runAfterFailure(tag);
            return;
        }
        if (result == AnswerRemoteLogout) {
            notifyProgressHUDToDisappear(tag);
            auto self = std::static_pointer_cast<KAVOCommandViewController>(shared_from_this());
            foundation::performOnMainThread(
                [self] { Constants::cleanUpAppForRemoteLogOut(kRemoteLogOutAlertTag, self.get()); });
            finished(cmd);
            runAfterFailure(tag);
            return;
        }
    } else {
        answer.uuid = Constants::getValueFromDBByKey(StoreKeys::uuid);
    }

    std::optional<std::string> url = cmd.assembleURL ? cmd.assembleURL(answer, argument) : std::nullopt;
    if (!url) {
        // The payload could not be enciphered: nothing is sent.
        foundation::log("command ", tag, ": the request address cannot be built");
        notifyProgressHUDToDisappear(tag);
        reportFailure(cmd.handshakeFailure);
        finished(cmd);
        runAfterFailure(tag);
        return;
    }
    auto request = http::HttpRequest::requestWithURL(*url);
    request->setTag(tag);
    request->setTimeOutSeconds(cmd.timeOutSeconds);
    request->setDelegate(this);
    request->setAllowCompressedResponse(true);
    // A command is never sent twice: its handshake answer is good for one
    // request, and a server that read it may have acted on it. On a fresh
    // connection the HTTP client does not resend after a drop.
    request->setShouldAttemptPersistentConnection(false);
    // The reply limit holds while the body arrives and while it is inflated:
    // a bomb or an endless reply fails the request at the limit.
    request->setMaxResponseBodySize(kMaxReplyBytes);
    track(request);
    request->startAsynchronous();
    armDeadline(request, cmd.timeOutSeconds);
}

void KAVOCommandViewController::armDeadline(const http::HttpRequestRef& request, double seconds) {
    // The request's time-out counts only silence: a server that trickles its
    // reply a byte at a time would keep the command waiting for as long as it
    // likes. Past its time-out and a margin the command gives up, as after a
    // time-out of the request.
    std::weak_ptr<http::HttpRequest> weak = request;
    const int tag = request->tag();
    foundation::performOnMainThread([weak, seconds, tag] {
        foundation::RunLoop::main().performAfter(seconds + kCommandDeadlineMargin, [weak, tag] {
            auto late = weak.lock();
            if (!late || late->complete()) return;
            foundation::log("command ", tag, ": no whole reply within its time-out; the request is cancelled");
            late->cancel();
        });
    });
}

void KAVOCommandViewController::track(const http::HttpRequestRef& request) {
    std::lock_guard<std::mutex> lock(requestsMutex_);
    requests_.push_back(request);
}

void KAVOCommandViewController::finished(const ScreenCommand& command) {
    if (!command.onFinished) return;
    auto self = std::static_pointer_cast<KAVOCommandViewController>(shared_from_this());
    const int tag = command.tag;
    foundation::performOnMainThread([self, tag] {
        if (const ScreenCommand* c = self->command(tag); c && c->onFinished) c->onFinished();
    });
}

void KAVOCommandViewController::forget(http::HttpRequest& request) {
    std::lock_guard<std::mutex> lock(requestsMutex_);
    requests_.erase(std::remove_if(requests_.begin(), requests_.end(),
                                   [&](const http::HttpRequestRef& r) { return r.get() == &request; }),
                    requests_.end());
}

// ---------------------------------------------------------------- ending

void KAVOCommandViewController::notifyProgressHUDToDisappear(int tag) {
    auto self = std::static_pointer_cast<KAVOCommandViewController>(shared_from_this());
    foundation::performOnMainThread([self] { self->setBarButtonsEnabled(true); });
    CommandState* s = state(tag);
    if (!s) return;
    s->condition.lock();
    foundation::compareAndSwap(s->waiting, 1, 0);
    s->condition.signal();
    s->condition.unlock();
}

void KAVOCommandViewController::hudWasHidden(ProgressHUD* hidden) {
    setBarButtonsEnabled(true);
    hidden->removeFromSuperview();
    std::lock_guard<std::mutex> lock(commandsMutex_);
    for (auto& [tag, s] : commands_)
        if (s->hud.get() == hidden) s->hud.reset();
    if (lastHud_.get() == hidden) lastHud_.reset();
}

void KAVOCommandViewController::reportFailure(const FailureReport& report) {
    if (report.kind == FailureReport::Silent) return;
    auto self = std::static_pointer_cast<KAVOCommandViewController>(shared_from_this());
    foundation::performOnMainThread([self, report] {
        if (report.kind == FailureReport::Notice) {
            DnNotificationManager::notificationWithMessageForAlert(report.message, ui::Image::named(kNoticeImageName),
                                                                   self->commandHost()->view());
        } else if (report.tag != 0) {
            Constants::normalAlertViewWithTitle(report.title, report.message, report.tag, self.get());
        } else {
            Constants::simpleAlertViewWithTitle(report.title, report.message);
        }
        if (report.then) report.then();
    });
}

// ---------------------------------------------------------------- 4. replies

void KAVOCommandViewController::requestFinished(http::HttpRequest& request) {
    forget(request);
    CommandState* s = state(request.tag());
    if (!s) {
        requestFinishedForOtherTag(request);
        return;
    }
    const ScreenCommand& cmd = s->command;
    const int tag = cmd.tag;
    auto self = std::static_pointer_cast<KAVOCommandViewController>(shared_from_this());
    auto requestRef = request.shared_from_this();
    // Deciphering takes a private-key operation per block: it runs off the
    // main thread, and the overlay stays until the reply has been handled.
    auto body = std::make_shared<std::string>(request.responseString().value_or(""));
    auto opened = std::make_shared<OpenedReply>();
    const bool requestError = request.error() != nullptr;
    foundation::BackgroundTask::run(
        "reply",
        [self, tag, body, opened, requestError] {
            if (const ScreenCommand* c = self->command(tag)) *opened = openReply(*c, *body, requestError);
        },
        [self, tag, requestRef, opened] {
            CommandState* state = self->state(tag);
            if (!state) return;
            const ScreenCommand& c = state->command;
            if (c.showsOverlay) self->notifyProgressHUDToDisappear(tag);
            self->handleReply(c, *requestRef, *opened);
            self->finished(c);
        });
}

KAVOCommandViewController::OpenedReply KAVOCommandViewController::openReply(const ScreenCommand& cmd,
                                                                            const std::string& body,
                                                                            bool requestError) {
    OpenedReply out;
    std::optional<std::string> content = Constants::testIfReceivedContentIsValid(body);
    if (!content || (cmd.emptyContentIsInvalid && content->empty())) return out;
    if (cmd.stopOnRequestError && requestError) {
        out.stopSilently = true;
        return out;
    }
    std::optional<std::string> text = rsaUtil::RSA_decrypt(*content);
    if (!text) return out;
    out.valid = true;
    out.text = std::move(*text);
    return out;
}

void KAVOCommandViewController::handleReply(const ScreenCommand& cmd, http::HttpRequest& request,
                                            const OpenedReply& opened) {
    if (opened.stopSilently) return;
    if (!opened.valid) {
        reportInvalidReply(cmd);
        return;
    }
    if (cmd.testsRemoteLogOut)
        Constants::testIfRemoteLogOutWhenRequestFinished(opened.text, kRemoteLogOutAlertTag, this);
    CommandReply reply;
    reply.request = &request;
    reply.text = opened.text;
    if (!cmd.plainTextReply) reply.json = ReplyEnvelope::json(opened.text);
    if (cmd.onReply) cmd.onReply(reply);
}

void KAVOCommandViewController::requestFailed(http::HttpRequest& request) {
    forget(request);
    CommandState* s = state(request.tag());
    if (!s) {
        requestFailedForOtherTag(request);
        return;
    }
    if (s->command.showsOverlay) notifyProgressHUDToDisappear(s->command.tag);
    if (http::HttpErrorRef error = request.error(); error && error->code == http::kResponseTooLargeErrorType) {
        // The body went past kMaxReplyBytes: the server answered, but nothing
        // a command takes; it is refused as not a reply, before any deciphering.
        foundation::log("command ", s->command.tag, ": ", error->message);
        reportInvalidReply(s->command);
        finished(s->command);
        return;
    }
    if (s->command.onFailure)
        s->command.onFailure(request);
    else
        reportFailure(s->command.requestFailure);
    finished(s->command);
    if (s->command.afterFailure) s->command.afterFailure();
}

void KAVOCommandViewController::reportInvalidReply(const ScreenCommand& cmd) {
    if (cmd.onInvalidReply)
        cmd.onInvalidReply();
    else
        reportFailure(cmd.invalidReply);
    if (cmd.afterFailure) cmd.afterFailure();
}

void KAVOCommandViewController::runAfterFailure(int tag) {
    CommandState* s = state(tag);
    if (!s || !s->command.afterFailure) return;
    auto self = std::static_pointer_cast<KAVOCommandViewController>(shared_from_this());
    foundation::performOnMainThread([self, s] { s->command.afterFailure(); });
}

// ---------------------------------------------------------------- alerts and disappearance

void KAVOCommandViewController::clickedButtonAtIndex(ui::AlertView* alertView, int buttonIndex) {
    if (alertView->tag() == kRemoteLogOutAlertTag) {
        if (endsAppOnRemoteLogOutAlert()) foundation::exitApp(0);
        return;
    }
    alertClicked(alertView, buttonIndex);
}

void KAVOCommandViewController::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
}
