#pragma once
// Server replies read into small typed structs. Each reply struct has one
//   static std::optional<T> fromValue(const foundation::Value& value, foundation::ErrorRef* error = nullptr);
// that returns nullopt with an error in *error (kReplyErrorDomain,
// kReplyMalformed, its message naming the member) when the value is not an
// object, a required member is missing, or a member has the wrong type.
// Handlers read the struct instead of walking the JSON themselves.

#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

inline const std::string kReplyErrorDomain = "ReplyErrorDomain";
enum ReplyErrorCode : int {
    kReplyNotJson = 1,    // "the reply is not JSON"
    kReplyMalformed = 2,  // not an object, or a member missing or mistyped
};

// Reads the members of one reply object and keeps the first problem.
class ReplyReader {
public:
    explicit ReplyReader(const foundation::Value& value);

    // False once anything was missing or mistyped (or the value is no object).
    bool ok() const { return error_.empty(); }
    // The first problem, such as `member "sid" is missing`; empty when ok().
    const std::string& error() const { return error_; }

    // A text member: a string as it is; a number, boolean or null as the
    // platform prints it (description()). Arrays, objects, data and dates
    // are mistyped.
    std::optional<std::string> text(const char* name);
    // The same, but a missing member is no problem (nullopt).
    std::optional<std::string> optionalText(const char* name);
    // An integer member (a number or a text holding only an integer).
    std::optional<long long> integer(const char* name);
    std::optional<long long> optionalInteger(const char* name);
    // A boolean member (true/false, or the numbers 0 and 1).
    std::optional<bool> boolean(const char* name);
    std::optional<bool> optionalBoolean(const char* name);
    // An array member.
    std::optional<foundation::Array> array(const char* name);

    // Hands the result back: the struct when ok(), else nullopt with the
    // problem written to *error (when given).
    template <class T>
    std::optional<T> finish(T value, foundation::ErrorRef* error) const {
        if (ok()) return value;
        if (error) *error = foundation::Error::make(kReplyErrorDomain, kReplyMalformed, error_);
        return std::nullopt;
    }

private:
    const foundation::Value* member(const char* name, bool required);
    void fail(const char* name, const char* problem);

    const foundation::Value& value_;
    std::string error_;
};

// The handshake's reply (command 0): the session id and the positions of
// the proof. A "sid" of "null" means the binding is gone.
struct HandshakeReply {
    std::string sid;
    std::optional<std::string> question;

    static std::optional<HandshakeReply> fromValue(const foundation::Value& value,
                                                   foundation::ErrorRef* error = nullptr);
};

// The payment account of an account (command 32), asked by the bind screen
// and by the offer to turn payment verification on: "result" 202 with the
// account's "username", its token "sid" and whether the user holds a digital
// certificate ("cert"); 414 with the server's "message"; 415 when the
// payment service could not be asked; anything else: no payment account.
struct KorvexAccountReply {
    long long result = 0;
    std::optional<std::string> username;
    std::optional<long long> sid;
    bool cert = false;
    std::optional<std::string> message;

    static std::optional<KorvexAccountReply> fromValue(const foundation::Value& value,
                                                       foundation::ErrorRef* error = nullptr);
};
// The notice for a command 32 result other than 202.
std::string korvexRefusalNotice(const KorvexAccountReply& reply);

// The binding reply (commands 16, 31 op 2 and 34): "result" is 202 (the
// binding screen) or "true" (the older serial synchroniser) when the server
// took the binding; then "checktime" (server time in milliseconds) and "bid"
// (the token key) follow. "nick" names the account a refused device is
// already bound to.
struct BindReply {
    std::optional<std::string> result;
    std::optional<std::string> checktime;
    std::optional<std::string> bid;
    std::optional<std::string> nick;

    bool accepted() const { return result == std::optional<std::string>("true"); }
    // The result as an integer (0 when missing or not a number).
    long long code() const;
    // The server time in whole seconds (0 without a checktime).
    long long serverSeconds() const;

    static std::optional<BindReply> fromValue(const foundation::Value& value, foundation::ErrorRef* error = nullptr);
};
