#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "lib/json/DiskDataStorage.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Paths.h"
#include "tests/support/TestSupport.h"

using foundation::Bytes;

TEST(DiskDataStorage, FileNamesAreTheMd5OfTheKey) {
    EXPECT_EQ(DiskDataStorage::internalKey("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(DiskDataStorage::pathForDataFile("abc"),
              foundation::cachesDir() + "/DataStorage/900150983cd24fb0d6963f7d28e17f72");
    EXPECT_NE(DiskDataStorage::internalKey("Key"), DiskDataStorage::internalKey("key"));
    EXPECT_EQ(DiskDataStorage::internalKey("").size(), 32u);
}

TEST(DiskDataStorage, StoreReadRemove) {
    const Bytes data{0, 1, 2, 0xff, 0, 'x'};
    EXPECT_FALSE(DiskDataStorage::isCached("k"));
    DiskDataStorage::storeData(data, "k");
    EXPECT_TRUE(DiskDataStorage::isCached("k"));
    EXPECT_EQ(foundation::readFile(DiskDataStorage::pathForDataFile("k")), std::string("\0\1\2\xff\0x", 6));
    EXPECT_EQ(DiskDataStorage::dataForKey("k"), data);

    // Keys that differ in case are two files.
    DiskDataStorage::storeData(Bytes{'K'}, "K");
    EXPECT_EQ(DiskDataStorage::dataForKey("K"), Bytes{'K'});
    EXPECT_EQ(DiskDataStorage::dataForKey("k"), data);

    DiskDataStorage::storeData(Bytes{}, "k");  // an empty blob is still cached
    EXPECT_EQ(DiskDataStorage::dataForKey("k"), Bytes{});

    DiskDataStorage::removeCacheForKey("k");
    EXPECT_FALSE(DiskDataStorage::isCached("k"));
    EXPECT_EQ(DiskDataStorage::dataForKey("k"), std::nullopt);
    EXPECT_TRUE(DiskDataStorage::isCached("K"));
}

TEST(DiskDataStorage, UnknownKeysAnswerAtOnceOnTheCallersThread) {
    bool called = false;
    DiskDataStorage::dataForKey("never", [&](std::optional<Bytes> data) {
        called = true;
        EXPECT_FALSE(data.has_value());
    });
    EXPECT_TRUE(called);
    called = false;
    DiskDataStorage::removeCacheForKey("never", [&] { called = true; });
    EXPECT_TRUE(called);
    DiskDataStorage::dataForKey("never", nullptr);  // no completion: nothing to do
}

TEST(DiskDataStorage, CompletionsRunOnTheQueue) {
    foundation::Semaphore done(0);
    std::thread::id storeThread, readThread;
    std::optional<Bytes> read;
    DiskDataStorage::storeData(Bytes{'a'}, "q", [&] {
        storeThread = std::this_thread::get_id();
        done.signal();
    });
    done.wait();
    DiskDataStorage::dataForKey("q", [&](std::optional<Bytes> data) {
        readThread = std::this_thread::get_id();
        read = std::move(data);
        done.signal();
    });
    done.wait();
    EXPECT_NE(storeThread, std::this_thread::get_id());
    EXPECT_EQ(readThread, storeThread);
    EXPECT_EQ(read, Bytes{'a'});
}

TEST(DiskDataStorage, FolderRemovedBetweenStoresComesBack) {
    DiskDataStorage::storeData(Bytes{'1'}, "a");
    ASSERT_TRUE(foundation::removeItem(DiskDataStorage::directory()));
    DiskDataStorage::storeData(Bytes{'2'}, "b");
    EXPECT_EQ(DiskDataStorage::dataForKey("b"), Bytes{'2'});
}

TEST(DiskDataStorage, SynchronousCallFromACompletionDoesNotHang) {
    foundation::Semaphore done(0);
    std::optional<Bytes> inner;
    DiskDataStorage::storeData(Bytes{'x'}, "outer", [&] {
        DiskDataStorage::storeData(Bytes{'y'}, "inner");
        inner = DiskDataStorage::dataForKey("inner");
        DiskDataStorage::removeCacheForKey("outer");
        done.signal();
    });
    done.wait();
    EXPECT_EQ(inner, Bytes{'y'});
    EXPECT_FALSE(DiskDataStorage::isCached("outer"));
}

TEST(DiskDataStorage, ReadAndRemoveWaitForAQueuedStore) {
    // Hold the queue in a completion so the next store stays queued.
    foundation::Semaphore started(0), release(0), removed(0);
    DiskDataStorage::storeData(Bytes{'h'}, "hold", [&] {
        started.signal();
        release.wait();
    });
    started.wait();
    DiskDataStorage::storeData(Bytes{'p'}, "pending", nullptr);
    EXPECT_FALSE(DiskDataStorage::isCached("pending"));
    std::optional<Bytes> read;
    std::atomic<bool> readDone{false};
    DiskDataStorage::dataForKey("pending", [&](std::optional<Bytes> data) {
        read = std::move(data);
        readDone = true;
    });
    DiskDataStorage::removeCacheForKey("pending", [&] { removed.signal(); });
    EXPECT_FALSE(readDone);  // it waits behind the store instead of answering nothing
    release.signal();
    removed.wait();
    EXPECT_TRUE(readDone);
    EXPECT_EQ(read, Bytes{'p'});
    EXPECT_FALSE(DiskDataStorage::isCached("pending"));
}
