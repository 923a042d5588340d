// Alerts and action sheets: call order, dismissal from code, stacking, geometry.

#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Assert.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Modal.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using namespace ui;

class Recorder : public AlertViewDelegate, public ActionSheetDelegate {
public:
    std::vector<std::string> log;
    std::function<void(AlertView*, int)> onDidDismiss;
    void clickedButtonAtIndex(AlertView* a, int i) override {
        log.push_back(a->title() + " clicked " + std::to_string(i));
    }
    void willPresentAlertView(AlertView* a) override {
        log.push_back(a->title() + " willPresent h=" + std::to_string(int(a->frame().height())));
    }
    void didPresentAlertView(AlertView* a) override { log.push_back(a->title() + " didPresent"); }
    void willDismissWithButtonIndex(AlertView* a, int i) override {
        log.push_back(a->title() + " willDismiss " + std::to_string(i));
    }
    void didDismissWithButtonIndex(AlertView* a, int i) override {
        log.push_back(a->title() + " didDismiss " + std::to_string(i));
        if (onDidDismiss) onDidDismiss(a, i);
    }
    void clickedButtonAtIndex(ActionSheet*, int i) override { log.push_back("sheet clicked " + std::to_string(i)); }
    void didDismissWithButtonIndex(ActionSheet*, int i) override {
        log.push_back("sheet didDismiss " + std::to_string(i));
    }
};

class AlertsTest : public uitest::UiFixture {
protected:
    void SetUp() override {
        UiFixture::SetUp();
        setTextMeasurer(std::make_shared<FixedWidthTextMeasurer>());
        window = Window::create({0, 0, 320, 480});
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        for (auto* a : AlertView::visibleAlerts()) a->dismissWithClickedButtonIndex(-1, false);
        for (auto* s : ActionSheet::visibleSheets()) s->dismissWithClickedButtonIndex(-1, false);
        UiFixture::TearDown();
    }
    // What a user does: tap the button on screen.
    void tapButton(AlertView* a, int index) {
        Button* b = a->buttonAtIndex(index);
        ASSERT_NE(b, nullptr);
        Point p = b->convertPointToView(b->bounds().center(), nullptr);
        window->sendTouch(TouchPhase::Began, p, 0);
        window->sendTouch(TouchPhase::Ended, p, 0.1);
    }
    std::shared_ptr<Window> window;
    Recorder rec;
};

TEST_F(AlertsTest, TappedButtonGivesTheFullCallOrder) {
    auto alert = AlertView::create("提示", "消息", &rec, "确定", {"取消"});
    alert->setTag(2000);
    alert->show();
    ASSERT_EQ(AlertView::visibleAlerts().size(), 1u);
    EXPECT_EQ(AlertView::frontmost()->tag(), 2000);
    turn();
    tapButton(alert.get(), 1);
    EXPECT_TRUE(AlertView::visibleAlerts().empty());
    EXPECT_FALSE(alert->isVisible());
    EXPECT_EQ(alert->superview(), nullptr);
    ASSERT_EQ(rec.log.size(), 5u);
    EXPECT_EQ(rec.log[1], "提示 didPresent");
    EXPECT_EQ(rec.log[2], "提示 clicked 1");
    EXPECT_EQ(rec.log[3], "提示 willDismiss 1");
    EXPECT_EQ(rec.log[4], "提示 didDismiss 1");
}

TEST_F(AlertsTest, DismissFromCodeCallsNoClickAndStillPresentsFirst) {
    auto alert = AlertView::create("a", "", &rec, "OK");
    alert->show();
    alert->dismissWithClickedButtonIndex(0, true);  // before the next turn
    turn();
    std::vector<std::string> want{"a willPresent h=" + std::to_string(int(alert->frame().height())), "a didPresent",
                                  "a willDismiss 0", "a didDismiss 0"};
    EXPECT_EQ(rec.log, want);
    alert->dismissWithClickedButtonIndex(0, true);  // not visible: nothing
    EXPECT_EQ(rec.log.size(), 4u);
}

TEST_F(AlertsTest, StackedAlertsShowTheNewestAndReturnToTheOlder) {
    auto first = AlertView::create("first", "", &rec, "OK");
    auto second = AlertView::create("second", "", &rec, "OK");
    first->show();
    second->show();
    second->show();  // already visible: no second presentation
    auto visible = AlertView::visibleAlerts();
    ASSERT_EQ(visible.size(), 2u);
    EXPECT_EQ(visible.back(), second.get());
    EXPECT_TRUE(first->superview()->isHidden());
    EXPECT_FALSE(second->superview()->isHidden());
    // The window's hit test reaches the front alert only.
    Point p = second->buttonAtIndex(0)->convertPointToView(second->buttonAtIndex(0)->bounds().center(), nullptr);
    EXPECT_EQ(window->hitTest(p, nullptr), second->buttonAtIndex(0));
    tapButton(second.get(), 0);
    EXPECT_EQ(AlertView::frontmost(), first.get());
    EXPECT_FALSE(first->superview()->isHidden());
    // The maker let go of the first alert; the screen keeps it until dismissed.
    std::weak_ptr<View> weak = first;
    first.reset();
    ASSERT_FALSE(weak.expired());
    AlertView::frontmost()->clickButtonAtIndex(0);
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(AlertView::visibleAlerts().empty());
}

TEST_F(AlertsTest, ADismissedAlertCanBeShownAgainAndChangeItsMessage) {
    auto alert = AlertView::create("again", "one", &rec, "OK");
    int shows = 0;
    rec.onDidDismiss = [&](AlertView* a, int) {
        if (++shows < 2) a->show();  // re-shown from its own delegate
    };
    alert->show();
    alert->clickButtonAtIndex(0);
    EXPECT_TRUE(alert->isVisible());
    double before = alert->frame().height();
    alert->setMessage("a much longer message that wraps onto more lines than before it did");
    EXPECT_GT(alert->frame().height(), before);
    alert->clickButtonAtIndex(0);
    EXPECT_FALSE(alert->isVisible());
    EXPECT_EQ(shows, 2);
}

TEST_F(AlertsTest, GeometryButtonsSitInTheBottom65Points) {
    struct Case {
        std::vector<std::string> others;
        bool sideBySide;
    };
    for (const auto& c : std::vector<Case>{{{}, false}, {{"two"}, true}, {{"two", "three"}, false}}) {
        auto alert = AlertView::create("title", "message", nullptr, "cancel", c.others);
        alert->show();
        Rect f = alert->frame();
        EXPECT_DOUBLE_EQ(f.width(), AlertView::kWidth);
        EXPECT_DOUBLE_EQ(f.midX(), 160);
        EXPECT_NEAR(f.midY(), 240, 0.5);
        int n = alert->numberOfButtons();
        double lowest = 0;
        for (int i = 0; i < n; ++i) {
            Rect b = alert->buttonAtIndex(i)->frame();
            EXPECT_DOUBLE_EQ(b.height(), 43);
            lowest = std::max(lowest, b.maxY());
            EXPECT_NE(dynamic_cast<Control*>(alert->buttonAtIndex(i)), nullptr);
        }
        EXPECT_DOUBLE_EQ(f.height() - lowest, 15);
        if (c.sideBySide) {
            EXPECT_EQ(alert->buttonAtIndex(0)->frame().y(), alert->buttonAtIndex(1)->frame().y());
            EXPECT_LT(alert->buttonAtIndex(0)->frame().x(), alert->buttonAtIndex(1)->frame().x());
        } else if (n > 1) {
            // Stacked, with the cancel button last.
            EXPECT_DOUBLE_EQ(alert->buttonAtIndex(0)->frame().maxY(), lowest);
        }
        alert->dismissWithClickedButtonIndex(0, false);
    }
}

TEST_F(AlertsTest, TextInputStylesGiveTheirFields) {
    struct Case {
        AlertViewStyle style;
        int fields;
        bool secondSecure, firstSecure;
    };
    for (auto c :
         {Case{AlertViewStyle::Default, 0, false, false}, Case{AlertViewStyle::PlainTextInput, 1, false, false},
          Case{AlertViewStyle::SecureTextInput, 1, false, true},
          Case{AlertViewStyle::LoginAndPasswordInput, 2, true, false}}) {
        auto alert = AlertView::create("in", "", nullptr, "OK");
        alert->setAlertViewStyle(c.style);
        int count = 0;
        while (alert->textFieldAtIndex(count)) ++count;
        EXPECT_EQ(count, c.fields);
        if (c.fields > 0) {
            EXPECT_EQ(alert->textFieldAtIndex(0)->isSecureTextEntry(), c.firstSecure);
        }
        if (c.fields > 1) {
            EXPECT_EQ(alert->textFieldAtIndex(1)->isSecureTextEntry(), c.secondSecure);
        }
    }
    auto alert = AlertView::create("name", "", nullptr, "OK");
    alert->setAlertViewStyle(AlertViewStyle::PlainTextInput);
    alert->show();
    window->sendText("张三");
    EXPECT_EQ(alert->textFieldAtIndex(0)->text(), "张三");
    alert->clickButtonAtIndex(0);
    EXPECT_FALSE(alert->textFieldAtIndex(0)->isFirstResponder());
}

TEST_F(AlertsTest, ShowFromAWorkerThreadPresentsOnTheMainThread) {
    auto alert = AlertView::create("worker", "", &rec, "OK");
    std::thread([alert]() { alert->show(); }).join();
    EXPECT_TRUE(AlertView::visibleAlerts().empty());
    turn();
    EXPECT_EQ(AlertView::visibleAlerts().size(), 1u);
    std::thread([alert]() { alert->dismissWithClickedButtonIndex(0, true); }).join();
    EXPECT_EQ(AlertView::visibleAlerts().size(), 1u);
    turn();
    EXPECT_TRUE(AlertView::visibleAlerts().empty());
    EXPECT_EQ(rec.log.back(), "worker didDismiss 0");
}

TEST_F(AlertsTest, ActionSheetNumbersDestructiveOthersThenCancel) {
    auto sheet = ActionSheet::create("远程注销设置", &rec, "取消", "修改远程注销手机", {"删除"});
    EXPECT_EQ(sheet->destructiveButtonIndex(), 0);
    EXPECT_EQ(sheet->firstOtherButtonIndex(), 1);
    EXPECT_EQ(sheet->cancelButtonIndex(), 2);
    EXPECT_EQ(sheet->buttonTitleAtIndex(2), "取消");
    sheet->setTag(100);
    sheet->showInView(window.get());
    ASSERT_EQ(ActionSheet::visibleSheets().size(), 1u);
    EXPECT_DOUBLE_EQ(sheet->frame().maxY(), 480);
    Button* b = sheet->buttonAtIndex(1);
    Point p = b->convertPointToView(b->bounds().center(), nullptr);
    window->sendTouch(TouchPhase::Began, p, 0);
    window->sendTouch(TouchPhase::Ended, p, 0.1);
    std::vector<std::string> want{"sheet clicked 1", "sheet didDismiss 1"};
    EXPECT_EQ(rec.log, want);
    EXPECT_TRUE(ActionSheet::visibleSheets().empty());
}

TEST_F(AlertsTest, ADelegateDestroyedWhileItsAlertOrSheetShowsIsNeverCalled) {
    // The screen that made them goes away (popped, freed) while they show;
    // a later tap must not reach it.
    auto screen = std::make_unique<Recorder>();
    auto alert = AlertView::create("gone", "", screen.get(), "OK");
    auto sheet = ActionSheet::create("gone", screen.get(), "取消", "");
    alert->show();
    sheet->showInView(window.get());
    EXPECT_EQ(alert->delegate(), screen.get());
    screen.reset();
    EXPECT_EQ(alert->delegate(), nullptr);
    EXPECT_EQ(sheet->delegate(), nullptr);
    turn();  // didPresent finds no delegate
    alert->clickButtonAtIndex(0);
    sheet->clickButtonAtIndex(0);
    EXPECT_FALSE(alert->isVisible());
    EXPECT_FALSE(sheet->isVisible());

    // A delegate's copy is a different object: destroying the original does
    // not silence an alert that was given the copy.
    Recorder original;
    auto copy = std::make_unique<Recorder>(original);
    auto second = AlertView::create("copy", "", copy.get(), "OK");
    { Recorder dropped(*copy); }
    second->show();
    second->clickButtonAtIndex(0);
    EXPECT_EQ(copy->log.back(), "copy didDismiss 0");
}

// A panel of its own kind, presented with the same helper as alerts.
class Panel : public View {
public:
    explicit Panel(ModalStack& stack, std::vector<std::string>& log)
        : View(Rect{0, 300, 320, 180}), modal_(stack), log_(log) {}
    void open(bool dismissAtOnce = false) {
        auto self = shared_from_this();
        bool shown = modal_.present(
            self,
            [this, dismissAtOnce] {
                log_.push_back("will present");
                if (dismissAtOnce) close();
            },
            [this] { log_.push_back("did present"); });
        log_.push_back(shown ? "shown" : "not shown");
    }
    void close() {
        auto self = shared_from_this();
        modal_.dismiss(
            self, [this] { log_.push_back("will dismiss"); }, [this] { log_.push_back("did dismiss"); });
    }
    ModalPresentation modal_;
    std::vector<std::string>& log_;
};

TEST_F(AlertsTest, TheModalHelperPresentsAnyViewOverTheWindowInOrder) {
    ModalStack stack(false);
    std::vector<std::string> log;
    auto panel = std::make_shared<Panel>(stack, log);
    panel->open();
    EXPECT_TRUE(panel->modal_.isVisible());
    ASSERT_NE(panel->superview(), nullptr);
    EXPECT_EQ(panel->superview()->superview(), window.get());  // on a dimming view in front of the window
    EXPECT_EQ(stack.front(), panel.get());
    panel->open();  // already visible
    turn();
    panel->close();
    panel->close();  // not visible: nothing
    EXPECT_EQ(log, (std::vector<std::string>{"will present", "shown", "not shown", "did present", "will dismiss",
                                             "did dismiss"}));
    EXPECT_EQ(panel->superview(), nullptr);
    EXPECT_TRUE(stack.empty());

    // Dismissed from its own willPresent: never on screen, no didPresent.
    log.clear();
    panel->open(true);
    turn();
    EXPECT_EQ(log, (std::vector<std::string>{"will present", "will dismiss", "did dismiss", "not shown"}));
    EXPECT_EQ(panel->superview(), nullptr);
}

TEST_F(AlertsTest, ViewsTouchedOffTheMainThreadFailTheMainThreadAssertion) {
    std::vector<std::string> failures;
    auto old =
        foundation::setAssertionHandler([&](const foundation::AssertionFailure& f) { failures.push_back(f.function); });
    auto parent = View::create({0, 0, 10, 10});
    auto child = View::create({0, 0, 5, 5});
    std::thread([&] {
        parent->addSubview(child);
        child->setFrame({1, 1, 2, 2});
    }).join();
    parent->addSubview(View::create({0, 0, 1, 1}));  // on the main thread: fine
    foundation::setAssertionHandler(old);
    EXPECT_EQ(failures, (std::vector<std::string>{"insertSubview", "setFrame"}));
}

}  // namespace
