#include "platform/ui/TableView.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Log.h"

namespace ui {

// ---------------------------------------------------------------- TableViewCell

TableViewCell::TableViewCell(TableViewCellStyle style, const std::string& reuseIdentifier)
    : View(Rect{0, 0, 320, 44}), style_(style), reuseIdentifier_(reuseIdentifier) {
    setBackgroundColor(Color::whiteColor());
    contentView_ = std::make_shared<View>(bounds());
    contentView_->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
    addSubview(contentView_);
    imageView_ = std::make_shared<ImageView>(Rect{});
    contentView_->addSubview(imageView_);
    textLabel_ = std::make_shared<Label>(Rect{});
    textLabel_->setBackgroundColor(Color::clearColor());
    textLabel_->setFont(Font::boldSystemFont(style == TableViewCellStyle::Subtitle ? 18 : 17));
    contentView_->addSubview(textLabel_);
    separator_ = std::make_shared<View>(Rect{});
    separator_->setUserInteractionEnabled(false);
    addSubview(separator_);
    if (style != TableViewCellStyle::Default) {
        detailTextLabel_ = std::make_shared<Label>(Rect{});
        detailTextLabel_->setBackgroundColor(Color::clearColor());
        detailTextLabel_->setFont(Font::systemFont(style == TableViewCellStyle::Subtitle ? 14 : 17));
        detailTextLabel_->setTextColor(style == TableViewCellStyle::Subtitle ? Color::grayColor()
                                                                             : Color::rgba(0.22, 0.33, 0.53));
        if (style == TableViewCellStyle::Value1) detailTextLabel_->setTextAlignment(TextAlignment::Right);
        contentView_->addSubview(detailTextLabel_);
    }
}

void TableViewCell::setBackgroundView(std::shared_ptr<View> v) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(v);
    if (backgroundView_) insertSubview(backgroundView_, 0);
    setNeedsLayout();
}

void TableViewCell::setSelectedBackgroundView(std::shared_ptr<View> v) {
    if (selectedBackgroundView_) selectedBackgroundView_->removeFromSuperview();
    selectedBackgroundView_ = std::move(v);
    updateBackgrounds();
}

void TableViewCell::updateBackgrounds() {
    bool show = (selected_ || highlighted_) && selectionStyle_ != TableViewCellSelectionStyle::None;
    if (show) {
        if (!selectedBackgroundView_) {
            selectedBackgroundView_ = std::make_shared<View>(bounds());
            selectedBackgroundView_->setBackgroundColor(selectionStyle_ == TableViewCellSelectionStyle::Gray
                                                            ? Color::white(0.75)
                                                            : Color::rgba(0.02, 0.45, 0.93));
        }
        if (!selectedBackgroundView_->superview()) insertSubviewBelow(selectedBackgroundView_, contentView_.get());
        selectedBackgroundView_->setFrame(bounds());
    } else if (selectedBackgroundView_) {
        selectedBackgroundView_->removeFromSuperview();
    }
    textLabel_->setHighlighted(show);
    if (detailTextLabel_) detailTextLabel_->setHighlighted(show);
}

void TableViewCell::setAccessoryType(TableViewCellAccessoryType t) {
    accessoryType_ = t;
    if (accessoryMark_) accessoryMark_->removeFromSuperview();
    accessoryMark_.reset();
    if (t != TableViewCellAccessoryType::None) {
        auto mark = std::make_shared<Label>(Rect{0, 0, 20, 20});
        mark->setBackgroundColor(Color::clearColor());
        mark->setTextAlignment(TextAlignment::Center);
        mark->setText(t == TableViewCellAccessoryType::Checkmark                ? "\u2713"
                      : t == TableViewCellAccessoryType::DetailDisclosureButton ? "\u25B8"
                                                                                : "\u203A");
        mark->setTextColor(t == TableViewCellAccessoryType::Checkmark ? Color::rgba(0.2, 0.31, 0.52)
                                                                      : Color::grayColor());
        accessoryMark_ = mark;
        if (!accessoryView_) addSubview(accessoryMark_);
    }
    setNeedsLayout();
}

void TableViewCell::setAccessoryView(std::shared_ptr<View> v) {
    if (accessoryView_) accessoryView_->removeFromSuperview();
    accessoryView_ = std::move(v);
    if (accessoryView_) {
        if (accessoryMark_) accessoryMark_->removeFromSuperview();
        addSubview(accessoryView_);
    } else if (accessoryMark_) {
        addSubview(accessoryMark_);
    }
    setNeedsLayout();
}

void TableViewCell::setSelected(bool s, bool) {
    selected_ = s;
    updateBackgrounds();
}

void TableViewCell::setHighlighted(bool h, bool) {
    highlighted_ = h;
    updateBackgrounds();
}

void TableViewCell::setEditing(bool e, bool) {
    editing_ = e;
    if (e && !editingControl_) {
        editingControl_ = Button::buttonWithType(ButtonType::Custom);
        editingControl_->setTitle("\u2212");
        editingControl_->setBackgroundColor(Color::redColor());
        editingControl_->layer().setCornerRadius(11);
        addSubview(editingControl_);
    } else if (!e && editingControl_) {
        editingControl_->removeFromSuperview();
        editingControl_.reset();
    }
    if (!e) hideDeleteButton();
    setNeedsLayout();
}

void TableViewCell::showDeleteButton(const std::string& title, std::function<void()> action) {
    hideDeleteButton();
    deleteButton_ = Button::buttonWithType(ButtonType::Custom);
    deleteButton_->setTitle(title);
    deleteButton_->titleLabel()->setFont(Font::boldSystemFont(14));
    deleteButton_->setBackgroundColor(Color::rgba(0.85, 0.1, 0.1));
    deleteButton_->layer().setCornerRadius(5);
    deleteButton_->addTarget(
        this, [action](Control*, const Event*) { action(); }, kControlEventTouchUpInside);
    addSubview(deleteButton_);
    setNeedsLayout();
    layoutIfNeeded();
}

void TableViewCell::hideDeleteButton() {
    if (deleteButton_) deleteButton_->removeFromSuperview();
    deleteButton_.reset();
    setNeedsLayout();
}

void TableViewCell::layoutSubviews() {
    Rect b = bounds();
    if (backgroundView_) backgroundView_->setFrame(b);
    if (selectedBackgroundView_) selectedBackgroundView_->setFrame(b);
    separator_->setFrame({0, b.height() - 1, b.width(), 1});
    // Reordering asks for another layout, so only when something went above it.
    if (subviews().back() != separator_) bringSubviewToFront(separator_.get());
    double left = 0, right = b.width();
    if (editingControl_) {
        editingControl_->setFrame({8, b.midY() - 11, 22, 22});
        left = 38;
    }
    if (deleteButton_) {
        Size s = deleteButton_->sizeThatFits({});
        double w = std::max(63.0, s.width + 16);
        deleteButton_->setFrame({b.width() - w - 8, b.midY() - 15, w, 30});
        right = b.width() - w - 16;
    } else if (View* acc = accessoryView_ ? accessoryView_.get() : accessoryMark_.get()) {
        Size s = acc->bounds().size;
        acc->setFrame({b.width() - 10 - s.width, b.midY() - s.height / 2, s.width, s.height});
        right = b.width() - 20 - s.width;
    }
    contentView_->setFrame({left, 0, std::max(0.0, right - left), b.height()});
    Rect c = contentView_->bounds();
    double x = 10;
    if (auto img = imageView_->image()) {
        Size s = img->size();
        imageView_->setFrame({x, std::round((c.height() - s.height) / 2), s.width, s.height});
        x += s.width + 10;
    } else {
        imageView_->setFrame({});
    }
    double w = std::max(0.0, c.width() - x - 10);
    switch (style_) {
        case TableViewCellStyle::Default:
            textLabel_->setFrame({x, 0, w, c.height()});
            break;
        case TableViewCellStyle::Subtitle:
            textLabel_->setFrame({x, c.height() / 2 - 20, w, 22});
            detailTextLabel_->setFrame({x, c.height() / 2 + 2, w, 18});
            break;
        case TableViewCellStyle::Value1:
            textLabel_->setFrame({x, 0, w / 2, c.height()});
            detailTextLabel_->setFrame({x + w / 2, 0, w / 2, c.height()});
            break;
        case TableViewCellStyle::Value2:
            textLabel_->setFrame({x, 0, 67, c.height()});
            textLabel_->setTextAlignment(TextAlignment::Right);
            detailTextLabel_->setFrame({x + 73, 0, std::max(0.0, w - 73), c.height()});
            break;
    }
}

namespace {
// How far a finger goes sideways, mostly level, before the move is a swipe
// across the row rather than the start of a scroll.
constexpr double kSwipeDistance = 30;
}  // namespace

void TableViewCell::touchesBegan(const TouchSet& touches, const Event& event) {
    touchMoved_ = false;
    swiped_ = false;
    if (!touches.empty()) touchStart_ = touches.front()->locationInView(nullptr);
    View::touchesBegan(touches, event);
}

void TableViewCell::touchesMoved(const TouchSet& touches, const Event& event) {
    if (!touches.empty()) {
        Point p = touches.front()->locationInView(nullptr);
        const double dx = p.x - touchStart_.x, dy = p.y - touchStart_.y;
        if (std::hypot(dx, dy) > 3) touchMoved_ = true;
        if (!swiped_ && std::abs(dx) >= kSwipeDistance && std::abs(dy) * 2 < std::abs(dx)) {
            swiped_ = true;
            auto keep = shared_from_this();
            if (auto* table = dynamic_cast<TableView*>(superview()))
                if (auto ip = table->indexPathForCell(this)) table->userSwipedRowAtIndexPath(*ip, dx < 0);
        }
        // A swipe across the row does not scroll the table.
        if (swiped_) return;
    }
    View::touchesMoved(touches, event);
}

void TableViewCell::touchesEnded(const TouchSet& touches, const Event& event) {
    auto keep = shared_from_this();
    View::touchesEnded(touches, event);
    if (touchMoved_) return;
    if (auto* table = dynamic_cast<TableView*>(superview())) {
        if (auto ip = table->indexPathForCell(this)) table->userSelectedRowAtIndexPath(*ip);
    }
}

void TableViewCell::touchesCancelled(const TouchSet& touches, const Event& event) {
    touchMoved_ = true;
    View::touchesCancelled(touches, event);
}

// ---------------------------------------------------------------- TableView

TableView::TableView(const Rect& frame, TableViewStyle style)
    : ScrollView(frame),
      style_(style),
      headerHeight_(style == TableViewStyle::Plain ? 22 : 10),
      footerHeight_(style == TableViewStyle::Plain ? 22 : 10) {
    setBackgroundColor(style == TableViewStyle::Grouped ? Color::rgba(0.77, 0.8, 0.84) : Color::whiteColor());
    setAlwaysBounceVertical(true);
}

TableView::~TableView() = default;

void TableView::setTableDelegate(TableViewDelegate* d) {
    tableDelegate_ = d;
    setDelegate(d);
}

void TableView::setBackgroundView(std::shared_ptr<View> v) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(v);
    if (backgroundView_) insertSubview(backgroundView_, 0);
    setNeedsLayout();
}

void TableView::setTableHeaderView(std::shared_ptr<View> v) {
    if (tableHeaderView_) tableHeaderView_->removeFromSuperview();
    tableHeaderView_ = std::move(v);
    if (tableHeaderView_) addSubview(tableHeaderView_);
    if (loaded_) reloadData();
}

void TableView::setTableFooterView(std::shared_ptr<View> v) {
    if (tableFooterView_) tableFooterView_->removeFromSuperview();
    tableFooterView_ = std::move(v);
    if (tableFooterView_) addSubview(tableFooterView_);
    if (loaded_) reloadData();
}

void TableView::registerCellFactory(const std::string& identifier, CellFactory factory) {
    factories_[identifier] = std::move(factory);
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier) {
    auto it = pool_.find(identifier);
    if (it != pool_.end() && !it->second.empty()) {
        auto cell = it->second.back();
        it->second.pop_back();
        cell->prepareForReuse();
        return cell;
    }
    auto f = factories_.find(identifier);
    if (f == factories_.end() || !f->second) return nullptr;
    auto cell = f->second(identifier);
    if (cell) ++factoryMade_;
    return cell;
}

void TableView::enqueue(const std::shared_ptr<TableViewCell>& cell) {
    cell->removeFromSuperview();
    cell->setSelected(false, false);
    cell->setHighlighted(false, false);
    cell->hideDeleteButton();
    if (!cell->reuseIdentifier().empty()) pool_[cell->reuseIdentifier()].push_back(cell);
}

void TableView::clearVisible() {
    auto cells = std::move(visible_);
    visible_.clear();
    for (auto& [ip, cell] : cells) enqueue(cell);
}

std::shared_ptr<View> TableView::makeHeaderFooter(const std::string& title, bool header) const {
    auto label = std::make_shared<Label>(Rect{});
    label->setText(title);
    if (style_ == TableViewStyle::Plain) {
        label->setBackgroundColor(Color::rgba(0.6, 0.65, 0.7, 0.9));
        label->setTextColor(Color::whiteColor());
        label->setFont(Font::boldSystemFont(header ? 18 : 14));
    } else {
        label->setBackgroundColor(Color::clearColor());
        label->setTextColor(Color::rgba(0.3, 0.34, 0.42));
        label->setFont(header ? Font::boldSystemFont(17) : Font::systemFont(15));
        label->setTextAlignment(header ? TextAlignment::Left : TextAlignment::Center);
        label->setNumberOfLines(0);
    }
    return label;
}

void TableView::computeLayout() {
    for (auto& s : sections_) {
        if (s.headerView) s.headerView->removeFromSuperview();
        if (s.footerView) s.footerView->removeFromSuperview();
    }
    sections_.clear();
    if (!dataSource_) {
        setContentSize({bounds().width(), contentTop()});
        return;
    }
    int n = std::max(0, dataSource_->numberOfSectionsInTableView(this));
    double y = contentTop();
    for (int s = 0; s < n; ++s) {
        Section sec;
        sec.headerTitle = dataSource_->titleForHeaderInSection(this, s);
        sec.footerTitle = dataSource_->titleForFooterInSection(this, s);
        if (tableDelegate_) {
            sec.headerView = tableDelegate_->viewForHeaderInSection(this, s);
            sec.footerView = tableDelegate_->viewForFooterInSection(this, s);
        }
        if (!sec.headerView && !sec.headerTitle.empty()) sec.headerView = makeHeaderFooter(sec.headerTitle, true);
        if (!sec.footerView && !sec.footerTitle.empty()) sec.footerView = makeHeaderFooter(sec.footerTitle, false);
        std::optional<double> hh = tableDelegate_ ? tableDelegate_->heightForHeaderInSection(this, s) : std::nullopt;
        std::optional<double> fh = tableDelegate_ ? tableDelegate_->heightForFooterInSection(this, s) : std::nullopt;
        // Plain sections have a bar only with a title or view; grouped ones
        // keep a gap and grow for a title.
        bool grouped = style_ == TableViewStyle::Grouped;
        double h =
            grouped ? (sec.headerView ? headerHeight_ + 26 : headerHeight_) : (sec.headerView ? headerHeight_ : 0);
        double f =
            grouped ? (sec.footerView ? footerHeight_ + 26 : footerHeight_) : (sec.footerView ? footerHeight_ : 0);
        sec.headerHeight = std::max(0.0, hh ? *hh : h);
        sec.footerHeight = std::max(0.0, fh ? *fh : f);
        int rows = std::max(0, dataSource_->numberOfRowsInSection(this, s));
        for (int r = 0; r < rows; ++r) {
            std::optional<double> h =
                tableDelegate_ ? tableDelegate_->heightForRowAtIndexPath(this, {s, r}) : std::nullopt;
            sec.rowHeights.push_back(std::max(0.0, h ? *h : rowHeight_));
        }
        sec.top = y;
        y += sec.headerHeight + sec.footerHeight;
        for (double h : sec.rowHeights) y += h;
        sections_.push_back(std::move(sec));
    }
    if (tableFooterView_) {
        Rect f = tableFooterView_->frame();
        tableFooterView_->setFrame({0, y, bounds().width(), f.height()});
        y += f.height();
    }
    setContentSize({bounds().width(), y});
}

double TableView::contentTop() const {
    if (!tableHeaderView_) return 0;
    Rect f = tableHeaderView_->frame();
    tableHeaderView_->setFrame({0, 0, bounds().width(), f.height()});
    return f.height();
}

void TableView::reloadData() {
    loaded_ = true;
    confirming_.reset();
    selected_.reset();
    clearVisible();
    computeLayout();
    tile();
}

int TableView::numberOfRowsInSection(int section) const {
    if (section < 0 || section >= int(sections_.size())) return 0;
    return int(sections_[section].rowHeights.size());
}

Rect TableView::rectForHeaderInSection(int s) const {
    if (s < 0 || s >= int(sections_.size())) return {};
    return {0, sections_[s].top, bounds().width(), sections_[s].headerHeight};
}

Rect TableView::rectForFooterInSection(int s) const {
    if (s < 0 || s >= int(sections_.size())) return {};
    const Section& sec = sections_[s];
    double y = sec.top + sec.headerHeight;
    for (double h : sec.rowHeights) y += h;
    return {0, y, bounds().width(), sec.footerHeight};
}

Rect TableView::rectForSection(int s) const {
    Rect h = rectForHeaderInSection(s), f = rectForFooterInSection(s);
    return {0, h.y(), bounds().width(), f.maxY() - h.y()};
}

Rect TableView::rectForRowAtIndexPath(const IndexPath& ip) const {
    if (ip.section < 0 || ip.section >= int(sections_.size())) return {};
    const Section& sec = sections_[ip.section];
    if (ip.row < 0 || ip.row >= int(sec.rowHeights.size())) return {};
    double y = sec.top + sec.headerHeight;
    for (int r = 0; r < ip.row; ++r) y += sec.rowHeights[r];
    double inset = style_ == TableViewStyle::Grouped ? 10 : 0;
    return {inset, y, bounds().width() - 2 * inset, sec.rowHeights[ip.row]};
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(Point p) const {
    for (int s = 0; s < int(sections_.size()); ++s) {
        const Section& sec = sections_[s];
        double y = sec.top + sec.headerHeight;
        for (int r = 0; r < int(sec.rowHeights.size()); ++r) {
            if (p.y >= y && p.y < y + sec.rowHeights[r]) return IndexPath{s, r};
            y += sec.rowHeights[r];
        }
    }
    return std::nullopt;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell* cell) const {
    for (const auto& [ip, c] : visible_)
        if (c.get() == cell) return ip;
    return std::nullopt;
}

TableViewCell* TableView::cellForRowAtIndexPath(const IndexPath& ip) const {
    auto it = visible_.find(ip);
    return it == visible_.end() ? nullptr : it->second.get();
}

std::vector<TableViewCell*> TableView::visibleCells() const {
    std::vector<TableViewCell*> v;
    for (const auto& [ip, c] : visible_) v.push_back(c.get());
    return v;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() const {
    std::vector<IndexPath> v;
    for (const auto& [ip, c] : visible_) v.push_back(ip);
    return v;
}

View* TableView::headerViewForSection(int s) const {
    return s >= 0 && s < int(sections_.size()) ? sections_[s].headerView.get() : nullptr;
}
View* TableView::footerViewForSection(int s) const {
    return s >= 0 && s < int(sections_.size()) ? sections_[s].footerView.get() : nullptr;
}

void TableView::tile() {
    if (!dataSource_) return;
    Rect visibleRect = bounds();
    // Headers and footers of every section (they are few).
    for (int s = 0; s < int(sections_.size()); ++s) {
        Section& sec = sections_[s];
        if (sec.headerView) {
            Rect r = rectForHeaderInSection(s);
            double inset = style_ == TableViewStyle::Grouped ? 20 : (sec.headerTitle.empty() ? 0 : 10);
            sec.headerView->setFrame({r.x() + (sec.headerTitle.empty() ? 0 : inset), r.y(),
                                      r.width() - 2 * (sec.headerTitle.empty() ? 0 : inset), r.height()});
            if (!sec.headerView->superview()) addSubview(sec.headerView);
        }
        if (sec.footerView) {
            Rect r = rectForFooterInSection(s);
            double inset = sec.footerTitle.empty() ? 0 : 20;
            sec.footerView->setFrame({r.x() + inset, r.y(), r.width() - 2 * inset, r.height()});
            if (!sec.footerView->superview()) addSubview(sec.footerView);
        }
    }
    // Cells that left the visible area go to the pool.
    for (auto it = visible_.begin(); it != visible_.end();) {
        Rect r = rectForRowAtIndexPath(it->first);
        if (r.size.height <= 0 || !r.intersects(visibleRect)) {
            auto cell = it->second;
            it = visible_.erase(it);
            enqueue(cell);
        } else {
            ++it;
        }
    }
    for (int s = 0; s < int(sections_.size()); ++s) {
        for (int r = 0; r < int(sections_[s].rowHeights.size()); ++r) {
            IndexPath ip{s, r};
            Rect rr = rectForRowAtIndexPath(ip);
            if (rr.size.height <= 0 || !rr.intersects(visibleRect)) continue;
            auto it = visible_.find(ip);
            if (it != visible_.end()) {
                it->second->setFrame(rr);
                continue;
            }
            auto cell = dataSource_->cellForRowAtIndexPath(this, ip);
            if (!cell) {
                // A data source must give a cell; show an empty row rather than fail.
                foundation::log("TableView: no cell for row ", r, " of section ", s);
                cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "");
            }
            cell->setFrame(rr);
            cell->separatorView()->setBackgroundColor(separatorColor_);
            cell->separatorView()->setHidden(separatorStyle_ == TableViewCellSeparatorStyle::None);
            cell->setEditing(editing_, false);
            cell->setSelected(selected_ && *selected_ == ip, false);
            if (backgroundView_)
                insertSubviewAbove(cell, backgroundView_.get());
            else
                insertSubview(cell, 0);
            cell->layoutIfNeeded();
            visible_[ip] = cell;
            if (tableDelegate_) tableDelegate_->willDisplayCell(this, cell.get(), ip);
        }
    }
}

void TableView::layoutSubviews() {
    if (backgroundView_) backgroundView_->setFrame(bounds());
    if (!loaded_) {
        // The first layout loads the table.
        reloadData();
        return;
    }
    tile();
}

void TableView::contentOffsetDidChange() {
    if (loaded_) tile();
    if (backgroundView_) backgroundView_->setFrame(bounds());
}

void TableView::touchesBegan(const TouchSet& touches, const Event& event) {
    touchHidConfirmation_ = false;
    if (confirming_) {
        if (auto* c = cellForRowAtIndexPath(*confirming_)) c->hideDeleteButton();
        confirming_.reset();
        touchHidConfirmation_ = true;
    }
    ScrollView::touchesBegan(touches, event);
}

void TableView::userSwipedRowAtIndexPath(const IndexPath& ip, bool leftward) {
    if (editing_) return;
    if (!leftward) {
        if (confirming_ && *confirming_ == ip) {
            if (auto* c = cellForRowAtIndexPath(ip)) c->hideDeleteButton();
            confirming_.reset();
        }
        return;
    }
    showDeleteConfirmationForRowAtIndexPath(ip);
}

void TableView::userSelectedRowAtIndexPath(const IndexPath& ip) {
    if (touchHidConfirmation_) {
        // The tap's touch already hid a delete button.
        touchHidConfirmation_ = false;
        return;
    }
    if (confirming_) {
        // A tap elsewhere while a delete button shows only hides it.
        if (auto* c = cellForRowAtIndexPath(*confirming_)) c->hideDeleteButton();
        confirming_.reset();
        return;
    }
    if (!allowsSelection_ || editing_) return;
    std::optional<IndexPath> target = ip;
    if (tableDelegate_) target = tableDelegate_->willSelectRowAtIndexPath(this, ip);
    if (!target) return;
    if (selected_ && *selected_ != *target) {
        IndexPath old = *selected_;
        deselectRowAtIndexPath(old, false);
        if (tableDelegate_) tableDelegate_->didDeselectRowAtIndexPath(this, old);
    }
    selectRowAtIndexPath(target, false, TableViewScrollPosition::None);
    if (tableDelegate_) tableDelegate_->didSelectRowAtIndexPath(this, *target);
}

void TableView::selectRowAtIndexPath(const std::optional<IndexPath>& ip, bool animated, TableViewScrollPosition pos) {
    if (selected_)
        if (auto* c = cellForRowAtIndexPath(*selected_)) c->setSelected(false, animated);
    selected_.reset();
    if (!ip || ip->row < 0 || numberOfRowsInSection(ip->section) <= ip->row) return;
    selected_ = ip;
    if (auto* c = cellForRowAtIndexPath(*ip)) c->setSelected(true, animated);
    if (pos != TableViewScrollPosition::None) scrollToRowAtIndexPath(*ip, pos, animated);
}

void TableView::deselectRowAtIndexPath(const IndexPath& ip, bool animated) {
    if (auto* c = cellForRowAtIndexPath(ip)) c->setSelected(false, animated);
    if (selected_ && *selected_ == ip) selected_.reset();
}

void TableView::scrollToRowAtIndexPath(const IndexPath& ip, TableViewScrollPosition pos, bool animated) {
    Rect r = rectForRowAtIndexPath(ip);
    if (ip.row < 0 || numberOfRowsInSection(ip.section) <= ip.row) {
        foundation::log("TableView: cannot scroll to row ", ip.row, " of section ", ip.section);
        return;
    }
    Point o = contentOffset();
    double h = bounds().height();
    switch (pos) {
        case TableViewScrollPosition::Top:
            o.y = r.y();
            break;
        case TableViewScrollPosition::Middle:
            o.y = r.midY() - h / 2;
            break;
        case TableViewScrollPosition::Bottom:
            o.y = r.maxY() - h;
            break;
        case TableViewScrollPosition::None:
            if (r.y() < o.y)
                o.y = r.y();
            else if (r.maxY() > o.y + h)
                o.y = r.maxY() - h;
            break;
    }
    Point mn = minimumContentOffset(), mx = maximumContentOffset();
    o.y = std::clamp(o.y, mn.y, mx.y);
    setContentOffset(o, animated);
}

void TableView::setEditing(bool e, bool animated) {
    editing_ = e;
    confirming_.reset();
    for (auto& [ip, cell] : visible_) {
        cell->setEditing(e, animated);
        if (e && cell->editingControl()) {
            std::weak_ptr<View> weakCell = cell;
            cell->editingControl()->addTarget(
                this,
                [this, weakCell](Control*, const Event*) {
                    auto c = std::static_pointer_cast<TableViewCell>(weakCell.lock());
                    if (!c) return;
                    if (auto p = indexPathForCell(c.get())) showDeleteConfirmationForRowAtIndexPath(*p);
                },
                kControlEventTouchUpInside);
        }
    }
    if (e && selected_) deselectRowAtIndexPath(*selected_, false);
}

void TableView::showDeleteConfirmationForRowAtIndexPath(const IndexPath& ip) {
    if (!dataSource_ || !dataSource_->canEditRowAtIndexPath(this, ip)) return;
    if (tableDelegate_ && tableDelegate_->editingStyleForRowAtIndexPath(this, ip) != TableViewCellEditingStyle::Delete)
        return;
    scrollToRowAtIndexPath(ip, TableViewScrollPosition::None, false);
    auto* cell = cellForRowAtIndexPath(ip);
    if (!cell) return;
    if (confirming_)
        if (auto* old = cellForRowAtIndexPath(*confirming_)) old->hideDeleteButton();
    std::string title = tableDelegate_ ? tableDelegate_->titleForDeleteConfirmationButtonForRowAtIndexPath(this, ip)
                                       : std::string("Delete");
    confirming_ = ip;
    cell->showDeleteButton(title, [this, cell]() {
        auto p = indexPathForCell(cell);
        confirming_.reset();
        cell->hideDeleteButton();
        if (p && dataSource_) dataSource_->commitEditingStyle(this, TableViewCellEditingStyle::Delete, *p);
    });
}

void TableView::beginUpdates() { ++updates_; }

void TableView::endUpdates() {
    if (updates_ > 0) --updates_;
}

void TableView::applyRowChanges(const std::vector<IndexPath>& paths, bool insert, TableViewRowAnimation animation) {
    if (!dataSource_) return;
    // The data source must already hold the change: check the counts.
    std::map<int, int> delta;
    for (const auto& p : paths) delta[p.section] += insert ? 1 : -1;
    bool consistent = dataSource_->numberOfSectionsInTableView(this) == numberOfSections();
    for (int s = 0; consistent && s < numberOfSections(); ++s) {
        int expected = numberOfRowsInSection(s) + delta[s];
        if (dataSource_->numberOfRowsInSection(this, s) != expected) consistent = false;
    }
    for (const auto& p : paths) {
        int limit = numberOfRowsInSection(p.section) + (insert ? delta[p.section] : 0);
        if (p.section < 0 || p.section >= numberOfSections() || p.row < 0 || p.row >= limit) consistent = false;
    }
    if (!consistent) {
        foundation::log("TableView: the rows changed do not match the data source; reloading");
        reloadData();
        return;
    }
    // Deleted cells fade out on their own; the others are asked for again.
    if (!insert) {
        for (const auto& p : paths) {
            auto it = visible_.find(p);
            if (it == visible_.end()) continue;
            auto cell = it->second;
            visible_.erase(it);
            if (animation == TableViewRowAnimation::None) {
                enqueue(cell);
            } else {
                std::weak_ptr<View> weakTable = shared_from_this();
                View::animate(
                    0.3, [cell]() { cell->setAlpha(0); },
                    [this, cell, weakTable](bool) {
                        cell->setAlpha(1);
                        if (weakTable.lock())
                            enqueue(cell);
                        else
                            cell->removeFromSuperview();
                    });
            }
        }
    }
    // Keep the selection on its row.
    if (selected_) {
        IndexPath sel = *selected_;
        bool gone = false;
        for (const auto& p : paths) {
            if (p.section != sel.section) continue;
            if (!insert && p.row == sel.row)
                gone = true;
            else if (insert ? p.row <= sel.row : p.row < sel.row)
                sel.row += insert ? 1 : -1;
        }
        if (gone)
            selected_.reset();
        else
            selected_ = sel;
    }
    confirming_.reset();
    clearVisible();
    computeLayout();
    tile();
    if (insert && animation != TableViewRowAnimation::None) {
        for (const auto& p : paths) {
            if (auto* c = cellForRowAtIndexPath(p)) {
                c->setAlpha(0);
                View::animate(0.3, [c]() { c->setAlpha(1); });
            }
        }
    }
}

void TableView::insertRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation) {
    applyRowChanges(paths, true, animation);
}

void TableView::deleteRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation) {
    applyRowChanges(paths, false, animation);
}

void TableView::reloadRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation) {
    for (const auto& p : paths) {
        auto it = visible_.find(p);
        if (it == visible_.end()) continue;
        auto cell = it->second;
        visible_.erase(it);
        enqueue(cell);
    }
    computeLayout();
    tile();
}

}  // namespace ui
