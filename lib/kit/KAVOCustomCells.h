#pragma once
// The table cells the protection, settings and verification lists share: a
// title and subtitle, a left icon, an on/off switch and a button, in one
// line of inheritance. Cells made with the plain constructor are bare table
// cells; makeFromLayout builds the cell with its views, as the screens'
// layouts have them (the switch included for the operation cells), and
// registerCellFactory makes a table hand such cells out under a reuse
// identifier.

#include <memory>
#include <string>

#include "lib/kit/SwSegmentedControl.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"

class KAVOAccountProtectLabelCell;

// How a cell reports to its screen; every method is optional.
class KAVOCustomCellButtonPress {
public:
    virtual ~KAVOCustomCellButtonPress() = default;
    // A button of the cell was pressed.
    virtual void customCellButtonPressed(KAVOAccountProtectLabelCell* cell, int cellIndex) {
        (void)cell;
        (void)cellIndex;
    }
    // The user moved the cell's switch: switchIndex 0 is on, 1 off.
    virtual void customCellButtonPressed(KAVOAccountProtectLabelCell* cell, int cellIndex, int switchIndex) {
        (void)cell;
        (void)cellIndex;
        (void)switchIndex;
    }
};

class KAVOAccountProtectLabelCell : public ui::TableViewCell {
public:
    KAVOAccountProtectLabelCell(ui::TableViewCellStyle style, const std::string& reuseIdentifier);
    const char* className() const override { return "KAVOAccountProtectLabelCell"; }

    // The layout's views (nullptr on a cell made with the plain constructor).
    ui::Label* titleLabel() const { return titleLabel_.get(); }
    void setTitleLabel(std::shared_ptr<ui::Label> l) { titleLabel_ = std::move(l); }
    ui::Label* subTitleLabel() const { return subTitleLabel_.get(); }
    void setSubTitleLabel(std::shared_ptr<ui::Label> l) { subTitleLabel_ = std::move(l); }
    // The row the cell shows; it travels with every event.
    int cellIndex() const { return cellIndex_; }
    void setCellIndex(int i) { cellIndex_ = i; }

    // Builds the layout's views into a cell of the size.
    virtual void buildLayout(ui::Size size);

protected:
    // The left edge of the texts.
    virtual double textLeft() const { return 15; }
    // The room kept free on the right of the texts.
    virtual double textRightInset() const { return 15; }

private:
    std::shared_ptr<ui::Label> titleLabel_, subTitleLabel_;
    int cellIndex_ = 0;
};

class KAVOAccountProtectImageLabelCell : public KAVOAccountProtectLabelCell {
public:
    using KAVOAccountProtectLabelCell::KAVOAccountProtectLabelCell;
    const char* className() const override { return "KAVOAccountProtectImageLabelCell"; }

    ui::ImageView* customImageView() const { return customImageView_.get(); }
    void setCustomImageView(std::shared_ptr<ui::ImageView> v) { customImageView_ = std::move(v); }

    void buildLayout(ui::Size size) override;

protected:
    double textLeft() const override { return 64; }

private:
    std::shared_ptr<ui::ImageView> customImageView_;
};

class KAVOAccountProtectOpertationCell : public KAVOAccountProtectImageLabelCell {
public:
    using KAVOAccountProtectImageLabelCell::KAVOAccountProtectImageLabelCell;
    const char* className() const override { return "KAVOAccountProtectOpertationCell"; }

    // " 开 " at index 0 (on), " 关 " at index 1 (off); made by buildLayout.
    SwSegmentedControl* segmentControl() const { return segmentControl_.get(); }
    ui::ImageView* bottomImageBar() const { return bottomImageBar_.get(); }
    // Not owned.
    KAVOCustomCellButtonPress* delegate() const { return delegate_; }
    void setDelegate(KAVOCustomCellButtonPress* d) { delegate_ = d; }

    // Adds the switch when there is none yet: centred 3 points from the
    // right edge and 25 points from the top.
    void buildLayout(ui::Size size) override;

    static constexpr double kSwitchRightGap = 3;
    static constexpr double kSwitchCenterY = 25;

protected:
    double textRightInset() const override;
    // The switch's change handler: only a user's move reaches it.
    void switchChanged(unsigned index);

private:
    std::shared_ptr<SwSegmentedControl> segmentControl_;
    std::shared_ptr<ui::ImageView> bottomImageBar_;
    KAVOCustomCellButtonPress* delegate_ = nullptr;
};

class KAVOSettingCell : public KAVOAccountProtectOpertationCell {
public:
    using KAVOAccountProtectOpertationCell::KAVOAccountProtectOpertationCell;
    const char* className() const override { return "KAVOSettingCell"; }
    // The action of the cell's log-out button: tells the delegate the cell
    // and its index.
    void logoutButtonPressed(ui::Control* sender);
};

class KAVOSettingWithButton : public KAVOSettingCell {
public:
    using KAVOSettingCell::KAVOSettingCell;
    const char* className() const override { return "KAVOSettingWithButton"; }
    ui::Button* button() const { return button_.get(); }
    void setButton(std::shared_ptr<ui::Button> b) { button_ = std::move(b); }
    // Adds the button at the right of the cell.
    void buildLayout(ui::Size size) override;

private:
    std::shared_ptr<ui::Button> button_;
};

enum class KAVOCellClass {
    Label,
    ImageLabel,
    Operation,
    Setting,
    SettingWithButton,
};

// A cell of the class built as a layout would: default style, the frame of
// the size, its views made.
std::shared_ptr<KAVOAccountProtectLabelCell> makeKAVOCellFromLayout(KAVOCellClass cls,
                                                                    const std::string& reuseIdentifier,
                                                                    ui::Size size = {320, 80});
// The table makes such cells for the identifier when its pool is empty.
void registerKAVOCellFactory(ui::TableView& table, const std::string& reuseIdentifier, KAVOCellClass cls,
                             ui::Size size = {320, 80});
