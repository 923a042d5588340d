// The card reader on pictures made here: the ten digit pictures pasted onto a
// dark background read back as their code, at scale 1 and 2; the background
// alone, or a card turned half over, reads as unknown.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/TestSupport.h"
#include "tests/support/e2e/Pixels.h"

namespace {

const std::vector<double> kCentres{40, 87, 134, 181, 229, 277};

// A 320 x 200 point picture of the dark code background with the digits of
// `code` pasted (nearest pixel, alpha blended) 49 x 68 points large with their
// tops at y = 90; a card of `squeeze` < 1 is drawn narrower, as mid-turn.
std::shared_ptr<ui::Image> cards(const std::string& code, double scale, double squeeze = 1) {
    const int W = int(320 * scale), H = int(200 * scale);
    std::vector<uint8_t> px(size_t(W) * H * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
        px[i] = 28;
        px[i + 1] = 40;
        px[i + 2] = 66;
        px[i + 3] = 255;
    }
    for (size_t i = 0; i < code.size(); ++i) {
        auto digit = ui::Image::fromFile(testsupport::sourcePath("resources/images/otp_" + code.substr(i, 1) + ".png"));
        if (!digit) return nullptr;
        const auto src = digit->rgbaPixels();
        const int w = int(49 * scale * squeeze), h = int(68 * scale);
        const int left = int(kCentres[i] * scale) - w / 2, top = int(90 * scale);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int sx = x * digit->pixelWidth() / w, sy = y * digit->pixelHeight() / h;
                const uint8_t* s = &src[(size_t(sy) * digit->pixelWidth() + sx) * 4];
                uint8_t* d = &px[(size_t(top + y) * W + left + x) * 4];
                for (int c = 0; c < 3; ++c) d[c] = uint8_t((s[c] * s[3] + d[c] * (255 - s[3])) / 255);
            }
    }
    return ui::Image::fromRgba(W, H, px.data());
}

TEST(CardReader, ReadsTheCodeTheCardsShowAndNothingWhereThereAreNone) {
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        e2e::CardReader reader("otp_", 49, 68, scale);
        ASSERT_TRUE(reader.ok());
        for (const std::string code : {"815488", "296797", "073519"}) {
            auto picture = cards(code, scale);
            ASSERT_NE(picture, nullptr);
            EXPECT_EQ(reader.read(*picture, kCentres), code);
        }
        EXPECT_EQ(reader.read(*cards("", scale), kCentres), "??????");
        // Cards seen edge-on, half way through a flip, are no digit yet.
        EXPECT_EQ(reader.read(*cards("815488", scale, 0.35), kCentres), "??????");
    }
}

}  // namespace
