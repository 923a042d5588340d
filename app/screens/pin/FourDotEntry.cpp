#include "app/screens/pin/FourDotEntry.h"

#include "app/screens/pin/PinModel.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Image.h"

namespace {
constexpr double kSlot = 50, kGap = 12;
}

FourDotEntry::FourDotEntry(ui::View* parent, double top, std::function<void()> onComplete)
    : onComplete_(std::move(onComplete)) {
    const double width = 4 * kSlot + 3 * kGap;
    const double left = (320 - width) / 2;
    field_ = std::make_shared<ui::TextField>(ui::Rect{left, top, width, kSlot});
    field_->setKeyboardType(ui::KeyboardType::NumberPad);
    field_->setSecureTextEntry(true);
    field_->setTextColor(ui::Color::clearColor());
    // The field only collects the digits: the dots show where typing goes.
    field_->caret().setColor(ui::Color::clearColor());
    field_->setDelegate(this);
    parent->addSubview(field_);
    for (int i = 0; i < 4; ++i) {
        ui::Rect frame{left + i * (kSlot + kGap), top, kSlot, kSlot};
        slots_[i] = ui::ImageView::create(ui::Image::named("pin_box"));
        dots_[i] = ui::ImageView::create(ui::Image::named("pin_dot"));
        for (auto* view : {slots_[i].get(), dots_[i].get()}) {
            view->setFrame(frame);
            view->setUserInteractionEnabled(false);  // taps reach the field
        }
        parent->addSubview(slots_[i]);
        parent->addSubview(dots_[i]);
    }
    showDots(0);
}

FourDotEntry::~FourDotEntry() {
    if (completion_) completion_->invalidate();
    field_->setDelegate(nullptr);
}

bool FourDotEntry::dotShown(int i) const { return !dots_[i]->isHidden(); }

int FourDotEntry::dotsShown() const {
    int n = 0;
    for (int i = 0; i < 4; ++i) n += dotShown(i) ? 1 : 0;
    return n;
}

void FourDotEntry::showDots(int count) {
    for (int i = 0; i < 4; ++i) dots_[i]->setHidden(i >= count);
}

void FourDotEntry::reset() {
    if (completion_) completion_->invalidate();
    completion_.reset();
    field_->setText("");
    showDots(0);
}

bool FourDotEntry::isCompletionPending() const { return completion_ && completion_->isValid(); }

bool FourDotEntry::textFieldShouldChangeCharacters(ui::TextField* field, ui::TextRange,
                                                   const std::string& replacement) {
    pin::DotStep step = pin::fourDotStep(foundation::utf16Length(field->text()), replacement);
    if (!step.accept) return false;
    showDots(step.dotsShown);
    if (step.complete) {
        if (completion_) completion_->invalidate();
        completion_ = foundation::RunLoop::main().performAfter(pin::kCompletionDelay, [this] {
            completion_.reset();
            if (onComplete_) onComplete_();
        });
    }
    return true;
}
