#include "app/screens/protect/LockTypes.h"

#include "app/core/Replies.h"

const std::vector<LockType>& builtInLockTypes() {
    static const std::vector<LockType> types = {
        {1, "网页主站登录锁定", "禾川网、鹊岭、览途网等禁止登录"},
        {2, "讯禾PC端登录锁定", "讯禾买家版及卖家版PC端禁止登录"},
    };
    return types;
}

std::vector<LockType> lockTypesFromReply(const std::optional<foundation::Value>& reply) {
    if (!reply || !reply->isArray()) return builtInLockTypes();
    std::vector<LockType> out;
    for (const foundation::Value& record : *reply->asArray()) {
        if (!record.isDictionary()) return builtInLockTypes();
        ReplyReader r(record);
        auto id = r.integer("id");
        if (!id) return builtInLockTypes();
        LockType type;
        type.id = *id;
        type.name = r.optionalText("name").value_or("");
        type.description = r.optionalText("description").value_or("");
        if (!r.ok()) return builtInLockTypes();
        out.push_back(std::move(type));
    }
    return out;
}

long long chosenLockTypeSum(const std::vector<LockType>& types, const std::vector<bool>& chosen) {
    long long sum = 0;
    for (size_t i = 0; i < types.size() && i < chosen.size(); ++i)
        if (chosen[i]) sum += types[i].id;
    return sum;
}
