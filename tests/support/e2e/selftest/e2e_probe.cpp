// A one-screen program for the harness's own test: a text field and a
// button; pressing the button shows what the field holds. With --race it
// first writes a number from two threads without a lock, for the harness's
// test that the program's sanitizer reports reach the walk.
#include <cstring>
#include <memory>
#include <thread>

#include "platform/foundation/RunLoop.h"
#include "platform/shell/Shell.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"

namespace {

// volatile: the optimiser keeps the writes nothing reads.
volatile int racedOver = 0;

void race() {
    std::thread other([] { racedOver = 1; });
    racedOver = 2;
    other.join();
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--race") == 0) race();
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
