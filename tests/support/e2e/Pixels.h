#pragma once
// Reading what GL draws in the real window back from its pixels: the code
// tab's six flip cards are found by their light faces and each is matched
// against the ten digit pictures of the bundle, so a walk reads the code the
// window shows as a person would.

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Image.h"

namespace e2e {

// Mean difference per colour channel (0-255) between two pictures of one size;
// a large number for pictures of different sizes.
double meanDifference(const ui::Image& a, const ui::Image& b);

// A page of text as an article shows it: between 120 and 400 points down the
// window, mostly white with lines of dark text.
bool showsAPageOfText(const ui::Image& window);

// The test server's advert picture (orange and cream stripes 16 pixels wide)
// across the window's whole width in the row `y` points down.
bool showsTheAdvertStripes(const ui::Image& window, double y);

class CardReader {
public:
    // The ten pictures named "<prefix><digit>.png" in the bundle's images,
    // drawn at `width` x `height` points on a window of `scale` pixels per point.
    CardReader(const std::string& prefix, double width, double height, double scale);
    bool ok() const { return templates_.size() == 10; }

    // The digits of cards centred on `centresX` (window points) within
    // `area` (a grab of the window whose top-left is at `area` points from
    // the window's own); '?' where no card is found or no picture fits
    // within the tolerance (a card turned half over, say).
    std::string read(const ui::Image& area, const std::vector<double>& centresX, double areaLeft = 0) const;

    // How far the best picture is from the card at one centre: the mean
    // difference per channel over the picture's opaque pixels (for messages).
    double lastScore() const { return lastScore_; }

private:
    struct Template {
        int w = 0, h = 0;
        // The opaque pixels the picture is matched by: x, y, r, g, b.
        std::vector<int> opaque;
    };
    std::vector<Template> templates_;
    double scale_ = 1;
    mutable double lastScore_ = 0;
};

// Pictures of the bundle drawn into square-ish cells of the window (the
// nine-star grid's): which of them a cell shows.
class PictureSet {
public:
    // The pictures "<name>" or "<name>.png" of the bundle's images, drawn
    // `width` x `height` points large at `scale` pixels per point.
    PictureSet(const std::vector<std::string>& names, double width, double height, double scale);
    bool ok() const { return ok_; }
    // The name of the picture the cell (a grab of exactly the drawn size)
    // shows: the one that, laid over the cell's own background (the mean of
    // the cell where the picture is clear), differs least from it where the
    // picture is not clear, if within the tolerance; "" otherwise. Fully
    // transparent pictures never match.
    std::string best(const ui::Image& cell, double* score = nullptr) const;

private:
    struct Picture {
        std::string name;
        std::vector<int> drawn;  // x, y, r, g, b, alpha where the picture shows
        std::vector<int> clear;  // x, y where it does not
    };
    std::vector<Picture> pictures_;
    int w_ = 0, h_ = 0;
    bool ok_ = true;
};

}  // namespace e2e
