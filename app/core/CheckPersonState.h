#pragma once
// The binding-state check (no screen calls it).

#include <string>

class CheckPersonState {
public:
    // YES for any state other than "1". For "1" the store is dropped: a
    // controller is made (which opens the file), the database file is
    // deleted, and NO is returned; only when no file could be deleted are
    // `state` set to "1" and `uuid`, `mac` and `username` to "null" first.
    // (C++ does not allow a method named like its class, hence the lower case.)
    static bool checkPersonState(const std::string& state);
};
