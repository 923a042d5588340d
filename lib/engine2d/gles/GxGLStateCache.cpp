#include "lib/engine2d/gles/GxGLStateCache.h"

#include <memory>

#include "lib/engine2d/mathlib/MatrixStack.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

namespace {

struct StateCache {
    long program = -1;
    long blendSrc = -1, blendDst = -1;
    long textures[16];
    unsigned activeUnit = 0;
    bool attribPosition = false, attribColor = false, attribTexCoords = false;
    int serverState = 0;
    StateCache() {
        for (auto& t : textures) t = -1;
    }
};

// The cache of the current context; a context-less caller gets a scratch one.
StateCache& cache() {
    gl::Context* ctx = gl::Context::current();
    if (!ctx) {
        static StateCache scratch;
        return scratch;
    }
    if (!ctx->userState()) ctx->setUserState(std::make_shared<StateCache>());
    return *static_cast<StateCache*>(ctx->userState().get());
}

}  // namespace

void gxGLCacheReset() {
    mxGLReleaseStacks();
    cache() = StateCache();
}

void gxGLCacheUseProgram(unsigned program) {
    auto& c = cache();
    if (long(program) == c.program) return;
    c.program = long(program);
    gl::UseProgram(program);
}

void gxGLCacheDeleteProgram(unsigned program) {
    auto& c = cache();
    if (long(program) == c.program) c.program = -1;
    gl::DeleteProgram(program);
}

void gxGLCacheBlendFunc(unsigned s, unsigned d) {
    auto& c = cache();
    if (long(s) == c.blendSrc && long(d) == c.blendDst) return;
    c.blendSrc = long(s), c.blendDst = long(d);
    // Colours blend as asked; coverage always accumulates as one layer over
    // another. Blending alpha by the colour factors (source alpha twice)
    // would leave a half-transparent layer over an opaque scene with a
    // frame that is itself partly transparent, and what lies behind the
    // view would show through it.
    gl::BlendFuncSeparate(s, d, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}

void gxGLCacheBindTexture(unsigned texture) {
    auto& c = cache();
    if (c.textures[c.activeUnit] == long(texture)) return;
    c.textures[c.activeUnit] = long(texture);
    gl::BindTexture(GL_TEXTURE_2D, texture);
}

void gxGLCacheDeleteTexture(unsigned texture) {
    auto& c = cache();
    if (c.textures[c.activeUnit] == long(texture)) c.textures[c.activeUnit] = -1;
    gl::DeleteTextures(1, &texture);
}

void gxGLCacheEnable(int flags) {
    auto& c = cache();
    bool want = flags & kGxGLServerStateBlend;
    bool have = c.serverState & kGxGLServerStateBlend;
    if (want == have) return;
    if (want) {
        gl::Enable(GL_BLEND);
        c.serverState |= kGxGLServerStateBlend;
    } else {
        gl::Disable(GL_BLEND);
        c.serverState &= ~kGxGLServerStateBlend;
    }
}

void gxGLCacheEnableAttribs(unsigned flags) {
    auto& c = cache();
    auto one = [](bool& state, bool want, unsigned index) {
        if (state == want) return;
        state = want;
        if (want)
            gl::EnableVertexAttribArray(index);
        else
            gl::DisableVertexAttribArray(index);
    };
    one(c.attribPosition, flags & kGxVertexAttribFlagPosition, kGxVertexAttribPosition);
    one(c.attribColor, flags & kGxVertexAttribFlagColor, kGxVertexAttribColor);
    one(c.attribTexCoords, flags & kGxVertexAttribFlagTexCoords, kGxVertexAttribTexCoords);
}

void gxGLCacheProjectionChanged() {}

}  // namespace engine2d
