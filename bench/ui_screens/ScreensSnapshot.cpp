// Renders a sample screen of the UI platform to a PNG: a navigation bar
// over a grouped table, with an alert in front.
//
//   ui_screens_snapshot <output.png>
// (the picture in docs is docs/ui-screens-sample.png)

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"

namespace {

using namespace ui;

class SettingsScreen : public ViewController, public TableViewDataSource, public TableViewDelegate {
public:
    void loadView() override {
        auto table = std::make_shared<TableView>(Rect{0, 0, 320, 416}, TableViewStyle::Grouped);
        table->registerCellFactory("setting", [](const std::string& id) {
            return std::make_shared<TableViewCell>(TableViewCellStyle::Value1, id);
        });
        table->setDataSource(this);
        table->setTableDelegate(this);
        setView(table);
    }
    int numberOfSectionsInTableView(TableView*) override { return 2; }
    int numberOfRowsInSection(TableView*, int s) override { return s == 0 ? 3 : 2; }
    std::string titleForHeaderInSection(TableView*, int s) override { return s == 0 ? "账号保护" : "其他"; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView* t, const IndexPath& ip) override {
        static const std::vector<std::vector<std::pair<std::string, std::string>>> rows{
            {{"登录保护", "开"}, {"支付保护", "关"}, {"账号锁定", "未锁定"}}, {{"意见反馈", ""}, {"关于", "3.0.0"}}};
        auto cell = t->dequeueReusableCellWithIdentifier("setting");
        cell->textLabel()->setText(rows[ip.section][ip.row].first);
        cell->detailTextLabel()->setText(rows[ip.section][ip.row].second);
        cell->setAccessoryType(ip.section == 1 ? TableViewCellAccessoryType::DisclosureIndicator
                                               : TableViewCellAccessoryType::None);
        if (ip.section == 0 && ip.row == 0) cell->setAccessoryType(TableViewCellAccessoryType::Checkmark);
        return cell;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
        return 2;
    }
    foundation::RunLoop::setMainThread();
    Screen::main().setScale(2);
    auto window = Window::create({0, 0, 320, 480});
    window->setBackgroundColor(Color::blackColor());
    window->makeKeyAndVisible();

    auto screen = std::make_shared<SettingsScreen>();
    screen->setTitle("设置");
    auto nav = std::make_shared<NavigationController>(screen);
    nav->view()->setFrame({0, 20, 320, 460});
    screen->navigationItem()->setRightBarButtonItem(
        BarButtonItem::withSystemItem(BarButtonSystemItem::Edit, [](BarButtonItem*) {}));
    nav->beginAppearanceTransition(true, false);
    window->addSubview(nav->viewRef());
    nav->endAppearanceTransition();

    auto alert = AlertView::create("提示", "确定要注销此手机上的账号吗？", nullptr, "取消", {"确定"});
    alert->show();
    foundation::RunLoop::main().drain();

    auto image = window->render(2);
    if (!image || !image->writePNG(argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    alert->dismissWithClickedButtonIndex(0, false);
    return 0;
}
