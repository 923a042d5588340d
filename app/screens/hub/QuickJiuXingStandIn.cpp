#include "app/screens/hub/QuickJiuXingStandIn.h"

#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"

void QuickJiuXingStandIn::viewDidLoad() {
    view()->setBackgroundColor(ui::Color::rgba(0.08, 0.16, 0.28));
    auto background = std::make_shared<ui::ImageView>(ui::Rect{0, 0, 320, 295});
    background->setImage(ui::Image::named("JX_Quick_Bg4"));
    background->setAlpha(0.6);
    view()->addSubview(background);
    auto text = std::make_shared<ui::Label>(ui::Rect{20, 110, 280, 60});
    text->setNumberOfLines(2);
    text->setTextAlignment(ui::TextAlignment::Center);
    text->setTextColor(ui::Color::whiteColor());
    text->setFont(ui::Font::systemFont(16));
    text->setText("九星码请在“禾盾令牌”中查看\n轻触任意处关闭");
    view()->addSubview(text);
}
