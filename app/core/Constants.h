#pragma once
// The toolbox of class methods the screens share.

#include <optional>
#include <string>

class Constants {
public:
    // --- Key/value shortcuts ---
    // The value of a key as "%@" prints it: "(null)" when the key has no row.
    // nullopt when the database file does not exist (no file is created) or
    // the table cannot be read.
    static std::optional<std::string> getValueFromDBByKey(const std::string& key);
    // Sets the value of an existing key; never inserts. False without the
    // file or when the update fails; true (and no change) for a key without a row.
    static bool upDateDBSetValue(const std::string& value, const std::string& key);
};
