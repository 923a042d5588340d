#pragma once
// What the code screen and the nine-star screen decide, without a view (the
// 30-second window and the seconds into it are the live code's,
// app/screens/shared/LiveCode.h): the countdown caption and the bar, the server time a calibration reply carries, and the nine-star path
// drawn on the 5x5 grid.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace token {

// The countdown of the two screens.
enum class CountdownKind { Otp, JiuXing };
enum class CountdownMoment { Appearance, SameWindowTick, NewWindowTick };
struct Countdown {
    std::string text;
    float progress = 0;
};
Countdown countdown(CountdownKind kind, CountdownMoment moment, int amount);

// The server time of a calibration reply: only a whole number of seconds
// (decimal digits, surrounding white space allowed) is one; an empty reply,
// a sign, letters, a fraction or JSON are not.
std::optional<int64_t> serverSeconds(std::string_view reply);
// The new stored difference: server seconds minus device seconds.
long long calibratedDifference(int64_t serverSeconds, int64_t nowSeconds);

// --- the nine-star grid ---

// Direction of a step between two grid cells (rows grow downward): 0 "up",
// 1 "down", 2 "left", 3 "right", 4 "southwest", 5 "northwest", 6 "southeast",
// 7 "northeast"; -1 for no step.
int stepDirection(int startRow, int startColumn, int endRow, int endColumn);
const char* directionImage(int direction);

// The pictures of the 25 cells (row by row) and of the four crossing
// overlays ((1,1), (1,3), (3,1), (3,3)) for a star path.
struct JiuXingDrawing {
    std::array<std::array<std::string, 5>, 5> cells;
    std::array<std::string, 4> overlays;
};
// The path's characters must be the stars 0 to 8, each a neighbour of the
// one before; anything else draws the empty grid.
JiuXingDrawing drawPath(std::string_view path);

}  // namespace token
