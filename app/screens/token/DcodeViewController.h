#pragma once
// The nine-star tab ("JIUXING"): the code turned into a path of three or
// four stars, drawn on a 5x5 grid of pictures (stars, lines, first and last
// marks) and traced by the engine's particle layer; the countdown, time
// calibration and the switch that puts the stars on the main screen. The
// main screen's quick sheet shows the same screen in a compact form, with
// the views tagged kCompactHiddenTags hidden before it appears.

#include <array>
#include <memory>
#include <string>

#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/shared/LiveCode.h"
#include "app/screens/token/CodeScreenParts.h"
#include "app/screens/token/KAVOMainLayer.h"
#include "app/screens/token/ProductTab.h"
#include "app/screens/token/TokenModel.h"
#include "lib/engine2d/director/GxDirector.h"
#include "lib/kit/StripedProgressBar.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"

class DcodeViewController : public KAVOCommandViewController, public ProductTab, public engine2d::GxDirectorDelegate {
public:
    static constexpr const char* kScreenIdentifier = "JIUXING";
    static constexpr int kTagServerTime = 1397;

    DcodeViewController();
    ~DcodeViewController() override;
    const char* className() const override { return "DcodeViewController"; }

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) override {
        return o == ui::InterfaceOrientation::Portrait;
    }

    void dcodeCheckTime();
    void setShowFlag();
    // The live code's one-second tick.
    void onTime(const screens::LiveCode::Tick& tick);

    // What a test reads.
    const std::string& code() const { return code_; }
    const std::string& path() const { return path_; }
    // The pictures the grid shows, by name.
    const token::JiuXingDrawing& drawing() const { return drawing_; }
    ui::ImageView* cell(int row, int column) const { return grid_[row][column].get(); }
    ui::ImageView* overlay(int i) const { return imageAgin_[i].get(); }
    const std::shared_ptr<KAVOMainLayer>& layer() const { return layArray_.layer; }
    const std::shared_ptr<engine2d::GxScene>& scene() const { return layArray_.scene; }
    ui::Label* lable() const { return lable_.get(); }
    StripedProgressBar* progressView() const { return progressView_.get(); }
    ui::Button* flagButton() const { return flagbtn_.get(); }
    ui::View* engine2dView() const { return engine2dView_.get(); }
    bool hasTimer() const { return liveCode_.hasTimer(); }

private:
    // The countdown, the bar and the two buttons, placed for the tall screen
    // or for the 3.5-inch one.
    void layoutControls(bool tall);
    void layoutGrid(double engineHeight);
    void setInitDate();
    void showAomunt();
    void showImage();
    void showButton();
    void showCountdown(int moment);

    token::StoredToken dkbase_;
    int amount_ = 0;
    std::string code_, path_;
    token::JiuXingDrawing drawing_;
    bool isShowFast_ = false;
    KAVOMainLayer::Pair layArray_;
    screens::LiveCode liveCode_;
    bool engineAttached_ = false;

    std::array<std::array<std::shared_ptr<ui::ImageView>, 5>, 5> grid_;
    std::array<std::shared_ptr<ui::ImageView>, 4> imageAgin_;
    std::shared_ptr<ui::Button> flagbtn_, checkTime_;
    std::shared_ptr<StripedProgressBar> progressView_;
    std::shared_ptr<ui::Label> lable_;
    std::shared_ptr<ui::ImageView> bakImage_;
    std::shared_ptr<ui::View> engine2dView_;
};
