#pragma once
// A small screen that exists only for the tests: three commands in the forms
// the real screens use, started from its bar buttons or directly.
//   15 (text form, handshake, alerts on failure, notice on transport failure)
//   33 (JSON form, handshake, alert titled "错误" when the handshake fails)
//   20 (no handshake, bare-text reply, 9-second wait slice)

#include <string>
#include <vector>

#include "app/cycle/KAVOCommandViewController.h"

class CycleTestScreen : public KAVOCommandViewController {
public:
    static constexpr int kTagPassword = 15;
    static constexpr int kTagKorvex = 33;
    static constexpr int kTagTime = 20;

    CycleTestScreen();
    const char* className() const override { return "CycleTestScreen"; }
    void viewDidLoad() override;

    // The family of each command, as the screens name them.
    bool popOutProgressHUDForChangePassword(const std::string& newPassword);
    bool popOutProgressHUDForBindKorvex(const std::string& token);
    bool popOutProgressHUDForCalibrateTime();
    static std::optional<std::string> assembleURLForChangePassword(const Answer& answer, const std::string& password);
    static std::optional<std::string> assembleURLForBindKorvex(const Answer& answer, const std::string& token);
    static std::optional<std::string> assembleURLForCalibrateTime(const Answer& answer);

    // What reached the reply handlers, in order (main thread).
    struct Handled {
        int tag;
        std::string text;
        bool isJson;
    };
    std::vector<Handled> handled;
    std::vector<int> otherAlertsClicked;

protected:
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;
};
