#include "platform/shell/Driver.h"

#include "platform/foundation/RunLoop.h"
#include "platform/shell/ViewList.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"

namespace shell {

Driver::Driver(ui::Size screen, double scale) : scale_(scale > 0 ? scale : 1) {
    if (!foundation::clock().isManual()) ownClock_ = std::make_unique<foundation::ManualClockScope>();
    ui::Screen::main().setSize(screen);
    ui::Screen::main().setScale(scale_);
    window_ = ui::Window::create({0, 0, screen.width, screen.height});
    window_->setBackgroundColor(ui::Color::whiteColor());
    window_->makeKeyAndVisible();
    settle();
}

Driver::~Driver() {
    settle();
    window_.reset();
    ownClock_.reset();
}

foundation::ManualClock& Driver::clock() { return static_cast<foundation::ManualClock&>(foundation::clock()); }

void Driver::settle() {
    foundation::RunLoop::main().drain();
    window_->layoutIfNeeded();
}

void Driver::sendMemoryWarning() {
    ui::Application::shared().receiveMemoryWarning();
    settle();
}

void Driver::advance(double seconds) {
    if (foundation::clock().isManual()) clock().advance(seconds);
    settle();
}

std::vector<ui::View*> Driver::findAllByText(const std::string& text) const {
    return visibleViews(*window_, [&](ui::View* v) { return v->displayedText() == text; });
}

ui::View* Driver::findByText(const std::string& text) const {
    auto all = findAllByText(text);
    return all.empty() ? nullptr : all.back();
}

ui::View* Driver::findByTag(int tag) const {
    auto all = visibleViews(*window_, [&](ui::View* v) { return v->tag() == tag; });
    return all.empty() ? nullptr : all.back();
}

ui::View* Driver::findByAccessibilityLabel(const std::string& label) const {
    auto all = visibleViews(*window_, [&](ui::View* v) { return v->accessibilityLabel() == label; });
    return all.empty() ? nullptr : all.back();
}

std::vector<std::string> Driver::visibleTexts() const {
    std::vector<std::string> out;
    for (auto* v : visibleViews(*window_, [](ui::View* v) { return !v->displayedText().empty(); }))
        out.push_back(v->displayedText());
    return out;
}

ui::View* Driver::tap(ui::Point p) {
    double t = foundation::clock().monotonic();
    ui::View* hit = window_->sendTouch(ui::TouchPhase::Began, p, t);
    settle();
    if (hit) {
        window_->sendTouch(ui::TouchPhase::Ended, p, foundation::clock().monotonic());
        settle();
    }
    return hit;
}

ui::View* Driver::tap(const ui::View* view) {
    if (!view) return nullptr;
    ui::Rect b = view->bounds();
    return tap(view->convertPointToView(b.center(), nullptr));
}

ui::View* Driver::drag(ui::Point from, ui::Point to, int steps, double stepSeconds) {
    double t = foundation::clock().monotonic();
    ui::View* hit = window_->sendTouch(ui::TouchPhase::Began, from, t);
    settle();
    if (!hit) return nullptr;
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i) {
        advance(stepSeconds);
        double f = double(i) / steps;
        ui::Point p{from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f};
        window_->sendTouch(ui::TouchPhase::Moved, p, foundation::clock().monotonic());
        settle();
    }
    window_->sendTouch(ui::TouchPhase::Ended, to, foundation::clock().monotonic());
    settle();
    return hit;
}

void Driver::type(const std::string& text) {
    window_->sendText(text);
    settle();
}

void Driver::backspace() {
    window_->sendBackspace();
    settle();
}

std::string Driver::tree() const { return window_->describeTree(); }

ui::ImageRef Driver::snapshot() {
    settle();
    return window_->render(scale_);
}

bool Driver::saveSnapshot(const std::string& path) {
    auto img = snapshot();
    return img && img->writePNG(path);
}

}  // namespace shell
