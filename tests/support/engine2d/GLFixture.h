#pragma once
// A GL context made current for each case, an offscreen w x h pixel target
// with a projection of the same size in points, and its pixels read back:
// the fixture of the engine's GL tests. Cases start with REQUIRE_GL(); a
// fixture that derives from GLTest calls its SetUp and TearDown.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gl/Context.h"
#include "platform/gl/GL.h"
#include "tests/support/RequireGL.h"

namespace engine2d {
class GxTexture2D;
}

namespace engine2d::testing_gl {

using Px = std::array<uint8_t, 4>;

// A w x h texture of one colour (straight RGBA, not premultiplied).
std::shared_ptr<GxTexture2D> solidTexture(unsigned w, unsigned h, Px colour);

// A texture's w x h pixels, read through a framebuffer it is attached to;
// empty where it cannot be attached. Leaves the default framebuffer bound.
std::vector<Px> readTexture(GLuint texture, int w, int h);

class GLTest : public testing::Test {
protected:
    // With `ownBundle` the engine's files are looked up in a fresh empty
    // folder, dir_, instead of the app's bundle.
    explicit GLTest(bool ownBundle = true) : ownBundle_(ownBundle) {}
    // Makes a context current where GL is available.
    void SetUp() override;
    // Lets go of the target and clears the current context; the engine's
    // caches and settings go back in the test main's reset, as every
    // process-wide object does.
    void TearDown() override;

    // A w x h pixel target bound as the framebuffer, cleared to opaque
    // black, with a 2D projection of w x h points.
    void target(int w, int h);
    // Clears the target to opaque black.
    void clear();
    // The target's pixel at (x, y) from the bottom left.
    Px at(int x, int y);
    // The whole target, rows from the bottom.
    std::vector<Px> pixels();

    std::shared_ptr<gl::Context> ctx_;
    GLuint fbo_ = 0, target_ = 0;
    int w_ = 0, h_ = 0;
    std::string dir_;

private:
    bool ownBundle_;
};

}  // namespace engine2d::testing_gl
