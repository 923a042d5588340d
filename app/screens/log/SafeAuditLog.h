#pragma once
// The security log's records, without views: the three lists of a pull (all,
// login records, abnormal events), what each record's row shows, and the
// removal of a deleted record.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

struct LogEvent {
    foundation::Value id;  // as the server sent it: number or text
    long long type = -1;   // 0 login record, 1 abnormal event
    long long category = -1;
    std::string time;  // milliseconds since 1970, as text
    std::string location;

    // nullopt for an element that is not an object.
    static std::optional<LogEvent> fromValue(const foundation::Value& value);
};
using LogEventRef = std::shared_ptr<const LogEvent>;

// What a record's row shows.
struct LogRowLook {
    std::string text;
    std::string icon;  // "" for none
    bool arrow = false;
    bool red = false;  // abnormal events are drawn in red
    // The row offers the password change ("高危登录").
    bool highRisk = false;
};
// Types and categories the app does not know show as a neutral row.
LogRowLook lookOfEvent(const LogEvent& event);

class SafeAuditLog {
public:
    enum Tab { All = 0, Login = 1, Abnormal = 2 };

    // Replaces the lists with the events of a pull reply, in reply order.
    // Returns the ids of the abnormal events, in reply order.
    std::vector<foundation::Value> fill(const foundation::Array& events);
    void clear();

    const std::vector<LogEventRef>& list(Tab tab) const;
    // Whether the record can be deleted (abnormal events only).
    static bool canDelete(const LogEvent& event) { return event.type == 1; }

    // Removes every record with the id from the three lists; false when none
    // was there (a pull replaced the lists meanwhile and no longer holds it).
    bool remove(const foundation::Value& id);

    // {"ids":[...]} for command 18.
    static std::string idsJson(const std::vector<foundation::Value>& ids);

private:
    std::vector<LogEventRef> all_, login_, abnormal_;
};
