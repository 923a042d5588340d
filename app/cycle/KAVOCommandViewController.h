#pragma once
// The way every screen talks to the security server, written once.
//
// A screen derives from KAVOCommandViewController and registers each of its
// commands (a ScreenCommand: tag, waiting caption, wait slice, whether the
// handshake runs, time-out, the URL builder and the reply handler). Then:
//
//  1. popOutProgressHUD(tag, argument) (main thread) disables the navigation
//     item's bar buttons, puts the waiting overlay over the navigation
//     controller's view and runs selectorForProgressHUD on the overlay's
//     thread;
//  2. selectorForProgressHUD sets the command's waiting flag, starts
//     threadFunc on a new thread and waits on the command's condition, a
//     wait slice at a time, until the flag is cleared;
//  3. threadFunc runs the handshake when the command needs it (answer "10":
//     the network message; "11": the remote log-out clean-up with alert tag
//     0xffff), builds the URL and starts the request (tag, time-out,
//     compressed replies allowed) with the screen as its delegate;
//  4. the request refuses a body over kMaxReplyBytes as it arrives (the
//     failure counts as a reply that is not the wrapper), and gives up past
//     the command's time-out and kCommandDeadlineMargin even while bytes
//     still trickle in (as a time-out); requestFinished (main thread)
//     checks the reply wrapper and deciphers the content on a background
//     task ("reply"); back on the main thread it ends the overlay, runs the
//     remote log-out test, parses JSON (not for plain-text replies) and hands
//     the reply to the command's handler; requestFailed ends the overlay and
//     shows the network notice;
//  5. hudWasHidden enables the bar buttons again and drops the overlay.
//
// Every way a command can end (handshake failure or log-out, a URL that
// cannot be built, transport failure or time-out, a reply that is not the
// wrapper, that does not decipher or is not JSON) ends its overlay. Each
// command has its own flag and condition, so a reply ends only its own
// overlay. An alert with tag 0xffff ends the app when it is dismissed.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/core/Models.h"
#include "app/core/Replies.h"
#include "lib/http/HttpRequest.h"
#include "lib/kit/ProgressHUD.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Value.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ViewController.h"

// The largest reply body a command takes, in bytes. The largest real reply
// (a page of the security log) is a few kilobytes; anything past this is
// refused as not a reply, before any deciphering.
inline constexpr size_t kMaxReplyBytes = 256 * 1024;
// How long past its time-out a command still waits for the end of a reply
// that keeps coming, in seconds.
inline constexpr double kCommandDeadlineMargin = 1.0;

// The texts the cycle shows.
inline constexpr const char* kNetworkUnstableMessage = "您的网络不稳定，请稍后再试";
inline constexpr const char* kNoticeImageName = "quickAlertB";

// How a screen tells the user that the network failed.
struct FailureReport {
    // Silent: nothing is shown (background polls and look-ups).
    enum Kind { Notice, Alert, Silent };
    Kind kind = Alert;
    std::string title = "警告";  // of the alert
    std::string message = kNetworkUnstableMessage;
    // An alert with a tag other than 0 goes to the screen's alertClicked when
    // dismissed (0: the simple alert, no action).
    int tag = 0;
    // Runs on the main thread after the report is shown (such as a table
    // reload that puts the switches back).
    std::function<void()> then;

    static FailureReport notice(std::function<void()> then = {}) {
        return {Notice, "", kNetworkUnstableMessage, 0, std::move(then)};
    }
    static FailureReport alert(const std::string& title, int tag = 0) {
        return {Alert, title, kNetworkUnstableMessage, tag, {}};
    }
    static FailureReport alert(const std::string& title, const std::string& message, int tag) {
        return {Alert, title, message, tag, {}};
    }
    static FailureReport silent() { return {Silent, "", "", 0, {}}; }
};

// A reply that passed the checks.
struct CommandReply {
    http::HttpRequest* request = nullptr;
    // The deciphered reply text.
    std::string text;
    // The text parsed as JSON; nullopt for a plain-text command or when the
    // text is not JSON.
    std::optional<foundation::Value> json;

    // The reply read into a typed struct (see app/core/Replies.h): nullopt,
    // with the problem in *error, when there is no JSON or a member is
    // missing or mistyped.
    template <class T>
    std::optional<T> as(foundation::ErrorRef* error = nullptr) const {
        if (!json) {
            if (error) *error = foundation::Error::make(kReplyErrorDomain, kReplyNotJson, "the reply is not JSON");
            return std::nullopt;
        }
        return T::fromValue(*json, error);
    }
};

struct ScreenCommand {
    int tag = 0;
    // Caption of the overlay, such as "正在进行绑定操作...".
    std::string waitingText;
    // How often the waiting overlay looks at the flag, in seconds.
    double waitSlice = 15;
    bool handshake = true;
    // The handshake's mode: "1" for a bound phone, "0" for a first binding
    // (the device identifier and a new uuid instead of the stored uuid).
    std::string handshakeMode = "1";
    // Polls and look-ups run without the overlay: the screen calls threadFunc
    // from its own thread and the reply does not touch the waiting flag.
    bool showsOverlay = true;
    double timeOutSeconds = 9;
    // The reply is bare text, not JSON (commands 17, 20, 26).
    bool plainTextReply = false;
    // An empty "content" counts as a reply that is not the wrapper.
    bool emptyContentIsInvalid = false;
    // A request error ends the handling silently after the wrapper test.
    bool stopOnRequestError = false;
    // The reply's "result" 201 wipes the app (the remote log-out); a few
    // background replies are not looked at for it, nor the binding screen's
    // (201 answers something else there and no store exists yet).
    bool testsRemoteLogOut = true;
    // Handshake answer "10" (and a URL that cannot be built).
    FailureReport handshakeFailure = FailureReport::alert("警告");
    // A body that is not the reply wrapper, or content that does not decipher.
    FailureReport invalidReply = FailureReport::alert("警告");
    // Transport failure or time-out, unless onFailure is set.
    FailureReport requestFailure = FailureReport::notice();

    // The URL builder (any thread): the payload, enciphered, after the server
    // address; nullopt when it cannot be built. The Answer is the handshake's
    // (or, without a handshake, carries the stored uuid).
    std::function<std::optional<std::string>(const Answer& answer, const foundation::Value& argument)> assembleURL;
    // The reply handler (main thread), after the overlay has been told to end.
    std::function<void(const CommandReply& reply)> onReply;
    // Replaces the request-failure report (main thread).
    std::function<void(http::HttpRequest& request)> onFailure;
    // Runs on the main thread once the command has ended, whichever way (after
    // the reply handler or the failure report was started).
    std::function<void()> onFinished;
    // Replaces the invalid-reply report (main thread).
    std::function<void()> onInvalidReply;
    // Runs on the main thread after any failure of the command has been told
    // (handshake "10" or "11", an address that cannot be built, a reply that
    // is not the wrapper or does not decipher, a transport failure), for
    // screens that undo what they showed before the command was sent.
    std::function<void()> afterFailure;
    // A command the user does not wait on (a poll, a badge, the account data,
    // the advert): no handshake, no overlay, and a failed request or a reply
    // that is not the wrapper ends it without a word.
    static ScreenCommand unattended(int tag) {
        ScreenCommand command;
        command.tag = tag;
        command.handshake = false;
        command.showsOverlay = false;
        command.invalidReply = FailureReport::silent();
        command.requestFailure = FailureReport::silent();
        return command;
    }
    // A step of a binding road (a look-up or the binding itself): nothing is
    // bound yet, so a handshake is a first binding's and the remote log-out
    // is not looked for (201 answers something else there); a failed
    // handshake or an unreadable reply shows the network notice.
    static ScreenCommand bindingStep(int tag, std::string waitingText) {
        ScreenCommand command;
        command.tag = tag;
        command.waitingText = std::move(waitingText);
        // Moved in: g++ 12 at -O2 warns falsely (-Wrestrict) on copying the literal.
        command.handshakeMode = std::string("0");
        command.testsRemoteLogOut = false;
        command.handshakeFailure = FailureReport::notice();
        command.invalidReply = FailureReport::notice();
        return command;
    }
};

class KAVOCommandViewController : public ui::ViewController,
                                  public ProgressHUDDelegate,
                                  public http::HttpRequestDelegate,
                                  public ui::AlertViewDelegate {
public:
    static constexpr int kRemoteLogOutAlertTag = 0xFFFF;

    KAVOCommandViewController();
    ~KAVOCommandViewController() override;
    const char* className() const override { return "KAVOCommandViewController"; }

    // Adds a command; its tag identifies it from then on.
    void registerCommand(ScreenCommand command);
    const ScreenCommand* command(int tag) const;

    // --- the cycle (see the top of this file) ---
    // Main thread. False (and nothing happens) for an unknown tag or while the
    // command is still under way.
    bool popOutProgressHUD(int tag, const foundation::Value& argument = {});
    // The overlay's thread: waits until the command has been handled.
    void selectorForProgressHUD(int tag, const foundation::Value& argument);
    // The command's thread: handshake, URL and request.
    void threadFunc(int tag, const foundation::Value& argument);
    // Any thread: enables the bar buttons, clears the command's flag and
    // signals its condition.
    void notifyProgressHUDToDisappear(int tag);

    // The overlay of the command under way (the last started), or nullptr.
    std::shared_ptr<ProgressHUD> hud() const;
    std::shared_ptr<ProgressHUD> hud(int tag) const;
    // Whether the command's waiting flag is set.
    bool isWaitingForResponse(int tag) const;

    // ProgressHUDDelegate.
    void hudWasHidden(ProgressHUD* hud) override;
    // HttpRequestDelegate: replies of the registered commands go through the
    // checks; other tags go to requestFinishedForOtherTag / requestFailedForOtherTag.
    void requestFinished(http::HttpRequest& request) override;
    void requestFailed(http::HttpRequest& request) override;
    // AlertViewDelegate: tag 0xffff ends the app (unless the screen says it
    // stays open); other tags go to alertClicked.
    void clickedButtonAtIndex(ui::AlertView* alertView, int buttonIndex) override;

    // Cleans up the drop-down notices so they do not follow the user.
    void viewWillDisappear(bool animated) override;

    // Tells the user that the network failed, on the main thread.
    void reportFailure(const FailureReport& report);

protected:
    virtual void requestFinishedForOtherTag(http::HttpRequest& request) { (void)request; }
    virtual void requestFailedForOtherTag(http::HttpRequest& request) { (void)request; }
    virtual void alertClicked(ui::AlertView* alertView, int buttonIndex) {
        (void)alertView;
        (void)buttonIndex;
    }
    // The binding screen stays open after a remote log-out.
    virtual bool endsAppOnRemoteLogOutAlert() const { return true; }
    // The controller whose bar buttons a command turns off, whose navigation
    // controller's view the overlay covers and whose view shows the notices:
    // the screen itself, or the container a tab screen is shown in.
    virtual ui::ViewController* commandHost() { return this; }

private:
    struct CommandState {
        ScreenCommand command;
        std::atomic<int> waiting{0};
        foundation::Condition condition;
        std::shared_ptr<ProgressHUD> hud;  // main thread
    };
    CommandState* state(int tag) const;
    void reportInvalidReply(const ScreenCommand& cmd);
    // Runs the command's afterFailure on the main thread (from any thread).
    void runAfterFailure(int tag);
    void setBarButtonsEnabled(bool enabled);
    void track(const http::HttpRequestRef& request);
    // Cancels the request if it has not ended `seconds` (and the margin) from
    // now, on the app's clock.
    void armDeadline(const http::HttpRequestRef& request, double seconds);
    void forget(http::HttpRequest& request);
    void finished(const ScreenCommand& command);
    // What the background part of a reply's handling found.
    struct OpenedReply {
        bool valid = false;         // the wrapper, and content that deciphers
        bool stopSilently = false;  // a request error the command stops on
        std::string text;           // the deciphered text
    };
    static OpenedReply openReply(const ScreenCommand& command, const std::string& body, bool requestError);
    void handleReply(const ScreenCommand& command, http::HttpRequest& request, const OpenedReply& opened);

    mutable std::mutex commandsMutex_;
    std::map<int, std::unique_ptr<CommandState>> commands_;
    std::shared_ptr<ProgressHUD> lastHud_;
    mutable std::mutex requestsMutex_;
    std::vector<http::HttpRequestRef> requests_;
};
