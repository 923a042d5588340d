// Renders one of each UI kit widget, in its main states, to a PNG:
//
//   kit_widgets_snapshot <output.png> [bundle folder]
// (the picture in docs is docs/kit-widgets.png)
//
// Left: the help panel over a screen. Right: navigation bars with and
// without their picture and back buttons, the on/off switch in both
// positions inside the shared cell, count badges, striped progress bars and
// the gradient backgrounds with their lines and noise.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "lib/kit/CustomBadge.h"
#include "lib/kit/CustomNavigationBar.h"
#include "lib/kit/ExampleModalPanel.h"
#include "lib/kit/GradientBackground.h"
#include "lib/kit/KAVOCustomCells.h"
#include "lib/kit/StripedProgressBar.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Label.h"

namespace {

constexpr double kWidth = 680, kHeight = 580;
constexpr double kRight = 350;  // left edge of the right column

void caption(ui::View& parent, const std::string& text, double x, double y, double w = 320) {
    auto label = ui::Label::create({x, y, w, 16});
    label->setText(text);
    label->setFont(ui::Font::systemFont(11));
    label->setTextColor(ui::Color::white(0.35));
    label->setBackgroundColor(ui::Color::clearColor());
    parent.addSubview(label);
}

std::shared_ptr<ui::View> helpScreen() {
    auto screen = ui::View::create({10, 30, 320, 500});
    screen->setBackgroundColor(ui::Color::rgba(0.93, 0.92, 0.89));
    const std::vector<std::string> questions = {
        "1.什么是账号锁定？",
        "2.锁定后店铺能正常营业吗？",
        "3.全天锁定是什么意思？",
    };
    const std::vector<std::string> answers = {
        "锁定期间账号不能登录，已经登录的地方会被退出。",
        "不影响，店铺照常营业，买家可以正常下单。",
        "全天锁定即24小时锁定，最长可锁定七天，到期后自动解锁。",
    };
    auto panel = ExampleModalPanel::create(screen->bounds(), "温馨提示", questions, answers);
    panel->titleBar()->setLineMode(2);
    screen->addSubview(panel);
    panel->showFromPoint({290, 20});
    return screen;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output.png> [bundle folder]\n", argv[0]);
        return 2;
    }
    if (argc > 2) setenv("QUENTA_BUNDLE", argv[2], 1);
    foundation::RunLoop::setMainThread();
    shell::Driver driver({kWidth, kHeight}, 2);
    ui::Window& window = driver.window();
    window.setBackgroundColor(ui::Color::white(0.97));

    caption(window, "帮助面板 (弹出后)", 10, 8);
    window.addSubview(helpScreen());

    double y = 8;
    // Navigation bars: with the picture, and the standard look.
    caption(window, "导航栏：背景图片与返回按钮 / 标准样式", kRight, y);
    y += 20;
    ui::ImageRef backImage = ui::Image::named("navigationBarBackButton");
    ui::NavigationItem pictured("安全中心"), plain("");
    for (int i = 0; i < 2; ++i) {
        auto bar = CustomNavigationBar::create({kRight, y, 320, 44});
        if (i == 0) bar->setBackgroundWith(ui::Image::named("title-bar2.png"));
        ui::NavigationItem previous(i == 0 ? "返回" : "一个很长很长的上一页标题会被截断");
        bar->pushNavigationItem(&previous);
        auto back = bar->backButtonWith(backImage, nullptr, 14);
        back->setFrame({8, 7, back->frame().width(), back->frame().height()});
        bar->popNavigationItem();
        bar->pushNavigationItem(i == 0 ? &pictured : &plain);
        window.addSubview(bar);
        bar->layoutIfNeeded();
        bar->addSubview(back);
        y += 50;
    }

    // The shared cell with its switch, on and off.
    caption(window, "共享单元格与开关：开 / 关", kRight, y);
    y += 20;
    for (unsigned index : {0u, 1u}) {
        auto cell = std::static_pointer_cast<KAVOAccountProtectOpertationCell>(
            makeKAVOCellFromLayout(KAVOCellClass::Operation, "APCustomCell3", {320, 80}));
        cell->titleLabel()->setText(index == 0 ? "登录保护" : "确认收货保护");
        cell->subTitleLabel()->setText(index == 0 ? "登录禾川网时需要进行校验" : "点击确认收货时需要安全验证");
        cell->setBackgroundColor(ui::Color::whiteColor());
        cell->setFrame({kRight, y, 320, 80});
        window.addSubview(cell);
        cell->segmentControl()->moveThumbToIndex(index, false);
        y += 82;
    }

    // Badges.
    caption(window, "数字徽标：空 / 5 / 12 / 128 / 无光泽无边框", kRight, y);
    y += 22;
    double x = kRight + 4;
    for (const char* text : {"", "5", "12", "128"}) {
        auto badge = CustomBadge::customBadgeWithString(text);
        badge->setFrame({x, y, badge->frame().width(), badge->frame().height()});
        window.addSubview(badge);
        x += badge->frame().width() + 14;
    }
    auto flat = CustomBadge::customBadgeWithString("7", ui::Color::whiteColor(), ui::Color::rgba(0.1, 0.45, 0.9), false,
                                                   ui::Color::whiteColor(), 1, false);
    flat->setFrame({x, y, 25, 25});
    window.addSubview(flat);
    y += 34;

    // Striped progress bars over a dark strip.
    caption(window, "条纹进度条：0 / 40% / 100%", kRight, y);
    y += 20;
    auto strip = ui::View::create({kRight, y, 320, 84});
    strip->setBackgroundColor(ui::Color::rgba(0.16, 0.17, 0.19));
    window.addSubview(strip);
    std::vector<std::shared_ptr<StripedProgressBar>> bars;
    for (int i = 0; i < 3; ++i) {
        auto bar = StripedProgressBar::create({10, 10 + i * 24.0, 300, 16});
        bar->setProgress(i == 0 ? 0 : i == 1 ? 0.4 : 1);
        strip->addSubview(bar);
        bars.push_back(bar);
    }
    y += 92;

    // Gradient styles 0 to 4 (line mode 8), and a noisy one.
    caption(window, "渐变背景：样式 0-4（上下线）/ 噪点渐变", kRight, y);
    y += 20;
    const double colors[8] = {0.95, 0.62, 0.45, 1, 0.22, 0.24, 0.28, 1};
    for (int style = 0; style < 5; ++style) {
        auto g = GradientBackground::gradientWithFrame({kRight + style * 54.0, y, 48, 48}, style, colors, 8);
        window.addSubview(g);
    }
    const double dark[8] = {0.18, 0.19, 0.21, 1, 0.02, 0.02, 0.02, 1};
    auto noisy =
        NoisyGradientBackground::gradientWithFrame({kRight + 270, y, 50, 48}, 2, dark, 4, 0.4, ui::BlendMode::Normal);
    window.addSubview(noisy);

    // The panel's show (0.6 s) and its fade-in (0.2 s); the bars tick meanwhile.
    driver.advance(1);
    if (!driver.saveSnapshot(argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
