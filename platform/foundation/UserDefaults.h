#pragma once
// The user defaults: typed values under text keys, kept in one file under
// $QUENTA_HOME/Library/Preferences. Every change is written at once, and
// atomically (temporary file, fsync, rename): the file on disk always holds
// either the old or the new contents.

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace foundation {

class UserDefaults {
public:
    // Uses the given file (made on the first write).
    explicit UserDefaults(std::string path);

    // The app's defaults, in the current $QUENTA_HOME.
    static UserDefaults& standard();
    // Forgets the shared instance so the next standard() reloads from disk
    // (tests that switch $QUENTA_HOME use it).
    static void resetStandard();

    std::optional<Value> objectForKey(const std::string& key) const;
    std::optional<std::string> stringForKey(const std::string& key) const;
    long long integerForKey(const std::string& key) const;  // 0 when absent
    double doubleForKey(const std::string& key) const;      // 0 when absent
    bool boolForKey(const std::string& key) const;          // false when absent
    std::optional<Bytes> dataForKey(const std::string& key) const;
    std::optional<Date> dateForKey(const std::string& key) const;
    std::optional<Array> arrayForKey(const std::string& key) const;
    std::optional<Dictionary> dictionaryForKey(const std::string& key) const;

    // Each returns whether the change reached the disk.
    bool setObject(const std::string& key, Value value);
    bool setInteger(const std::string& key, long long v) { return setObject(key, Value(v)); }
    bool setDouble(const std::string& key, double v) { return setObject(key, Value(v)); }
    bool setBool(const std::string& key, bool v) { return setObject(key, Value(v)); }
    bool setString(const std::string& key, const std::string& v) { return setObject(key, Value(v)); }
    bool removeObjectForKey(const std::string& key);
    // Removes every key of the app's domain and the file itself.
    bool removePersistentDomain();
    // Writes anything a failed write left behind; true when the disk is current.
    bool synchronize();

    std::map<std::string, Value> dictionaryRepresentation() const;
    const std::string& path() const { return path_; }

    // The file format, exposed for tests.
    static std::string encode(const std::map<std::string, Value>& values);
    static std::optional<std::map<std::string, Value>> decode(const std::string& bytes);

private:
    void load();
    bool writeLocked();
    std::string path_;
    mutable std::mutex mutex_;
    std::map<std::string, Value> values_;
    bool dirty_ = false;
};

}  // namespace foundation
