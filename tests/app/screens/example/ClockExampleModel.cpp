#include "tests/app/screens/example/ClockExampleModel.h"

#include <cmath>

ClockExampleModel ClockExampleModel::fromReply(const std::string& reply, double deviceSeconds) {
    ClockExampleModel model;
    if (reply.empty() || reply.size() > 18) return model;
    for (char c : reply)
        if (c < '0' || c > '9') return model;
    model.difference_ = std::stoll(reply) - (long long)std::floor(deviceSeconds);
    return model;
}

std::string ClockExampleModel::caption() const {
    if (!difference_) return "无法读取服务器时间";
    if (*difference_ == 0) return "本机时间与服务器一致";
    const long long d = *difference_;
    return std::string("本机时间比服务器") + (d > 0 ? "慢 " : "快 ") + std::to_string(d > 0 ? d : -d) + " 秒";
}
