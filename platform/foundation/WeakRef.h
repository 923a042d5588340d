#pragma once
// Weak pointers to objects that are not owned through shared_ptr: delegates
// that screens hand to alerts and overlays. A delegate class derives from
// Referenceable; whoever keeps a delegate keeps a WeakRef, which reads
// nullptr once the delegate has been destroyed, so an alert can never call a
// screen that is gone. Use and destroy both on the same thread (the main one
// for UI delegates).

#include <memory>

namespace foundation {

class Referenceable {
public:
    Referenceable() : token_(std::make_shared<char>()) {}
    // A copy is a new object with a lifetime of its own.
    Referenceable(const Referenceable&) : Referenceable() {}
    Referenceable& operator=(const Referenceable&) { return *this; }
    ~Referenceable() = default;

    // Expires when this object is destroyed.
    std::weak_ptr<const void> lifetimeToken() const { return token_; }

private:
    std::shared_ptr<char> token_;
};

template <typename T>
class WeakRef {
public:
    WeakRef() = default;
    WeakRef(T* object) : object_(object) {  // NOLINT: a raw delegate pointer converts
        if (object) token_ = object->lifetimeToken();
    }

    // The object, or nullptr when none was given or it has been destroyed.
    T* get() const { return object_ && !token_.expired() ? object_ : nullptr; }
    operator T*() const { return get(); }  // NOLINT: reads like the raw pointer it replaces
    T* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }

private:
    T* object_ = nullptr;
    std::weak_ptr<const void> token_;
};

}  // namespace foundation
