#include "app/screens/token/TokenModel.h"

#include <cctype>
#include <cstdio>

#include "app/core/GetOtp.h"

namespace token {

Countdown countdown(CountdownKind kind, CountdownMoment moment, int amount) {
    const char* twoDigits = kind == CountdownKind::Otp ? "动态口令将在%d秒后更新" : "九星连珠将在%d秒后更新";
    const char* padded = kind == CountdownKind::Otp ? "动态口令将在0%d秒后更新" : "九星连珠将在0%d秒后更新";
    const char* format = (moment == CountdownMoment::NewWindowTick || amount <= 20) ? twoDigits : padded;
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, format, GetOtp::kStepSeconds - amount);
    Countdown c;
    c.text = buffer;
    switch (moment) {
        case CountdownMoment::Appearance:
            c.progress = float(amount) / GetOtp::kStepSeconds;
            break;
        case CountdownMoment::SameWindowTick:
            c.progress = float(amount + 1) / GetOtp::kStepSeconds;
            break;
        case CountdownMoment::NewWindowTick:
            c.progress = 1.0f / GetOtp::kStepSeconds;
            break;
    }
    return c;
}

std::optional<int64_t> serverSeconds(std::string_view reply) {
    size_t begin = 0, end = reply.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(reply[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(reply[end - 1]))) --end;
    if (begin == end || end - begin > 18) return std::nullopt;  // 18 digits always fit
    int64_t value = 0;
    for (size_t i = begin; i < end; ++i) {
        if (reply[i] < '0' || reply[i] > '9') return std::nullopt;
        value = value * 10 + (reply[i] - '0');
    }
    return value;
}

long long calibratedDifference(int64_t serverSeconds, int64_t nowSeconds) {
    return static_cast<long long>(serverSeconds - nowSeconds);
}

int stepDirection(int startRow, int startColumn, int endRow, int endColumn) {
    if (endColumn == startColumn) {
        if (endRow < startRow) return 0;
        if (endRow > startRow) return 1;
        return -1;
    }
    if (endRow == startRow) return endColumn < startColumn ? 2 : 3;
    if (endColumn < startColumn) return endRow > startRow ? 4 : 5;
    return endRow > startRow ? 6 : 7;
}

const char* directionImage(int direction) {
    static const char* const names[] = {"up",        "down",      "left",      "right",
                                        "southwest", "northwest", "southeast", "northeast"};
    return direction >= 0 && direction < 8 ? names[direction] : "kong.png";
}

namespace {

bool neighbours(int a, int b) {
    const int dr = a / 3 - b / 3, dc = a % 3 - b % 3;
    return a != b && dr >= -1 && dr <= 1 && dc >= -1 && dc <= 1;
}

int crossingIndex(int row, int column) {
    if (row == 1) return column == 1 ? 0 : 1;
    return column == 1 ? 2 : 3;
}

}  // namespace

JiuXingDrawing drawPath(std::string_view path) {
    JiuXingDrawing d;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) d.cells[r][c] = (r % 2 || c % 2) ? "kong.png" : "ba.png";
    d.overlays.fill("kong.png");

    // A path the grid cannot hold (a character that is no star, a step that
    // is no neighbour, fewer than two stars) is not drawn at all.
    if (path.size() < 2) return d;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] < '0' || path[i] > '8') return d;
        if (i > 0 && !neighbours(path[i - 1] - '0', path[i] - '0')) return d;
    }

    static const char* const labels[] = {"a2", "a3", "a4", "a5"};
    std::array<bool, 4> crossed{};
    const size_t n = path.size();
    for (size_t k = 0; k + 1 < n; ++k) {
        const int from = path[k] - '0', to = path[k + 1] - '0';
        const int r = 2 * (from / 3), c = 2 * (from % 3);
        const int r2 = 2 * (to / 3), c2 = 2 * (to % 3);
        if (k + 2 < n && k < 4) d.cells[r2][c2] = labels[k];
        const int direction = stepDirection(r, c, r2, c2);
        const int lr = (r + r2) / 2, lc = (c + c2) / 2;  // the cell between the two stars
        const std::string image = directionImage(direction);
        if (direction >= 4) {
            const int x = crossingIndex(lr, lc);
            if (crossed[x]) {
                d.overlays[x] = image;
            } else {
                d.cells[lr][lc] = image;
                crossed[x] = true;
            }
        } else {
            d.cells[lr][lc] = image;
        }
    }
    d.cells[2 * ((path[0] - '0') / 3)][2 * ((path[0] - '0') % 3)] = "begin_red.png";
    d.cells[2 * ((path[n - 1] - '0') / 3)][2 * ((path[n - 1] - '0') % 3)] = "end.png";
    return d;
}

}  // namespace token
