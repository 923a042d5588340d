#pragma once
// Matrix stacks: the record that grows by 50 matrices whenever a push fills
// it, and the three process-wide stacks (model-view, projection, texture)
// with a current mode that stand in for fixed-function GL matrices.

#include "lib/engine2d/mathlib/Mat4.h"

namespace engine2d {

struct mx_mat4_stack {
    int capacity = 0;
    int item_count = 0;
    mxMat4* top = nullptr;
    mxMat4* stack = nullptr;
};

void mx_mat4_stack_setup(mx_mat4_stack* stack);
void mx_mat4_stack_push(mx_mat4_stack* stack, const mxMat4* item);
// Popping an empty stack stops a debug build; a release build ignores it.
void mx_mat4_stack_pop(mx_mat4_stack* stack);
void mx_mat4_stack_free(mx_mat4_stack* stack);

constexpr unsigned MX_GL_MODELVIEW = 0x1700;
constexpr unsigned MX_GL_PROJECTION = 0x1701;
constexpr unsigned MX_GL_TEXTURE = 0x1702;

void mxGLMatrixMode(unsigned mode);
void mxGLPushMatrix();
void mxGLPopMatrix();
void mxGLSetIdentity();
void mxGLMultiplyTop(const mxMat4* m);
// Before any other matrix call there is no current stack; then it selects
// the model-view stack first.
void mxGLTranslateTop(float x, float y, float z);
void mxGLCopyTop(unsigned mode, mxMat4* out);
void mxGLReleaseStacks();
// The depth of the stack of a mode (0 for an unknown mode or before set-up).
int mxGLStackDepth(unsigned mode);

}  // namespace engine2d
