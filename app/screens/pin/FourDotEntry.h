#pragma once
// The four-dot PIN entry of the start-PIN screens: a text field that takes
// the digits, behind four slots whose dots show how many are typed. The
// fourth digit starts a 0.5-second delay, after which the screen checks
// what was typed (on the main thread, on the injected clock).

#include <array>
#include <functional>
#include <memory>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"

class FourDotEntry : public ui::TextFieldDelegate {
public:
    // Adds the row (four 50-point slots) to `parent` with its top at `top`.
    // onComplete runs on the main thread after the delay.
    FourDotEntry(ui::View* parent, double top, std::function<void()> onComplete);
    ~FourDotEntry() override;
    FourDotEntry(const FourDotEntry&) = delete;
    FourDotEntry& operator=(const FourDotEntry&) = delete;

    ui::TextField* field() const { return field_.get(); }
    const std::string& text() const { return field_->text(); }
    // Dot i (0..3) and whether it shows.
    ui::ImageView* dot(int i) const { return dots_[i].get(); }
    bool dotShown(int i) const;
    int dotsShown() const;
    // Empties the field and hides the dots (a pending check is dropped).
    void reset();
    // Whether a check is waiting for its delay.
    bool isCompletionPending() const;

    bool textFieldShouldChangeCharacters(ui::TextField* field, ui::TextRange range,
                                         const std::string& replacement) override;

private:
    void showDots(int count);

    std::shared_ptr<ui::TextField> field_;
    std::array<std::shared_ptr<ui::ImageView>, 4> slots_;
    std::array<std::shared_ptr<ui::ImageView>, 4> dots_;
    std::function<void()> onComplete_;
    foundation::TimerRef completion_;
};
