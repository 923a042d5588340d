// A one-screen program for the harness's own test: a text field and a
// button; pressing the button shows what the field holds.
#include <memory>

#include "platform/foundation/RunLoop.h"
#include "platform/shell/Shell.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"

int main(int argc, char** argv) {
    foundation::RunLoop::setMainThread();
    shell::Shell shell(shell::ShellOptions::fromArgs(argc, argv));
    if (!shell.start()) return 1;
    shell.window().setBackgroundColor(ui::Color::whiteColor());
    auto field = std::make_shared<ui::TextField>(ui::Rect{20, 40, 280, 36});
    field->setPlaceholder("输入");
    shell.window().addSubview(field);
    auto shown = ui::Label::create({20, 200, 280, 30});
    shell.window().addSubview(shown);
    auto button = ui::Button::buttonWithType(ui::ButtonType::RoundedRect);
    button->setFrame({20, 120, 280, 44});
    button->setTitle("显示");
    button->addTarget(
        nullptr, [&](ui::Control*, const ui::Event*) { shown->setText("已输入:" + field->text()); },
        ui::kControlEventTouchUpInside);
    shell.window().addSubview(button);
    shell.run();
    return 0;
}
