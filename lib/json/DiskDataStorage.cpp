#include "lib/json/DiskDataStorage.h"

#include <mutex>
#include <unordered_map>

#include "platform/crypto/Digest.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Paths.h"

using foundation::Bytes;

namespace {

foundation::SerialQueue& queue() {
    static foundation::SerialQueue q("data-disk-cache.io");
    return q;
}

// Stores queued but not yet written, by path. A read or remove of such a key
// goes through the queue so it sees the store, even though the file does not
// exist yet.
std::mutex pendingMutex;
std::unordered_map<std::string, int> pendingStores;

bool isPending(const std::string& path) {
    std::lock_guard<std::mutex> lock(pendingMutex);
    return pendingStores.count(path) != 0;
}

// Set while a synchronous form called from inside the queue runs: its work
// then runs at once instead of waiting behind the task that waits for it.
thread_local bool runInline = false;

void runOnQueue(std::function<void()> work) {
    if (runInline)
        work();
    else
        queue().async(std::move(work));
}

void runAndWait(const std::function<void(foundation::Semaphore&)>& start) {
    foundation::Semaphore done(0);
    bool inlineHere = queue().isCurrent();
    runInline = inlineHere;
    start(done);
    runInline = false;
    done.wait();
}

}  // namespace

std::string DiskDataStorage::directory() { return foundation::joinPath(foundation::cachesDir(), "DataStorage"); }

std::string DiskDataStorage::internalKey(const std::string& key) { return crypto::hex(crypto::md5(key)); }

std::string DiskDataStorage::pathForDataFile(const std::string& key) {
    return foundation::joinPath(directory(), internalKey(key));
}

bool DiskDataStorage::isCached(const std::string& key) { return foundation::fileExists(pathForDataFile(key)); }

void DiskDataStorage::storeData(Bytes data, const std::string& key, Block block) {
    std::string dir = directory();
    std::string path = foundation::joinPath(dir, internalKey(key));
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        ++pendingStores[path];
    }
    runOnQueue([data = std::move(data), dir, path, block = std::move(block)] {
        // Made on every store, so a folder removed meanwhile comes back.
        if (!foundation::isDirectory(dir)) foundation::createDirectories(dir);
        foundation::writeFileAtomically(path, std::string(data.begin(), data.end()));
        {
            std::lock_guard<std::mutex> lock(pendingMutex);
            if (--pendingStores[path] == 0) pendingStores.erase(path);
        }
        if (block) block();
    });
}

void DiskDataStorage::dataForKey(const std::string& key, DataBlock block) {
    if (!block) return;
    std::string path = pathForDataFile(key);
    if (!foundation::fileExists(path) && !isPending(path)) {
        block(std::nullopt);
        return;
    }
    runOnQueue([path, block = std::move(block)] {
        auto contents = foundation::readFile(path);
        if (!contents)
            block(std::nullopt);
        else
            block(Bytes(contents->begin(), contents->end()));
    });
}

void DiskDataStorage::removeCacheForKey(const std::string& key, Block block) {
    std::string path = pathForDataFile(key);
    if (!foundation::fileExists(path) && !isPending(path)) {
        if (block) block();
        return;
    }
    runOnQueue([path, block = std::move(block)] {
        foundation::removeItem(path);
        if (block) block();
    });
}

void DiskDataStorage::storeData(Bytes data, const std::string& key) {
    runAndWait([&](foundation::Semaphore& done) { storeData(std::move(data), key, [&done] { done.signal(); }); });
}

std::optional<Bytes> DiskDataStorage::dataForKey(const std::string& key) {
    std::optional<Bytes> result;
    runAndWait([&](foundation::Semaphore& done) {
        dataForKey(key, [&](std::optional<Bytes> data) {
            result = std::move(data);
            done.signal();
        });
    });
    return result;
}

void DiskDataStorage::removeCacheForKey(const std::string& key) {
    runAndWait([&](foundation::Semaphore& done) { removeCacheForKey(key, [&done] { done.signal(); }); });
}
