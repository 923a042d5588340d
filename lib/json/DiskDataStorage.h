#pragma once
// Blobs of data kept in files under <caches>/DataStorage, one file per key
// named by the lowercase hex MD5 of the key. All file work runs on one
// serial queue ("data-disk-cache.io"); completions run on that queue, except
// the immediate answers for keys that are not cached.

#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

class DiskDataStorage {
public:
    using Block = std::function<void()>;
    using DataBlock = std::function<void(std::optional<foundation::Bytes>)>;

    static bool isCached(const std::string& key);
    static std::string pathForDataFile(const std::string& key);
    static std::string internalKey(const std::string& key);

    // Writes the data atomically (making the folder when it is missing), then
    // calls the block (if any). A failed write is ignored.
    static void storeData(foundation::Bytes data, const std::string& key, Block block);
    // Calls the block with the data, or with nothing when the key is not
    // cached or the read fails. Without a block nothing happens.
    static void dataForKey(const std::string& key, DataBlock block);
    // Removes the key's file, then calls the block (if any).
    static void removeCacheForKey(const std::string& key, Block block);

    // The same, waiting for the work to finish. Safe to call from a
    // completion (the work then runs at once on the queue's own thread).
    static void storeData(foundation::Bytes data, const std::string& key);
    static std::optional<foundation::Bytes> dataForKey(const std::string& key);
    static void removeCacheForKey(const std::string& key);

    // The folder of the files.
    static std::string directory();
};
