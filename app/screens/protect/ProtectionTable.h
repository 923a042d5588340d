#pragma once
// What the protections screen knows without its views: its thirteen rows,
// the status of each server protection ("0" on, "1" off) and how the
// replies of the status and change commands move them.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

struct ProtectRow {
    double height;
    const char* cellId;
    int tag;  // 1 plain, 2 section title, 3 protection with switch, 4 link
    const char* title;
    const char* subtitle;
    const char* icon;
    const char* serverId;        // status key; nullptr for rows without a switch
    const char* analyticsLabel;  // nullptr for rows without one
};

inline constexpr int kPasswordRow = 2;
inline constexpr int kLockRow = 3;
inline constexpr int kLoginRow = 4;

const std::vector<ProtectRow>& protectRows();

// The status reply: {"isSuccess", "protects": [ids], "lock"}.
struct ProtectionStatusReply {
    bool isSuccess = false;
    std::vector<std::string> protects;
    bool lock = false;
    static std::optional<ProtectionStatusReply> fromValue(const foundation::Value& value, foundation::ErrorRef* error);
};

// The reply of a change or of a lock opening or closing:
// {"isSuccess", "protect", "tips", "enabletime"}.
struct ProtectionChangeReply {
    bool isSuccess = false;
    std::optional<std::string> protect;
    std::optional<std::string> tips;
    std::optional<long long> enabletime;  // milliseconds since 1970
    static std::optional<ProtectionChangeReply> fromValue(const foundation::Value& value, foundation::ErrorRef* error);
};

class ProtectionStatuses {
public:
    static constexpr const char* kOn = "0";
    static constexpr const char* kOff = "1";
    static constexpr const char* kLock = "600";
    static constexpr const char* kLogin = "601";
    static constexpr const char* kWebLogin = "10";
    static constexpr const char* kMessengerLogin = "80";

    ProtectionStatuses() { reset(); }
    // Every protection off.
    void reset();
    bool has(const std::string& id) const { return statuses_.count(id) != 0; }
    // "0" or "1"; "1" for an id the table does not have.
    std::string status(const std::string& id) const;
    bool isOn(const std::string& id) const { return status(id) == kOn; }
    // Ignored for an id the table does not have.
    void set(const std::string& id, const std::string& status);
    const std::map<std::string, std::string>& all() const { return statuses_; }

    // What the status reply says beyond the statuses.
    struct StatusOutcome {
        bool clearStoredMask = false;     // the server knows no lock: forget the stored hours
        bool noProtectionNotice = false;  // "您没有开通任何操作保护"
    };
    StatusOutcome applyStatusReply(const ProtectionStatusReply& reply, int64_t storedMask);

    // The hint of the login-protection row when only one of its two parts is
    // on; nullopt otherwise.
    std::optional<std::string> loginHint() const;

private:
    std::map<std::string, std::string> statuses_;
};
