// What the code screens decide without a view: the countdown, the server
// time of a calibration reply and the nine-star drawing.
#include <gtest/gtest.h>

#include "app/screens/token/TokenModel.h"

using namespace token;

namespace {

TEST(TokenCountdown, TwoDigitAndZeroPaddedFormsAndANewWindowRestartsAt30) {
    struct Case {
        CountdownKind kind;
        CountdownMoment moment;
        int amount;
        const char* text;
        float progress;
    };
    const Case cases[] = {
        {CountdownKind::Otp, CountdownMoment::Appearance, 0, "动态口令将在30秒后更新", 0},
        {CountdownKind::Otp, CountdownMoment::Appearance, 20, "动态口令将在10秒后更新", 20 / 30.0f},
        {CountdownKind::Otp, CountdownMoment::Appearance, 21, "动态口令将在09秒后更新", 21 / 30.0f},
        {CountdownKind::Otp, CountdownMoment::SameWindowTick, 20, "动态口令将在10秒后更新", 21 / 30.0f},
        {CountdownKind::Otp, CountdownMoment::SameWindowTick, 29, "动态口令将在01秒后更新", 1.0f},
        {CountdownKind::Otp, CountdownMoment::NewWindowTick, 0, "动态口令将在30秒后更新", 1 / 30.0f},
        {CountdownKind::JiuXing, CountdownMoment::Appearance, 5, "九星连珠将在25秒后更新", 5 / 30.0f},
        {CountdownKind::JiuXing, CountdownMoment::SameWindowTick, 25, "九星连珠将在05秒后更新", 26 / 30.0f},
        {CountdownKind::JiuXing, CountdownMoment::NewWindowTick, 1, "九星连珠将在29秒后更新", 1 / 30.0f},
    };
    for (const Case& c : cases) {
        Countdown got = countdown(c.kind, c.moment, c.amount);
        EXPECT_EQ(got.text, c.text) << c.amount;
        EXPECT_FLOAT_EQ(got.progress, c.progress) << c.amount;
    }
}

TEST(TokenCalibration, OnlyAWholeNumberOfSecondsIsAServerTime) {
    EXPECT_EQ(serverSeconds("1700000042"), 1700000042);
    EXPECT_EQ(serverSeconds(" 1700000042\r\n"), 1700000042);
    for (const char* bad : {"", " ", "-1", "-1700000000", "+1700000000", "abc", "17000x", "1700000000.5", "1e9",
                            "{\"result\":1}", "9999999999999999999"})
        EXPECT_EQ(serverSeconds(bad), std::nullopt) << bad;
    EXPECT_EQ(calibratedDifference(1700000042, 1700000000), 42);
    EXPECT_EQ(calibratedDifference(1700000000, 4102444800), 1700000000LL - 4102444800LL);
}

TEST(TokenStars, StepDirections) {
    struct Case {
        int r, c, r2, c2, want;
    };
    const Case cases[] = {{2, 2, 0, 2, 0}, {2, 2, 4, 2, 1}, {2, 2, 2, 0, 2}, {2, 2, 2, 4, 3},
                          {2, 2, 4, 0, 4}, {2, 2, 0, 0, 5}, {2, 2, 4, 4, 6}, {2, 2, 0, 4, 7}};
    for (const Case& c : cases) EXPECT_EQ(stepDirection(c.r, c.c, c.r2, c.c2), c.want);
    EXPECT_STREQ(directionImage(6), "southeast");
}

TEST(TokenStars, TheDiagonalThroughTheCentre) {
    JiuXingDrawing d = drawPath("048");
    EXPECT_EQ(d.cells[0][0], "begin_red.png");
    EXPECT_EQ(d.cells[1][1], "southeast");
    EXPECT_EQ(d.cells[2][2], "a2");
    EXPECT_EQ(d.cells[3][3], "southeast");
    EXPECT_EQ(d.cells[4][4], "end.png");
    EXPECT_EQ(d.cells[0][2], "ba.png");
    EXPECT_EQ(d.cells[0][1], "kong.png");
    for (const std::string& o : d.overlays) EXPECT_EQ(o, "kong.png");
}

TEST(TokenStars, ASecondDiagonalThroughAUsedCrossingGoesIntoItsOverlay) {
    JiuXingDrawing d = drawPath("0413");
    EXPECT_EQ(d.cells[0][0], "begin_red.png");
    EXPECT_EQ(d.cells[1][1], "southeast");
    EXPECT_EQ(d.cells[2][2], "a2");
    EXPECT_EQ(d.cells[1][2], "up");
    EXPECT_EQ(d.cells[0][2], "a3");
    EXPECT_EQ(d.overlays[0], "southwest");
    EXPECT_EQ(d.cells[2][0], "end.png");
    // Three stars label only the middle one.
    JiuXingDrawing three = drawPath("345");
    EXPECT_EQ(three.cells[2][2], "a2");
    EXPECT_EQ(three.cells[2][0], "begin_red.png");
    EXPECT_EQ(three.cells[2][4], "end.png");
    EXPECT_EQ(three.cells[2][1], "right");
}

TEST(TokenStars, APathTheGridCannotHoldDrawsTheEmptyGrid) {
    for (const char* bad : {"", "4", "09", "0a4", "08"}) {
        JiuXingDrawing d = drawPath(bad);
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c) EXPECT_EQ(d.cells[r][c], (r % 2 || c % 2) ? "kong.png" : "ba.png") << bad;
    }
}

}  // namespace
