#pragma once
// The toolbox of class methods the screens share: the core's part
// (CoreConstants: reply checks, key/value shortcuts, rating counters, hour
// masks, texts) and the parts that show something: alerts, the remote
// log-out, the rating prompt and the tall-screen shift.

#include <memory>
#include <string>

#include "app/core/CoreConstants.h"
#include "platform/ui/AlertView.h"

namespace ui {
class ViewController;
}

// An alert delegate that ends the app when an alert tagged
// Constants::kRemoteLogOutAlertTag is dismissed (the alert after a remote
// log-out); screens derive their alert delegates from it and call the base
// for tags they do not handle themselves.
class LogOutAlertDelegate : public ui::AlertViewDelegate {
public:
    void didDismissWithButtonIndex(ui::AlertView* alertView, int buttonIndex) override;
};

class Constants : public CoreConstants {
public:
    // Tags of the shared alerts.
    static constexpr int kSimpleAlertTag = 2000;
    static constexpr int kRemoteLogOutAlertTag = 0xFFFF;

    // --- Remote log-out ---
    // When the decrypted reply's "result" has the integer value 201, runs
    // cleanUpAppForRemoteLogOut with the tag and delegate. Callers go on with
    // their own handling either way.
    static void testIfRemoteLogOutWhenRequestFinished(const std::string& reply, int tag,
                                                      ui::AlertViewDelegate* delegate);
    // Deletes the database file, removes the whole user-defaults domain and
    // shows the warning alert with the tag and delegate.
    static void cleanUpAppForRemoteLogOut(int tag, ui::AlertViewDelegate* delegate);

    // --- Alerts (each is shown at once and returned) ---
    // One button "确定", tag 2000; dismissing it does nothing.
    static std::shared_ptr<ui::AlertView> simpleAlertViewWithTitle(const std::string& title,
                                                                   const std::string& message);
    // One button "确定" with the tag and delegate.
    static std::shared_ptr<ui::AlertView> normalAlertViewWithTitle(const std::string& title, const std::string& message,
                                                                   int tag, ui::AlertViewDelegate* delegate);
    // Cancel button "确定" (index 0) and "取消" (index 1).
    static std::shared_ptr<ui::AlertView> compicatedAlertViewWithTitle(const std::string& title,
                                                                       const std::string& message, int tag,
                                                                       ui::AlertViewDelegate* delegate);

    // --- Rating prompt ---
    // Shows the rating prompt with the tag and delegate when it is due;
    // returns it (nullptr when not due).
    static std::shared_ptr<ui::AlertView> personalUseCheckAndRate(int tag, ui::AlertViewDelegate* delegate);
    // Acts on the prompt's button: 0 never, 1 rate now (the store's review
    // page opens), 2 later.
    static void handleRateAlertView(int buttonIndex);

    // --- Tall screen ---
    // True on the 640x1136-pixel screen.
    static bool isTallScreen();
    // On the tall screen, moves every direct subview of the controller's view
    // that is not as wide as the screen down by `points`.
    static void portUIForiPhone5(int points, ui::ViewController* target);
};
