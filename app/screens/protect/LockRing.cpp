#include "app/screens/protect/LockRing.h"

namespace {

constexpr double kJoint = 20;
constexpr double kBand = 25;

int wrap(int i) { return ((i % LockRing::kCount) + LockRing::kCount) % LockRing::kCount; }

bool within(double v, double lo, double hi) { return v >= lo && v <= hi; }

}  // namespace

ui::Rect LockRing::frameOf(int index) {
    const int k = index / 2;
    if (!isBar(index)) {
        if (k <= 3) return {53.0 + 66 * k, 37, kJoint, kJoint};
        if (k <= 12) return {251, 65.0 + 28 * (k - 4), kJoint, kJoint};
        if (k <= 15) return {185.0 - 66 * (k - 13), 289, kJoint, kJoint};
        return {53, 261.0 - 28 * (k - 16), kJoint, kJoint};
    }
    if (k <= 2) return {68.0 + 66 * k, 43, 56, 7};
    if (k <= 11) return {257.5, 51.9 + 28 * (k - 3), 7, 18};
    if (k <= 14) return {200.0 - 66 * (k - 12), 296, 56, 7};
    return {59.5, 275.9 - 28 * (k - 15), 7, 18};
}

std::string LockRing::barLabel(int hour) { return std::to_string(hour) + "点至" + std::to_string(hour + 1) + "点"; }

bool LockRing::isHorizontal(int index) {
    const int k = index / 2;
    return isBar(index) && (k <= 2 || (k >= 12 && k <= 14));
}

int LockRing::hitTest(ui::Point p) {
    const ui::Rect j0 = frameOf(0), j6 = frameOf(6), j24 = frameOf(24);
    const bool left = within(p.x, j0.origin.x - kBand, j0.origin.x + kJoint + kBand);
    const bool right = within(p.x, j6.origin.x - kBand, j6.origin.x + kJoint + kBand);
    const bool top = within(p.y, j0.origin.y - kBand, j0.origin.y + kJoint + kBand);
    const bool bottom = within(p.y, j24.origin.y - kBand, j24.origin.y + kJoint + kBand);
    const double h = j0.size.height / 2;
    // A touch on a bar's own picture is that bar, also where the bands of two
    // sides overlap (without this the bottom-right corner's bars would go to
    // the right side).
    for (int i = 1; i < kCount; i += 2) {
        const ui::Rect bar = frameOf(i);
        if (within(p.x, bar.origin.x, bar.origin.x + bar.size.width) &&
            within(p.y, bar.origin.y, bar.origin.y + bar.size.height))
            return i;
    }
    for (int i = 1; i < kCount; i += 2) {
        const ui::Rect bar = frameOf(i);
        const int k = i / 2;
        const bool alongX = within(p.x, bar.origin.x, bar.origin.x + bar.size.width);
        const bool alongY = within(p.y, bar.origin.y - h, bar.origin.y + bar.size.height + h);
        if (k <= 2) {
            if (top && alongX) return i;
        } else if (k <= 11) {
            if (right && alongY) return i;
        } else if (k <= 14) {
            if (bottom && alongX) return i;
        } else if (left && alongY) {
            return i;
        }
    }
    return -1;
}

void LockRing::setMask(int64_t mask) {
    wholeDay_ = (mask & 0xFFFFFF) == 0xFFFFFF;
    for (int k = 0; k < 24; ++k) {
        const bool bar = (mask >> k) & 1;
        const bool before = (mask >> ((k + 23) % 24)) & 1;
        on_[2 * k] = bar || before;
        on_[2 * k + 1] = bar;
    }
}

int64_t LockRing::mask() const {
    int64_t m = 0;
    for (int k = 0; k < 24; ++k)
        if (on_[2 * k + 1]) m |= int64_t(1) << k;
    return m;
}

void LockRing::toggle(int i) {
    if (!isBar(i) || i < 0 || i >= kCount) return;
    if (!on_[i]) {
        on_[i] = true;
        on_[i - 1] = true;
        on_[wrap(i + 1)] = true;
    } else {
        if (!on_[wrap(i - 2)]) on_[i - 1] = false;
        if (!on_[wrap(i + 2)]) on_[wrap(i + 1)] = false;
        on_[i] = false;
    }
}

bool LockRing::touchBegan(ui::Point p) {
    const int i = hitTest(p);
    if (i < 0 || i == lastTouched_) return false;
    toggle(i);
    lastTouched_ = i;
    return true;
}

bool LockRing::touchMoved(ui::Point p) {
    const int i = hitTest(p);
    if (i < 0 || i == lastTouched_) return false;
    if (lastTouched_ < 0 || on_[i] != on_[lastTouched_]) toggle(i);
    lastTouched_ = i;
    return true;
}

void LockRing::touchEnded() {
    lastTouched_ = -1;
    wholeDay_ = true;
    for (bool b : on_) wholeDay_ = wholeDay_ && b;
}

void LockRing::toggleWholeDay() {
    const bool choose = !wholeDay_;
    setMask(choose ? 0xFFFFFF : 0);
    wholeDay_ = choose;
}
