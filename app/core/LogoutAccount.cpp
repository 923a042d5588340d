#include "app/core/LogoutAccount.h"

#include "app/core/DBController.h"
#include "app/core/Envelope.h"
#include "app/core/Replies.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

namespace LogoutAccount {

std::optional<std::string> payload(const Answer& answer) {
    const std::string uuid = answer.uuid.value_or("(null)");
    const std::string proof = answer.answer.value_or("(null)");
    for (const std::string* field : {&uuid, &proof})
        if (field->find_first_of(",;") != std::string::npos) return std::nullopt;
    return TextPayload(kCommand, {uuid, proof}).text();
}

std::optional<Reply> Reply::fromValue(const foundation::Value& value, foundation::ErrorRef* error) {
    ReplyReader reader(value);
    Reply reply;
    reply.isSuccess = reader.optionalBoolean("isSuccess").value_or(false);
    return reader.finish(reply, error);
}

bool wipeAfterLogout(bool markKnownUser) {
    bool ok = true;
    if (DBController::databaseExit() && !DBController::deleteDataBase()) {
        foundation::log("de-registration: the store could not be deleted");
        ok = false;
    }
    auto& defaults = foundation::UserDefaults::standard();
    if (!defaults.removePersistentDomain()) {
        foundation::log("de-registration: the user defaults could not be removed");
        ok = false;
    }
    if (markKnownUser) {
        defaults.setInteger("uniqueuser", 1);
        defaults.synchronize();
    }
    return ok;
}

}  // namespace LogoutAccount
