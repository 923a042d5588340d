#include "app/screens/pin/PinModel.h"

#include <ctime>

#include "app/core/DBController.h"
#include "app/core/Replies.h"
#include "app/core/StoreKeys.h"

namespace pin {

namespace {

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(const std::string& text) {
    for (char c : text)
        if (!isAsciiDigit(c)) return false;
    return true;
}

}  // namespace

softPwd softPwd::load(bool migrate, Migration* migration) {
    std::map<std::string, std::string> rows;
    if (auto db = DBController::openExisting()) {
        if (auto read = db->querryTable()) rows = std::move(*read);
    }
    auto value = [&](const char* key) {
        auto it = rows.find(key);
        return it == rows.end() ? std::string("(null)") : it->second;
    };
    softPwd snapshot;
    snapshot.passward = value(StoreKeys::passward);
    Migration how = Migration::None;
    if (migrate) how = migratePin(snapshot.passward);
    if (migration) *migration = how;
    snapshot.isSafePwd = value(StoreKeys::safe_password);
    snapshot.safeTime = value(StoreKeys::safe_time);
    snapshot.failCounts = value(StoreKeys::faild_count);
    snapshot.safePhone = value(StoreKeys::safePhone);
    return snapshot;
}

int softPwd::failures() const { return leadingCount(failCounts); }

Migration migratePin(std::string& pin) {
    // Lengths count characters; PINs were digits, so bytes are characters.
    if (pin.size() >= 5) {
        pin.resize(4);
        return Migration::Longer;
    }
    if (pin.empty()) return Migration::Shorter;
    if (pin.size() < 4) {
        pin.append(4 - pin.size(), '0');
        return Migration::Shorter;
    }
    return Migration::None;
}

const char* migrationNotice(Migration migration) {
    switch (migration) {
        case Migration::Longer:
            return "启动密码全面改版。系统检测到你的旧密码大于4位，请输入原密码的前四位进入软件。例如原密码为：123456，"
                   "现在输入：1234即可。\n进入软件后请重新设置启动密码！";
        case Migration::Shorter:
            return "启动密码全面改版。系统检测到你的旧密码少于4位，请输入原密码后加0补满4位进入软件，例如原密码为：12,"
                   "现在输入：1200即可。\n进入软件后请重新设置启动密码！";
        case Migration::None:
            break;
    }
    return "";
}

DotStep fourDotStep(size_t lengthBefore, const std::string& replacement) {
    DotStep step;
    if (lengthBefore >= 4) return step;  // refused
    if (replacement.empty()) {
        step.accept = true;
        step.dotsShown = lengthBefore <= 1 ? 0 : int(lengthBefore) - 1;
        return step;
    }
    if (replacement.size() != 1 || !isAsciiDigit(replacement[0])) return step;
    step.accept = true;
    step.dotsShown = int(lengthBefore) + 1;
    step.complete = lengthBefore == 3;
    return step;
}

std::optional<int64_t> parseWhole(const std::string& text) {
    if (text.empty()) return std::nullopt;
    size_t start = text[0] == '-' ? 1 : 0;
    if (start == text.size() || text.size() - start > 18) return std::nullopt;
    int64_t value = 0;
    for (size_t i = start; i < text.size(); ++i) {
        if (!isAsciiDigit(text[i])) return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return start ? -value : value;
}

int leadingCount(const std::string& text) {
    long long value = foundation::textLongLongValue(text);
    if (value < 0) return 0;
    return value > 1000 ? 1000 : int(value);
}

std::optional<int64_t> unfreezeServerSeconds(const foundation::Value& reply) {
    ReplyReader reader(reply);
    std::optional<long long> milliseconds = reader.integer("time");
    if (!reader.ok() || !milliseconds || *milliseconds <= 0) return std::nullopt;
    return int64_t(*milliseconds / 1000);
}

std::string beijingTime(int64_t seconds) {
    std::time_t shifted = std::time_t(seconds + 8 * 3600);
    std::tm parts{};
    if (!gmtime_r(&shifted, &parts)) return "";
    char text[32];
    std::strftime(text, sizeof text, "%m-%d %H:%M:%S", &parts);
    return text;
}

std::string countLabel(const std::string& count) { return "连续错误次数 ( 防暴力猜解 ) : " + count + "次"; }

std::string frozenUntilLabel(int64_t end, bool blank) {
    return std::string("您的解冻时间是(北京时间):") + (blank ? " " : "") + beijingTime(end);
}

std::string remainingMessage(int64_t seconds) {
    return "你距离软件解冻时间还有" + std::to_string(seconds / 60) + "分" + std::to_string(seconds % 60) +
           "秒，请你稍后再来检测！";
}

bool isPhoneNumber(const std::string& text) { return text.size() == 11 && allDigits(text); }

bool isDeletePassword(const std::string& text) { return !text.empty() && text.size() <= 10 && allDigits(text); }

std::string maskPhone(const std::string& phone) {
    if (phone.size() < 11) return phone;
    return phone.substr(0, 3) + "******" + phone.substr(9, 2);
}

}  // namespace pin
