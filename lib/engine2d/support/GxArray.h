#pragma once
// The engine's object array: shared references in slots, a capacity that
// doubles when an addition needs room, constant-time removal that moves the
// last element into the gap, merge, insertion and quick sorts by comparator
// or selector, and calls sent to every element. Used for node children and
// the engine's internal lists.
//
// Reading past the end gives nullptr instead of touching memory that is not
// the array's.

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace engine2d {

template <class T>
class GxArray {
public:
    using Ref = std::shared_ptr<T>;
    static constexpr unsigned kNotFound = INT_MAX;

    GxArray() : GxArray(2) {}
    explicit GxArray(unsigned capacity) : capacity_(capacity ? capacity : 1) { slots_.reserve(capacity_); }

    unsigned count() const { return unsigned(slots_.size()); }
    unsigned capacity() const { return capacity_; }
    bool empty() const { return slots_.empty(); }

    unsigned indexOfObject(const T* object) const {
        for (unsigned i = 0; i < count(); ++i)
            if (slots_[i].get() == object) return i;
        return kNotFound;
    }
    bool containsObject(const T* object) const { return indexOfObject(object) != kNotFound; }
    Ref objectAtIndex(unsigned i) const { return i < count() ? slots_[i] : nullptr; }
    Ref lastObject() const { return slots_.empty() ? nullptr : slots_.back(); }
    // A random element; never the index one past the end.
    Ref randomObject() const {
        if (slots_.empty()) return nullptr;
        float r = float(std::rand()) * (1.0f / 2147483648.0f);
        unsigned i = std::min(unsigned(float(count()) * r), count() - 1);
        return slots_[i];
    }

    void addObject(Ref object) {
        ensureRoomFor(1);
        slots_.push_back(std::move(object));
    }
    void addObjectsFromArray(const GxArray& other) {
        ensureRoomFor(other.count());
        for (auto& o : other.slots_) slots_.push_back(o);
    }
    // An index beyond the end appends.
    void insertObject(Ref object, unsigned index) {
        ensureRoomFor(1);
        slots_.insert(slots_.begin() + std::min(index, count()), std::move(object));
    }
    void removeObject(const T* object) { removeObjectAtIndex(indexOfObject(object)); }
    void removeObjectAtIndex(unsigned index) {
        if (index < count()) slots_.erase(slots_.begin() + index);
    }
    void removeObjectsInArray(const GxArray& other) {
        for (auto& o : other.slots_) removeObject(o.get());
    }
    void fastRemoveObject(const T* object) { fastRemoveObjectAtIndex(indexOfObject(object)); }
    void fastRemoveObjectAtIndex(unsigned index) {
        if (index >= count()) return;
        if (index != count() - 1) slots_[index] = std::move(slots_.back());
        slots_.pop_back();
    }
    void removeLastObject() {
        if (!slots_.empty()) slots_.pop_back();
    }
    // Releases from the last element to the first; the capacity stays.
    void removeAllObjects() {
        while (!slots_.empty()) slots_.pop_back();
    }
    void exchangeObject(const T* a, const T* b) {
        unsigned i = indexOfObject(a), j = indexOfObject(b);
        if (i != kNotFound && j != kNotFound) exchangeObjectAtIndex(i, j);
    }
    void exchangeObjectAtIndex(unsigned i, unsigned j) {
        if (i < count() && j < count()) std::swap(slots_[i], slots_[j]);
    }
    void replaceObjectAtIndex(unsigned index, Ref object) {
        if (index >= count()) return;
        insertObject(std::move(object), index);
        removeObjectAtIndex(index + 1);
    }
    void reverseObjects() {
        for (unsigned i = 0; i < count() / 2; ++i) std::swap(slots_[i], slots_[count() - 1 - i]);
    }
    void reduceMemoryFootprint() {
        unsigned target = count() ? count() : 1;
        if (capacity_ == target) return;
        capacity_ = target;
        slots_.shrink_to_fit();
    }
    // Element-wise identity; arrays of different lengths differ.
    bool isEqualToArray(const GxArray& other) const { return slots_ == other.slots_; }

    // Sorting. A comparator answers an ordering result for (a, b): 1 when a
    // goes after b, 0 when they are equal, -1 when a goes first. The
    // comparators of the C forms take two slots; a selector is sent to the
    // element a with b as its argument: any callable that std::invoke takes
    // as (T& a, T& b), a pointer to a member function of T among them.
    using Comparator = std::function<int(const Ref&, const Ref&)>;

    // Bottom-up merge sort. On a tie the element of the right run is taken
    // first, as the engine has always merged (so it is not stable).
    void mergeSort(const Comparator& cmp) {
        unsigned n = count();
        std::vector<Ref> buffer;
        buffer.reserve(n / 2 + 1);
        for (unsigned w = 1; w < n; w *= 2) {
            for (long end = long(n) - long(w) - 1; end >= 0; end -= long(2 * w)) {
                long start = std::max(0L, end - long(w) + 1);
                long rightEnd = std::min(long(n) - 1, end + long(w));
                buffer.assign(slots_.begin() + start, slots_.begin() + end + 1);
                long i = 0, j = end + 1, k = start, left = long(buffer.size());
                while (i < left && j <= rightEnd) {
                    if (cmp(slots_[j], buffer[i]) == 1)
                        slots_[k++] = buffer[i++];
                    else
                        slots_[k++] = slots_[j++];
                }
                while (i < left) slots_[k++] = buffer[i++];
            }
        }
    }
    // The merge sort with a comparator that also gets `context`.
    void sortUsingFunction(const std::function<int(const Ref&, const Ref&, void*)>& cmp, void* context) {
        mergeSort([&](const Ref& a, const Ref& b) { return cmp(a, b, context); });
    }
    // The merge sort, the selector sent to each left-hand element.
    template <class Selector>
    void sortUsingSelector(Selector selector) {
        mergeSort([&](const Ref& a, const Ref& b) { return int(std::invoke(selector, *a, *b)); });
    }
    // Insertion sort: neighbours swap while the selector sent to the left one
    // with the right one answers 1; equal elements keep their order.
    template <class Selector>
    void insertionSort(Selector selector) {
        insertionSortUsingCFuncComparator(
            [&](const Ref& a, const Ref& b) { return int(std::invoke(selector, *a, *b)); });
    }
    // Insertion sort: neighbours swap while cmp(left, right) answers 1.
    void insertionSortUsingCFuncComparator(const Comparator& cmp) {
        for (unsigned i = 1; i < count(); ++i)
            for (unsigned j = i; j > 0 && cmp(slots_[j - 1], slots_[j]) == 1; --j) std::swap(slots_[j - 1], slots_[j]);
    }
    // Quicksort over the slots: cmp(a, b) < 0 puts a first; the order of
    // equal elements is not kept.
    void qsortUsingCFuncComparator(const Comparator& cmp) {
        std::sort(slots_.begin(), slots_.end(), [&](const Ref& a, const Ref& b) { return cmp(a, b) < 0; });
    }
    // Bottom-up merge sort over the slots through a buffer of half the count;
    // on a tie the left element goes first, so equal elements keep their
    // order.
    void mergesortLUsingCFuncComparator(const Comparator& cmp) {
        const size_t n = slots_.size();
        std::vector<Ref> buffer;
        buffer.reserve(n / 2 + 1);
        for (size_t w = 1; w < n; w *= 2) {
            for (size_t start = 0; start + w < n; start += 2 * w) {
                const size_t mid = start + w, end = std::min(start + 2 * w, n);
                buffer.assign(slots_.begin() + long(start), slots_.begin() + long(mid));
                size_t i = 0, j = mid, k = start;
                while (i < buffer.size() && j < end) {
                    if (cmp(buffer[i], slots_[j]) > 0)
                        slots_[k++] = slots_[j++];
                    else
                        slots_[k++] = std::move(buffer[i++]);
                }
                while (i < buffer.size()) slots_[k++] = std::move(buffer[i++]);
            }
        }
    }

    // Bulk calls, in order over a copy of the slots (so a call may change the
    // array): the selector sent to each element, with `object` as argument in
    // the second form; and sent to `target` once per element, with the
    // element as argument.
    template <class Selector>
    void makeObjectsPerformSelector(Selector selector) const {
        const std::vector<Ref> each = slots_;
        for (const Ref& o : each) std::invoke(selector, *o);
    }
    template <class Selector, class Object>
    void makeObjectsPerformSelector(Selector selector, Object&& object) const {
        const std::vector<Ref> each = slots_;
        for (const Ref& o : each) std::invoke(selector, *o, object);
    }
    template <class Target, class Selector>
    void makeObjectPerformSelectorWithArrayObjects(Target&& target, Selector selector) const {
        const std::vector<Ref> each = slots_;
        for (const Ref& o : each) std::invoke(selector, target, o);
    }

    auto begin() const { return slots_.begin(); }
    auto end() const { return slots_.end(); }
    const std::vector<Ref>& slots() const { return slots_; }
    std::vector<Ref>& slots() { return slots_; }

private:
    void ensureRoomFor(unsigned extra) {
        while (count() + extra > capacity_) capacity_ *= 2;
        slots_.reserve(capacity_);
    }
    std::vector<Ref> slots_;
    unsigned capacity_;
};

}  // namespace engine2d
