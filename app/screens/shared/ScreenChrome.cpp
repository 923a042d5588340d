#include "app/screens/shared/ScreenChrome.h"

#include "lib/kit/CustomNavigationBar.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"

namespace ScreenChrome {

void installBackButton(ui::ViewController& screen) {
    CustomNavigationBar maker;
    auto button = maker.backButtonWith(ui::Image::named("navigationBarBackButton"), nullptr, 14);
    // Every screen's chevron carries the same word.
    maker.setText("返回", button.get());
    ui::ViewController* self = &screen;
    button->addTarget(
        self,
        [self](ui::Control*, const ui::Event*) {
            if (auto* nav = self->navigationController()) nav->popViewControllerAnimated(true);
        },
        ui::kControlEventTouchUpInside);
    screen.navigationItem()->setLeftBarButtonItem(ui::BarButtonItem::withCustomView(button));
}

void addPullDecoration(ui::View& scrollView, double gapAbove) {
    auto image = ui::Image::named("anying_img_3");
    if (!image) return;
    const double w = image->size().width * 0.55, h = image->size().height * 0.55;
    auto decoration =
        std::make_shared<ui::ImageView>(ui::Rect{(scrollView.bounds().size.width - w) / 2, -h - gapAbove, w, h});
    decoration->setImage(image);
    scrollView.addSubview(decoration);
}

std::shared_ptr<ui::TableView> makePaperTable(const ui::Rect& frame, ui::TableViewDataSource& source,
                                              ui::TableViewDelegate& delegate) {
    auto table = std::make_shared<ui::TableView>(frame);
    table->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    table->setBackgroundView(std::make_shared<ui::ImageView>(ui::Image::named("bg4.jpg")));
    table->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
    table->setDataSource(&source);
    table->setTableDelegate(&delegate);
    return table;
}

}  // namespace ScreenChrome
