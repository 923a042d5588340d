// The toolbox's alerts, remote log-out clean-up, rating prompt and the
// tall-screen shift.
#include "app/core/DBController.h"
#include "app/core/Envelope.h"
#include "app/cycle/Constants.h"
#include "platform/foundation/App.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"

namespace {

// The delegate of the simple alert: it acts on no button.
ui::AlertViewDelegate& simpleAlertDelegate() {
    static ui::AlertViewDelegate delegate;
    return delegate;
}

std::shared_ptr<ui::AlertView> showAlert(const std::string& title, const std::string& message, int tag,
                                         ui::AlertViewDelegate* delegate, const std::vector<std::string>& others) {
    auto alert = ui::AlertView::create(title, message, delegate, "确定", others);
    alert->setTag(tag);
    alert->show();
    return alert;
}

}  // namespace

void LogOutAlertDelegate::didDismissWithButtonIndex(ui::AlertView* alertView, int) {
    if (alertView && alertView->tag() == Constants::kRemoteLogOutAlertTag) foundation::exitApp(0);
}

void Constants::testIfRemoteLogOutWhenRequestFinished(const std::string& reply, int tag,
                                                      ui::AlertViewDelegate* delegate) {
    if (ReplyEnvelope::isRemoteLogOut(reply)) cleanUpAppForRemoteLogOut(tag, delegate);
}

void Constants::cleanUpAppForRemoteLogOut(int tag, ui::AlertViewDelegate* delegate) {
    DBController::deleteDataBase();
    if (!foundation::UserDefaults::standard().removePersistentDomain())
        foundation::log("remote log-out: the user defaults could not be removed");
    normalAlertViewWithTitle("警告", "账号已被远程注销或解绑\n如要继续使用，请重新绑定", tag, delegate);
}

std::shared_ptr<ui::AlertView> Constants::simpleAlertViewWithTitle(const std::string& title,
                                                                   const std::string& message) {
    return showAlert(title, message, kSimpleAlertTag, &simpleAlertDelegate(), {});
}

std::shared_ptr<ui::AlertView> Constants::normalAlertViewWithTitle(const std::string& title, const std::string& message,
                                                                   int tag, ui::AlertViewDelegate* delegate) {
    return showAlert(title, message, tag, delegate, {});
}

std::shared_ptr<ui::AlertView> Constants::compicatedAlertViewWithTitle(const std::string& title,
                                                                       const std::string& message, int tag,
                                                                       ui::AlertViewDelegate* delegate) {
    return showAlert(title, message, tag, delegate, {"取消"});
}

std::shared_ptr<ui::AlertView> Constants::personalUseCheckAndRate(int tag, ui::AlertViewDelegate* delegate) {
    if (!isRatePromptDue()) return nullptr;
    auto alert = ui::AlertView::create(
        "提示", "诚邀您对禾盾进行评价\n如果您喜欢本软件，请给个好评\n您的支持永远是我们最大的动力", delegate,
        "不再提醒", {"现在评分", "稍后再说"});
    alert->setTag(tag);
    alert->show();
    return alert;
}

void Constants::handleRateAlertView(int buttonIndex) {
    if (recordRateAnswer(buttonIndex)) ui::Application::shared().openURL(rateAppURL());
}

bool Constants::isTallScreen() {
    const ui::Screen& screen = ui::Screen::main();
    const ui::Rect b = screen.bounds();
    return int(b.width() * screen.scale() + 0.5) == 640 && int(b.height() * screen.scale() + 0.5) == 1136;
}

void Constants::portUIForiPhone5(int points, ui::ViewController* target) {
    if (!target || !isTallScreen()) return;
    const double screenWidth = ui::Screen::main().bounds().width();
    for (const auto& view : target->view()->subviews()) {
        ui::Rect frame = view->frame();
        if (frame.width() == screenWidth) continue;
        frame.origin.y += points;
        view->setFrame(frame);
    }
}
