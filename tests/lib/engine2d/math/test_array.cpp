#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <future>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "lib/engine2d/support/GxArray.h"
#include "lib/engine2d/support/GxThreadBlocks.h"
#include "platform/foundation/RunLoop.h"

using namespace engine2d;

namespace {

struct Item {
    std::string name;
    int key = 0;
    int calls = 0;
    // The ordering result of this item against another.
    int compare(const Item& other) const { return key > other.key ? 1 : key < other.key ? -1 : 0; }
    void touch() { ++calls; }
    void addCalls(int n) { calls += n; }
};
using Ref = std::shared_ptr<Item>;

Ref item(std::string n, int key = 0) { return std::make_shared<Item>(Item{std::move(n), key}); }

std::string names(const GxArray<Item>& a) {
    std::string s;
    for (auto& i : a) s += i->name;
    return s;
}

GxArray<Item> abcd() {
    GxArray<Item> a;
    for (auto n : {"A", "B", "C", "D"}) a.addObject(item(n));
    return a;
}

TEST(GxArray, GrowsByDoublingAndShrinksToItsCount) {
    GxArray<Item> a;
    EXPECT_EQ(a.capacity(), 2u);
    for (auto n : {"A", "B", "C"}) a.addObject(item(n));
    EXPECT_EQ(a.capacity(), 4u);
    a.replaceObjectAtIndex(1, item("X"));  // full array: grows first
    EXPECT_EQ(names(a), "AXC");
    GxArray<Item> empty(8);
    empty.reduceMemoryFootprint();
    EXPECT_EQ(empty.capacity(), 1u);
    GxArray<Item> zero(0);
    EXPECT_EQ(zero.capacity(), 1u);
}

TEST(GxArray, RemovalsKeepOrderExceptTheFastOnes) {
    auto a = abcd();
    a.fastRemoveObjectAtIndex(0);
    EXPECT_EQ(names(a), "DBC");
    auto b = abcd();
    auto c = b.objectAtIndex(2);
    b.removeObject(c.get());
    EXPECT_EQ(names(b), "ABD");
    Item stranger;
    b.removeObject(&stranger);
    EXPECT_EQ(names(b), "ABD") << "an absent object changes nothing";
    EXPECT_EQ(b.indexOfObject(&stranger), GxArray<Item>::kNotFound);
    EXPECT_EQ(c.use_count(), 1) << "the array let go of its reference";
    b.removeAllObjects();
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.capacity(), 4u);
}

TEST(GxArray, OutOfRangeReadsAndShortComparisonsAreSafe) {
    auto a = abcd();
    EXPECT_EQ(a.objectAtIndex(4), nullptr);
    EXPECT_EQ(GxArray<Item>().lastObject(), nullptr);
    EXPECT_EQ(GxArray<Item>().randomObject(), nullptr);
    for (int i = 0; i < 50; ++i) EXPECT_NE(a.randomObject(), nullptr);
    GxArray<Item> prefix;
    prefix.addObject(a.objectAtIndex(0));
    EXPECT_FALSE(a.isEqualToArray(prefix));
    EXPECT_FALSE(prefix.isEqualToArray(a)) << "a longer array with the same start is not equal";
    a.reverseObjects();
    EXPECT_EQ(names(a), "DCBA");
    a.addObject(item("E"));
    a.reverseObjects();
    EXPECT_EQ(names(a), "EABCD");
}

TEST(GxArray, MergeSortOrdersByKeyAndTakesTheRightRunFirstOnTies) {
    GxArray<Item> a;
    const std::pair<const char*, int> items[] = {{"a", 2}, {"b", 1}, {"c", 2}, {"d", 1}, {"e", 3}, {"f", 2}};
    for (auto [n, k] : items) a.addObject(item(n, k));
    a.mergeSort([](const Ref& x, const Ref& y) { return x->key > y->key ? 1 : x->key < y->key ? -1 : 0; });
    std::string keys;
    for (auto& i : a) keys += std::to_string(i->key);
    EXPECT_EQ(keys, "112223");
    // Ties: in each merge the right run's element goes first.
    EXPECT_EQ(names(a), "dbfcae");
}

using Cmp = GxArray<Item>::Comparator;
int byKey(const Ref& a, const Ref& b) { return a->compare(*b); }

GxArray<Item> keyed(const std::vector<std::pair<std::string, int>>& items) {
    GxArray<Item> a;
    for (auto& [n, k] : items) a.addObject(item(n, k));
    return a;
}

std::string keys(const GxArray<Item>& a) {
    std::string s;
    for (auto& i : a) s += std::to_string(i->key);
    return s;
}

// Every sort orders by key; they differ on equal keys: the merge sort (and
// so the selector sort) takes the right run's element first, the insertion
// sorts and the L merge sort keep the order of arrival, the quicksort
// promises nothing.
TEST(GxArray, SortsBySelectorAndComparatorWithTheirRuleForEqualElements) {
    const std::vector<std::pair<std::string, int>> items = {{"a", 2}, {"b", 1}, {"c", 2}, {"d", 1}, {"e", 3}, {"f", 2}};
    struct Case {
        const char* name;
        std::function<void(GxArray<Item>&)> sort;
        const char* order;  // names, or nullptr when ties may go either way
    };
    const Case cases[] = {
        {"sortUsingSelector", [](GxArray<Item>& a) { a.sortUsingSelector(&Item::compare); }, "dbfcae"},
        {"sortUsingFunction",
         [](GxArray<Item>& a) {
             int calls = 0;
             a.sortUsingFunction(
                 [](const Ref& x, const Ref& y, void* c) {
                     ++*static_cast<int*>(c);
                     return x->compare(*y);
                 },
                 &calls);
             if (a.count() > 1) {
                 EXPECT_GT(calls, 0) << "the context reaches the function";
             }
         },
         "dbfcae"},
        {"insertionSort", [](GxArray<Item>& a) { a.insertionSort(&Item::compare); }, "bdacfe"},
        {"insertionSortUsingCFuncComparator", [](GxArray<Item>& a) { a.insertionSortUsingCFuncComparator(byKey); },
         "bdacfe"},
        {"mergesortLUsingCFuncComparator", [](GxArray<Item>& a) { a.mergesortLUsingCFuncComparator(byKey); }, "bdacfe"},
        {"qsortUsingCFuncComparator", [](GxArray<Item>& a) { a.qsortUsingCFuncComparator(byKey); }, nullptr},
    };
    std::mt19937 random(7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto a = keyed(items);
        c.sort(a);
        EXPECT_EQ(keys(a), "112223");
        if (c.order) {
            EXPECT_EQ(names(a), c.order);
        }
        // Longer arrays of every length up to 40, with many ties: the keys
        // come out sorted and the array holds the same elements.
        for (unsigned n = 0; n <= 40; ++n) {
            std::vector<std::pair<std::string, int>> many;
            for (unsigned i = 0; i < n; ++i)
                many.push_back({std::string(1, char('A' + i % 26)) + std::to_string(i), int(random() % 5)});
            auto b = keyed(many);
            std::vector<Ref> before(b.begin(), b.end());
            c.sort(b);
            ASSERT_EQ(b.count(), n);
            EXPECT_TRUE(std::is_sorted(b.begin(), b.end(), [](const Ref& x, const Ref& y) { return x->key < y->key; }))
                << n;
            for (const Ref& r : before) EXPECT_TRUE(b.containsObject(r.get())) << n;
            if (c.order && std::string(c.order) == "bdacfe") {
                std::stable_sort(before.begin(), before.end(),
                                 [](const Ref& x, const Ref& y) { return x->key < y->key; });
                EXPECT_TRUE(std::equal(before.begin(), before.end(), b.begin()))
                    << "equal keys keep their order, " << n;
            }
        }
    }
}

TEST(GxArray, CallsGoToEveryElementInOrder) {
    auto a = abcd();
    a.makeObjectsPerformSelector(&Item::touch);
    a.makeObjectsPerformSelector(&Item::addCalls, 10);
    for (auto& i : a) EXPECT_EQ(i->calls, 11) << i->name;
    struct Collector {
        std::string seen;
        std::vector<Ref> kept;
        void take(const Ref& r) {
            seen += r->name;
            kept.push_back(r);
        }
    } collector;
    a.makeObjectPerformSelectorWithArrayObjects(collector, &Collector::take);
    EXPECT_EQ(collector.seen, "ABCD");
    EXPECT_EQ(collector.kept.front().use_count(), 2) << "the target got the element itself";
    // A call that empties the array does not cut the round short.
    std::string visited;
    a.makeObjectPerformSelectorWithArrayObjects(a, [&](GxArray<Item>& self, const Ref& r) {
        visited += r->name;
        self.removeAllObjects();
    });
    EXPECT_EQ(visited, "ABCD");
    EXPECT_TRUE(a.empty());
}

// A thread with its own run loop, running until the end of the test.
class LoopThread {
public:
    LoopThread() {
        std::promise<foundation::RunLoop*> made;
        auto got = made.get_future();
        thread_ = std::thread([&made] {
            foundation::RunLoop& loop = foundation::RunLoop::current();
            made.set_value(&loop);
            loop.run();
        });
        loop_ = got.get();
    }
    ~LoopThread() {
        foundation::RunLoop* loop = loop_;
        loop->post([loop] { loop->stop(); });
        thread_.join();
    }
    foundation::RunLoop& loop() { return *loop_; }
    std::thread::id id() const { return thread_.get_id(); }

private:
    std::thread thread_;
    foundation::RunLoop* loop_ = nullptr;
};

TEST(GxThreadBlocks, ABlockRunsOnItsThreadWithAndWithoutWaiting) {
    LoopThread worker;
    // Waiting: the block has run on the worker when the call returns.
    std::thread::id ranOn;
    int value = 0;
    performBlock(
        worker.loop(),
        [&] {
            ranOn = std::this_thread::get_id();
            value = 1;
        },
        true);
    EXPECT_EQ(ranOn, worker.id());
    EXPECT_EQ(value, 1);

    // Not waiting: the call returns while the worker is still busy with an
    // earlier block; this one runs after it.
    std::mutex m;
    std::condition_variable cv;
    bool gateOpen = false, ran = false;
    std::vector<std::string> order;
    performBlock(worker.loop(), [&] {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return gateOpen; });
        order.push_back("first");
    });
    performBlock(
        worker.loop(),
        [&] {
            std::lock_guard<std::mutex> lock(m);
            order.push_back("second");
            ran = true;
            cv.notify_all();
        },
        false);
    {
        std::unique_lock<std::mutex> lock(m);
        EXPECT_FALSE(ran) << "the call did not wait for the block";
        gateOpen = true;
        cv.notify_all();
        cv.wait(lock, [&] { return ran; });
    }
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second"}));

    // With an object, carried to the worker and let go after the call.
    auto object = std::make_shared<Item>(Item{"carried", 3});
    std::string got;
    performBlock(
        worker.loop(),
        [&](const std::shared_ptr<void>& o) {
            got = static_cast<Item*>(o.get())->name;
            ranOn = std::this_thread::get_id();
        },
        object, true);
    EXPECT_EQ(got, "carried");
    EXPECT_EQ(ranOn, worker.id());
    EXPECT_EQ(object.use_count(), 1);
}

TEST(GxThreadBlocks, OnItsOwnThreadWaitingRunsAtOnceAndNotWaitingOnALaterTurn) {
    foundation::RunLoop& here = foundation::RunLoop::current();
    std::vector<std::string> order;
    performBlock(here, [&] { order.push_back("later"); });
    performBlock(
        here, [&] { order.push_back("now"); }, true);
    order.push_back("returned");
    here.drain();
    EXPECT_EQ(order, (std::vector<std::string>{"now", "returned", "later"}));
}

}  // namespace
