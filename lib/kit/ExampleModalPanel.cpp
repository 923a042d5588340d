#include "lib/kit/ExampleModalPanel.h"

#include <cmath>
#include <cstdlib>

#include "platform/ui/Text.h"

namespace {
const char* const kTitleCell = "TitleCell";
const char* const kDetailCell = "DetailCell";

// The fonts the cells draw in; a row is measured in its cell's own font.
ui::Font questionFont() { return ui::Font::boldSystemFont(15); }
ui::Font answerFont() { return ui::Font::systemFont(12); }

double textHeight(const std::string& text, const ui::Font& font, double width) {
    if (text.empty()) return 0;
    return ui::sizeWithFont(text, font, {width, 1e6}, ui::LineBreakMode::WordWrap).height;
}
}  // namespace

ExampleModalPanel::ExampleModalPanel(const ui::Rect& frame, const std::string& title,
                                     const std::vector<std::string>& titlelist,
                                     const std::vector<std::string>& detaillist)
    : TitledModalPanel(frame) {
    for (size_t i = 0; i < titlelist.size(); ++i) {
        textList_.push_back(titlelist[i]);
        textList_.push_back(i < detaillist.size() ? detaillist[i] : std::string());
    }

    const double colors[8] = {0, 0, 0, 1, 0.02, 0.02, 0.02, 1};
    titleBar()->setColorComponents(colors);
    headerLabel()->setText(title);
    setMargin({20, 20, 20, 20});
    setPadding({0, 10, 10, 10});
    // Components of 87 are clamped where drawn: white.
    setBorderColor(ui::Color::rgba(87, 87, 87, 0.7));
    setBorderWidth(1.5);
    setCornerRadius(4);
    setContentColor(ui::Color::white(0, 0.7));
    setShouldBounce(true);
    setTitleBarHeight(40);
    // No line, the top highlight or the bottom dark line, with equal chance.
    titleBar()->setLineMode(1 << (::random() % 3));
    titleBar()->setNoiseOpacity(0.2);
    headerLabel()->setFont(ui::Font::boldSystemFont(std::floor(titleBarHeight()) * 0.5));

    list_ = std::make_shared<ui::TableView>(ui::Rect{}, ui::TableViewStyle::Plain);
    list_->setSeparatorColor(ui::Color::clearColor());
    list_->setBackgroundColor(ui::Color::clearColor());
    list_->setDataSource(this);
    list_->setTableDelegate(this);
    contentView()->addSubview(list_);
}

ExampleModalPanel::~ExampleModalPanel() {
    list_->setDataSource(nullptr);
    list_->setTableDelegate(nullptr);
}

void ExampleModalPanel::layoutSubviews() {
    TitledModalPanel::layoutSubviews();
    const double before = list_->bounds().width();
    list_->setFrame(contentView()->bounds());
    // Rows measured for another width are measured again.
    if (list_->bounds().width() != before) list_->reloadData();
}

double ExampleModalPanel::textWidth() const {
    // A cell's text label is inset 10 points on each side of the list.
    const double listWidth = list_->bounds().width();
    return listWidth > 2 * kCellTextInset ? listWidth - 2 * kCellTextInset : kTextWidth;
}

std::optional<double> ExampleModalPanel::heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath& indexPath) {
    size_t row = size_t(indexPath.row);
    const std::string text = row < textList_.size() ? textList_[row] : std::string();
    if (row % 2 == 0) return textHeight(text, questionFont(), textWidth()) + kQuestionExtra;
    return textHeight(text, answerFont(), textWidth());
}

std::shared_ptr<ui::TableViewCell> ExampleModalPanel::cellForRowAtIndexPath(ui::TableView* tableView,
                                                                            const ui::IndexPath& indexPath) {
    bool question = indexPath.row % 2 == 0;
    const char* identifier = question ? kTitleCell : kDetailCell;
    auto cell = tableView->dequeueReusableCellWithIdentifier(identifier);
    if (!cell) {
        cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, identifier);
        cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
        cell->setBackgroundColor(ui::Color::clearColor());
        ui::Label* label = cell->textLabel();
        label->setFont(question ? questionFont() : answerFont());
        label->setTextColor(question ? ui::Color::whiteColor() : ui::Color::lightGrayColor());
        label->setBackgroundColor(ui::Color::clearColor());
        label->setLineBreakMode(ui::LineBreakMode::WordWrap);
        label->setNumberOfLines(0);
    }
    size_t row = size_t(indexPath.row);
    cell->textLabel()->setText(row < textList_.size() ? textList_[row] : std::string());
    return cell;
}
