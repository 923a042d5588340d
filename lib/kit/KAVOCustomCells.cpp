#include "lib/kit/KAVOCustomCells.h"

#include "platform/ui/Control.h"

namespace {
constexpr double kTitleTop = 14;
constexpr double kTitleHeight = 22;
constexpr double kSubTitleTop = 40;
constexpr double kIconSide = 40;
constexpr double kBottomBarHeight = 2;
constexpr double kButtonWidth = 64;
constexpr double kButtonHeight = 30;
}  // namespace

// ---------------------------------------------------------------- label cell

KAVOAccountProtectLabelCell::KAVOAccountProtectLabelCell(ui::TableViewCellStyle style,
                                                         const std::string& reuseIdentifier)
    : ui::TableViewCell(style, reuseIdentifier) {}

void KAVOAccountProtectLabelCell::buildLayout(ui::Size size) {
    setFrame({0, 0, size.width, size.height});
    double left = textLeft(), width = size.width - left - textRightInset();
    if (!titleLabel_) {
        titleLabel_ = ui::Label::create({left, kTitleTop, width, kTitleHeight});
        titleLabel_->setFont(ui::Font::boldSystemFont(16));
        titleLabel_->setTextColor(ui::Color::white(0.15));
        titleLabel_->setBackgroundColor(ui::Color::clearColor());
        titleLabel_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth);
        contentView()->addSubview(titleLabel_);
    }
    if (!subTitleLabel_) {
        subTitleLabel_ = ui::Label::create({left, kSubTitleTop, width, size.height - kSubTitleTop - 8});
        subTitleLabel_->setFont(ui::Font::systemFont(12));
        subTitleLabel_->setTextColor(ui::Color::grayColor());
        subTitleLabel_->setBackgroundColor(ui::Color::clearColor());
        subTitleLabel_->setNumberOfLines(2);
        subTitleLabel_->setLineBreakMode(ui::LineBreakMode::WordWrap);
        subTitleLabel_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth);
        contentView()->addSubview(subTitleLabel_);
    }
}

// ---------------------------------------------------------------- image and label cell

void KAVOAccountProtectImageLabelCell::buildLayout(ui::Size size) {
    KAVOAccountProtectLabelCell::buildLayout(size);
    if (!customImageView_) {
        customImageView_ =
            std::make_shared<ui::ImageView>(ui::Rect{12, (size.height - kIconSide) / 2, kIconSide, kIconSide});
        customImageView_->setContentMode(ui::ContentMode::ScaleAspectFit);
        contentView()->addSubview(customImageView_);
    }
}

// ---------------------------------------------------------------- operation cell

double KAVOAccountProtectOpertationCell::textRightInset() const {
    // Room for the switch (two segments of about 50 points) and a gap.
    return segmentControl_ ? segmentControl_->frame().width() + kSwitchRightGap + 6 : 110;
}

void KAVOAccountProtectOpertationCell::buildLayout(ui::Size size) {
    if (!segmentControl_) {
        segmentControl_ = SwSegmentedControl::create({" 开 ", " 关 "});
        segmentControl_->changeHandler = [this](unsigned index) { switchChanged(index); };
        addSubview(segmentControl_);
        ui::Rect f = segmentControl_->frame();
        segmentControl_->setCenter({size.width - f.width() / 2 - kSwitchRightGap, kSwitchCenterY});
        segmentControl_->setAutoresizingMask(ui::kAutoresizingFlexibleLeftMargin);
    }
    KAVOAccountProtectImageLabelCell::buildLayout(size);
    if (!bottomImageBar_) {
        bottomImageBar_ =
            std::make_shared<ui::ImageView>(ui::Rect{0, size.height - kBottomBarHeight, size.width, kBottomBarHeight});
        bottomImageBar_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleTopMargin);
        contentView()->addSubview(bottomImageBar_);
    }
}

void KAVOAccountProtectOpertationCell::switchChanged(unsigned index) {
    SwSegmentedThumb* thumb = segmentControl_->thumb();
    thumb->setTintColor(index == 1 ? ui::Color::grayColor() : ui::Color::orangeColor());
    if (delegate_) delegate_->customCellButtonPressed(this, cellIndex(), int(index));
}

// ---------------------------------------------------------------- setting cells

void KAVOSettingCell::logoutButtonPressed(ui::Control*) {
    if (KAVOCustomCellButtonPress* d = delegate()) d->customCellButtonPressed(this, cellIndex());
}

void KAVOSettingWithButton::buildLayout(ui::Size size) {
    KAVOSettingCell::buildLayout(size);
    if (!button_) {
        button_ = ui::Button::buttonWithType(ui::ButtonType::Custom);
        button_->setFrame(
            {size.width - kButtonWidth - 12, size.height - kButtonHeight - 12, kButtonWidth, kButtonHeight});
        button_->setAutoresizingMask(ui::kAutoresizingFlexibleLeftMargin);
        button_->titleLabel()->setFont(ui::Font::boldSystemFont(13));
        button_->setTitleColor(ui::Color::whiteColor());
        button_->setBackgroundColor(ui::Color::rgba(1, 144 / 255.0, 105 / 255.0));
        button_->layer().setCornerRadius(4);
        contentView()->addSubview(button_);
    }
}

// ---------------------------------------------------------------- factories

std::shared_ptr<KAVOAccountProtectLabelCell> makeKAVOCellFromLayout(KAVOCellClass cls,
                                                                    const std::string& reuseIdentifier, ui::Size size) {
    std::shared_ptr<KAVOAccountProtectLabelCell> cell;
    const auto style = ui::TableViewCellStyle::Default;
    switch (cls) {
        case KAVOCellClass::Label:
            cell = std::make_shared<KAVOAccountProtectLabelCell>(style, reuseIdentifier);
            break;
        case KAVOCellClass::ImageLabel:
            cell = std::make_shared<KAVOAccountProtectImageLabelCell>(style, reuseIdentifier);
            break;
        case KAVOCellClass::Operation:
            cell = std::make_shared<KAVOAccountProtectOpertationCell>(style, reuseIdentifier);
            break;
        case KAVOCellClass::Setting:
            cell = std::make_shared<KAVOSettingCell>(style, reuseIdentifier);
            break;
        case KAVOCellClass::SettingWithButton:
            cell = std::make_shared<KAVOSettingWithButton>(style, reuseIdentifier);
            break;
    }
    cell->buildLayout(size);
    return cell;
}

void registerKAVOCellFactory(ui::TableView& table, const std::string& reuseIdentifier, KAVOCellClass cls,
                             ui::Size size) {
    table.registerCellFactory(reuseIdentifier, [cls, size](const std::string& identifier) {
        return std::static_pointer_cast<ui::TableViewCell>(makeKAVOCellFromLayout(cls, identifier, size));
    });
}
