#pragma once
// OpenGL ES 2 contexts through EGL on Mesa, surfaceless: no window and no
// display server, so tests, headless runs and the desktop window draw the
// same way, into framebuffer objects. Contexts made with another as their
// share partner form a group that sees the same textures and buffers (the
// texture loader's context shares with the view's).
//
// A context is current on one thread at a time; current() is per thread.

#include <cstdint>
#include <memory>
#include <string>

namespace gl {

class Context : public std::enable_shared_from_this<Context> {
public:
    // A new ES 2 context, in the share group of `shareWith` when given.
    // nullptr when EGL or the context cannot be had (lastError() says why).
    static std::shared_ptr<Context> create(const std::shared_ptr<Context>& shareWith = nullptr);
    // The same with another ES version (3 offers multisampled renderbuffers
    // and framebuffer blits); nullptr when the driver has no such context.
    static std::shared_ptr<Context> create(const std::shared_ptr<Context>& shareWith, int esVersion);
    int esVersion() const { return esVersion_; }
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // Whether a surfaceless EGL display is there at all.
    static bool available();
    static std::string lastError();

    bool makeCurrent();
    bool isCurrent() const;
    // The calling thread's current context (nullptr when none).
    static Context* current();
    static void clearCurrent();

    // The first context of the group: pass it as shareWith to join the group.
    std::shared_ptr<Context> sharegroup() const {
        return root_ ? root_ : std::const_pointer_cast<Context>(shared_from_this());
    }
    // A number unique to this context for the life of the process.
    uint64_t id() const { return id_; }

    // Per-context state that the layers above keep (the engine's GL state
    // cache): one slot, owned by the context.
    const std::shared_ptr<void>& userState() const { return userState_; }
    void setUserState(std::shared_ptr<void> s) { userState_ = std::move(s); }

private:
    Context() = default;
    void* egl_ = nullptr;
    std::shared_ptr<Context> root_;
    uint64_t id_ = 0;
    int esVersion_ = 2;
    std::shared_ptr<void> userState_;
};

}  // namespace gl
