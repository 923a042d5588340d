#include "lib/engine2d/mathlib/MatrixStack.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "lib/engine2d/mathlib/Assert.h"

namespace engine2d {

namespace {
constexpr int kInitialCapacity = 30;
constexpr int kIncrement = 50;
constexpr const char* kStackModule = "engine2d/mathlib/src/GL/mat4stack";
constexpr const char* kMatrixModule = "engine2d/mathlib/src/GL/matrix";

mx_mat4_stack modelview, projection, texture;
mx_mat4_stack* current = nullptr;
bool initialized = false;

void lazyInitialize() {
    if (initialized) return;
    mxMat4 identity;
    mxMat4SetIdentity(&identity);
    for (auto* s : {&modelview, &projection, &texture}) {
        mx_mat4_stack_setup(s);
        mx_mat4_stack_push(s, &identity);
    }
    current = &modelview;
    initialized = true;
}

mx_mat4_stack* stackFor(unsigned mode) {
    switch (mode) {
        case MX_GL_MODELVIEW:
            return &modelview;
        case MX_GL_PROJECTION:
            return &projection;
        case MX_GL_TEXTURE:
            return &texture;
        default:
            return nullptr;
    }
}
}  // namespace

void mx_mat4_stack_setup(mx_mat4_stack* stack) {
    stack->stack = static_cast<mxMat4*>(std::malloc(sizeof(mxMat4) * kInitialCapacity));
    if (!stack->stack) std::abort();
    stack->capacity = kInitialCapacity;
    stack->item_count = 0;
    stack->top = nullptr;
}

void mx_mat4_stack_push(mx_mat4_stack* stack, const mxMat4* item) {
    if (stack->item_count >= stack->capacity) mx_mat4_stack_setup(stack);  // never set up: start one
    stack->top = &stack->stack[stack->item_count];
    std::memcpy(stack->top, item, sizeof(mxMat4));
    stack->item_count++;
    if (stack->item_count < stack->capacity) return;
    // The push filled it: grow now, so there is always a free slot.
    int capacity = stack->capacity + kIncrement;
    auto* grown = static_cast<mxMat4*>(std::malloc(sizeof(mxMat4) * capacity));
    if (!grown) std::abort();
    std::memcpy(grown, stack->stack, sizeof(mxMat4) * stack->capacity);
    std::free(stack->stack);
    stack->stack = grown;
    stack->capacity = capacity;
    stack->top = &stack->stack[stack->item_count - 1];
}

void mx_mat4_stack_pop(mx_mat4_stack* stack) {
    GX_ASSERT(kStackModule, stack->item_count != 0, "Cannot pop an empty stack");
    if (stack->item_count == 0) return;
    stack->item_count--;
    stack->top = stack->item_count ? &stack->stack[stack->item_count - 1] : nullptr;
}

void mx_mat4_stack_free(mx_mat4_stack* stack) {
    std::free(stack->stack);
    stack->stack = nullptr;
    stack->top = nullptr;
    stack->capacity = 0;
    stack->item_count = 0;
}

void mxGLMatrixMode(unsigned mode) {
    lazyInitialize();
    mx_mat4_stack* s = stackFor(mode);
    GX_ASSERT(kMatrixModule, s != nullptr, "Invalid matrix mode specified");
    if (s) current = s;
}

void mxGLPushMatrix() {
    lazyInitialize();
    mxMat4 top = *current->top;
    mx_mat4_stack_push(current, &top);
}

void mxGLPopMatrix() {
    GX_ASSERT(kMatrixModule, initialized, "Cannot Pop empty matrix stack");
    if (!initialized) return;
    mx_mat4_stack_pop(current);
}

void mxGLSetIdentity() {
    lazyInitialize();
    if (current->top) mxMat4SetIdentity(current->top);
}

void mxGLMultiplyTop(const mxMat4* m) {
    lazyInitialize();
    if (current->top) mxMat4Product(current->top, current->top, m);
}

void mxGLTranslateTop(float x, float y, float z) {
    lazyInitialize();
    mxMat4 t;
    mxMat4FromTranslation(&t, x, y, z);
    if (current->top) mxMat4Product(current->top, current->top, &t);
}

void mxGLCopyTop(unsigned mode, mxMat4* out) {
    lazyInitialize();
    mx_mat4_stack* s = stackFor(mode);
    if (s && s->top) *out = *s->top;
}

void mxGLReleaseStacks() {
    if (initialized) {
        mx_mat4_stack_free(&modelview);
        mx_mat4_stack_free(&projection);
        mx_mat4_stack_free(&texture);
    }
    initialized = false;
    current = nullptr;
}

int mxGLStackDepth(unsigned mode) {
    mx_mat4_stack* s = stackFor(mode);
    return initialized && s ? s->item_count : 0;
}

}  // namespace engine2d
