#pragma once
// The ring of the lock-period editor without its views: 48 places, even
// index 2k the joint before hour k, odd index 2k + 1 the bar of hour k,
// running clockwise from the top-left corner (three bars along the top, nine
// down the right side, three along the bottom, nine up the left side). The
// finger paints bars on and off; a joint is on while one of its two bars is.
#include <array>
#include <cstdint>
#include <string>

#include "platform/ui/Geometry.h"

class LockRing {
public:
    static constexpr int kCount = 48;

    // The frame of place i in the editor's view.
    static ui::Rect frameOf(int index);
    static bool isBar(int index) { return index % 2 == 1; }
    static bool isHorizontal(int index);
    // What the bar of hour k is called to a screen reader (and to the
    // end-to-end walks, which drag over the bars by these names):
    // "0点至1点" ... "23点至24点".
    static std::string barLabel(int hour);

    // The bar under the point, or -1 (joints are never hit): the bar whose
    // picture holds the point, else the first bar, in index order, whose
    // side's band and span hold it.
    static int hitTest(ui::Point p);

    explicit LockRing(int64_t mask = 0) { setMask(mask); }

    // Rebuilds every place from the mask; whole-day follows the mask.
    void setMask(int64_t mask);
    // Bit k set when the bar of hour k is on.
    int64_t mask() const;
    bool isOn(int index) const { return on_.at(index); }

    // Flips bar i and the joints beside it.
    void toggle(int bar);

    // The finger: each returns whether a bar was reached (the click sounds).
    bool touchBegan(ui::Point p);
    bool touchMoved(ui::Point p);
    void touchEnded();
    int lastTouchedIndex() const { return lastTouched_; }

    // The whole-day box: flips the choice and paints every place with it.
    void toggleWholeDay();
    bool wholeDayChosen() const { return wholeDay_; }

private:
    std::array<bool, kCount> on_{};
    int lastTouched_ = -1;
    bool wholeDay_ = false;
};
