#pragma once
// A strip of tab buttons on a horizontal scroll view. The data source gives
// the number of tabs, their titles, the background colour and the selected
// tab's picture; the delegate hears which tab was chosen.
//
// Two layouts: reloadData makes tabs of a third of the width each (with the
// three log icons), reloadDataOri tabs sized to their titles after a 30-point
// lead. Each reload replaces the tabs of the one before.

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Color.h"
#include "platform/ui/Control.h"
#include "platform/ui/Image.h"
#include "platform/ui/ScrollView.h"

class HorizMenu;

class HorizMenuDataSource {
public:
    virtual ~HorizMenuDataSource() = default;
    virtual ui::Color backgroundColorForMenu(HorizMenu* menu) = 0;
    virtual std::string horizMenuTitleForItemAtIndex(HorizMenu* menu, unsigned index) = 0;
    virtual int numberOfItemsForMenu(HorizMenu* menu) = 0;
    virtual ui::ImageRef selectedItemImageForMenu(HorizMenu* menu) = 0;
};

class HorizMenuDelegate {
public:
    virtual ~HorizMenuDelegate() = default;
    virtual void horizMenuItemSelectedAtIndex(HorizMenu* menu, unsigned index) = 0;
};

class HorizMenu : public ui::ScrollView {
public:
    static constexpr int kThirdsTagBase = 10000;
    static constexpr int kTitleSizedTagBase = 20000;
    static constexpr double kHeight = 41;

    explicit HorizMenu(const ui::Rect& frame = {});
    static std::shared_ptr<HorizMenu> create(const ui::Rect& frame) { return std::make_shared<HorizMenu>(frame); }
    const char* className() const override { return "HorizMenu"; }

    // The set-up of a menu placed on a screen: bounces, no scrolling, no
    // indicators, then reloadData.
    void awakeFromNib();

    HorizMenuDataSource* dataSource() const { return dataSource_; }
    void setDataSource(HorizMenuDataSource* d) { dataSource_ = d; }
    HorizMenuDelegate* itemSelectedDelegate() const { return delegate_; }
    void setItemSelectedDelegate(HorizMenuDelegate* d) { delegate_ = d; }
    const ui::ImageRef& selectedImage() const { return selectedImage_; }
    void setSelectedImage(ui::ImageRef i) { selectedImage_ = std::move(i); }
    const std::vector<std::string>& titles() const { return titles_; }
    void setTitles(std::vector<std::string> t) { titles_ = std::move(t); }
    int itemCount() const { return itemCount_; }
    void setItemCount(int n) { itemCount_ = n; }

    void reloadData();
    void reloadDataOri();
    // Selects the tab, scrolls it to the left edge (after the lead) and
    // tells the delegate. Other tabs keep their state.
    void setSelectedIndex(int index, bool animated);
    // What a tap on a tab does: only that tab is selected, and the delegate
    // hears its index.
    void buttonTapped(ui::Button* button);

    // The tabs, in order.
    const std::vector<std::shared_ptr<ui::Button>>& itemButtons() const { return buttons_; }
    int tagBase() const { return tagBase_; }
    double leadingInset() const { return leadingInset_; }

private:
    void removeItems();
    void addItem(const std::shared_ptr<ui::Button>& b);

    HorizMenuDataSource* dataSource_ = nullptr;
    HorizMenuDelegate* delegate_ = nullptr;
    ui::ImageRef selectedImage_;
    std::vector<std::string> titles_;
    int itemCount_ = 0;
    int tagBase_ = kThirdsTagBase;
    double leadingInset_ = 0;
    std::vector<std::shared_ptr<ui::Button>> buttons_;
};
