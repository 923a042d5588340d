#include "platform/gl/Context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace gl {

namespace {

struct Display {
    EGLDisplay dpy = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    std::string error;
};

std::mutex errorMutex;
std::string lastErrorText;
void setError(std::string e) {
    std::lock_guard<std::mutex> l(errorMutex);
    lastErrorText = std::move(e);
}

std::string eglErrorText(const char* what) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s failed (EGL error 0x%04X)", what, unsigned(eglGetError()));
    return buf;
}

// One display for the process, opened on first use and kept.
Display& display() {
    static Display* d = [] {
        auto* out = new Display();
        auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (!getPlatformDisplay) {
            out->error = "EGL has no eglGetPlatformDisplayEXT";
            return out;
        }
        EGLDisplay dpy = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (dpy == EGL_NO_DISPLAY) {
            out->error = eglErrorText("surfaceless display");
            return out;
        }
        if (!eglInitialize(dpy, nullptr, nullptr)) {
            out->error = eglErrorText("eglInitialize");
            return out;
        }
        if (!eglBindAPI(EGL_OPENGL_ES_API)) {
            out->error = eglErrorText("eglBindAPI");
            return out;
        }
        const EGLint attrs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT, EGL_SURFACE_TYPE, 0, EGL_NONE};
        EGLint n = 0;
        if (!eglChooseConfig(dpy, attrs, &out->config, 1, &n) || n < 1) {
            // Mesa's surfaceless contexts also work without a config.
            out->config = EGL_NO_CONFIG_KHR;
        }
        out->dpy = dpy;
        return out;
    }();
    return *d;
}

thread_local Context* currentContext = nullptr;
std::atomic<uint64_t> nextId{1};

}  // namespace

bool Context::available() { return display().dpy != EGL_NO_DISPLAY; }

std::string Context::lastError() {
    if (!display().error.empty()) return display().error;
    std::lock_guard<std::mutex> l(errorMutex);
    return lastErrorText;
}

std::shared_ptr<Context> Context::create(const std::shared_ptr<Context>& shareWith) { return create(shareWith, 2); }

std::shared_ptr<Context> Context::create(const std::shared_ptr<Context>& shareWith, int esVersion) {
    Display& d = display();
    if (d.dpy == EGL_NO_DISPLAY) return nullptr;
    eglBindAPI(EGL_OPENGL_ES_API);
    std::shared_ptr<Context> root = shareWith ? shareWith->sharegroup() : nullptr;
    const EGLint attrs[] = {EGL_CONTEXT_CLIENT_VERSION, esVersion, EGL_NONE};
    EGLContext ctx = eglCreateContext(d.dpy, d.config, root ? EGLContext(root->egl_) : EGL_NO_CONTEXT, attrs);
    if (ctx == EGL_NO_CONTEXT) {
        setError(eglErrorText("eglCreateContext"));
        return nullptr;
    }
    std::shared_ptr<Context> c(new Context());
    c->egl_ = ctx;
    c->root_ = std::move(root);
    c->id_ = nextId.fetch_add(1);
    c->esVersion_ = esVersion;
    return c;
}

Context::~Context() {
    Display& d = display();
    if (currentContext == this) clearCurrent();
    userState_.reset();
    if (egl_) eglDestroyContext(d.dpy, EGLContext(egl_));
}

bool Context::makeCurrent() {
    if (currentContext == this) return true;
    if (!eglMakeCurrent(display().dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, EGLContext(egl_))) {
        setError(eglErrorText("eglMakeCurrent"));
        return false;
    }
    currentContext = this;
    return true;
}

bool Context::isCurrent() const { return currentContext == this; }

Context* Context::current() { return currentContext; }

void Context::clearCurrent() {
    Display& d = display();
    if (d.dpy != EGL_NO_DISPLAY) eglMakeCurrent(d.dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    currentContext = nullptr;
}

}  // namespace gl
