#pragma once
// The person centre's overview without its views: the command 14 reply read
// into the model and the texts the screen shows.
#include <optional>
#include <string>
#include <vector>

#include "app/core/Models.h"
#include "platform/foundation/Time.h"
#include "platform/foundation/Value.h"

struct PersonCenterView {
    std::string name;
    std::string phone;
    int score = 0;  // 0..100
    std::string scoreText;
    double barWidth = 0;  // score x 1.3 points
    std::string dangerous;
    std::string openProtect;
    std::string points;
    std::string lastTime;
    // The new text of the location label; nullopt leaves the label as it was.
    std::optional<std::string> city;
    bool checkInEnabled = true;
    std::vector<std::string> products;
    // The account type the store keeps, when the reply has one.
    std::optional<std::string> userType;
};

// Applies the reply's members to the model and says what to show.
PersonCenterView applyPersonCenterReply(const foundation::Value& reply, PersonCenterInfo& info,
                                        const foundation::TimeZone& zone);

// The label under a product logo ("" for a code the screen does not know).
std::string productLabel(const std::string& code);

// Seconds from now to three minutes past the next full hour.
double secondsToNextLockCheck(double unixSeconds);
