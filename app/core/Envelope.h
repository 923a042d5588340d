#pragma once
// What travels in the envelope: the two payload forms, the request address,
// and the reply wrapper {"safecenter":...,"content":<cipher text>}.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"

// "<command>;<field>,<field>,...". No escaping: senders keep ";" and "," out
// of the fields.
class TextPayload {
public:
    TextPayload(int command, std::vector<std::string> fields);
    int command() const { return command_; }
    const std::vector<std::string>& fields() const { return fields_; }
    std::string text() const;

private:
    int command_;
    std::vector<std::string> fields_;
};

// A JSON object whose member "service" is the command number as a text and
// whose other members are the fields (a field named "service" is ignored).
// The text is ASCII: characters beyond it are written as \uXXXX escapes.
class JsonPayload {
public:
    JsonPayload(int command, foundation::Dictionary fields);
    int command() const { return command_; }
    // nil when a field cannot be written as JSON.
    std::optional<std::string> text() const;

private:
    int command_;
    foundation::Dictionary fields_;
};

// The server base address followed by "c=" and the cipher text.
std::string requestAddress(std::string_view cipherText);
// The address for a plain payload; nil when the payload cannot be enciphered.
std::optional<std::string> requestAddressForPayload(std::string_view payload);

class ReplyEnvelope {
public:
    // The text of "content" when the body is a JSON object holding both
    // "safecenter" and "content"; nil otherwise.
    static std::optional<std::string> content(std::string_view body);
    // The deciphered plain reply of a body; nil when the body is not an
    // envelope or its content does not decipher.
    static std::optional<std::string> open(std::string_view body);
    // The plain reply parsed as JSON; nil for bare-text replies and bad JSON.
    static std::optional<foundation::Value> json(std::string_view plain);
    // YES when the plain reply is a JSON object whose "result" has the
    // integer value 201: the account was logged out remotely.
    static bool isRemoteLogOut(std::string_view plain);
};
