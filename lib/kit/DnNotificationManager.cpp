#include "lib/kit/DnNotificationManager.h"

#include <algorithm>

#include "platform/foundation/Resetters.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace {

std::mutex& lastTextMutex() {
    static std::mutex m;
    return m;
}
std::string& lastText() {
    static std::string text;
    return text;
}
void setLastText(const std::string& t) {
    std::lock_guard<std::mutex> lock(lastTextMutex());
    lastText() = t;
}

}  // namespace

DnNotificationManager& DnNotificationManager::sharedManager() {
    static DnNotificationManager* manager = new DnNotificationManager();  // lives for the whole process
    static const bool registered = (foundation::registerResetter("kit.notices", foundation::ResetPhase::Presentation,
                                                                 [] {
                                                                     manager->cleanUpNotificationQueue();
                                                                     setLastText("");
                                                                 }),
                                    true);
    (void)registered;
    return *manager;
}

std::string DnNotificationManager::lastAlertText() {
    std::lock_guard<std::mutex> lock(lastTextMutex());
    return lastText();
}

void DnNotificationManager::notificationWithMessageForAlert(const std::optional<std::string>& message,
                                                            ui::ImageRef image, ui::View* parentView) {
    if (!message || message->empty()) return;
    {
        std::lock_guard<std::mutex> lock(lastTextMutex());
        if (*message == lastText()) return;
        lastText() = *message;
    }
    std::weak_ptr<ui::View> parent = parentView ? parentView->weak_from_this() : std::weak_ptr<ui::View>();
    bool hadParent = parentView != nullptr;
    foundation::performOnMainThread([message, image, parent, hadParent] {
        auto p = parent.lock();
        if (hadParent && !p) {
            // The screen went away meanwhile: the text was never shown.
            std::lock_guard<std::mutex> lock(lastTextMutex());
            if (lastText() == *message) lastText() = "";
            return;
        }
        sharedManager().addNotificationViewWithMessageForAlert(message, image, p.get());
    });
}

void DnNotificationManager::notificationWithMessageForAD(const std::optional<std::string>& message,
                                                         ui::ImageRef image) {
    if (message && message->empty()) return;
    if (!message && !image) return;
    foundation::performOnMainThread(
        [message, image] { sharedManager().addNotificationWithMessageForAD(message, image); });
}

// ---------------------------------------------------------------- building

void DnNotificationManager::addNotificationViewWithMessageForAlert(const std::optional<std::string>& message,
                                                                   ui::ImageRef image, ui::View* parentView) {
    auto strip = ui::View::create({0, -kAlertHeight, 320, kAlertHeight});
    strip->setBackgroundColor(ui::Color::clearColor());
    ui::Rect inside{0, 0, strip->frame().width(), strip->frame().height()};
    auto picture = std::make_shared<ui::ImageView>(inside);
    picture->setImage(image);
    picture->setAlpha(0.8);
    strip->addSubview(picture);
    if (message) {
        auto label = ui::Label::create(inside);
        label->setFont(ui::Font::systemFont(14));
        label->setTextAlignment(ui::TextAlignment::Center);
        label->setTextColor(ui::Color::rgba(255 / 255.0, 144 / 255.0, 105 / 255.0, 1));
        label->setBackgroundColor(ui::Color::clearColor());
        label->setText(*message);
        strip->addSubview(label);
    }
    if (parentView && parentView->superview()) parentView->superview()->insertSubviewAbove(strip, parentView);
    add(alert_, strip);
}

void DnNotificationManager::addNotificationWithMessageForAD(const std::optional<std::string>& message,
                                                            ui::ImageRef image) {
    ui::Rect screen = ui::Screen::main().bounds();
    double S = ui::Application::shared().statusBarFrame().height();
    double height = screen.height() / 16;
    auto banner = std::make_shared<ui::Button>(ui::Rect{0, S - height, screen.width(), height});
    banner->setBackgroundColor(ui::Color::clearColor());
    banner->addTarget(
        this, [](ui::Control*, const ui::Event*) { sharedManager().selectorForNotificationPushedForAD(); },
        ui::kControlEventTouchUpInside);
    ui::Rect inside{0, 0, banner->frame().width(), banner->frame().height()};
    auto picture = std::make_shared<ui::ImageView>(inside);
    picture->setImage(image);
    picture->setUserInteractionEnabled(false);
    banner->addSubview(picture);
    if (message) {
        auto label = ui::Label::create({10, 5, 300, inside.height()});
        label->setFont(ui::Font::systemFont(15));
        label->setTextAlignment(ui::TextAlignment::Center);
        label->setTextColor(ui::Color::whiteColor());
        label->setBackgroundColor(ui::Color::clearColor());
        label->setUserInteractionEnabled(false);
        label->setText(*message);
        banner->addSubview(label);
    }
    ui::ApplicationDelegate* delegate = ui::Application::shared().delegate();
    if (ui::Window* window = delegate ? delegate->window() : nullptr) window->addSubview(banner);
    add(ad_, banner);
}

void DnNotificationManager::add(Kind& kind, std::shared_ptr<ui::View> view) {
    bool show;
    {
        std::lock_guard<std::recursive_mutex> lock(kind.lock);
        kind.queue.push_back({view, false});
        show = !kind.showing;
    }
    if (show) showNotificationView(kind, view);
}

// ---------------------------------------------------------------- showing and hiding

ui::Rect DnNotificationManager::shownFrame(const Kind& kind, const ui::Rect& frame) {
    ui::Rect f = frame;
    f.origin.y = kind.alert ? kAlertShownY : ui::Application::shared().statusBarFrame().height();
    return f;
}

ui::Rect DnNotificationManager::hiddenFrame(const Kind& kind, const ui::Rect& frame) {
    ui::Rect f = frame;
    f.origin.y -= frame.height() + (kind.alert ? kAlertShownY : 0);
    return f;
}

void DnNotificationManager::showNotificationView(Kind& kind, const std::shared_ptr<ui::View>& view) {
    {
        std::lock_guard<std::recursive_mutex> lock(kind.lock);
        kind.showing = true;
    }
    std::weak_ptr<ui::View> weak = view;
    Kind* k = &kind;
    ui::View::animate(
        kSlideSeconds, [&] { view->setFrame(shownFrame(kind, view->frame())); },
        [this, k, weak](bool) { showNotificationAnimationComplete(*k, weak); });
}

void DnNotificationManager::showNotificationAnimationComplete(Kind& kind, const std::weak_ptr<ui::View>& view) {
    std::lock_guard<std::recursive_mutex> lock(kind.lock);
    auto v = view.lock();
    // Only the notice still first in line, and not already leaving, waits for its hide.
    if (!v || kind.queue.empty() || kind.queue.front().view != v || kind.queue.front().hiding) return;
    if (kind.pendingHide) kind.pendingHide->invalidate();
    Kind* k = &kind;
    std::weak_ptr<ui::View> weak = view;
    kind.pendingHide = foundation::RunLoop::current().performAfter(kind.stay, [this, k, weak] {
        std::lock_guard<std::recursive_mutex> lock(k->lock);
        auto v = weak.lock();
        if (!v || k->queue.empty() || k->queue.front().view != v) return;
        k->pendingHide.reset();
        hideCurrentNotification(*k);
    });
}

void DnNotificationManager::hideCurrentNotificationForAlert() { hideCurrentNotification(alert_); }
void DnNotificationManager::hideCurrentNotificationForAD() { hideCurrentNotification(ad_); }

void DnNotificationManager::hideCurrentNotification(Kind& kind) {
    std::lock_guard<std::recursive_mutex> lock(kind.lock);
    if (kind.queue.empty() || kind.queue.front().hiding) return;
    kind.queue.front().hiding = true;
    std::shared_ptr<ui::View> view = kind.queue.front().view;
    std::weak_ptr<ui::View> weak = view;
    Kind* k = &kind;
    ui::View::animate(
        kSlideSeconds, [&] { view->setFrame(hiddenFrame(kind, view->frame())); },
        [this, k, weak](bool) { hideNotificationAnimationComplete(*k, weak); });
}

void DnNotificationManager::hideNotificationAnimationComplete(Kind& kind, const std::weak_ptr<ui::View>& view) {
    std::shared_ptr<ui::View> next;
    {
        std::lock_guard<std::recursive_mutex> lock(kind.lock);
        auto v = view.lock();
        // A notice cleaned away meanwhile leaves the queue (and a newer notice) alone.
        if (!v || kind.queue.empty() || kind.queue.front().view != v) return;
        v->removeFromSuperview();
        kind.queue.erase(kind.queue.begin());
        kind.showing = false;
        if (!kind.queue.empty()) next = kind.queue.front().view;
        if (kind.alert) setLastText("");
    }
    if (next) showNotificationView(kind, next);
}

void DnNotificationManager::selectorForNotificationPushedForAD() {
    std::lock_guard<std::recursive_mutex> lock(ad_.lock);
    if (!ad_.showing) return;
    if (ad_.pendingHide) {
        ad_.pendingHide->invalidate();
        ad_.pendingHide.reset();
    }
    hideCurrentNotification(ad_);
}

// ---------------------------------------------------------------- clean-up

void DnNotificationManager::cleanUp(Kind& kind) {
    std::vector<Entry> gone;
    {
        std::lock_guard<std::recursive_mutex> lock(kind.lock);
        if (kind.pendingHide) {
            kind.pendingHide->invalidate();
            kind.pendingHide.reset();
        }
        gone.swap(kind.queue);
        kind.showing = false;
    }
    for (auto& e : gone) e.view->removeFromSuperview();
}

void DnNotificationManager::cleanUpNotificationQueueForAlert() {
    cleanUp(alert_);
    setLastText("");
}

void DnNotificationManager::cleanUpNotificationQueueForAD() { cleanUp(ad_); }

void DnNotificationManager::cleanUpNotificationQueue() {
    cleanUp(ad_);
    cleanUp(alert_);
}

// ---------------------------------------------------------------- inspection

std::vector<std::shared_ptr<ui::View>> DnNotificationManager::notificationQueueForAlert() const {
    std::lock_guard<std::recursive_mutex> lock(alert_.lock);
    std::vector<std::shared_ptr<ui::View>> out;
    for (auto& e : alert_.queue) out.push_back(e.view);
    return out;
}

std::vector<std::shared_ptr<ui::View>> DnNotificationManager::notificationQueueForAD() const {
    std::lock_guard<std::recursive_mutex> lock(ad_.lock);
    std::vector<std::shared_ptr<ui::View>> out;
    for (auto& e : ad_.queue) out.push_back(e.view);
    return out;
}

bool DnNotificationManager::showingNotificationForAlert() const {
    std::lock_guard<std::recursive_mutex> lock(alert_.lock);
    return alert_.showing;
}

bool DnNotificationManager::showingNotificationForAD() const {
    std::lock_guard<std::recursive_mutex> lock(ad_.lock);
    return ad_.showing;
}
