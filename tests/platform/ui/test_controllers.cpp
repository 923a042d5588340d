// View controllers: appearance order for modal and push with children,
// child moves, the navigation bar and the screen map's segues.

#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/MemoryWarnings.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/ScreenMap.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using namespace ui;

std::vector<std::string>* g_log = nullptr;

class Screen : public ViewController {
public:
    explicit Screen(std::string name) : name_(std::move(name)) {}
    const char* className() const override { return "Screen"; }
    void viewDidLoad() override { note("didLoad"); }
    void viewWillAppear(bool) override { note("willAppear"); }
    void viewDidAppear(bool) override { note("didAppear"); }
    void viewWillDisappear(bool) override { note("willDisappear"); }
    void viewDidDisappear(bool) override { note("didDisappear"); }
    void viewDidUnload() override { note("didUnload"); }
    void didReceiveMemoryWarning() override {
        note("memoryWarning");
        ViewController::didReceiveMemoryWarning();
    }
    void willMoveToParentViewController(ViewController* p) override { note(p ? "willMove" : "willMove(null)"); }
    void didMoveToParentViewController(ViewController* p) override { note(p ? "didMove" : "didMove(null)"); }
    void prepareForSegue(StoryboardSegue& segue, const void*) override {
        note("prepare " + segue.identifier());
        auto* dest = dynamic_cast<Screen*>(segue.destinationViewController());
        if (dest) dest->received = name_;
    }
    void note(const std::string& what) {
        if (g_log) g_log->push_back(name_ + " " + what);
    }
    std::string name_;
    std::string received;
};

class ControllersTest : public uitest::UiFixture {
protected:
    void SetUp() override {
        UiFixture::SetUp();
        g_log = &log;
        window = Window::create({0, 0, 320, 480});
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        g_log = nullptr;
        UiFixture::TearDown();
    }
    // Puts a controller's view in the window as the app's first screen.
    void showRoot(const std::shared_ptr<ViewController>& vc) {
        vc->beginAppearanceTransition(true, false);
        window->addSubview(vc->viewRef());
        vc->endAppearanceTransition();
    }
    void settle() {
        advance(1);
        turn();
    }
    std::vector<std::string> log;
    std::shared_ptr<Window> window;
};

TEST_F(ControllersTest, ViewLoadsOnceOnFirstUse) {
    auto a = std::make_shared<Screen>("a");
    EXPECT_FALSE(a->isViewLoaded());
    View* v = a->view();
    EXPECT_EQ(a->view(), v);
    EXPECT_EQ(v->nextResponder(), a.get());
    EXPECT_EQ(log, std::vector<std::string>{"a didLoad"});
    a->didReceiveMemoryWarning();  // not in a window: unloaded
    EXPECT_FALSE(a->isViewLoaded());
    EXPECT_EQ(log.back(), "a didUnload");
    EXPECT_TRUE(a->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::Portrait));
    EXPECT_FALSE(a->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::LandscapeLeft));
}

// A memory warning goes to the application's delegate, then to every view
// controller alive in the order they were made: one shown keeps its view,
// one loaded off screen lets it go, one never loaded has nothing to let go;
// one that is gone hears nothing.
TEST_F(ControllersTest, AMemoryWarningReachesEveryControllerAlive) {
    struct Delegate : ApplicationDelegate {
        void applicationDidReceiveMemoryWarning(Application*) override { g_log->push_back("app memoryWarning"); }
    };
    Application::shared().setDelegate(std::make_shared<Delegate>());
    auto shown = std::make_shared<Screen>("shown");
    showRoot(shown);
    auto offScreen = std::make_shared<Screen>("off");
    offScreen->view();
    auto unloaded = std::make_shared<Screen>("unloaded");
    std::make_shared<Screen>("gone")->view();
    log.clear();
    Application::shared().receiveMemoryWarning();
    EXPECT_EQ(log, (std::vector<std::string>{"app memoryWarning", "shown memoryWarning", "off memoryWarning",
                                             "off didUnload", "unloaded memoryWarning"}));
    EXPECT_TRUE(shown->isViewLoaded());
    EXPECT_FALSE(offScreen->isViewLoaded());
    EXPECT_FALSE(unloaded->isViewLoaded());
    Application::shared().setDelegate(nullptr);
}

// What the kernel's notification is read from: the pressure counts of a
// cgroup's memory.events, and sources that cannot be had.
TEST(MemoryPressureSource, CountsPressureEventsAndRefusesWhatIsNotThere) {
    const std::pair<const char*, unsigned long long> texts[] = {
        {"low 0\nhigh 0\nmax 0\noom 0\noom_kill 0\n", 0},
        {"low 7\nhigh 3\nmax 2\noom 1\noom_kill 9\noom_group_kill 4\n", 6},
        {"", 0},
        {"high 12", 12},
    };
    for (auto [text, count] : texts) EXPECT_EQ(MemoryPressureSource::pressureEventCount(text), count) << text;
    EXPECT_EQ(MemoryPressureSource::pressureStall("/nonexistent/pressure/memory"), nullptr);
    EXPECT_EQ(MemoryPressureSource::cgroupEvents(""), nullptr);
    EXPECT_FALSE(MemoryWarnings::shared().start(nullptr));
    EXPECT_FALSE(MemoryWarnings::shared().isWatching());
}

TEST_F(ControllersTest, ModalPresentationOrderWithChildForwarding) {
    auto root = std::make_shared<Screen>("root");
    auto child = std::make_shared<Screen>("child");
    root->addChildViewController(child);
    root->view()->addSubview(child->viewRef());
    child->didMoveToParentViewController(root.get());
    showRoot(root);
    log.clear();
    auto modal = std::make_shared<Screen>("modal");
    bool completed = false;
    root->presentViewController(modal, true, [&]() {
        completed = true;
        log.push_back("completion");
    });
    EXPECT_FALSE(completed);
    settle();
    std::vector<std::string> want{"modal didLoad",   "modal willAppear",  "root willDisappear", "child willDisappear",
                                  "modal didAppear", "root didDisappear", "child didDisappear", "completion"};
    EXPECT_EQ(log, want);
    EXPECT_EQ(root->presentedViewController(), modal.get());
    EXPECT_EQ(modal->presentingViewController(), root.get());
    EXPECT_EQ(modal->view()->superview(), window.get());

    log.clear();
    modal->dismissModalViewControllerAnimated(true);  // asked by the presented one
    settle();
    std::vector<std::string> back{"modal willDisappear", "root willAppear", "child willAppear",
                                  "modal didDisappear",  "root didAppear",  "child didAppear"};
    EXPECT_EQ(log, back);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(modal->view()->superview(), nullptr);
    EXPECT_FALSE(root->view()->isHidden());
}

TEST_F(ControllersTest, PresentingTwiceOrDismissingNothingIsHarmless) {
    auto root = std::make_shared<Screen>("root");
    showRoot(root);
    auto modal = std::make_shared<Screen>("modal");
    root->presentViewController(modal, false);
    root->presentViewController(modal, false);  // already shown: logged
    auto other = std::make_shared<Screen>("other");
    bool done = false;
    other->dismissViewControllerAnimated(false, [&]() { done = true; });  // presents nothing
    EXPECT_TRUE(done);
    EXPECT_EQ(root->presentedViewController(), modal.get());
    root->dismissViewControllerAnimated(false);
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(ControllersTest, ChildMovesBetweenParents) {
    auto p1 = std::make_shared<Screen>("p1");
    auto p2 = std::make_shared<Screen>("p2");
    auto c = std::make_shared<Screen>("c");
    p1->addChildViewController(c);
    c->didMoveToParentViewController(p1.get());
    log.clear();
    p2->addChildViewController(c);
    std::vector<std::string> want{"c willMove(null)", "c didMove(null)", "c willMove"};
    EXPECT_EQ(log, want);
    EXPECT_TRUE(p1->childViewControllers().empty());
    ASSERT_EQ(p2->childViewControllers().size(), 1u);
    EXPECT_EQ(c->parentViewController(), p2.get());
}

TEST_F(ControllersTest, PushAndPopAppearanceOrderAndDidShowNotification) {
    auto root = std::make_shared<Screen>("root");
    root->setTitle("首页");
    auto nav = std::make_shared<NavigationController>(root);
    showRoot(nav);
    std::vector<std::string> shown;
    foundation::NotificationCenter::defaultCenter().addObserver(
        this, kNavigationControllerDidShowViewControllerNotification,
        [&](const foundation::Notification& n) {
            shown.push_back(*n.userInfo.asDictionary()->find("viewController")->asString());
        },
        nav.get());
    log.clear();
    auto next = std::make_shared<Screen>("next");
    next->setTitle("下一页");
    nav->pushViewController(next, true);
    settle();
    std::vector<std::string> want{"next willMove", "next didLoad",      "root willDisappear", "next willAppear",
                                  "next didMove",  "root didDisappear", "next didAppear"};
    EXPECT_EQ(log, want);
    EXPECT_EQ(nav->topViewController(), next.get());
    EXPECT_EQ(next->navigationController(), nav.get());
    EXPECT_EQ(nav->navigationBar()->titleLabel()->text(), "下一页");
    ASSERT_NE(nav->navigationBar()->backButton(), nullptr);
    EXPECT_EQ(nav->navigationBar()->backButton()->currentTitle(), "首页");
    EXPECT_EQ(next->view()->frame(), (Rect{0, 0, 320, 436}));
    EXPECT_EQ(next->view()->superview()->frame(), (Rect{0, 44, 320, 436}));

    log.clear();
    // The back button pops.
    Button* back = nav->navigationBar()->backButton();
    Point p = back->convertPointToView(back->bounds().center(), nullptr);
    window->sendTouch(TouchPhase::Began, p, 0);
    window->sendTouch(TouchPhase::Ended, p, 0.1);
    settle();
    std::vector<std::string> popped{"next willDisappear", "root willAppear",   "next willMove(null)",
                                    "next didMove(null)", "next didDisappear", "root didAppear"};
    EXPECT_EQ(log, popped);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_EQ(next->view()->superview(), nullptr);
    EXPECT_EQ(nav->navigationBar()->titleLabel()->text(), "首页");
    EXPECT_EQ(nav->navigationBar()->backButton(), nullptr);
    EXPECT_EQ(shown, (std::vector<std::string>{"Screen", "Screen"}));
    EXPECT_EQ(nav->popViewControllerAnimated(false), nullptr);  // never the root
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(ControllersTest, PopToRootAndHiddenBarAndBarButtonItems) {
    auto root = std::make_shared<Screen>("root");
    auto nav = std::make_shared<NavigationController>(root);
    showRoot(nav);
    nav->pushViewController(std::make_shared<Screen>("two"), false);
    nav->pushViewController(std::make_shared<Screen>("three"), false);
    log.clear();
    auto removed = nav->popToRootViewControllerAnimated(false);
    ASSERT_EQ(removed.size(), 2u);
    EXPECT_EQ(dynamic_cast<Screen*>(removed[0].get())->name_, "three");
    // Only the shown screen hears appearance calls.
    EXPECT_EQ(std::count(log.begin(), log.end(), "two willDisappear"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "three didDisappear"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "root didAppear"), 1);

    nav->setNavigationBarHidden(true);
    EXPECT_EQ(root->view()->superview()->frame(), (Rect{0, 0, 320, 480}));

    int presses = 0;
    auto item = BarButtonItem::withTitle("提交", BarButtonItemStyle::Bordered, [&](BarButtonItem*) { ++presses; });
    root->navigationItem()->setRightBarButtonItem(item);
    auto custom = Button::buttonWithType(ButtonType::Custom);
    custom->setFrame({0, 0, 50, 30});
    auto left = BarButtonItem::withCustomView(custom);
    root->navigationItem()->setLeftBarButtonItem(left);
    EXPECT_EQ(nav->navigationBar()->leftView(), custom.get());
    item->press();
    item->setEnabled(false);
    item->press();
    left->setEnabled(false);
    EXPECT_EQ(presses, 1);
    EXPECT_FALSE(custom->isEnabled());
}

TEST_F(ControllersTest, NavigationPromptMakesTheBarTaller) {
    auto root = std::make_shared<Screen>("root");
    auto nav = std::make_shared<NavigationController>(root);
    nav->view();
    root->navigationItem()->setPrompt("Login to this secure server.");
    EXPECT_DOUBLE_EQ(nav->navigationBar()->sizeThatFits({320, 0}).height, 74);
    EXPECT_FALSE(nav->navigationBar()->promptLabel()->isHidden());
}

class MapTest : public ControllersTest {
protected:
    void SetUp() override {
        ControllersTest::SetUp();
        map.registerScreen("main", [] { return std::make_shared<Screen>("main"); });
        map.registerScreen("OTP", [] { return std::make_shared<Screen>("otp"); });
        map.registerScreen("pin", [] { return std::make_shared<Screen>("pin"); });
        map.registerSegue("main", "showOtp", "OTP", SegueKind::Push);
        map.registerSegue("main", "haspassword", "pin", SegueKind::Modal);
        map.registerSegue("main", "broken", "nowhere", SegueKind::Push);
        map.registerSegue("pin", "unlocked", "main", SegueKind::ModalInNavigation);
        map.registerSegue("main", "custom", "pin", SegueKind::Custom, [this](StoryboardSegue& s) {
            log.push_back("custom perform to " + dynamic_cast<Screen*>(s.destinationViewController())->name_);
        });
        map.setInitialScreen("main");
        previous = foundation::setLogSink([this](const std::string& line) { lines.push_back(line); });
    }
    void TearDown() override {
        foundation::setLogSink(previous);
        ControllersTest::TearDown();
    }
    ScreenMap map;
    std::vector<std::string> lines;
    foundation::LogSink previous;
};

TEST_F(MapTest, SegueReachesTheRegisteredScreenAfterPrepare) {
    auto main = map.instantiateInitialViewController();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->screenIdentifier(), "main");
    auto nav = std::make_shared<NavigationController>(main);
    showRoot(nav);
    log.clear();
    main->performSegueWithIdentifier("showOtp", main.get());
    settle();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "main prepare showOtp");
    auto* top = dynamic_cast<Screen*>(nav->topViewController());
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->name_, "otp");
    EXPECT_EQ(top->received, "main");
    EXPECT_EQ(top->screenIdentifier(), "OTP");
    EXPECT_EQ(map.performedSegues(), std::vector<std::string>{"main->showOtp->OTP"});

    main->performSegueWithIdentifier("haspassword");
    settle();
    ASSERT_NE(nav->presentedViewController(), nullptr);
    EXPECT_EQ(dynamic_cast<Screen*>(nav->presentedViewController())->name_, "pin");
    main->performSegueWithIdentifier("custom");
    EXPECT_EQ(log.back(), "custom perform to pin");
}

TEST_F(MapTest, UnknownSeguesAndScreensAreLoggedNotFatal) {
    auto main = map.instantiateViewControllerWithIdentifier("main");
    auto nav = std::make_shared<NavigationController>(main);
    showRoot(nav);
    log.clear();
    main->performSegueWithIdentifier("nosuch");
    main->performSegueWithIdentifier("broken");
    EXPECT_EQ(map.instantiateViewControllerWithIdentifier("missing"), nullptr);
    auto loose = std::make_shared<Screen>("loose");
    loose->performSegueWithIdentifier("showOtp");
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_TRUE(log.empty());  // no prepare for a segue that goes nowhere
    EXPECT_TRUE(map.performedSegues().empty());
    auto has = [&](const std::string& part) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    };
    EXPECT_TRUE(has("\"nosuch\""));
    EXPECT_TRUE(has("\"nowhere\""));
    EXPECT_TRUE(has("\"missing\""));
    EXPECT_TRUE(has("not made from a screen map"));
}

TEST_F(MapTest, AModalSegueInNavigationGivesTheDestinationAStackToPushOn) {
    auto pin = map.instantiateViewControllerWithIdentifier("pin");
    showRoot(pin);
    pin->performSegueWithIdentifier("unlocked");
    settle();
    auto* nav = dynamic_cast<NavigationController*>(pin->presentedViewController());
    ASSERT_NE(nav, nullptr);
    auto* main = dynamic_cast<Screen*>(nav->topViewController());
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->screenIdentifier(), "main");
    main->performSegueWithIdentifier("showOtp");
    settle();
    ASSERT_EQ(nav->viewControllers().size(), 2u);
    EXPECT_EQ(dynamic_cast<Screen*>(nav->topViewController())->name_, "otp");
}

TEST_F(MapTest, PushSegueWithoutNavigationControllerIsLogged) {
    auto main = map.instantiateViewControllerWithIdentifier("main");
    showRoot(main);
    main->performSegueWithIdentifier("showOtp");
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("no navigation controller") != std::string::npos;
    }));
}

}  // namespace
