#include "app/screens/token/KAVOSafeProductViewController.h"

#include "app/core/BindingState.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/token/ProductTab.h"
#include "lib/kit/CustomNavigationBar.h"
#include "lib/kit/DnNotificationManager.h"
#include "lib/kit/ExampleModalPanel.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/ScreenMap.h"

namespace {

constexpr double kTabButtonTop = 6;
constexpr double kTabButtonWidth = 100;
constexpr double kTabButtonHeight = 88;

foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

// The last tab shown, kept for the rest of the process; it starts over
// between tests.
std::string& lastTab() {
    static std::string* tab = new std::string(KAVOSafeProductViewController::kOTP);
    static const bool registered =
        (foundation::registerResetter("token.lastSafeProductTab", foundation::ResetPhase::SharedObject,
                                      [] { *tab = KAVOSafeProductViewController::kOTP; }),
         true);
    (void)registered;
    return *tab;
}

std::shared_ptr<ui::Button> tabButton(double x, const char* accessibility) {
    auto button = std::make_shared<ui::Button>(ui::Rect{x, kTabButtonTop, kTabButtonWidth, kTabButtonHeight},
                                               ui::ButtonType::Custom);
    button->setAccessibilityLabel(accessibility);
    return button;
}

// Puts a tab's view, centred at centreY, into `host` so that all of it can be
// reached: a tab that reaches below the host's bounds is cut to the room left
// when it scrolls by itself (a list), and otherwise sits in `scroller` (made
// when missing) over that room.
void placeTabView(ui::View& host, const std::shared_ptr<ui::View>& tabView, double centreY,
                  std::shared_ptr<ui::ScrollView>& scroller) {
    const ui::Rect bounds = host.bounds();
    tabView->setCenter({bounds.width() / 2, centreY});
    const ui::Rect placed = tabView->frame();
    const double room = bounds.maxY() - placed.y();
    const bool fits = placed.maxY() <= bounds.maxY() || room <= 0;
    const bool scrollsItself = dynamic_cast<ui::ScrollView*>(tabView.get()) != nullptr;
    if (fits || scrollsItself) {
        // A list only has to end where the host does.
        if (!fits) tabView->setFrame({placed.x(), placed.y(), placed.width(), room});
        if (scroller) scroller->removeFromSuperview();
        host.addSubview(tabView);
        return;
    }
    if (!scroller) {
        scroller = std::make_shared<ui::ScrollView>(ui::Rect{});
        scroller->setShowsHorizontalScrollIndicator(false);
        scroller->setBackgroundColor(ui::Color::clearColor());
    }
    scroller->setFrame({bounds.x(), placed.y(), bounds.width(), room});
    scroller->setContentSize(placed.size);
    scroller->setContentOffset({0, 0});
    tabView->setFrame({placed.x() - bounds.x(), 0, placed.width(), placed.height()});
    scroller->addSubview(tabView);
    host.addSubview(scroller);
}

}  // namespace

const std::string& KAVOSafeProductViewController::lastSafeProductTab() { return lastTab(); }

KAVOSafeProductViewController::KAVOSafeProductViewController() { setTitle("禾盾令牌"); }

KAVOSafeProductViewController::~KAVOSafeProductViewController() = default;

void KAVOSafeProductViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(ui::Color::rgba(0.05, 0.09, 0.16));

    CustomNavigationBar maker;
    auto back = maker.backButtonWith(ui::Image::named("navigationBarBackButton"), nullptr, 14.0);
    maker.setText("返回", back.get());
    back->addTarget(
        this, [this](ui::Control*, const ui::Event*) { customBackButtonSelector(); }, ui::kControlEventTouchUpInside);
    navigationItem()->setLeftBarButtonItem(ui::BarButtonItem::withCustomView(back));

    helpButton_ = std::make_shared<ui::Button>(ui::Rect{0, 0, 50, 30}, ui::ButtonType::Custom);
    helpButton_->setTitle(kHelpButtonTitle);
    helpButton_->setTitleColor(ui::Color::whiteColor());
    if (ui::Label* title = helpButton_->titleLabel()) title->setFont(ui::Font::boldSystemFont(14));
    helpButton_->addTarget(
        this, [this](ui::Control* sender, const ui::Event*) { showHelp(sender->center()); },
        ui::kControlEventTouchUpInside);
    navigationItem()->setRightBarButtonItem(ui::BarButtonItem::withCustomView(helpButton_));

    lastShowedView_ = nullptr;
    curShowedView_ = nullptr;
    OTPViewController_.reset();
    OKVViewController_.reset();
    JIUXINGViewController_.reset();

    const double gap = (view()->bounds().width() - 3 * kTabButtonWidth) / 4;
    OTPButton_ = tabButton(gap, "动态口令");
    OKVButton_ = tabButton(2 * gap + kTabButtonWidth, "一键校验");
    JIUXINGButton_ = tabButton(3 * gap + 2 * kTabButtonWidth, "九星连珠");
    OTPButton_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { OTPButtonPressed(); }, ui::kControlEventTouchUpInside);
    OKVButton_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { OKVButtonPressed(); }, ui::kControlEventTouchUpInside);
    JIUXINGButton_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { JIUXINGButtonPressed(); }, ui::kControlEventTouchUpInside);
    OTPButton_->setImage(ui::Image::named("OTPO"));
    OKVButton_->setImage(ui::Image::named("OKV"));
    JIUXINGButton_->setImage(ui::Image::named("JX"));
    for (auto* button : {&OTPButton_, &OKVButton_, &JIUXINGButton_}) view()->addSubview(*button);
}

void KAVOSafeProductViewController::viewDidUnload() {
    OTPButton_.reset();
    OKVButton_.reset();
    JIUXINGButton_.reset();
    helpButton_.reset();
    helpPanel_.reset();
    ui::ViewController::viewDidUnload();
}

// ---------------------------------------------------------------- appearing and leaving

void KAVOSafeProductViewController::viewDidAppear(bool animated) {
    const binding::BindingState boundState = binding::stored();
    if (boundState == binding::BindingState::Bound && defaults().integerForKey(kNoticeKey) == 0) {
        Constants::simpleAlertViewWithTitle(kNoticeTitle, kNoticeMessage);
        defaults().setInteger(kNoticeKey, 10);
        defaults().synchronize();
    }
    ui::ViewController::viewDidAppear(animated);
    const char* tab = kOTP;
    if (binding::showsLiveCode(boundState) && lastTab() != kOTP) tab = lastTab() == kOKV ? kOKV : kJIUXING;
    showTab(tab);
    ScreenAnalytics::trackPageview(std::string("safeProduct/") + tab);
}

void KAVOSafeProductViewController::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
}

// ---------------------------------------------------------------- tabs

void KAVOSafeProductViewController::OTPButtonPressed() { showTab(kOTP); }
void KAVOSafeProductViewController::OKVButtonPressed() { showTab(kOKV); }
void KAVOSafeProductViewController::JIUXINGButtonPressed() { showTab(kJIUXING); }

void KAVOSafeProductViewController::showTab(const char* tab) {
    const std::string which = tab;
    OTPButton_->setImage(ui::Image::named(which == kOTP ? "OTPS" : "OTPO"));
    OKVButton_->setImage(ui::Image::named(which == kOKV ? "OKVS" : "OKV"));
    JIUXINGButton_->setImage(ui::Image::named(which == kJIUXING ? "JXS" : "JX"));

    ui::ScreenMap* map = storyboard();
    if (!map) return;
    std::shared_ptr<ui::ViewController> controller;
    if (which == kOTP) {
        OTPViewController_ = map->instantiateViewControllerWithIdentifier(kOTP);
        controller = OTPViewController_;
    } else if (which == kJIUXING) {
        JIUXINGViewController_ = map->instantiateViewControllerWithIdentifier(kJIUXING);
        controller = JIUXINGViewController_;
    } else {
        // The verify tab is made once and kept, with its list.
        if (!OKVViewController_) OKVViewController_ = map->instantiateViewControllerWithIdentifier(kOKV);
        controller = OKVViewController_;
    }
    if (!controller) return;
    lastTab() = which;
    curShowedView_ = controller.get();
    presentSpecificView(which);
    ScreenAnalytics::trackPageview("safeProduct/" + which);
}

void KAVOSafeProductViewController::presentSpecificView(const std::string& tab) {
    ui::ViewController* incoming = curShowedView_;
    if (!incoming) return;
    const bool onScreen = appearance() == Appearance::Appeared || appearance() == Appearance::Appearing;

    // The tab on display leaves, with its appearance calls while the
    // container is on screen.
    std::shared_ptr<ui::ViewController> outgoing;
    for (const auto& child : childViewControllers())
        if (child->isViewLoaded() && child->view() == lastShowedView_) outgoing = child;
    if (outgoing.get() == incoming) return;  // already shown
    if (outgoing) {
        outgoing->willMoveToParentViewController(nullptr);
        if (onScreen) outgoing->beginAppearanceTransition(false, false);
        lastShowedView_->removeFromSuperview();
        if (onScreen) outgoing->endAppearanceTransition();
        outgoing->removeFromParentViewController();
    } else if (lastShowedView_) {
        lastShowedView_->removeFromSuperview();
    }

    if (auto* productTab = dynamic_cast<ProductTab*>(incoming)) productTab->setParent(this);
    auto incomingRef = incoming->shared_from_this();
    addChildViewController(incomingRef);
    std::shared_ptr<ui::View> tabView = incoming->viewRef();
    if (onScreen) incoming->beginAppearanceTransition(true, false);
    const bool tall = Constants::isTallScreen();
    double y = kTabCenterY;
    if (tall) y = tab == kOKV ? kTallVerifyTabCenterY : kTallTabCenterY;
    // The centres are those of tabs drawn as high as the phone drew them; a
    // tab made lower to fit the room (or the kept verify list, cut to it
    // when first shown) keeps its top where such a tab's top is.
    y -= ((tall ? kTallTabDesignHeight : kTabDesignHeight) - tabView->bounds().height()) / 2;
    placeTabView(*view(), tabView, y, tabScroller_);
    lastShowedView_ = tabView.get();
    incoming->didMoveToParentViewController(this);
    if (onScreen) incoming->endAppearanceTransition();
}

void KAVOSafeProductViewController::customBackButtonSelector() {
    if (auto* nav = navigationController()) nav->popViewControllerAnimated(true);
}

// ---------------------------------------------------------------- help

void KAVOSafeProductViewController::setBarButtonsEnabled(bool enabled) {
    if (auto* right = navigationItem()->rightBarButtonItem()) right->setEnabled(enabled);
    if (auto* left = navigationItem()->leftBarButtonItem()) left->setEnabled(enabled);
}

void KAVOSafeProductViewController::showHelp(ui::Point from) {
    if (helpPanel_) return;
    setBarButtonsEnabled(false);
    auto panel = ExampleModalPanel::create(view()->bounds(), kHelpTitle, helpQuestions(), helpAnswers());
    std::weak_ptr<KAVOSafeProductViewController> weak =
        std::static_pointer_cast<KAVOSafeProductViewController>(shared_from_this());
    panel->setOnClosePressed([weak](ModalPanel* shown) {
        shown->hideWithOnComplete([weak](bool) {
            auto self = weak.lock();
            if (!self || !self->helpPanel_) return;
            self->helpPanel_->removeFromSuperview();
            self->helpPanel_.reset();
            self->setBarButtonsEnabled(true);
        });
    });
    helpPanel_ = panel;
    view()->addSubview(panel);
    panel->showFromPoint(from);
    ScreenAnalytics::trackPageview("QuickHelp/aqChanpin");
}

const std::vector<std::string>& KAVOSafeProductViewController::helpQuestions() {
    static const std::vector<std::string> questions = {
        "1.如何使用禾盾安全产品？",
        "2.动态口令支持付款验证吗？",
        "3.如何开通付款验证？",
        "4.已开启登录保护，为什么登录时没有要求校验？",
        "5.三种安全产品分别能用在哪里？",
        "6.校验总是失败怎么办？",
        "7.有没有更方便的使用方法？",
        "8.没有网络或手机欠费时还能使用吗？",
        "9.有人自称禾川网客服向我索要口令怎么办？",
    };
    return questions;
}

const std::vector<std::string>& KAVOSafeProductViewController::helpAnswers() {
    static const std::vector<std::string> answers = {
        "在禾川网登录、修改密码或付款等需要校验的页面，按提示输入本页显示的动态口令或九星连珠，或者在“一键校验”页放行"
        "对应的请求即可。",
        "支持。开通岚付通付款验证后，付款时可以使用动态口令完成验证。",
        "在“动态口令”页点击下方的红色按钮，按提示跳转到迅付完成授权，即可开通付款验证。",
        "登录保护只在系统判断有风险时才要求校验，例如在新的电脑或新的地点登录；在常用环境登录时可能不会要求校验。",
        "动态口令可用于登录、修改密码和付款验证；一键校验可用于登录和修改密码时的手机确认；九星连珠可用于登录和修改密"
        "码时的校验。具体以页面提示为准。",
        "请先确认校验的是已绑定本手机的同一个账号，再在“动态口令”页进行时间校准后重试。每个口令在30秒内有效，且只能使"
        "用一次。",
        "可以在首页打开口令显示开关，打开禾盾即可看到动态口令；在设置中开启快捷一键校验后，收到的校验请求会直接在首页"
        "弹出，一点即可放行。",
        "动态口令和九星连珠不需要网络，没有网络或手机欠费时照常可用；一键校验需要连接网络才能收到和放行请求。",
        "禾川网的工作人员不会以任何理由向您索要口令。请不要把口令告诉任何人，遇到此类情况请立即挂断并修改密码。",
    };
    return answers;
}
