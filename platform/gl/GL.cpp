#include "platform/gl/GL.h"

#include <EGL/egl.h>
#include <GLES3/gl3.h>

#include <array>
#include <atomic>

namespace gl {

namespace {
std::array<std::atomic<uint64_t>, size_t(Call::Count_)> counts;
}

void countCall(Call c) { counts[size_t(c)].fetch_add(1, std::memory_order_relaxed); }
uint64_t callCount(Call c) { return counts[size_t(c)].load(std::memory_order_relaxed); }
void resetCallCounts() {
    for (auto& c : counts) c.store(0, std::memory_order_relaxed);
}

static_assert(kReadFramebuffer == GL_READ_FRAMEBUFFER && kDrawFramebuffer == GL_DRAW_FRAMEBUFFER &&
              kMaxSamples == GL_MAX_SAMPLES);

void RenderbufferStorageMultisample(GLenum t, GLsizei samples, GLenum f, GLsizei w, GLsizei h) {
    countCall(Call::RenderbufferStorageMultisample);
    ::glRenderbufferStorageMultisample(t, samples, f, w, h);
}

void BlitFramebuffer(GLint sx0, GLint sy0, GLint sx1, GLint sy1, GLint dx0, GLint dy0, GLint dx1, GLint dy1,
                     GLbitfield mask, GLenum filter) {
    countCall(Call::BlitFramebuffer);
    ::glBlitFramebuffer(sx0, sy0, sx1, sy1, dx0, dy0, dx1, dy1, mask, filter);
}

void DiscardFramebuffer(GLenum target, GLsizei count, const GLenum* attachments) {
    static const auto discard =
        reinterpret_cast<PFNGLDISCARDFRAMEBUFFEREXTPROC>(eglGetProcAddress("glDiscardFramebufferEXT"));
    if (!discard) return;
    countCall(Call::DiscardFramebuffer);
    discard(target, count, attachments);
}

}  // namespace gl
