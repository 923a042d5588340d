#pragma once
// Accessors of a field that a lock guards: each reads a copy, or replaces the
// value, while holding the owner's lock for that one step.
//
//   int Queue::count() const { return foundation::lockedRead(mutex_, count_); }
//   void Queue::setCount(int n) { foundation::lockedWrite(mutex_, count_, n); }

#include <mutex>
#include <utility>

namespace foundation {

template <class Mutex, class T>
T lockedRead(Mutex& mutex, const T& field) {
    std::lock_guard<Mutex> lock(mutex);
    return field;
}

template <class Mutex, class T, class V>
void lockedWrite(Mutex& mutex, T& field, V&& value) {
    std::lock_guard<Mutex> lock(mutex);
    field = std::forward<V>(value);
}

}  // namespace foundation
