#include <gtest/gtest.h>

#include <string>

#include "lib/engine2d/support/GxArray.h"

using namespace engine2d;

namespace {

struct Item {
    std::string name;
    int key = 0;
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

}  // namespace
