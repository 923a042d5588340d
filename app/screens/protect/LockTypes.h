#pragma once
// The lock types the editor offers: {"id", "name", "description"} records of
// the lock-type list, or the two built-in types when the list cannot be had.
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

struct LockType {
    long long id = 0;
    std::string name;
    std::string description;
    bool operator==(const LockType&) const = default;
};

// The web-site and messenger-client login locks.
const std::vector<LockType>& builtInLockTypes();

// The records of a list reply. A reply that is not an array, or that holds a
// record without an integer id, gives the built-in types.
std::vector<LockType> lockTypesFromReply(const std::optional<foundation::Value>& reply);

// The sum of the ids of the chosen types (choices pair with types by index).
long long chosenLockTypeSum(const std::vector<LockType>& types, const std::vector<bool>& chosen);
