#pragma once
// The one-key verification replies that the main screen's approval poller
// and the one-key-verify tab both read: the pending requests (command 21)
// and the let-go (command 19).

#include <optional>
#include <string>
#include <vector>

#include "app/core/Models.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

// One pending request as the server lists it.
struct VerifyRequest {
    std::string time;  // milliseconds since 1970, as text
    std::string location;
    std::string business;
    std::string checkid;
    bool operator==(const VerifyRequest&) const = default;
};

// The poll reply (command 21): "isSuccess" and its "results", in reply
// order; entries that are not objects are left out.
struct PollReply {
    bool success = false;
    std::vector<VerifyRequest> results;
    static std::optional<PollReply> fromValue(const foundation::Value& value, foundation::ErrorRef* error = nullptr);
};

// The let-go reply (command 19): "isSuccess" and, on a refusal, the
// server's "message".
struct LetGoReply {
    bool success = false;
    OptionalText message;
    static std::optional<LetGoReply> fromValue(const foundation::Value& value, foundation::ErrorRef* error = nullptr);
};
