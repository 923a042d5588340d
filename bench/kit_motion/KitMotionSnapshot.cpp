// Draws three screens of the UI kit side by side into one PNG:
//   kit_motion_snapshot <out.png> [scale]
// a log screen with the tab menu and the refresh header pulled past its
// threshold, a screen with the semi-modal sheet up, and the table alert.
#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lib/kit/HorizMenu.h"
#include "lib/kit/MsTableAlert.h"
#include "lib/kit/PrRefreshTableHeaderView.h"
#include "lib/kit/SemiModal.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Time.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

namespace {

const ui::Color kBarColor = ui::Color::rgba(0.13, 0.17, 0.23);
const ui::Color kMenuColor = ui::Color::rgba(0.2, 0.24, 0.3);

std::shared_ptr<ui::Label> titleBar(const std::string& text) {
    auto bar = ui::Label::create({0, 0, 320, 44});
    bar->setText(text);
    bar->setFont(ui::Font::boldSystemFont(19));
    bar->setTextColor(ui::Color::whiteColor());
    bar->setTextAlignment(ui::TextAlignment::Center);
    bar->setBackgroundColor(kBarColor);
    return bar;
}

// ---------------------------------------------------------------- the log screen

class LogScreen : public HorizMenuDataSource,
                  public HorizMenuDelegate,
                  public ui::TableViewDataSource,
                  public ui::TableViewDelegate,
                  public PrRefreshTableHeaderDelegate {
public:
    ui::Color backgroundColorForMenu(HorizMenu*) override { return kMenuColor; }
    std::string horizMenuTitleForItemAtIndex(HorizMenu*, unsigned i) override { return tabs.at(i); }
    int numberOfItemsForMenu(HorizMenu*) override { return int(tabs.size()); }
    ui::ImageRef selectedItemImageForMenu(HorizMenu*) override { return nullptr; }
    void horizMenuItemSelectedAtIndex(HorizMenu*, unsigned) override {}

    int numberOfRowsInSection(ui::TableView*, int) override { return int(entries.size()); }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) override {
        auto cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Subtitle, "log");
        cell->textLabel()->setText(entries[ip.row].first);
        cell->detailTextLabel()->setText(entries[ip.row].second);
        return cell;
    }
    void scrollViewDidScroll(ui::ScrollView* sv) override { header->prRefreshScrollViewDidScroll(sv); }
    void scrollViewDidEndDragging(ui::ScrollView* sv, bool) override { header->prRefreshScrollViewDidEndDragging(sv); }
    std::optional<double> prRefreshTableHeaderDataSourceLastUpdated(PrRefreshTableHeaderView*) override {
        return 1700000000.0;
    }

    std::vector<std::string> tabs{"全部", "登录", "异常"};
    std::vector<std::pair<std::string, std::string>> entries{
        {"登录成功", "2023-11-15 06:13  杭州  手机客户端"}, {"修改登录密码", "2023-11-14 21:40  杭州"},
        {"异地登录提醒", "2023-11-14 09:02  广州  已放行"}, {"登录成功", "2023-11-13 18:27  杭州  网页"},
        {"开启登录保护", "2023-11-12 11:05  杭州"},         {"登录成功", "2023-11-12 08:44  上海"},
        {"账户锁定", "2023-11-11 23:00  全天锁定"},
    };
    PrRefreshTableHeaderView* header = nullptr;
};

ui::ImageRef drawLogScreen(double scale) {
    shell::Driver driver({320, 480}, scale);
    LogScreen screen;
    auto root = ui::View::create({0, 0, 320, 480});
    root->setBackgroundColor(ui::Color::white(0.96));
    driver.window().addSubview(root);
    root->addSubview(titleBar("安全日志"));

    auto table = std::make_shared<ui::TableView>(ui::Rect{0, 85, 320, 395});
    table->setRowHeight(52);
    table->setDataSource(&screen);
    auto header = std::make_shared<PrRefreshTableHeaderView>(ui::Rect{0, -395, 320, 395});
    header->setBackgroundColor(kMenuColor);
    header->setDelegate(&screen);
    screen.header = header.get();
    table->addSubview(header);
    table->setTableDelegate(&screen);
    table->reloadData();
    root->addSubview(table);

    auto menu = HorizMenu::create({0, 44, 320, 41});
    menu->setDataSource(&screen);
    menu->setItemSelectedDelegate(&screen);
    root->addSubview(menu);
    menu->awakeFromNib();
    menu->setSelectedIndex(0, false);
    header->refreshLastUpdatedDate();
    driver.settle();

    // A finger pulls the log down past the threshold and holds it there.
    double t = foundation::clock().monotonic();
    driver.window().sendTouch(ui::TouchPhase::Began, {160, 200}, t);
    for (int y = 210; y <= 200 + 2 * 80; y += 10) {
        driver.advance(0.016);
        driver.window().sendTouch(ui::TouchPhase::Moved, {160, double(y)}, foundation::clock().monotonic());
        driver.settle();
    }
    driver.advance(0.3);
    auto picture = driver.snapshot();
    driver.window().sendTouch(ui::TouchPhase::Cancelled, {160, 360}, foundation::clock().monotonic());
    table->setTableDelegate(nullptr);
    return picture;
}

// ---------------------------------------------------------------- the sheet

ui::ImageRef drawSheetScreen(double scale) {
    shell::Driver driver({320, 480}, scale);
    auto screen = std::make_shared<ui::ViewController>();
    ui::View* root = screen->view();
    root->setFrame({0, 0, 320, 480});
    root->setBackgroundColor(ui::Color::rgba(0.11, 0.33, 0.52));
    driver.window().addSubview(screen->viewRef());
    root->addSubview(titleBar("禾盾"));
    auto caption = ui::Label::create({0, 90, 320, 24});
    caption->setText("动态密码");
    caption->setTextColor(ui::Color::white(1, 0.8));
    caption->setTextAlignment(ui::TextAlignment::Center);
    caption->setBackgroundColor(ui::Color::clearColor());
    root->addSubview(caption);
    auto code = ui::Label::create({0, 120, 320, 60});
    code->setText("628 114");
    code->setFont(ui::Font::boldSystemFont(44));
    code->setTextColor(ui::Color::whiteColor());
    code->setTextAlignment(ui::TextAlignment::Center);
    code->setBackgroundColor(ui::Color::clearColor());
    root->addSubview(code);

    auto sheet = ui::View::create({0, 0, 320, 295});
    sheet->setBackgroundColor(ui::Color::white(0.98));
    auto title = ui::Label::create({0, 14, 320, 24});
    title->setText("九星验证");
    title->setFont(ui::Font::boldSystemFont(18));
    title->setTextAlignment(ui::TextAlignment::Center);
    title->setBackgroundColor(ui::Color::clearColor());
    sheet->addSubview(title);
    for (int i = 0; i < 9; ++i) {
        auto star = ui::View::create({95.0 + (i % 3) * 50, 60.0 + (i / 3) * 60, 30, 30});
        const bool lit = i == 0 || i == 4 || i == 8 || i == 5;
        star->setBackgroundColor(lit ? ui::Color::rgba(1, 0.56, 0.41) : ui::Color::white(0.82));
        star->layer().setCornerRadius(15);
        sheet->addSubview(star);
    }
    driver.settle();
    presentSemiView(screen.get(), sheet);
    driver.advance(0.6);
    return driver.snapshot();
}

// ---------------------------------------------------------------- the table alert

class LockTypes : public MsTableAlertDataSource, public MsTableAlertDelegate {
public:
    std::shared_ptr<ui::TableViewCell> tableAlertCellForRowAtIndexPath(MsTableAlert*,
                                                                       const ui::IndexPath& ip) override {
        auto cell = std::make_shared<MsTableAlertCell>(ui::TableViewCellStyle::Subtitle, "lock");
        cell->textLabel()->setText(rows[ip.row].first);
        cell->detailTextLabel()->setText(rows[ip.row].second);
        if (ip.row == 0 || ip.row == 2) cell->setAccessoryType(ui::TableViewCellAccessoryType::Checkmark);
        return cell;
    }
    int tableAlertNumberOfRowsInSection(MsTableAlert*, int) override { return int(rows.size()); }
    std::optional<double> tableAlertHeightForRowAtIndexPath(MsTableAlert*, const ui::IndexPath&) override {
        return 48.0;
    }
    std::vector<std::pair<std::string, std::string>> rows{
        {"登录锁定", "锁定期间无法登录账户"}, {"交易锁定", "锁定期间无法付款"}, {"改密锁定", "锁定期间无法修改密码"},
        {"全部锁定", "以上操作全部锁定"},     {"自定义", "按小时选择"},
    };
};

ui::ImageRef drawAlertScreen(double scale) {
    shell::Driver driver({320, 480}, scale);
    driver.window().makeKeyAndVisible();
    auto root = ui::View::create({0, 0, 320, 480});
    root->setBackgroundColor(ui::Color::white(0.94));
    driver.window().addSubview(root);
    root->addSubview(titleBar("账户锁定"));
    LockTypes types;
    auto alert = MsTableAlert::alertWithTitle("锁定类型", "开启");
    alert->setType(MsTableAlertTypeMultipleSelect);
    alert->view()->addButtonWithTitle("取消");
    alert->setDataSource(&types);
    alert->setDelegate(&types);
    alert->tableView()->setScrollEnabled(false);
    alert->show();
    driver.advance(0.5);
    auto picture = driver.snapshot();
    alert->view()->dismissWithClickedButtonIndex(1, false);
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png [scale]\n", argv[0]);
        return 2;
    }
    double scale = argc > 2 ? std::atof(argv[2]) : 2;
    if (scale != 1 && scale != 2) scale = 2;
    foundation::RunLoop::setMainThread();
    foundation::TimeZone::setLocal(foundation::TimeZone::fixed(8 * 3600));
    ui::Screen::main().setScale(scale);

    std::vector<ui::ImageRef> panels{drawLogScreen(scale), drawSheetScreen(scale), drawAlertScreen(scale)};
    const double gap = 12;
    const double width = 3 * 320 + 4 * gap, height = 480 + 2 * gap;
    auto out = ui::Image::create(int(width * scale), int(height * scale), scale);
    cairo_t* cr = cairo_create(out->surface());
    cairo_scale(cr, scale, scale);
    cairo_set_source_rgb(cr, 0.85, 0.86, 0.88);
    cairo_paint(cr);
    for (size_t i = 0; i < panels.size(); ++i) {
        if (!panels[i]) {
            std::fprintf(stderr, "panel %zu was not drawn\n", i);
            return 1;
        }
        panels[i]->draw(cr, ui::Rect{gap + i * (320 + gap), gap, 320, 480});
    }
    cairo_destroy(cr);
    cairo_surface_flush(out->surface());
    if (!out->writePNG(argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
