#pragma once
// Colours: red, green, blue and alpha from 0 to 1 (values outside are kept
// as given and clamped where the colour is used), or a pattern image that
// tiles from the origin of the context it fills.

#include <memory>

namespace ui {

class Image;

class Color {
public:
    Color() = default;  // clear
    static Color rgba(double r, double g, double b, double a = 1) { return Color(r, g, b, a); }
    static Color white(double level, double a = 1) { return Color(level, level, level, a); }
    static Color patternImage(std::shared_ptr<Image> image);

    static Color clearColor() { return {}; }
    static Color blackColor() { return white(0); }
    static Color whiteColor() { return white(1); }
    static Color grayColor() { return white(0.5); }
    static Color lightGrayColor() { return white(2.0 / 3.0); }
    static Color darkGrayColor() { return white(1.0 / 3.0); }
    static Color redColor() { return rgba(1, 0, 0); }
    static Color greenColor() { return rgba(0, 1, 0); }
    static Color blueColor() { return rgba(0, 0, 1); }
    static Color orangeColor() { return rgba(1, 0.5, 0); }
    static Color yellowColor() { return rgba(1, 1, 0); }

    double red() const { return r_; }
    double green() const { return g_; }
    double blue() const { return b_; }
    double alpha() const { return a_; }
    // Components clamped to [0, 1], as drawing uses them.
    double clampedRed() const;
    double clampedGreen() const;
    double clampedBlue() const;
    double clampedAlpha() const;

    Color withAlpha(double a) const {
        Color c = *this;
        c.a_ = a;
        return c;
    }
    const std::shared_ptr<Image>& pattern() const { return pattern_; }
    bool isClear() const { return !pattern_ && clampedAlpha() <= 0; }

    bool operator==(const Color& o) const {
        return r_ == o.r_ && g_ == o.g_ && b_ == o.b_ && a_ == o.a_ && pattern_ == o.pattern_;
    }

private:
    Color(double r, double g, double b, double a) : r_(r), g_(g), b_(b), a_(a) {}
    double r_ = 0, g_ = 0, b_ = 0, a_ = 0;
    std::shared_ptr<Image> pattern_;
};

}  // namespace ui
