#include "app/screens/guide/GuideRouting.h"

#include <cmath>

GuideRouting GuideRouting::decide(bool storeExists, const std::optional<std::string>& readIndex,
                                  const std::optional<std::string>& passward) {
    GuideRouting out;
    if (!storeExists) {
        out.segue = kSegueStartBind;
        return out;
    }
    if (readIndex == std::optional<std::string>(kGuideVersion)) {
        out.action = Close;
        return out;
    }
    out.writesReadIndex = true;
    out.segue = passward == std::optional<std::string>("null") ? kSegueHasBind : kSegueHasPwd;
    return out;
}

int GuideRouting::pageForOffset(double x, double width) {
    if (width <= 0) return 0;
    return int(std::floor((x - width / 2) / width)) + 1;
}
