#include "app/core/VerifyReplies.h"

#include "app/core/Replies.h"

std::optional<PollReply> PollReply::fromValue(const foundation::Value& value, foundation::ErrorRef* error) {
    ReplyReader r(value);
    PollReply reply;
    reply.success = r.optionalBoolean("isSuccess").value_or(false);
    if (reply.success) {
        std::optional<foundation::Array> results = r.array("results");
        for (const foundation::Value& entry : results.value_or(foundation::Array{})) {
            if (!entry.isDictionary()) continue;
            ReplyReader e(entry);
            VerifyRequest request;
            request.time = e.optionalText("time").value_or("(null)");
            request.location = e.optionalText("location").value_or("(null)");
            request.business = e.optionalText("business").value_or("(null)");
            request.checkid = e.optionalText("checkid").value_or("(null)");
            if (e.ok()) reply.results.push_back(std::move(request));
        }
    }
    return r.finish(reply, error);
}

std::optional<LetGoReply> LetGoReply::fromValue(const foundation::Value& value, foundation::ErrorRef* error) {
    ReplyReader r(value);
    LetGoReply reply;
    reply.success = r.optionalBoolean("isSuccess").value_or(false);
    reply.message = r.optionalText("message");
    return r.finish(reply, error);
}
