#pragma once
// One-call update of the key/value store.

#include <string>

class UpdateDataToSqlite {
public:
    // Sets the value of an existing key (value first, then key); nothing
    // happens without the database file. True when the update reached the file.
    static bool updateData(const std::string& value, const std::string& key);
};
