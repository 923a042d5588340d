#include "app/screens/info/KAVOHelpViewController.h"

#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/shared/ScreenChrome.h"
#include "platform/ui/Image.h"
#include "platform/ui/Text.h"

namespace {

ui::Font helvetica(double size) { return ui::Font::withName("Helvetica", size).value_or(ui::Font::systemFont(size)); }

class KAVOHelpCell : public ui::TableViewCell {
public:
    explicit KAVOHelpCell(const std::string& id) : ui::TableViewCell(ui::TableViewCellStyle::Default, id) {
        bottomImageBar_ = std::make_shared<ui::ImageView>(ui::Rect{0, 0, 300, 1});
        bottomImageBar_->setBackgroundColor(ui::Color::white(1, 0.12));
        addSubview(bottomImageBar_);
        textLabel()->setNumberOfLines(0);
        textLabel()->setLineBreakMode(ui::LineBreakMode::WordWrap);
        setSelectionStyle(ui::TableViewCellSelectionStyle::None);
    }
    const char* className() const override { return "KAVOHelpCell"; }
    ui::ImageView* bottomImageBar() const { return bottomImageBar_.get(); }

private:
    std::shared_ptr<ui::ImageView> bottomImageBar_;
};

}  // namespace

KAVOHelpViewController::KAVOHelpViewController() : accordion_(loadHelpEntries(Constants::serviceProvider())) {}

void KAVOHelpViewController::viewDidLoad() {
    setTitle("使用帮助");
    ScreenChrome::installBackButton(*this);
    table_ = ScreenChrome::makePaperTable(view()->bounds(), *this, *this);
    for (const char* id : {"TitleCell", "DetailCell"})
        table_->registerCellFactory(
            id, [](const std::string& identifier) { return std::make_shared<KAVOHelpCell>(identifier); });
    view()->addSubview(table_);
    ScreenChrome::addPullDecoration(*table_);
    ScreenAnalytics::trackPageview("helpPage");
}

std::shared_ptr<ui::TableViewCell> KAVOHelpViewController::cellForRowAtIndexPath(ui::TableView* tableView,
                                                                                 const ui::IndexPath& ip) {
    const bool answer = accordion_.isAnswerRow(ip.row);
    auto cell = tableView->dequeueReusableCellWithIdentifier(answer ? "DetailCell" : "TitleCell");
    ui::Label* label = cell->textLabel();
    label->setText(accordion_.textAt(ip.row));
    label->setFont(helvetica(answer ? 13 : 15));
    label->setTextColor(answer ? ui::Color::white(120 / 255.0) : ui::Color::whiteColor());
    label->setBackgroundColor(ui::Color::clearColor());
    auto background = std::make_shared<ui::View>(cell->bounds());
    background->setBackgroundColor(answer ? ui::Color::white(27 / 255.0) : ui::Color::clearColor());
    cell->setBackgroundView(background);
    cell->setBackgroundColor(ui::Color::clearColor());
    if (auto* help = dynamic_cast<KAVOHelpCell*>(cell.get())) {
        const double h = heightForRowAtIndexPath(tableView, ip).value_or(kRowPadding);
        help->bottomImageBar()->setCenter({tableView->bounds().width() / 2, h - 1});
    }
    return cell;
}

std::optional<double> KAVOHelpViewController::heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) {
    const std::string text = accordion_.textAt(ip.row);
    if (text.empty()) return kRowPadding;
    const ui::Font font = helvetica(accordion_.isAnswerRow(ip.row) ? 13 : 15);
    const ui::Size size = ui::sizeWithFont(text, font, ui::Size{kTextWidth, 1e6}, ui::LineBreakMode::WordWrap);
    return size.height + kRowPadding;
}

void KAVOHelpViewController::didSelectRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& ip) {
    switch (accordion_.tap(ip.row)) {
        case HelpAccordion::Change::Closed:
            tableView->deleteRowsAtIndexPaths({ui::IndexPath::forRow(ip.row + 1, 0)}, ui::TableViewRowAnimation::Fade);
            break;
        case HelpAccordion::Change::Opened:
            tableView->insertRowsAtIndexPaths({ui::IndexPath::forRow(ip.row + 1, 0)}, ui::TableViewRowAnimation::Fade);
            if (ip.row + 1 == accordion_.rowCount() - 1)
                tableView->scrollToRowAtIndexPath(ui::IndexPath::forRow(ip.row + 1, 0),
                                                  ui::TableViewScrollPosition::Bottom, true);
            break;
        case HelpAccordion::Change::None:
            break;
    }
}
