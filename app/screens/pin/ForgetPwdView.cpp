#include "app/screens/pin/ForgetPwdView.h"

#include <algorithm>

#include "platform/ui/Control.h"

ForgetPwdView::ForgetPwdView(const std::string& title, const std::string& message, ui::AlertViewDelegate* delegate,
                             const std::string& cancelButtonTitle, const std::vector<std::string>& otherButtonTitles)
    : ui::AlertView(title, message, delegate, cancelButtonTitle, otherButtonTitles) {
    safePhone_ = createTextField("安全手机号", {22, 45, 240, 36});
    safePwd_ = createTextField("注销密码", {22, 90, 240, 36});
    addSubview(safePhone_);
    addSubview(safePwd_);
}

std::shared_ptr<ui::TextField> ForgetPwdView::createTextField(const std::string& placeholder, const ui::Rect& frame) {
    auto field = std::make_shared<ui::TextField>(frame);
    field->setPlaceholder(placeholder);
    field->setSecureTextEntry(true);
    field->setBackgroundColor(ui::Color::whiteColor());
    return field;
}

void ForgetPwdView::layoutSubviews() {
    ui::AlertView::layoutSubviews();
    // Below the lower of the two fields, so that no button covers the
    // password field.
    const double y = std::max(safePhone_->frame().maxY(), safePwd_->frame().maxY()) + kButtonGap;
    for (const auto& v : subviews()) {
        if (!dynamic_cast<ui::Button*>(v.get())) continue;
        ui::Rect f = v->frame();
        f.origin.y = y;
        v->setFrame(f);
    }
    ui::Rect f = frame();
    f.size.height = kHeight;
    setFrame(f);
}
