#include "tests/support/e2e/Pixels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "tests/support/TestSupport.h"

namespace e2e {

namespace {

// Above this mean difference per channel no digit picture is taken to fit.
constexpr double kTolerance = 40;

bool light(const uint8_t* p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; }

// The opaque pixels (x, y, r, g, b) of a picture drawn w x h pixels large,
// each averaging the picture's pixels under it; every `step`-th in each
// direction.
std::vector<int> opaquePixels(const ui::Image& picture, int w, int h, int step) {
    std::vector<int> out;
    const int pw = picture.pixelWidth(), ph = picture.pixelHeight();
    const auto src = picture.rgbaPixels();
    for (int y = 0; y < h; y += step)
        for (int x = 0; x < w; x += step) {
            const int x0 = x * pw / w, x1 = std::max(x0 + 1, (x + 1) * pw / w);
            const int y0 = y * ph / h, y1 = std::max(y0 + 1, (y + 1) * ph / h);
            double sum[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 4; ++c) sum[c] += src[(size_t(sy) * pw + sx) * 4 + c];
            const double n = double(x1 - x0) * (y1 - y0);
            if (sum[3] / n >= 250) out.insert(out.end(), {x, y, int(sum[0] / n), int(sum[1] / n), int(sum[2] / n)});
        }
    return out;
}

std::shared_ptr<ui::Image> bundlePicture(const std::string& name) {
    auto picture = ui::Image::fromFile(testsupport::sourcePath("resources/images/" + name));
    if (!picture && name.find('.') == std::string::npos)
        picture = ui::Image::fromFile(testsupport::sourcePath("resources/images/" + name + ".png"));
    return picture;
}

}  // namespace

double meanDifference(const ui::Image& a, const ui::Image& b) {
    if (a.pixelWidth() != b.pixelWidth() || a.pixelHeight() != b.pixelHeight()) return 1e9;
    auto pa = a.rgbaPixels(), pb = b.rgbaPixels();
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i < pa.size(); i += 4)
        for (size_t c = 0; c < 3; ++c, ++n) sum += std::abs(int(pa[i + c]) - int(pb[i + c]));
    return n ? sum / double(n) : 0;
}

bool showsAPageOfText(const ui::Image& window) {
    int white = 0, dark = 0;
    const double s = window.pixelWidth() / 320.0;
    for (int y = int(120 * s); y < std::min(int(400 * s), window.pixelHeight()); y += 3)
        for (int x = int(10 * s); x < int(310 * s); x += 3) {
            const ui::Rgba p = window.pixel(x, y);
            if (p.r > 240 && p.g > 240 && p.b > 240) ++white;
            if (p.r < 80 && p.g < 80 && p.b < 80) ++dark;
        }
    return white > 3 * dark && dark > 50;
}

bool showsTheAdvertStripes(const ui::Image& window, double y) {
    const double s = window.pixelWidth() / 320.0;
    const int row = int(std::lround(y * s));
    if (row < 0 || row >= window.pixelHeight()) return false;
    auto near = [](const ui::Rgba& p, int r, int g, int b) {
        return std::abs(p.r - r) < 40 && std::abs(p.g - g) < 40 && std::abs(p.b - b) < 40;
    };
    // The middle of each orange stripe and of each cream one.
    for (int stripe = 0; stripe < 20; ++stripe) {
        const ui::Rgba p = window.pixel(int((stripe * 16 + 8) * s), row);
        if (stripe % 2 == 0 ? !near(p, 255, 140, 40) : !near(p, 255, 245, 230)) return false;
    }
    return true;
}

CardReader::CardReader(const std::string& prefix, double width, double height, double scale) : scale_(scale) {
    const int w = int(std::lround(width * scale)), h = int(std::lround(height * scale));
    for (char d = '0'; d <= '9'; ++d) {
        auto picture =
            ui::Image::fromFile(testsupport::sourcePath("resources/images/" + prefix + std::string(1, d) + ".png"));
        if (!picture || w <= 0 || h <= 0) return;
        // Every pixel at scale 1, every other one in each direction above it.
        Template t{w, h, opaquePixels(*picture, w, h, scale >= 2 ? 2 : 1)};
        templates_.push_back(std::move(t));
    }
}

std::string CardReader::read(const ui::Image& area, const std::vector<double>& centresX, double areaLeft) const {
    if (!ok()) return std::string(centresX.size(), '?');
    const int W = area.pixelWidth(), H = area.pixelHeight();
    const auto px = area.rgbaPixels();
    auto at = [&](int x, int y) { return &px[(size_t(y) * W + x) * 4]; };
    const int tw = templates_[0].w, th = templates_[0].h;
    std::string out;
    lastScore_ = 0;
    for (double centre : centresX) {
        const int cx = int(std::lround((centre - areaLeft) * scale_));
        // The card's rows: most of a band across its middle is light.
        const int half = std::max(1, int(tw * 0.45));
        int bestTop = -1, bestRun = 0, run = 0;
        for (int y = 0; y < H; ++y) {
            int lit = 0, n = 0;
            for (int x = std::max(0, cx - half); x < std::min(W, cx + half); ++x, ++n) lit += light(at(x, y));
            run = n && lit * 100 >= n * 15 ? run + 1 : 0;
            if (run > bestRun) {
                bestRun = run;
                bestTop = y - run + 1;
            }
        }
        if (bestRun < th / 2) {
            out += '?';
            continue;
        }
        // Each picture, placed around the card's top and centre; its
        // opaque pixels against the window's.
        double best = std::numeric_limits<double>::max();
        char digit = '?';
        const int slack = std::max(2, int(std::lround(4 * scale_)));
        for (size_t d = 0; d < templates_.size(); ++d) {
            const Template& t = templates_[d];
            for (int oy = bestTop - slack; oy <= bestTop + slack; ++oy)
                for (int ox = cx - tw / 2 - slack; ox <= cx - tw / 2 + slack; ++ox) {
                    if (ox < 0 || oy < 0 || ox + tw > W || oy + th > H) continue;
                    long sum = 0, n = 0;
                    for (size_t k = 0; k < t.opaque.size(); k += 5) {
                        const int* p = &t.opaque[k];
                        const uint8_t* q = at(ox + p[0], oy + p[1]);
                        sum += std::abs(p[2] - q[0]) + std::abs(p[3] - q[1]) + std::abs(p[4] - q[2]);
                        n += 3;
                    }
                    if (n && double(sum) / n < best) {
                        best = double(sum) / n;
                        digit = char('0' + d);
                    }
                }
        }
        lastScore_ = std::max(lastScore_, best);
        out += best <= kTolerance ? digit : '?';
    }
    return out;
}

PictureSet::PictureSet(const std::vector<std::string>& names, double width, double height, double scale)
    : w_(int(std::lround(width * scale))), h_(int(std::lround(height * scale))) {
    for (const std::string& name : names) {
        auto picture = bundlePicture(name);
        if (!picture || w_ <= 0 || h_ <= 0) {
            ok_ = false;
            return;
        }
        Picture p{name, {}, {}};
        const int pw = picture->pixelWidth(), ph = picture->pixelHeight();
        const auto src = picture->rgbaPixels();
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                // The picture's pixel nearest the middle of this one.
                const int sx = std::min(pw - 1, int((x + 0.5) * pw / w_)),
                          sy = std::min(ph - 1, int((y + 0.5) * ph / h_));
                const uint8_t* q = &src[(size_t(sy) * pw + sx) * 4];
                if (q[3] >= 48)
                    p.drawn.insert(p.drawn.end(), {x, y, q[0], q[1], q[2], q[3]});
                else if (q[3] < 4)
                    p.clear.insert(p.clear.end(), {x, y});
            }
        pictures_.push_back(std::move(p));
    }
}

std::string PictureSet::best(const ui::Image& cell, double* score) const {
    if (cell.pixelWidth() != w_ || cell.pixelHeight() != h_) return "";
    const auto px = cell.rgbaPixels();
    double bestScore = std::numeric_limits<double>::max();
    std::string bestName;
    for (const Picture& p : pictures_) {
        if (p.drawn.empty()) continue;
        // The background: the cell where the picture is clear.
        double bg[3] = {0, 0, 0};
        for (size_t k = 0; k < p.clear.size(); k += 2) {
            const uint8_t* q = &px[(size_t(p.clear[k + 1]) * w_ + p.clear[k]) * 4];
            for (int c = 0; c < 3; ++c) bg[c] += q[c];
        }
        if (!p.clear.empty())
            for (double& c : bg) c /= double(p.clear.size() / 2);
        double sum = 0;
        long n = 0;
        for (size_t k = 0; k < p.drawn.size(); k += 6) {
            const int* d = &p.drawn[k];
            const uint8_t* q = &px[(size_t(d[1]) * w_ + d[0]) * 4];
            const double a = d[5] / 255.0;
            for (int c = 0; c < 3; ++c) sum += std::abs(a * d[2 + c] + (1 - a) * bg[c] - q[c]);
            n += 3;
        }
        if (sum / n < bestScore) {
            bestScore = sum / n;
            bestName = p.name;
        }
    }
    if (score) *score = bestScore;
    return bestScore <= kTolerance ? bestName : "";
}

}  // namespace e2e
