#pragma once
// A GL context with a w x h pixel target and a projection of the same size
// in points, for tests that read drawn pixels back.

#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/Mat4.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"
#include "tests/support/RequireGL.h"
#include "tests/support/TestSupport.h"

namespace engine2d::testing_gl {

using Px = std::array<uint8_t, 4>;

class GLTest : public testing::Test {
protected:
    void SetUp() override {
        if (!gl::Context::available()) return;
        ctx_ = gl::Context::create();
        ASSERT_TRUE(ctx_ && ctx_->makeCurrent());
        gxGLCacheReset();
        dir_ = testsupport::tempDir("engine2d_gltest");
        GxFileUtils::sharedFileUtils().setBundleDir(dir_);
        GxFileUtils::sharedFileUtils().purgeCachedEntries();
    }
    void TearDown() override {
        if (fbo_) {
            glDeleteFramebuffers(1, &fbo_);
            glDeleteTextures(1, &target_);
        }
        GxTextureCache::purgeSharedTextureCache();
        GxShaderCache::purgeSharedShaderCache();
        GxEnvironment::shared().contentScaleFactor = 1;
        GxFileUtils::sharedFileUtils().setBundleDir("");
        GxFileUtils::sharedFileUtils().purgeCachedEntries();
        gl::Context::clearCurrent();
    }
    void target(int w, int h) {
        glGenTextures(1, &target_);
        glBindTexture(GL_TEXTURE_2D, target_);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        gxGLCacheReset();
        glGenFramebuffers(1, &fbo_);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target_, 0);
        ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
        glViewport(0, 0, w, h);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        mxMat4 ortho;
        mxMat4Ortho(&ortho, 0, float(w), 0, float(h), -1024, 1024);
        mxGLMatrixMode(MX_GL_PROJECTION);
        mxGLSetIdentity();
        mxGLMultiplyTop(&ortho);
        mxGLMatrixMode(MX_GL_MODELVIEW);
        mxGLSetIdentity();
    }
    Px at(int x, int y) {
        Px p{};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        return p;
    }
    std::shared_ptr<gl::Context> ctx_;
    GLuint fbo_ = 0, target_ = 0;
    std::string dir_;
};

}  // namespace engine2d::testing_gl
