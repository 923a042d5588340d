#include "tests/support/screens/ScreenFixture.h"

#include "app/core/Models.h"
#include "app/core/StoreKeys.h"
#include "app/core/initUtil.h"
#include "lib/json/JsonParser.h"
#include "lib/json/JsonWriter.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/App.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestSupport.h"

namespace screentest {

bool seedBoundAccount(const BoundAccount& account) {
    auto& defaults = foundation::UserDefaults::standard();
    // What a launched app on a phone that allows notifications has written.
    defaults.setString(StoreKeys::isPushInfo, "1");
    defaults.setInteger("uniqueuser", 1);
    defaults.setInteger("korvxboundstate", 3);
    defaults.synchronize();

    DkBase dkbase;
    dkbase.bid = account.bid;
    dkbase.difftime = account.difftime;
    Answer answer;
    answer.uuid = account.uuid;
    answer.mac = account.mac;
    initUtil writer;
    return writer.saveDkbase(dkbase, answer);
}

void ScreenFixture::SetUp() {
    foundation::setExitHandler([this](int code) { exits_.push_back(code); });
    clock_ = std::make_unique<foundation::ManualClockScope>();
    if (options_.server) {
        server_ = std::make_unique<testserver::SecurityServer>();
        server_->useAsDeploymentServer();
    }
    if (options_.boundAccount) {
        ASSERT_TRUE(seedBoundAccount(account_));
        if (server_) {
            foundation::Dictionary devices{{account_.uuid, foundation::Value(account_.mac)}};
            server_->control("account", *JsonWriter().stringWithObject(
                                            foundation::Value(foundation::Dictionary{{"devices", devices}})));
        }
    }
    driver_ =
        options_.tall ? std::make_unique<shell::Driver>(ui::Size{320, 568}, 2) : std::make_unique<shell::Driver>();
}

void ScreenFixture::TearDown() {
    if (driver_) driver_->settle();
    if (nav_) {
        nav_->beginAppearanceTransition(false, false);
        nav_->viewRef()->removeFromSuperview();
        nav_->endAppearanceTransition();
        nav_.reset();
    }
    if (driver_) driver_->settle();
    driver_.reset();
    server_.reset();
    clock_.reset();
}

void ScreenFixture::present(const std::shared_ptr<ui::ViewController>& screen) {
    nav_ = std::make_shared<ui::NavigationController>(screen);
    nav_->beginAppearanceTransition(true, false);
    driver_->window().addSubview(nav_->viewRef());
    nav_->endAppearanceTransition();
    driver_->settle();
}

std::shared_ptr<ui::ViewController> ScreenFixture::show(ui::ScreenMap& map, const std::string& identifier) {
    auto screen = map.instantiateViewControllerWithIdentifier(identifier);
    if (screen) present(screen);
    return screen;
}

bool ScreenFixture::waitFor(const std::function<bool()>& pred, double seconds) {
    return foundation::RunLoop::main().runUntil(pred, testsupport::patience(seconds));
}

void ScreenFixture::script(const foundation::Dictionary& entry) {
    server_->control("script", *JsonWriter().stringWithObject(foundation::Value(entry)));
}

foundation::Array ScreenFixture::serverLog() {
    auto parsed = JsonParser().objectWithString(server_->controlGet("log"));
    const foundation::Value* requests = parsed ? parsed->get("requests") : nullptr;
    return requests && requests->asArray() ? *requests->asArray() : foundation::Array{};
}

std::vector<int> ScreenFixture::commands() {
    std::vector<int> out;
    for (const foundation::Value& entry : serverLog())
        if (const foundation::Value* command = entry.get("command")) out.push_back(command->intValue());
    return out;
}

std::vector<std::string> ScreenFixture::noticeTexts() {
    std::vector<std::string> out;
    for (auto& strip : DnNotificationManager::sharedManager().notificationQueueForAlert())
        for (auto& v : strip->subviews())
            if (auto* l = dynamic_cast<ui::Label*>(v.get())) out.push_back(l->text());
    return out;
}

}  // namespace screentest
