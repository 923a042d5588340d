#pragma once
// The handshake that every signed command runs first: command 0 sends the
// device identifier (first bind) or the binding uuid; the server answers with a
// session id and a list of positions; the proof is the characters at those
// positions of HMAC-SHA-1(device identifier, session id) in hex.
//
// getSid() blocks its thread for the whole exchange (time-out 6 seconds): call
// it from a worker thread, never the main thread.

#include <memory>
#include <string>

#include "app/core/Models.h"

inline constexpr const char* AnswerNetworkError = "10";
inline constexpr const char* AnswerRemoteLogout = "11";

class GetSid {
public:
    // Mode "0" at the first bind, "1" for every other caller. Returns the
    // filled Answer; its answer is the proof, "10" or "11".
    Answer getSid(const std::string& mode);
    // Performs the request and fills answer().
    void sendMac(const std::string& mode);

    const Answer& answer() const { return answer_; }

    // The handshake payload of an Answer: "0;<mac or uuid>,<mode>".
    static std::string payloadText(const Answer& answer, const std::string& mode);
    // The proof for a position list ("3,0,39") and an HMAC text; nullopt when
    // a position lies outside the text.
    static std::optional<std::string> proof(const std::string& question, const std::string& hmacText);
    // Fills answer from a plain (deciphered) reply; used by sendMac.
    static void readReply(const std::string& plain, Answer& answer);

private:
    Answer answer_;
};
