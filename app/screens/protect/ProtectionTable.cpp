#include "app/screens/protect/ProtectionTable.h"

#include "app/core/Replies.h"

const std::vector<ProtectRow>& protectRows() {
    static const std::vector<ProtectRow> rows = {
        {44, "APCustomCell1", 1, nullptr, nullptr, nullptr, nullptr, nullptr},
        {50, "APCustomCell2", 2, "通用", nullptr, nullptr, nullptr, nullptr},
        {80, "APCustomCell4", 4, "快速修改密码", "快速修改禾川账号密码", "xgmm.png", nullptr, nullptr},
        {80, "APCustomCell3", 3, "账号锁定保护", "在锁定时间段内，您的禾川账号不允许登录", "zzsd", "600", "acLock"},
        {80, "APCustomCell3", 3, "登录保护", "登录禾川网或讯禾时需要进行校验", "dlbh", "601", "generalLogin"},
        {80, "APCustomCell3", 3, "确认收货保护", "点击确认收货时需要安全验证", "confirm_receipt", "19", "receiveItem"},
        {50, "APCustomCell2", 2, "卖家", nullptr, nullptr, nullptr, nullptr},
        {80, "APCustomCell3", 3, "商品管理保护", "对出售中商品进行管理时需要安全验证", "zhengzai", "6", "sellItem"},
        {80, "APCustomCell3", 3, "发布商品保护", "发布商品操作时需要安全验证", "sale", "8", "itemManage"},
        {80, "APCustomCell3", 3, "域名管理保护", "对域名进行管理时需要安全验证", "ymgl", "16", "domainManage"},
        {80, "APCustomCell3", 3, "荐友佣金保护", "对荐友佣金进行设置时需要安全验证", "jyyj", "12", "quentaKe"},
        {80, "APCustomCell3", 3, "推广台保护", "对推广台进行操作时需要安全验证", "tgt", "18", "pay4Performence"},
        {80, "APCustomCell3", 3, "开放平台保护", "对开放平台进行操作时需要安全验证", "kfpt", "22", "mGate"},
    };
    return rows;
}

std::optional<ProtectionStatusReply> ProtectionStatusReply::fromValue(const foundation::Value& value,
                                                                      foundation::ErrorRef* error) {
    ReplyReader r(value);
    ProtectionStatusReply out;
    out.isSuccess = r.optionalBoolean("isSuccess").value_or(false);
    out.lock = r.optionalBoolean("lock").value_or(false);
    if (const foundation::Value* protects = value.get("protects")) {
        if (const foundation::Array* items = protects->asArray()) {
            // Ids are texts; a number is read as its text, anything else is no id.
            for (const foundation::Value& item : *items) {
                if (item.isString())
                    out.protects.push_back(*item.asString());
                else if (item.isNumber() && !item.isBool())
                    out.protects.push_back(item.description());
            }
        }
    }
    return r.finish(out, error);
}

std::optional<ProtectionChangeReply> ProtectionChangeReply::fromValue(const foundation::Value& value,
                                                                      foundation::ErrorRef* error) {
    ReplyReader r(value);
    ProtectionChangeReply out;
    out.isSuccess = r.optionalBoolean("isSuccess").value_or(false);
    out.protect = r.optionalText("protect");
    out.tips = r.optionalText("tips");
    out.enabletime = r.optionalInteger("enabletime");
    return r.finish(out, error);
}

void ProtectionStatuses::reset() {
    statuses_.clear();
    for (const char* id : {"600", "601", "10", "80", "19", "6", "8", "16", "12", "18", "22"})
        statuses_[id] = std::string(kOff);  // moved in: GCC's -Wrestrict misfires on = kOff
}

std::string ProtectionStatuses::status(const std::string& id) const {
    auto it = statuses_.find(id);
    return it == statuses_.end() ? kOff : it->second;
}

void ProtectionStatuses::set(const std::string& id, const std::string& status) {
    auto it = statuses_.find(id);
    if (it != statuses_.end()) it->second = status;
}

ProtectionStatuses::StatusOutcome ProtectionStatuses::applyStatusReply(const ProtectionStatusReply& reply,
                                                                       int64_t storedMask) {
    StatusOutcome outcome;
    if (reply.isSuccess) {
        bool web = false, messenger = false;
        for (const std::string& id : reply.protects) {
            set(id, kOn);
            web = web || id == kWebLogin;
            messenger = messenger || id == kMessengerLogin;
        }
        if (web && messenger) set(kLogin, kOn);
    } else if (!reply.lock) {
        outcome.clearStoredMask = storedMask > 0;
        outcome.noProtectionNotice = true;
    }
    if (reply.lock && storedMask > 0) set(kLock, kOn);
    return outcome;
}

std::optional<std::string> ProtectionStatuses::loginHint() const {
    const bool messenger = isOn(kMessengerLogin), web = isOn(kWebLogin);
    if (messenger && !web) return std::string("您只开启了讯禾登录保护，请统一开启登录保护");
    if (!messenger && web) return std::string("您只开启了网页登录保护，请统一开启登录保护");
    return std::nullopt;
}
