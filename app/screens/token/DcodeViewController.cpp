#include "app/screens/token/DcodeViewController.h"

#include "app/core/DBController.h"
#include "app/core/GetOtp.h"
#include "app/core/SharedScreenState.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/token/CodeEngine.h"
#include "app/screens/token/KAVOSafeProductViewController.h"
#include "app/screens/token/TokenModel.h"
#include "platform/foundation/Clock.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

namespace {

constexpr const char* kCategory = "jiuXingView";
// The grid: 5x5 cells of 48 points from (40, 12); stars on the even cells.
constexpr double kGridX = 40, kGridY = 12, kCell = 48;
constexpr double kLowestEngineHeight = 260;

bool tallScreen() { return Constants::isTallScreen(); }
// The screen is as high as the room under the product container's tab
// buttons: 336 points, 398 on the tall screen.
using Container = KAVOSafeProductViewController;
double viewHeight() { return tallScreen() ? Container::kTallTabRoomHeight : Container::kTabRoomHeight; }
// The tall screen has the countdown, the bar and the buttons lower; on the
// 3.5-inch screen they are a little higher, to end inside it.
constexpr double kTallDown = 30;
constexpr double kShortLift = 10;

}  // namespace

DcodeViewController::DcodeViewController() {
    token::registerCalibration(*this, *this, kTagServerTime, [this](const std::string& difference) {
        dkbase_.difftime = difference;
        liveCode_.setToken(dkbase_.bid, dkbase_.difftime);
    });
}

DcodeViewController::~DcodeViewController() { CodeEngine::stop(this); }

void DcodeViewController::loadView() {
    setView(std::make_shared<ui::View>(ui::Rect{0, 0, 320, viewHeight()}));
    view()->setBackgroundColor(ui::Color::rgba(0.05, 0.09, 0.16));
}

void DcodeViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    ui::View& root = *view();

    bakImage_ = std::make_shared<ui::ImageView>(ui::Rect{0, 0, 320, viewHeight()});
    if (auto background = ui::Image::named("bg4.jpg"))
        bakImage_->setImage(background->withScale(background->size().width / 320 * background->scale()));
    root.addSubview(bakImage_);

    engine2dView_ = std::make_shared<ui::View>(ui::Rect{0, 0, 320, 260});
    engine2dView_->setTag(SharedScreenState::kQuickJiuXingHiddenTags[0]);
    root.addSubview(engine2dView_);

    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) {
            grid_[r][c] =
                std::make_shared<ui::ImageView>(ui::Rect{kGridX + c * kCell, kGridY + r * kCell, kCell, kCell});
            grid_[r][c]->setAccessibilityLabel("cell" + std::to_string(r) + std::to_string(c));
            root.addSubview(grid_[r][c]);
        }
    const int crossings[4][2] = {{1, 1}, {1, 3}, {3, 1}, {3, 3}};
    for (int i = 0; i < 4; ++i) {
        imageAgin_[i] = std::make_shared<ui::ImageView>(grid_[crossings[i][0]][crossings[i][1]]->frame());
        root.addSubview(imageAgin_[i]);
    }

    lable_ = std::make_shared<ui::Label>(ui::Rect{});
    lable_->setTextAlignment(ui::TextAlignment::Center);
    lable_->setBackgroundColor(ui::Color::clearColor());
    lable_->setOpaque(false);
    lable_->setFont(ui::Font::systemFont(15));
    lable_->setTextColor(ui::Color::whiteColor());
    root.addSubview(lable_);

    progressView_ = StripedProgressBar::create({});
    root.addSubview(progressView_);

    checkTime_ = std::make_shared<ui::Button>(ui::Rect{}, ui::ButtonType::Custom);
    checkTime_->setBackgroundColor(ui::Color::rgba(0.18, 0.36, 0.62));
    checkTime_->setTitle("时间校准");
    checkTime_->setTitleColor(ui::Color::whiteColor());
    checkTime_->setTag(SharedScreenState::kQuickJiuXingHiddenTags[1]);
    checkTime_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { dcodeCheckTime(); }, ui::kControlEventTouchUpInside);
    root.addSubview(checkTime_);

    flagbtn_ = std::make_shared<ui::Button>(ui::Rect{}, ui::ButtonType::Custom);
    flagbtn_->setBackgroundColor(ui::Color::rgba(0.18, 0.36, 0.62));
    flagbtn_->setTitle("首页显示");
    flagbtn_->setTitle("首页显示 ✓", ui::kControlStateSelected);
    flagbtn_->setTitleColor(ui::Color::whiteColor());
    flagbtn_->setAccessibilityLabel("首页显示九星连珠");
    flagbtn_->setTag(SharedScreenState::kQuickJiuXingHiddenTags[2]);
    flagbtn_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { setShowFlag(); }, ui::kControlEventTouchUpInside);
    root.addSubview(flagbtn_);
    layoutControls(tallScreen());

    layArray_ = KAVOMainLayer::initParam();
}

void DcodeViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    // The quick sheet hides the engine's host: the sheet shows the grid only.
    if (!engine2dView_->isHidden()) {
        const ui::Rect bounds = view()->bounds();
        // The view less 200 points, and never so short that the top row of
        // stars leaves it (a view under a bar and a tab menu).
        engine2dView_->setFrame({0, 0, bounds.size.width, std::max(kLowestEngineHeight, bounds.size.height - 200)});
        layoutGrid(engine2dView_->frame().size.height);
        engineAttached_ = CodeEngine::attach(*engine2dView_, engine2dView_->bounds(), this) != nullptr;
        CodeEngine::run(layArray_.scene);
    }
    // A view too low for the bar as the tall screen places it (the hub's
    // quick sheet, 295 points) has the countdown and the bar where the
    // 3.5-inch screen has them.
    if (progressView_->frame().maxY() > view()->bounds().height()) layoutControls(false);
    setInitDate();
    liveCode_.setToken(dkbase_.bid, dkbase_.difftime);
    liveCode_.refresh();
    amount_ = liveCode_.secondsIn();
    showAomunt();
    showImage();
    showButton();
    liveCode_.restart([this](const screens::LiveCode::Tick& tick) { onTime(tick); });
}

void DcodeViewController::viewWillDisappear(bool animated) {
    KAVOCommandViewController::viewWillDisappear(animated);
    if (!engine2dView_->isHidden()) CodeEngine::stop(this);
}

void DcodeViewController::viewDidDisappear(bool animated) {
    KAVOCommandViewController::viewDidDisappear(animated);
    liveCode_.finish();
}

void DcodeViewController::layoutControls(bool tall) {
    const double down = tall ? kTallDown : 0;
    const double lift = tall ? 0 : kShortLift;
    lable_->setFrame({20, 256 + down / 2 - lift, 280, 24});
    progressView_->setFrame({30, 284 + down - 1.4 * lift, 260, 12});
    checkTime_->setFrame({40, 310 + down - 2 * lift, 110, 40});
    flagbtn_->setFrame({170, 310 + down - 2 * lift, 110, 40});
}

void DcodeViewController::layoutGrid(double engineHeight) {
    // The stars sit where the layer's anchors are: the top row's centre is
    // 227 points above the engine view's bottom edge.
    const double top = engineHeight - 227 - kCell / 2;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) grid_[r][c]->setFrame({kGridX + c * kCell, top + r * kCell, kCell, kCell});
    const int crossings[4][2] = {{1, 1}, {1, 3}, {3, 1}, {3, 3}};
    for (int i = 0; i < 4; ++i) imageAgin_[i]->setFrame(grid_[crossings[i][0]][crossings[i][1]]->frame());
}

void DcodeViewController::setInitDate() {
    dkbase_ = token::loadStoredToken();
    isShowFast_ = dkbase_.jiuxing != "0";
}

void DcodeViewController::showCountdown(int moment) {
    token::Countdown c = token::countdown(token::CountdownKind::JiuXing, token::CountdownMoment(moment), amount_);
    lable_->setText(c.text);
    progressView_->setProgress(c.progress);
}

void DcodeViewController::showAomunt() { showCountdown(int(token::CountdownMoment::Appearance)); }

void DcodeViewController::onTime(const screens::LiveCode::Tick& tick) {
    amount_ = tick.secondsIn;
    if (!tick.newWindow) {
        showCountdown(int(token::CountdownMoment::SameWindowTick));
        return;
    }
    showImage();
    showCountdown(int(token::CountdownMoment::NewWindowTick));
}

void DcodeViewController::showImage() {
    code_ = liveCode_.code();
    path_ = Calculate().getNums(code_);
    // Only a layer on the engine view draws; without it (the quick sheet, no
    // GL) nothing loads its textures.
    if (engineAttached_ && layArray_.layer) layArray_.layer->changeMoving(path_);
    drawing_ = token::drawPath(path_);
    const token::JiuXingDrawing& drawing = drawing_;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) {
            grid_[r][c]->setImage(ui::Image::named(drawing.cells[r][c]));
        }
    for (int i = 0; i < 4; ++i) {
        imageAgin_[i]->setImage(ui::Image::named(drawing.overlays[i]));
    }
}

void DcodeViewController::showButton() { flagbtn_->setSelected(isShowFast_); }

void DcodeViewController::dcodeCheckTime() {
    popOutProgressHUD(kTagServerTime);
    ScreenAnalytics::trackEvent(kCategory, "jiuXingTimeCheck", std::nullopt);
}

void DcodeViewController::setShowFlag() {
    const bool on = !isShowFast_;
    const bool written = Constants::upDateDBSetValue(on ? "1" : "0", StoreKeys::jiuxing);
    if (!written) {
        token::showNotice(*this, *this, "设置失败，请稍后再试");
        return;
    }
    isShowFast_ = on;
    flagbtn_->setSelected(on);
    token::showNotice(*this, *this, on ? "您已成功设置首页显示九星连珠" : "您已成功取消首页显示九星连珠");
    ScreenAnalytics::trackEvent(kCategory, "ShowJiuXingFast", std::string(on ? "jiuXingFastOpen" : "jiuXingFastClose"));
}
