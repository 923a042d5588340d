#pragma once
// What the code screen and the nine-star screen share: the clock over the
// stored values, the calibration command (command 20, bare server time) and
// where their notices go.

#include <functional>
#include <optional>
#include <string>

#include "app/core/Models.h"
#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/token/ProductTab.h"

namespace token {

// The stored values a code screen reads at each appearance.
struct StoredToken {
    std::string bid;       // "%@" of the stored key: "(null)" when there is none
    std::string difftime;  // the stored difference text, unchanged
    std::string sid;       // "%@" of the stored uuid
    std::string otpFast, jiuxing;
};
StoredToken loadStoredToken();

// The view a tab's notices go to: the container's when it has one.
ui::View* noticeHost(ui::ViewController& screen, const ProductTab& tab);
void showNotice(ui::ViewController& screen, const ProductTab& tab, const std::string& message);

// Registers the calibration on the screen under `tag`. A reply that is a
// whole number of seconds replaces the stored difference (and calls
// `stored` with it) and says "时间校对成功"; anything else changes nothing
// and shows the network notice.
void registerCalibration(KAVOCommandViewController& screen, const ProductTab& tab, int tag,
                         std::function<void(const std::string& difference)> stored);

inline constexpr const char* kCalibratingText = "正在进行时间校准...请稍候";
inline constexpr const char* kCalibratedText = "时间校对成功";

}  // namespace token
