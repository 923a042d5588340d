#include "lib/engine2d/director/GxLayerColor.h"

#include <cmath>

#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

std::shared_ptr<GxLayerColor> GxLayerColor::layerWithColor(gxColor4B color, float width, float height) {
    auto l = std::make_shared<GxLayerColor>();
    if (!l->init(color, width, height)) return nullptr;
    return l;
}

std::shared_ptr<GxLayerColor> GxLayerColor::layerWithColor(gxColor4B color) {
    auto l = std::make_shared<GxLayerColor>();
    if (!l->init(color)) return nullptr;
    return l;
}

bool GxLayerColor::init() { return init(gxColor4B{0, 0, 0, 0}); }

bool GxLayerColor::init(gxColor4B color) {
    Size w = GxEnvironment::shared().winSize;
    return init(color, w.width, w.height);
}

bool GxLayerColor::init(gxColor4B c, float width, float height) {
    if (!GxLayer::init()) return false;
    blendFunc_ = {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
    color_ = {c.r, c.g, c.b};
    opacity_ = c.a;
    for (auto& v : squareVertices_) v = {0, 0};
    updateColor();
    // Not through the setter's "unchanged" check: the layer's init sized it to the window.
    contentSize_ = {};
    setContentSize({width, height});
    if (gl::Context::current())
        setShaderProgram(GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionColor));
    return true;
}

void GxLayerColor::setContentSize(Size s) {
    squareVertices_[1].x = s.width;
    squareVertices_[2].y = s.height;
    squareVertices_[3].x = s.width;
    squareVertices_[3].y = s.height;
    GxLayer::setContentSize(s);
}

void GxLayerColor::setColor(gxColor3B c) {
    color_ = c;
    updateColor();
}

void GxLayerColor::setOpacity(uint8_t o) {
    opacity_ = o;
    updateColor();
}

void GxLayerColor::updateColor() {
    for (auto& c : squareColors_) c = {color_.r / 255.f, color_.g / 255.f, color_.b / 255.f, opacity_ / 255.f};
}

void GxLayerColor::draw() {
    if (!shaderProgram_) {
        if (!gl::Context::current()) return;
        setShaderProgram(GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionColor));
        if (!shaderProgram_) return;
    }
    gxGLCacheEnable(glServerState_);
    shaderProgram_->use();
    shaderProgram_->setUniformForModelViewProjectionMatrix();
    gxGLCacheEnableAttribs(kGxVertexAttribFlagPosition | kGxVertexAttribFlagColor);
    gl::VertexAttribPointer(kGxVertexAttribPosition, 2, GL_FLOAT, GL_FALSE, 0, squareVertices_);
    gl::VertexAttribPointer(kGxVertexAttribColor, 4, GL_FLOAT, GL_FALSE, 0, squareColors_);
    gxGLCacheBlendFunc(blendFunc_.src, blendFunc_.dst);
    gl::DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    GxEnvironment::shared().drawCounter++;
}

std::shared_ptr<GxLayerGradient> GxLayerGradient::layerWithColor(gxColor4B start, gxColor4B end, Point vector) {
    auto l = std::make_shared<GxLayerGradient>();
    if (!l->init(start, end, vector)) return nullptr;
    return l;
}

bool GxLayerGradient::init(gxColor4B start, gxColor4B end, Point vector) {
    endColor_ = {end.r, end.g, end.b};
    endOpacity_ = end.a;
    startOpacity_ = start.a;
    vector_ = vector;
    compressedInterpolation_ = true;
    return GxLayerColor::init(gxColor4B{start.r, start.g, start.b, 255});
}

void GxLayerGradient::setEndColor(gxColor3B c) {
    endColor_ = c;
    updateColor();
}
void GxLayerGradient::setStartOpacity(uint8_t o) {
    startOpacity_ = o;
    updateColor();
}
void GxLayerGradient::setEndOpacity(uint8_t o) {
    endOpacity_ = o;
    updateColor();
}
void GxLayerGradient::setVector(Point v) {
    vector_ = v;
    updateColor();
}
void GxLayerGradient::setCompressedInterpolation(bool c) {
    compressedInterpolation_ = c;
    updateColor();
}

void GxLayerGradient::updateColor() {
    GxLayerColor::updateColor();
    float h = gxPointLength(vector_);
    if (h == 0) return;
    const float c = std::sqrt(2.0f);
    Point u = vector_ * (1.0f / h);
    if (compressedInterpolation_) u = u * (c / (std::fabs(u.x) + std::fabs(u.y)));
    float o = opacity_ / 255.f;
    gxColor4F S{color_.r / 255.f, color_.g / 255.f, color_.b / 255.f, startOpacity_ * o / 255.f};
    gxColor4F E{endColor_.r / 255.f, endColor_.g / 255.f, endColor_.b / 255.f, endOpacity_ * o / 255.f};
    float t[4] = {(c + u.x + u.y) / (2 * c), (c - u.x + u.y) / (2 * c), (c + u.x - u.y) / (2 * c),
                  (c - u.x - u.y) / (2 * c)};
    for (int i = 0; i < 4; ++i)
        squareColors_[i] = {E.r + (S.r - E.r) * t[i], E.g + (S.g - E.g) * t[i], E.b + (S.b - E.b) * t[i],
                            E.a + (S.a - E.a) * t[i]};
}

}  // namespace engine2d
