#include "tests/support/engine2d/GLFixture.h"

#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/Mat4.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "tests/support/TestSupport.h"

namespace engine2d::testing_gl {

std::shared_ptr<GxTexture2D> solidTexture(unsigned w, unsigned h, Px colour) {
    std::vector<Px> px(size_t(w) * h, colour);
    return GxTexture2D::textureWithData(px.data(), kGxTexture2DPixelFormat_RGBA8888, w, h, Size{float(w), float(h)});
}

void GLTest::SetUp() {
    if (ownBundle_) {
        dir_ = testsupport::tempDir("engine2d_gltest");
        GxFileUtils::sharedFileUtils().setBundleDir(dir_);
        GxFileUtils::sharedFileUtils().purgeCachedEntries();
    }
    if (!gl::Context::available()) return;
    ctx_ = gl::Context::create();
    ASSERT_TRUE(ctx_ && ctx_->makeCurrent());
    gxGLCacheReset();
}

void GLTest::TearDown() {
    if (fbo_) {
        glDeleteFramebuffers(1, &fbo_);
        glDeleteTextures(1, &target_);
        fbo_ = target_ = 0;
    }
    // The engine's caches, content scale and bundle folder go back in the test
    // main's reset (engine2d.textures, .shaders, .environment, .fileUtils).
    // What they hold of this context needs no GL call then: a texture lets go
    // of its name only while a context is current, a program only while its
    // own context lives, and the context takes its names with it.
    gl::Context::clearCurrent();
}

void GLTest::target(int w, int h) {
    w_ = w;
    h_ = h;
    glGenTextures(1, &target_);
    glBindTexture(GL_TEXTURE_2D, target_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    // The engine's state cache does not know of the bind above.
    gxGLCacheReset();
    glGenFramebuffers(1, &fbo_);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target_, 0);
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    glViewport(0, 0, w, h);
    clear();
    mxMat4 ortho;
    mxMat4Ortho(&ortho, 0, float(w), 0, float(h), -1024, 1024);
    mxGLMatrixMode(MX_GL_PROJECTION);
    mxGLSetIdentity();
    mxGLMultiplyTop(&ortho);
    mxGLMatrixMode(MX_GL_MODELVIEW);
    mxGLSetIdentity();
}

void GLTest::clear() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

Px GLTest::at(int x, int y) {
    Px p{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return p;
}

std::vector<Px> GLTest::pixels() {
    std::vector<Px> px(size_t(w_) * size_t(h_));
    glReadPixels(0, 0, w_, h_, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
}

std::vector<Px> readTexture(GLuint texture, int w, int h) {
    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    std::vector<Px> px(size_t(w) * size_t(h));
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE)
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    else
        px.clear();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fbo);
    return px;
}

}  // namespace engine2d::testing_gl
