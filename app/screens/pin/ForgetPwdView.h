#pragma once
// An alert with the two fields of the forgotten-PIN check: the safe phone and
// the de-registration password, with the alert's buttons below them. The
// forgotten-PIN screen has fields of its own; this alert is kept for callers
// that ask for the same two values in a pop-up.

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/AlertView.h"
#include "platform/ui/TextField.h"

class ForgetPwdView : public ui::AlertView {
public:
    static constexpr double kHeight = 260;
    // Space between the lower field and the buttons.
    static constexpr double kButtonGap = 7;

    ForgetPwdView(const std::string& title, const std::string& message, ui::AlertViewDelegate* delegate,
                  const std::string& cancelButtonTitle, const std::vector<std::string>& otherButtonTitles = {});
    static std::shared_ptr<ForgetPwdView> create(const std::string& title, const std::string& message,
                                                 ui::AlertViewDelegate* delegate, const std::string& cancelButtonTitle,
                                                 const std::vector<std::string>& otherButtonTitles = {}) {
        return std::make_shared<ForgetPwdView>(title, message, delegate, cancelButtonTitle, otherButtonTitles);
    }
    const char* className() const override { return "ForgetPwdView"; }

    ui::TextField* safePhone() const { return safePhone_.get(); }
    ui::TextField* safePwd() const { return safePwd_.get(); }

    // A secure field on white with the placeholder, at the frame.
    std::shared_ptr<ui::TextField> createTextField(const std::string& placeholder, const ui::Rect& frame);
    // The buttons go below the fields and the alert is kHeight tall.
    void layoutSubviews() override;

private:
    std::shared_ptr<ui::TextField> safePhone_, safePwd_;
};
