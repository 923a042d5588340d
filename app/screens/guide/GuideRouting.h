#pragma once
// Where the guide leads when it ends, decided from the store alone: to the
// binding without a store; closing when the guide version was seen already;
// else (after writing the guide version) to the main screen or, with a start
// PIN, to the PIN entry.

#include <optional>
#include <string>

struct GuideRouting {
    enum Action { Segue, Close };
    Action action = Segue;
    std::string segue;             // for Segue
    bool writesReadIndex = false;  // "3.0.0" goes to read_index first

    static constexpr const char* kGuideVersion = "3.0.0";
    static constexpr const char* kSegueStartBind = "startBind";
    static constexpr const char* kSegueHasBind = "hasBind";
    static constexpr const char* kSegueHasPwd = "hasPwd";

    // storeExists: the database file exists; readIndex and passward: the
    // table's values (nullopt when unreadable).
    static GuideRouting decide(bool storeExists, const std::optional<std::string>& readIndex,
                               const std::optional<std::string>& passward);

    // The page a horizontal offset shows: floor((x - w / 2) / w) + 1.
    static int pageForOffset(double x, double width);
    // Pages 0 to 2 show pictures; passing into page 3 ends the guide.
    static constexpr int kLastPicturePage = 2;
    static constexpr int kPageCount = 4;
};
