#include "app/screens/log/SafeAuditLog.h"

#include <algorithm>

#include "lib/json/JsonWriter.h"

namespace {

// "number or string, as sent": integers and texts are both read.
long long integerMember(const foundation::Value& object, const char* key) {
    const foundation::Value* v = object.get(key);
    if (!v) return -1;
    if (v->isNumber()) return v->longLongValue();
    if (const std::string* s = v->asString()) return foundation::textLongLongValue(*s);
    return -1;
}

std::string textMember(const foundation::Value& object, const char* key) {
    const foundation::Value* v = object.get(key);
    if (!v) return "";
    if (const std::string* s = v->asString()) return *s;
    if (v->isNumber()) return std::to_string(v->longLongValue());
    return "";
}

}  // namespace

std::optional<LogEvent> LogEvent::fromValue(const foundation::Value& value) {
    if (!value.isDictionary()) return std::nullopt;
    LogEvent e;
    if (const foundation::Value* id = value.get("id")) e.id = *id;
    e.type = integerMember(value, "type");
    e.category = integerMember(value, "category");
    e.time = textMember(value, "time");
    e.location = textMember(value, "location");
    return e;
}

LogRowLook lookOfEvent(const LogEvent& e) {
    if (e.type == 0) {
        if (e.category == 0) return {"网页登录", "wydl", false, false, false};
        if (e.category == 1) return {"讯禾登录", "xhdl", false, false, false};
    } else if (e.type == 1) {
        switch (e.category) {
            case 1:
                return {"高危登录", "gwdl3", true, true, true};
            case 2:
                return {"异地修改密码", "gwdl3", false, true, false};
            case 3:
                return {"异地购买虚拟物品", "gwdl3", false, true, false};
            case 4:
                return {"异地购买虚拟物品并修改备注", "gwdl3", false, true, false};
            default:
                break;
        }
    }
    return {"其他记录", "", false, false, false};
}

std::vector<foundation::Value> SafeAuditLog::fill(const foundation::Array& events) {
    clear();
    std::vector<foundation::Value> abnormalIds;
    for (const foundation::Value& v : events) {
        auto e = LogEvent::fromValue(v);
        if (!e) continue;
        auto record = std::make_shared<const LogEvent>(std::move(*e));
        all_.push_back(record);
        if (record->type == 0) login_.push_back(record);
        if (record->type == 1) {
            abnormal_.push_back(record);
            abnormalIds.push_back(record->id);
        }
    }
    return abnormalIds;
}

void SafeAuditLog::clear() {
    all_.clear();
    login_.clear();
    abnormal_.clear();
}

const std::vector<LogEventRef>& SafeAuditLog::list(Tab tab) const {
    switch (tab) {
        case Login:
            return login_;
        case Abnormal:
            return abnormal_;
        default:
            return all_;
    }
}

bool SafeAuditLog::remove(const foundation::Value& id) {
    bool removed = false;
    for (auto* list : {&all_, &login_, &abnormal_}) {
        auto end = std::remove_if(list->begin(), list->end(), [&](const LogEventRef& r) { return r->id == id; });
        removed = removed || end != list->end();
        list->erase(end, list->end());
    }
    return removed;
}

std::string SafeAuditLog::idsJson(const std::vector<foundation::Value>& ids) {
    foundation::Array array(ids.begin(), ids.end());
    foundation::Dictionary object;
    object.set("ids", foundation::Value(std::move(array)));
    JsonWriter writer;
    return writer.stringWithObject(foundation::Value(std::move(object))).value_or("{\"ids\":[]}");
}
