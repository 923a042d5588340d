#include "app/screens/protect/PersonCenterModel.h"

#include <cmath>

#include "app/cycle/Constants.h"
#include "platform/foundation/Text.h"

namespace {

// A member's text as the model keeps it (numbers as they print); nullopt
// when missing, null, or an array or object.
std::optional<std::string> textOf(const foundation::Value& reply, const char* name) {
    const foundation::Value* v = reply.get(name);
    if (!v || v->isNull() || v->isArray() || v->isDictionary()) return std::nullopt;
    if (v->isString()) return *v->asString();
    return v->description();
}

bool present(const std::optional<std::string>& t) { return t && !t->empty() && *t != "(null)"; }

}  // namespace

std::string productLabel(const std::string& code) {
    static const std::pair<const char*, const char*> labels[] = {
        {"phone", "手机管理"}, {"cert", "数字证书"},     {"matrix", "密保卡"},
        {"dcode", "手机密令"}, {"veltor", "安全中心"},   {"otp", "禾钥"},
        {"email", "邮箱绑定"}, {"question", "密保问题"}, {"auth", "身份验证"},
    };
    for (const auto& [c, label] : labels)
        if (code == c) return label;
    return "";
}

double secondsToNextLockCheck(double unixSeconds) {
    const long long now = (long long)std::floor(unixSeconds);
    return double(3600 - (now % 3600) + 180);
}

PersonCenterView applyPersonCenterReply(const foundation::Value& reply, PersonCenterInfo& info,
                                        const foundation::TimeZone& zone) {
    PersonCenterView view;
    info.openProtect = textOf(reply, "protects").value_or("0");
    info.closeProtect = foundation::format("%d", 9 - int(foundation::textLongLongValue(*info.openProtect)));
    if (textOf(reply, "pdrs") == std::optional<std::string>("true")) info.openProtectProduct = info.openProtect;
    view.userType = textOf(reply, "usertype");

    long long score = foundation::textLongLongValue(textOf(reply, "safescore").value_or("0"));
    if (score > 100) score = 100;
    if (score < 0) score = 0;
    info.safeLevel = std::to_string(score);

    const auto name = textOf(reply, "name");
    info.userName = present(name) ? Constants::subStringOfTooLongName(*name) : std::string("安全中心");
    info.photourl = textOf(reply, "image").value_or("");
    const auto phone = textOf(reply, "phone");
    info.phone = present(phone) && foundation::utf16Length(*phone) >= 11 ? *phone : std::string("未绑定");
    info.dangousSum =
        foundation::format("%d", int(foundation::textLongLongValue(textOf(reply, "count").value_or("0"))));
    info.safeScroe = textOf(reply, "safepoint").value_or("0");

    if (const auto last = textOf(reply, "lastlogin")) {
        if (present(last)) {
            const long long ms = foundation::textLongLongValue(*last);
            info.loginTime = foundation::formatDate(double(ms / 1000), "MM-dd HH:mm:ss", zone);
        } else {
            info.loginTime = *last;
        }
    } else {
        info.loginTime = "无登录记录";
    }
    if (const auto city = textOf(reply, "lastlogincity")) {
        info.loginCity = *city;
        if (*city == "UNKNOWN" || *city == "unknown" || *city == "Unknown")
            view.city = "未知地点";
        else if (present(city))
            view.city = *city;
    } else {
        info.loginCity = "无登录记录";
        view.city = "无登录记录";
    }
    info.getScroeState = textOf(reply, "checkin").value_or("false");

    if (const foundation::Value* products = reply.get("products"); products && products->isArray()) {
        info.openedProtectProduct = *products->asArray();
        for (const foundation::Value& code : *products->asArray())
            view.products.push_back(code.isString() ? *code.asString() : code.description());
    }

    view.name = *info.userName;
    view.phone = *info.phone;
    view.score = int(score);
    view.scoreText = *info.safeLevel;
    view.barWidth = score * 1.3;
    view.dangerous = *info.dangousSum;
    view.openProtect = *info.openProtect;
    view.points = *info.safeScroe;
    view.lastTime = *info.loginTime;
    view.checkInEnabled = *info.getScroeState == "false";
    return view;
}
