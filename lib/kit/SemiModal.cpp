#include "lib/kit/SemiModal.h"

#include <map>

#include "platform/foundation/Resetters.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// What a presentation added to its target. The views are found through
// this record, never by their place among the target's subviews, so a
// dismissal cannot take views that belong to someone else.
struct Presentation {
    std::weak_ptr<ui::View> overlay;
    std::weak_ptr<ui::View> sheet;
    std::shared_ptr<ui::ViewController> controller;
};

std::map<const ui::View*, Presentation>& presentations() {
    static std::map<const ui::View*, Presentation> map;
    // The records keep their controllers: a reset lets them go.
    static const bool registered =
        (foundation::registerResetter("kit.semiModal", foundation::ResetPhase::Presentation, [] { map.clear(); }),
         true);
    (void)registered;
    return map;
}

// The live record of the target (records of views that went away are dropped).
// Forgets the records of targets whose sheet or overlay went away.
void prune() {
    auto& map = presentations();
    for (auto it = map.begin(); it != map.end();) {
        if (it->second.overlay.expired() || it->second.sheet.expired())
            it = map.erase(it);
        else
            ++it;
    }
}

Presentation* findPresentation(const ui::View* target) {
    auto& map = presentations();
    auto it = map.find(target);
    if (it == map.end()) return nullptr;
    auto overlay = it->second.overlay.lock();
    auto sheet = it->second.sheet.lock();
    if (!overlay || !sheet || overlay->superview() != target || sheet->superview() != target) {
        map.erase(it);
        return nullptr;
    }
    return &it->second;
}

ui::Transform3D perspective() {
    ui::Transform3D t;
    t.m34 = -1.0 / 900;
    return t;
}

void dismissTarget(ui::View* target) {
    if (!target) return;
    Presentation* p = findPresentation(target);
    if (!p) return;
    auto overlay = p->overlay.lock();
    auto sheet = p->sheet.lock();
    auto controller = p->controller;
    presentations().erase(target);

    const double h = target->bounds().height();
    ui::Rect down = sheet->frame();
    down.origin.y = h;
    ui::View::animate(
        semimodal::kDuration, [sheet, down]() { sheet->setFrame(down); },
        [overlay, sheet, controller](bool) {
            overlay->removeFromSuperview();
            sheet->removeFromSuperview();
        });
    if (!overlay->subviews().empty()) {
        auto picture = overlay->subviews().front();
        picture->layer().addAnimation(animationGroupForward(false, h), semimodal::kBringForwardAnimationKey);
        ui::View::animate(semimodal::kDuration, [picture]() { picture->setAlpha(1); });
    }
}

void present(ui::ViewController* presenter, const std::shared_ptr<ui::View>& view,
             std::shared_ptr<ui::ViewController> controller) {
    prune();
    ui::View* target = parentTarget(presenter);
    if (!target || !view) return;
    if (view->superview() == target) return;
    // One sheet at a time over a target.
    if (findPresentation(target)) return;

    const ui::Rect bounds = target->bounds();
    const double w = bounds.width(), h = bounds.height();
    const double sheetHeight = view->frame().height();

    auto overlay = ui::View::create(bounds);
    overlay->setBackgroundColor(ui::Color::blackColor());
    auto picture = std::make_shared<ui::ImageView>(target->snapshot());
    picture->setFrame(bounds);
    overlay->addSubview(picture);
    target->addSubview(overlay);

    auto dismiss = ui::Button::buttonWithType(ui::ButtonType::Custom);
    dismiss->setBackgroundColor(ui::Color::clearColor());
    dismiss->setFrame({0, 0, w, h - sheetHeight});
    std::weak_ptr<ui::View> weakTarget = target->shared_from_this();
    dismiss->addTarget(
        target,
        [weakTarget](ui::Control*, const ui::Event*) {
            if (auto t = weakTarget.lock()) dismissTarget(t.get());
        },
        ui::kControlEventTouchUpInside);
    overlay->addSubview(dismiss);

    picture->layer().addAnimation(animationGroupForward(true, h), semimodal::kPushedBackAnimationKey);
    ui::View::animate(semimodal::kDuration, [picture]() { picture->setAlpha(0.5); });

    view->setFrame({0, h, w, sheetHeight});
    target->addSubview(view);
    view->layer().setShadowColor(ui::Color::blackColor());
    view->layer().setShadowOffset({0, -2});
    view->layer().setShadowRadius(5);
    view->layer().setShadowOpacity(0.8);
    ui::View::animate(semimodal::kDuration, [view, w, h, sheetHeight]() {
        view->setFrame({0, h - sheetHeight, w, sheetHeight});
    });

    presentations()[target] = Presentation{overlay, view, std::move(controller)};
}

}  // namespace

ui::View* parentTarget(ui::ViewController* presenter) {
    if (!presenter) return nullptr;
    ui::ViewController* top = presenter;
    while (top->parentViewController()) top = top->parentViewController();
    return top->view();
}

std::shared_ptr<ui::AnimationGroup> animationGroupForward(bool forward, double targetHeight) {
    auto t1 = perspective().scale(0.95, 0.95, 1).rotate(15 * kPi / 180, 1, 0, 0);
    auto step1 = ui::BasicAnimation::create("transform");
    step1->toValue = t1;
    step1->duration = semimodal::kDuration / 2;
    step1->timingFunction = ui::TimingFunction::easeOut();
    step1->fillMode = ui::FillMode::Forwards;
    step1->removedOnCompletion = false;

    ui::Transform3D t2 =
        forward ? perspective().translate(0, -targetHeight * 0.08, 0).scale(0.8, 0.8, 1) : ui::Transform3D::identity();
    auto step2 = ui::BasicAnimation::create("transform");
    step2->toValue = t2;
    step2->beginTime = semimodal::kDuration / 2;
    step2->duration = semimodal::kDuration / 2;
    step2->timingFunction = ui::TimingFunction::easeIn();
    step2->fillMode = ui::FillMode::Forwards;
    step2->removedOnCompletion = false;

    auto group = ui::AnimationGroup::create();
    group->animations = {step1, step2};
    group->duration = semimodal::kDuration;
    group->fillMode = ui::FillMode::Forwards;
    group->removedOnCompletion = false;
    return group;
}

void presentSemiViewController(ui::ViewController* presenter, const std::shared_ptr<ui::ViewController>& controller) {
    if (!controller) return;
    present(presenter, controller->viewRef(), controller);
}

void presentSemiView(ui::ViewController* presenter, const std::shared_ptr<ui::View>& view) {
    present(presenter, view, nullptr);
}

void dismissSemiModalView(ui::ViewController* presenter) { dismissTarget(parentTarget(presenter)); }

ui::View* semiModalSheet(const ui::View* target) {
    Presentation* p = findPresentation(target);
    return p ? p->sheet.lock().get() : nullptr;
}

ui::View* semiModalOverlay(const ui::View* target) {
    Presentation* p = findPresentation(target);
    return p ? p->overlay.lock().get() : nullptr;
}
