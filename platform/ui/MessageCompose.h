#pragma once
// The message composer: a sheet that shows a text message, its recipients
// and its body, and lets the user send or cancel it. A desktop has no radio,
// so "sending" appends the message to the outbox file instead: one line per
// message, "<recipients joined by ','>\t<body>", in $QUENTA_SMS_OUTBOX or, by
// default, <home>/Library/Outbox/messages.txt. Nothing leaves the machine.
// The delegate hears the outcome and dismisses the sheet.

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/WeakRef.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"

namespace ui {

enum class MessageComposeResult { Cancelled = 0, Sent = 1, Failed = 2 };

class MessageComposeViewController;

class MessageComposeViewControllerDelegate : public foundation::Referenceable {
public:
    virtual ~MessageComposeViewControllerDelegate() = default;
    virtual void messageComposeDidFinish(MessageComposeViewController* controller, MessageComposeResult result) = 0;
};

class MessageComposeViewController : public ViewController {
public:
    const char* className() const override { return "MessageComposeViewController"; }

    // True: the outbox always takes text.
    static bool canSendText() { return true; }
    // Where sent messages go.
    static std::string outboxPath();

    const std::string& body() const { return body_; }
    void setBody(const std::string& body);
    const std::vector<std::string>& recipients() const { return recipients_; }
    void setRecipients(const std::vector<std::string>& recipients);
    MessageComposeViewControllerDelegate* messageComposeDelegate() const { return delegate_; }
    void setMessageComposeDelegate(MessageComposeViewControllerDelegate* d) { delegate_ = d; }

    // The sheet's two buttons: the message goes to the outbox (Sent, or
    // Failed when the outbox cannot be written), or nothing happens (Cancelled).
    void send();
    void cancel();

    void loadView() override;
    Button* sendButton() const { return send_.get(); }
    Button* cancelButton() const { return cancel_.get(); }

private:
    void finish(MessageComposeResult result);
    void refresh();

    std::string body_;
    std::vector<std::string> recipients_;
    foundation::WeakRef<MessageComposeViewControllerDelegate> delegate_;
    bool finished_ = false;
    std::shared_ptr<Label> to_, text_;
    std::shared_ptr<Button> send_, cancel_;
};

}  // namespace ui
