#pragma once
// The GL state cache: program, blend function, bound textures, attribute
// arrays and the blend flag pass through it so a call that would change
// nothing is not made. One cache per GL context (a loader context sharing
// the view's objects has its own); the functions work on the current
// context's cache.

#include <cstdint>

namespace engine2d {

constexpr int kGxGLServerStateBlend = 8;
constexpr unsigned kGxVertexAttribFlagPosition = 1;
constexpr unsigned kGxVertexAttribFlagColor = 2;
constexpr unsigned kGxVertexAttribFlagTexCoords = 4;
constexpr unsigned kGxVertexAttribPosition = 0;
constexpr unsigned kGxVertexAttribColor = 1;
constexpr unsigned kGxVertexAttribTexCoords = 2;

// Forgets every cached value (and the matrix stacks) for the current context.
void gxGLCacheReset();
void gxGLCacheUseProgram(unsigned program);
void gxGLCacheDeleteProgram(unsigned program);
// Colour factors as given; alpha always blends ONE, ONE_MINUS_SRC_ALPHA, so
// the frame stays opaque wherever something opaque was drawn.
void gxGLCacheBlendFunc(unsigned sfactor, unsigned dfactor);
void gxGLCacheBindTexture(unsigned texture);
void gxGLCacheDeleteTexture(unsigned texture);
void gxGLCacheEnable(int flags);
void gxGLCacheEnableAttribs(unsigned flags);
void gxGLCacheProjectionChanged();

}  // namespace engine2d
