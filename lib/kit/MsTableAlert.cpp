#include "lib/kit/MsTableAlert.h"

#include <algorithm>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Text.h"

namespace {

// Room the alert keeps under the table for its buttons.
constexpr double kButtonRoom = 65;
constexpr double kSideInset = 12;
constexpr double kShadowHeight = 8;
constexpr double kHeaderHeight = 25;

void strokeRule(ui::GraphicsContext* ctx, double y, double width, const ui::Color& color) {
    ctx->setStrokeColor(color);
    ctx->beginPath();
    ctx->moveTo(0, y);
    ctx->addLineTo(width, y);
    ctx->strokePath();
}

}  // namespace

// ---------------------------------------------------------------- MsTableView

MsTableView::MsTableView(const ui::Rect& frame) : ui::TableView(frame, ui::TableViewStyle::Plain) {}

void MsTableView::setAlertStyle(int s) {
    alertStyle_ = s;
    setNeedsDisplay();
}

void MsTableView::drawRect(const ui::Rect& rect) {
    ui::GraphicsContext* ctx = ui::currentContext();
    if (alertStyle_ != 1 || !ctx) {
        ui::TableView::drawRect(rect);
        return;
    }
    const ui::Rect b = bounds();
    auto g = ui::Gradient::withColors(
        {ui::Color::rgba(0.922, 0.925, 0.933, 1.0), ui::Color::rgba(0.749, 0.753, 0.761, 1.0)});
    // The bounds move with the scrolling; the gradient spans what is visible.
    ctx->drawLinearGradient(g, {b.x(), b.minY()}, {b.x(), b.maxY()}, 0);
}

// ---------------------------------------------------------------- shadow and header

void MsTableViewTopShadowView::drawRect(const ui::Rect&) {
    ui::GraphicsContext* ctx = ui::currentContext();
    if (!ctx) return;
    auto g = ui::Gradient::withColors({ui::Color::white(0, 0.4), ui::Color::white(0, 0)});
    ctx->drawLinearGradient(g, {0, 0}, {0, kShadowHeight}, 0);
}

MsTableViewSectionHeaderView::MsTableViewSectionHeaderView(const std::string& title)
    : ui::View(ui::Rect{}), title_(title) {
    setBackgroundColor(ui::Color::rgba(0.165, 0.224, 0.376, 0.85));
}

void MsTableViewSectionHeaderView::setTitle(const std::string& t) {
    title_ = t;
    setNeedsDisplay();
}

void MsTableViewSectionHeaderView::drawRect(const ui::Rect&) {
    ui::GraphicsContext* ctx = ui::currentContext();
    if (!ctx) return;
    const ui::Font font = ui::Font::boldSystemFont(12);
    ctx->setFillColor(ui::Color::white(0, 0.8));
    ui::drawText(title_, ui::Point{10, 4}, font);
    ctx->setFillColor(ui::Color::whiteColor());
    ui::drawText(title_, ui::Point{10, 5}, font);
    const ui::Rect b = bounds();
    ctx->setLineWidth(1.5);
    strokeRule(ctx, b.minY(), b.width(), ui::Color::white(1, 0.35));
    strokeRule(ctx, b.maxY(), b.width(), ui::Color::white(0, 0.35));
}

// ---------------------------------------------------------------- cells

MsTableAlertCellBackgroundView::MsTableAlertCellBackgroundView(const ui::Rect& frame, MsTableAlertCell* cell)
    : ui::View(frame), cell_(cell) {}

void MsTableAlertCellBackgroundView::drawRect(const ui::Rect& rect) {
    if (cell_) cell_->drawCellBackgroundView(rect);
}

MsTableAlertCell::MsTableAlertCell(ui::TableViewCellStyle style, const std::string& reuseIdentifier)
    : ui::TableViewCell(style, reuseIdentifier) {
    cellBackgroundView_ = std::make_shared<MsTableAlertCellBackgroundView>(contentView()->frame(), this);
    cellBackgroundView_->setBackgroundColor(ui::Color::clearColor());
    cellBackgroundView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    setBackgroundView(cellBackgroundView_);
    foundation::NotificationCenter::defaultCenter().addObserver(
        this, ui::kApplicationDidChangeStatusBarOrientationNotification,
        [this](const foundation::Notification&) { setNeedsDisplay(); });
}

MsTableAlertCell::~MsTableAlertCell() { foundation::NotificationCenter::defaultCenter().removeObserver(this); }

void MsTableAlertCell::drawCellBackgroundView(const ui::Rect&) {
    ui::GraphicsContext* ctx = ui::currentContext();
    if (!ctx) return;
    const ui::Rect b = bounds();
    ctx->setLineWidth(1.5);
    strokeRule(ctx, 0, b.width(), ui::Color::white(1, 0.8));
    strokeRule(ctx, b.height(), b.width(), ui::Color::white(0, 0.35));
}

void MsTableAlertCell::layoutSubviews() {
    ui::TableViewCell::layoutSubviews();
    ui::Rect f = cellBackgroundView_->frame();
    const double x = isEditing() ? -contentView()->frame().x() : 0;
    cellBackgroundView_->setFrame({x, f.y(), bounds().width() - x, f.height()});
    textLabel()->setBackgroundColor(ui::Color::clearColor());
    if (detailTextLabel()) detailTextLabel()->setBackgroundColor(ui::Color::clearColor());
    ui::View::setBackgroundColor(ui::Color::clearColor());
    setNeedsDisplay();
}

void MsTableAlertCell::setNeedsDisplay() {
    ui::View::setNeedsDisplay();
    if (cellBackgroundView_) cellBackgroundView_->setNeedsDisplay();
}

// ---------------------------------------------------------------- MsTableAlert

MsTableAlert::MsTableAlert(const std::string& title, const std::string& cancelButtonTitle, const std::string& message) {
    view_ = ui::AlertView::create(title, message, this, cancelButtonTitle);

    tableView_ = std::make_shared<MsTableView>(ui::Rect{});
    tableView_->setDataSource(this);
    tableView_->setTableDelegate(this);
    tableView_->setBackgroundColor(ui::Color::whiteColor());
    tableView_->setRowHeight(rowHeight_);
    tableView_->setSeparatorColor(ui::Color::lightGrayColor());
    tableView_->layer().setCornerRadius(5);
    view_->addSubview(tableView_);

    shadow_ = std::make_shared<MsTableViewTopShadowView>(ui::Rect{});
    shadow_->setBackgroundColor(ui::Color::clearColor());
    shadow_->setHidden(true);
    shadow_->layer().setCornerRadius(5);
    shadow_->setClipsToBounds(true);
    view_->addSubview(shadow_);
    view_->bringSubviewToFront(shadow_.get());

    foundation::NotificationCenter::defaultCenter().addObserver(
        this, ui::kApplicationDidChangeStatusBarOrientationNotification,
        [this](const foundation::Notification&) { layoutAfterSomeTime(); });
}

MsTableAlert::~MsTableAlert() {
    view_->setDelegate(nullptr);
    if (tableView_->dataSource() == this) tableView_->setDataSource(nullptr);
    if (tableView_->tableDelegate() == this) tableView_->setTableDelegate(nullptr);
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
}

void MsTableAlert::setStyle(int s) {
    style_ = s;
    if (s == MsTableAlertStylePlain) {
        tableView_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::SingleLine);
        tableView_->setAlertStyle(0);
        shadow_->setHidden(true);
    } else if (s == MsTableAlertStyleShaded) {
        tableView_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
        tableView_->setAlertStyle(1);
        shadow_->setHidden(false);
    }
}

void MsTableAlert::show() {
    tableView_->reloadData();
    view_->show();
}

void MsTableAlert::layout() {
    // Take back the growth of an earlier layout, unless the alert has laid
    // itself out anew since.
    if (grownBy_ != 0 && view_->frame() == frameAfterGrowth_) {
        for (auto& sub : view_->subviews())
            if (dynamic_cast<ui::Control*>(sub.get())) sub->setFrame(sub->frame().offsetBy(0, -grownBy_));
        view_->setFrame(frameBeforeGrowth_);
    }
    grownBy_ = 0;

    double sum = 0;
    int rows = 0;
    ui::TableViewDelegate* heights = tableView_->tableDelegate();
    for (int s = 0; s < tableView_->numberOfSections(); ++s) {
        for (int r = 0; r < tableView_->numberOfRowsInSection(s); ++r) {
            std::optional<double> h;
            if (heights) h = heights->heightForRowAtIndexPath(tableView_.get(), ui::IndexPath::forRow(r, s));
            sum += h.value_or(tableView_->rowHeight());
            ++rows;
        }
    }

    const ui::Rect screen = ui::Screen::main().bounds();
    const double alertHeight = view_->frame().height();
    double h;
    if (sum > screen.height()) {
        const int o = ui::Application::shared().statusBarOrientation();
        const bool portrait = o == 1 || o == 2;
        h = (portrait ? screen.height() : screen.width()) - alertHeight - kButtonRoom;
    } else if (maximumVisibleRows_ == -1 || rows <= maximumVisibleRows_) {
        h = tableView_->contentSize().height;
    } else {
        h = rows > 0 ? sum / rows * maximumVisibleRows_ : 0;
    }
    h = std::max(h, 0.0);

    frameBeforeGrowth_ = view_->frame();
    increaseHeightBy(h);
    grownBy_ = h;
    frameAfterGrowth_ = view_->frame();

    const ui::Rect alert = view_->frame();
    tableView_->setFrame({kSideInset, alert.height() - h - kButtonRoom, alert.width() - 2 * kSideInset, h});
    const ui::Rect t = tableView_->frame();
    shadow_->setFrame({t.x(), t.y(), t.width(), kShadowHeight});
}

void MsTableAlert::increaseHeightBy(double d) {
    const ui::Point c = view_->center();
    ui::Rect f = view_->frame();
    f.size.height += d;
    view_->setFrame(f);
    view_->setCenter(c);
    view_->setFrame(view_->frame().integral());
    for (auto& sub : view_->subviews())
        if (dynamic_cast<ui::Control*>(sub.get())) sub->setFrame(sub->frame().offsetBy(0, d));
}

void MsTableAlert::layoutAfterSomeTime() {
    std::weak_ptr<MsTableAlert> weak = weak_from_this();
    foundation::postToMain([weak]() {
        if (auto self = weak.lock()) self->layout();
    });
}

int MsTableAlert::numberOfSectionsInTableView(ui::TableView*) {
    return dataSource_ ? dataSource_->numberOfSectionsInTableAlert(this) : 1;
}

int MsTableAlert::numberOfRowsInSection(ui::TableView*, int section) {
    return dataSource_ ? dataSource_->tableAlertNumberOfRowsInSection(this, section) : 0;
}

std::shared_ptr<ui::TableViewCell> MsTableAlert::cellForRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) {
    std::shared_ptr<ui::TableViewCell> cell;
    if (dataSource_) cell = dataSource_->tableAlertCellForRowAtIndexPath(this, ip);
    // The table needs a cell for every row it was promised.
    if (!cell) cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "");
    return cell;
}

std::optional<double> MsTableAlert::heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) {
    if (delegate_) {
        if (auto h = delegate_->tableAlertHeightForRowAtIndexPath(this, ip)) return h;
    }
    return rowHeight_;
}

std::shared_ptr<ui::View> MsTableAlert::viewForHeaderInSection(ui::TableView*, int section) {
    if (!dataSource_) return nullptr;
    auto title = dataSource_->tableAlertTitleForHeaderInSection(this, section);
    if (!title) return nullptr;
    return std::make_shared<MsTableViewSectionHeaderView>(*title);
}

std::optional<double> MsTableAlert::heightForHeaderInSection(ui::TableView*, int section) {
    if (!dataSource_) return 0.0;
    return dataSource_->tableAlertTitleForHeaderInSection(this, section) ? kHeaderHeight : 0.0;
}

void MsTableAlert::didSelectRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) {
    auto keep = weak_from_this().lock();
    if (type_ == MsTableAlertTypeSingleSelect) view_->dismissWithClickedButtonIndex(-1, true);
    if (delegate_) delegate_->tableAlertDidSelectRowAtIndexPath(this, ip);
}

void MsTableAlert::alertViewCancel(ui::AlertView*) {
    if (delegate_) delegate_->tableAlertCancel(this);
}

void MsTableAlert::clickedButtonAtIndex(ui::AlertView*, int buttonIndex) {
    if (delegate_) delegate_->tableAlertClickedButtonAtIndex(this, buttonIndex);
}

void MsTableAlert::willPresentAlertView(ui::AlertView*) {
    if (!presented_) layout();
    presented_ = true;
    if (delegate_) delegate_->willPresentTableAlert(this);
}

void MsTableAlert::didPresentAlertView(ui::AlertView*) {
    if (delegate_) delegate_->didPresentTableAlert(this);
}

void MsTableAlert::willDismissWithButtonIndex(ui::AlertView*, int buttonIndex) {
    if (delegate_) delegate_->tableAlertWillDismissWithButtonIndex(this, buttonIndex);
}

void MsTableAlert::didDismissWithButtonIndex(ui::AlertView*, int buttonIndex) {
    presented_ = false;
    if (delegate_) delegate_->tableAlertDidDismissWithButtonIndex(this, buttonIndex);
}
