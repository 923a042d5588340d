// The pictures of the settings, feedback, security log, help, classroom,
// about and article screens.
#include <string>

#include "app/core/Models.h"
#include "app/core/initUtil.h"
#include "app/screens/info/InfoPages.h"
#include "app/screens/info/KAVOHelpViewController.h"
#include "app/screens/log/KAVOSafeAuditViewController.h"
#include "app/screens/settings/KAVOSettingViewController.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Navigation.h"
#include "tools/screenshots/Entries.h"

namespace screenshots {
namespace {

// The store of a bound phone, as a binding leaves it.
void seedBoundStore() {
    // A phone that allows notices has push on.
    foundation::UserDefaults::standard().setString("isPushInfo", "1");
    DkBase dkbase;
    dkbase.bid = "3132333435363738393031323334353637383930";
    dkbase.difftime = std::string("0");  // moved in: GCC's -Wrestrict misfires on = "0"
    Answer answer;
    answer.uuid = "6F9619FF-8B86-4011-B42D-00C04FC964FF";
    answer.mac = "0e3c0b1f9a4d4a55b0c1d2e3f4a5b6c7";
    initUtil().saveDkbase(dkbase, answer);
}

void advanceClock(double seconds) {
    if (auto* manual = dynamic_cast<foundation::ManualClock*>(&foundation::clock())) manual->advance(seconds);
    foundation::RunLoop::main().drain();
}

// Puts away what a command that cannot reach a server left on the screen.
void quietCommand(KAVOCommandViewController& screen, int tag) {
    screen.notifyProgressHUDToDisappear(tag);
    foundation::RunLoop::main().runUntil([&] { return !screen.hud(tag) || !screen.hud(tag)->taskInProgress(); }, 10);
    foundation::RunLoop::main().runUntil([] { return !ui::AlertView::visibleAlerts().empty(); }, 2);
    for (ui::AlertView* alert : ui::AlertView::visibleAlerts()) alert->dismissWithClickedButtonIndex(0, false);
    advanceClock(0.5);
    foundation::RunLoop::main().drain();
}

void settle(double seconds) {
    advanceClock(seconds);
    foundation::RunLoop::main().drain();
}

}  // namespace

void addSettingsScreenShots(std::vector<ScreenShot>& entries) {
    ScreenShot settings;
    settings.name = "settings";
    settings.screen = "KAVOSettingViewController";
    settings.prepare = seedBoundStore;
    entries.push_back(settings);

    ScreenShot feedback;
    feedback.name = "feedback";
    feedback.screen = "SuggestViewController";
    feedback.prepare = seedBoundStore;
    entries.push_back(feedback);

    ScreenShot log;
    log.name = "security-log";
    log.screen = "KAVOSafeAuditViewController";
    log.prepare = seedBoundStore;
    log.act = [](ui::ViewController& screen) {
        auto& audit = static_cast<KAVOSafeAuditViewController&>(screen);
        quietCommand(audit, KAVOSafeAuditViewController::kTagPull);
        const long long now = (long long)foundation::clock().now() * 1000;
        // The log's events: type, category, how long ago (ms), where.
        struct Event {
            int type, category;
            long long ago;
            const char* location;
        };
        const Event seen[] = {{1, 1, 3600000, "广东广州"},
                              {0, 0, 7200000, "浙江杭州"},
                              {0, 1, 86400000, "浙江杭州"},
                              {1, 3, 172800000, "北京"},
                              {1, 2, 259200000, "四川成都"}};
        std::string events = "{\"isSuccess\":true,\"events\":[";
        for (size_t i = 0; i < std::size(seen); ++i) {
            events += std::string(i ? "," : "") + "{\"id\":" + std::to_string(i + 1) +
                      ",\"type\":" + std::to_string(seen[i].type) +
                      ",\"category\":" + std::to_string(seen[i].category) +
                      ",\"time\":" + std::to_string(now - seen[i].ago) + ",\"location\":\"" + seen[i].location + "\"}";
        }
        events += "]}";
        audit.handlePullReply(events);
        settle(0.5);
        for (ui::AlertView* alert : ui::AlertView::visibleAlerts()) alert->dismissWithClickedButtonIndex(0, false);
        settle(0.5);
    };
    entries.push_back(log);

    ScreenShot help;
    help.name = "help";
    help.screen = "KAVOHelpViewController";
    help.act = [](ui::ViewController& screen) {
        auto& helpScreen = static_cast<KAVOHelpViewController&>(screen);
        helpScreen.didSelectRowAtIndexPath(helpScreen.tableView(), ui::IndexPath::forRow(1, 0));
        settle(0.5);
    };
    entries.push_back(help);

    ScreenShot classroom;
    classroom.name = "classroom";
    classroom.screen = "KAVOSafeClassViewController";
    entries.push_back(classroom);

    ScreenShot about;
    about.name = "about";
    about.screen = "KAVOAboutUsViewController";
    entries.push_back(about);

    // An article, opened from the classroom's banner.
    ScreenShot article;
    article.name = "article";
    article.screen = "KAVOSafeClassViewController";
    article.act = [](ui::ViewController& screen) {
        auto& list = static_cast<KAVOSafeClassViewController&>(screen);
        list.didSelectRowAtIndexPath(list.tableView(), ui::IndexPath::forRow(4, 0));
        settle(1);
        ui::ViewController* top =
            screen.navigationController() ? screen.navigationController()->topViewController() : nullptr;
        // The page is prepared on a background queue, then fades in on the clock.
        foundation::RunLoop::main().runUntil([&] { return top && top != &screen && top->isViewLoaded(); }, 5);
        foundation::RunLoop::main().runUntil([] { return false; }, 1.5);
        settle(0.5);
    };
    entries.push_back(article);
}

}  // namespace screenshots
