#pragma once
// One program per data folder. Two programs writing the same store and
// defaults would undo each other's work (a binding kept by one while the
// other reported it failed, or no store at all), so the program holds an
// advisory lock (flock) on a file in the folder for as long as it runs. The
// system drops the lock when the holder ends, however it ends.

#include <memory>
#include <string>

namespace foundation {

class DataFolderLock {
public:
    // The lock file's name in the data folder.
    static constexpr const char* kFileName = "quenta.lock";

    // Locks <folder>/quenta.lock (making the folder when needed). nullptr
    // when another process holds it, or it cannot be made; *why then says
    // which, in words for the user.
    static std::unique_ptr<DataFolderLock> acquire(const std::string& folder, std::string* why = nullptr);
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

private:
    explicit DataFolderLock(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace foundation
