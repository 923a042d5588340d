#include "platform/ui/MessageCompose.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/ui/Screen.h"

namespace ui {

namespace {

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) out += (i ? separator : "") + items[i];
    return out;
}

std::string parentFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Appends one line; false when the outbox cannot be written.
bool appendToOutbox(const std::string& recipients, const std::string& body) {
    const std::string path = MessageComposeViewController::outboxPath();
    const std::string folder = parentFolder(path);
    if (!folder.empty() && !foundation::isDirectory(folder) && !foundation::createDirectories(folder)) return false;
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file) return false;
    // A line per message: tabs and line ends inside the body are kept apart
    // from the separators.
    std::string line = recipients + "\t";
    for (char c : body) line += (c == '\n' || c == '\t') ? ' ' : c;
    line += "\n";
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

std::string MessageComposeViewController::outboxPath() {
    if (const char* configured = std::getenv("QUENTA_SMS_OUTBOX"); configured && *configured) return configured;
    return foundation::joinPath(foundation::homeDir(), "Library/Outbox/messages.txt");
}

void MessageComposeViewController::setBody(const std::string& body) {
    body_ = body;
    refresh();
}

void MessageComposeViewController::setRecipients(const std::vector<std::string>& recipients) {
    recipients_ = recipients;
    refresh();
}

void MessageComposeViewController::refresh() {
    if (to_) to_->setText("收件人：" + joined(recipients_, "，"));
    if (text_) {
        text_->setText(body_);
        // The bubble holds the whole message, however many lines it takes.
        const double lines = std::max(18.0, std::ceil(text_->sizeThatFits({200, 0}).height));
        text_->setFrame({10, 6, 200, lines});
        if (View* bubble = text_->superview()) {
            Rect f = bubble->frame();
            bubble->setFrame({f.x(), f.y(), f.width(), lines + 12});
        }
    }
}

void MessageComposeViewController::loadView() {
    const Rect bounds = Screen::main().bounds();
    auto root = View::create(bounds);
    root->setBackgroundColor(Color::white(0.94));

    auto bar = View::create({0, 0, bounds.width(), 44});
    bar->setBackgroundColor(Color::white(0.82));
    root->addSubview(bar);
    auto title = std::make_shared<Label>(Rect{80, 0, bounds.width() - 160, 44});
    title->setText("新信息");
    title->setFont(Font::boldSystemFont(17));
    title->setTextAlignment(TextAlignment::Center);
    title->setBackgroundColor(Color::clearColor());
    bar->addSubview(title);

    cancel_ = std::make_shared<Button>(Rect{6, 7, 60, 30}, ButtonType::RoundedRect);
    cancel_->setTitle("取消");
    cancel_->addTarget(
        this, [this](Control*, const Event*) { cancel(); }, kControlEventTouchUpInside);
    bar->addSubview(cancel_);
    send_ = std::make_shared<Button>(Rect{bounds.width() - 66, 7, 60, 30}, ButtonType::RoundedRect);
    send_->setTitle("发送");
    send_->addTarget(
        this, [this](Control*, const Event*) { send(); }, kControlEventTouchUpInside);
    bar->addSubview(send_);

    to_ = std::make_shared<Label>(Rect{12, 52, bounds.width() - 24, 28});
    to_->setFont(Font::systemFont(15));
    to_->setBackgroundColor(Color::clearColor());
    root->addSubview(to_);
    auto rule = View::create({0, 84, bounds.width(), 1});
    rule->setBackgroundColor(Color::white(0.75));
    root->addSubview(rule);

    // The message as a bubble on the right.
    auto bubble = View::create({bounds.width() - 232, 100, 220, 64});
    bubble->setBackgroundColor(Color::rgba(0.30, 0.62, 0.25));
    root->addSubview(bubble);
    text_ = std::make_shared<Label>(Rect{10, 6, 200, 52});
    text_->setNumberOfLines(0);
    text_->setLineBreakMode(LineBreakMode::CharacterWrap);
    text_->setFont(Font::systemFont(15));
    text_->setTextColor(Color::whiteColor());
    text_->setBackgroundColor(Color::clearColor());
    bubble->addSubview(text_);
    setView(root);
    refresh();
}

void MessageComposeViewController::send() {
    if (finished_) return;
    const bool written = appendToOutbox(joined(recipients_, ","), body_);
    if (!written) foundation::log("message composer: the outbox ", outboxPath(), " cannot be written");
    finish(written ? MessageComposeResult::Sent : MessageComposeResult::Failed);
}

void MessageComposeViewController::cancel() {
    if (finished_) return;
    finish(MessageComposeResult::Cancelled);
}

void MessageComposeViewController::finish(MessageComposeResult result) {
    finished_ = true;
    if (auto* delegate = delegate_.get()) {
        delegate->messageComposeDidFinish(this, result);
    } else {
        dismissViewControllerAnimated(true);
    }
}

}  // namespace ui
