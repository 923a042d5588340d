// The toolbox's reply checks, remote log-out clean-up, alerts and the
// tall-screen shift.
#include <gtest/gtest.h>

#include "app/core/DBController.h"
#include "app/cycle/Constants.h"
#include "platform/foundation/App.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"

namespace {

class ConstantsUi : public ::testing::Test {};

void makeStore() {
    DBController db;
    ASSERT_TRUE(db.initDatabase());
    ASSERT_TRUE(db.InsertTable("read_index", "3.0.0"));
    db.closeDatabase();
}

// Records the clicks it hears.
class Recorder : public LogOutAlertDelegate {
public:
    void clickedButtonAtIndex(ui::AlertView*, int index) override { clicks.push_back(index); }
    std::vector<int> clicks;
};

}  // namespace

TEST(ConstantsReply, ContentOnlyFromAWholeEnvelope) {
    struct Case {
        const char* reply;
        std::optional<std::string> content;
    };
    const Case cases[] = {
        {R"({"safecenter":"1","content":"0a1b"})", "0a1b"},
        {R"({"content":"0a1b","safecenter":0})", "0a1b"},
        {R"({"safecenter":"1","content":1234})", "1234"},
        {R"({"safecenter":"1","content":""})", ""},
        {R"({"content":"0a1b"})", std::nullopt},
        {R"({"safecenter":"1"})", std::nullopt},
        {R"(["safecenter","content"])", std::nullopt},
        {R"({"safecenter":"1","content":)", std::nullopt},
        {"", std::nullopt},
        {"0a1b2c", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(Constants::testIfReceivedContentIsValid(c.reply), c.content) << c.reply;
}

TEST_F(ConstantsUi, RemoteLogOutOnlyForResult201) {
    struct Case {
        const char* reply;
        bool loggedOut;
    };
    const Case cases[] = {
        {R"({"result":201})", true},   {R"({"result":"201"})", true}, {R"({"result":"201x","sid":"a"})", true},
        {R"({"result":200})", false},  {R"({"result":"0"})", false},  {R"({"sid":"201"})", false},
        {R"({"result":null})", false}, {"not json", false},           {R"([201])", false},
    };
    for (const Case& c : cases) {
        makeStore();
        foundation::UserDefaults::standard().setInteger("korvxboundstate", 3);
        Recorder delegate;
        Constants::testIfRemoteLogOutWhenRequestFinished(c.reply, 77, &delegate);
        EXPECT_EQ(DBController::databaseExit(), !c.loggedOut) << c.reply;
        EXPECT_EQ(foundation::UserDefaults::standard().integerForKey("korvxboundstate"), c.loggedOut ? 0 : 3)
            << c.reply;
        ui::AlertView* alert = ui::AlertView::frontmost();
        EXPECT_EQ(alert != nullptr, c.loggedOut) << c.reply;
        if (alert) {
            EXPECT_EQ(alert->tag(), 77);
            EXPECT_EQ(alert->delegate(), &delegate);
            alert->clickButtonAtIndex(0);  // tag 77: no exit
        }
        DBController::deleteDataBase();
    }
}

TEST_F(ConstantsUi, CleanUpWipesTheStoreAndDefaultsAndEndsTheAppWhenDismissed) {
    makeStore();
    auto& defaults = foundation::UserDefaults::standard();
    defaults.setInteger("korvxboundstate", 10);
    defaults.setString("token", "abcd");
    defaults.setString("korvextoken", "t");
    ASSERT_TRUE(foundation::fileExists(defaults.path()));

    Recorder delegate;
    Constants::cleanUpAppForRemoteLogOut(Constants::kRemoteLogOutAlertTag, &delegate);

    EXPECT_FALSE(DBController::databaseExit());
    EXPECT_FALSE(foundation::fileExists(defaults.path()));
    EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
    foundation::UserDefaults::resetStandard();
    EXPECT_TRUE(foundation::UserDefaults::standard().dictionaryRepresentation().empty()) << "nothing comes back";

    ui::AlertView* alert = ui::AlertView::frontmost();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "警告");
    EXPECT_EQ(alert->message(), "账号已被远程注销或解绑\n如要继续使用，请重新绑定");
    EXPECT_EQ(alert->tag(), 0xFFFF);
    ASSERT_EQ(alert->numberOfButtons(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "确定");

    std::vector<int> exits;
    auto old = foundation::setExitHandler([&](int code) { exits.push_back(code); });
    alert->clickButtonAtIndex(0);
    foundation::setExitHandler(old);
    EXPECT_EQ(delegate.clicks, std::vector<int>{0});
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(ConstantsUi, AlertBuilders) {
    Recorder delegate;
    auto simple = Constants::simpleAlertViewWithTitle("提示", "简单");
    EXPECT_TRUE(simple->isVisible());
    EXPECT_EQ(simple->tag(), 2000);
    EXPECT_NE(simple->delegate(), nullptr);
    ASSERT_EQ(simple->numberOfButtons(), 1);
    EXPECT_EQ(simple->buttonTitleAtIndex(0), "确定");
    simple->clickButtonAtIndex(0);  // does nothing, ends nothing
    EXPECT_FALSE(simple->isVisible());

    auto normal = Constants::normalAlertViewWithTitle("标题", "消息", 0xFFFF, &delegate);
    EXPECT_EQ(normal->title(), "标题");
    EXPECT_EQ(normal->message(), "消息");
    EXPECT_EQ(normal->tag(), 0xFFFF);
    EXPECT_EQ(normal->delegate(), &delegate);
    ASSERT_EQ(normal->numberOfButtons(), 1);
    EXPECT_EQ(normal->buttonTitleAtIndex(0), "确定");

    auto complicated = Constants::compicatedAlertViewWithTitle("标题", "消息", 12, &delegate);
    EXPECT_EQ(ui::AlertView::frontmost(), complicated.get());
    ASSERT_EQ(complicated->numberOfButtons(), 2);
    EXPECT_EQ(complicated->cancelButtonIndex(), 0);
    EXPECT_EQ(complicated->buttonTitleAtIndex(0), "确定");
    EXPECT_EQ(complicated->buttonTitleAtIndex(1), "取消");
    complicated->clickButtonAtIndex(1);  // tag 12: the app goes on
    EXPECT_EQ(delegate.clicks, std::vector<int>{1});
    EXPECT_EQ(ui::AlertView::frontmost(), normal.get());
}

TEST_F(ConstantsUi, TallScreenShiftMovesOnlyNarrowDirectSubviews) {
    struct Case {
        ui::Size size;
        double scale;
        bool moves;
    };
    for (const Case& c : {Case{{320, 568}, 2, true}, Case{{320, 480}, 2, false}, Case{{320, 480}, 1, false},
                          Case{{320, 568}, 1, false}}) {
        ui::Screen::main().setSize(c.size);
        ui::Screen::main().setScale(c.scale);
        auto vc = std::make_shared<ui::ViewController>();
        auto full = ui::View::create({0, 10, 320, 40});
        auto narrow = ui::View::create({20, 100, 280, 40});
        auto nested = ui::View::create({0, 5, 100, 20});
        narrow->addSubview(nested);
        vc->view()->addSubview(full);
        vc->view()->addSubview(narrow);

        Constants::portUIForiPhone5(88, vc.get());
        EXPECT_EQ(full->frame(), (ui::Rect{0, 10, 320, 40}));
        EXPECT_EQ(narrow->frame(), (ui::Rect{20, c.moves ? 188.0 : 100.0, 280, 40})) << c.size.height << "@" << c.scale;
        EXPECT_EQ(nested->frame(), (ui::Rect{0, 5, 100, 20})) << "only direct subviews move";
        EXPECT_EQ(Constants::isTallScreen(), c.moves);
    }
    Constants::portUIForiPhone5(88, nullptr);  // no controller: nothing to do
}
