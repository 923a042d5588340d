#include "lib/engine2d/misc/GxProgressTimer.h"

#include <cfloat>

#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

namespace {
// The corners of the unit square in sweep order, two bits (x, y) each.
constexpr unsigned kCornerBits = 0x4B;
constexpr float kTwoPi = 6.2831855f;
}  // namespace

bool GxProgressTimer::init(std::shared_ptr<GxSprite> sprite) {
    if (!GxNode::init()) return false;
    percentage_ = 0;
    vertexData_.clear();
    setAnchorPoint({0.5f, 0.5f});
    type_ = kGxProgressTimerTypeRadial;
    reverseDirection_ = false;
    setMidpoint({0.5f, 0.5f});
    setBarChangeRate({1, 1});
    setSprite(std::move(sprite));
    if (gl::Context::current())
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    return true;
}

void GxProgressTimer::setPercentage(float percent) {
    if (percent == percentage_) return;
    percentage_ = gxClampFloat(percent, 0, 100);
    updateProgress();
}

void GxProgressTimer::setSprite(std::shared_ptr<GxSprite> sprite) {
    if (sprite == sprite_) return;
    sprite_ = std::move(sprite);
    setContentSize(sprite_ ? sprite_->contentSize() : Size{});
    discardVertexData();
}

void GxProgressTimer::setType(int type) {
    if (type == type_) return;
    discardVertexData();
    type_ = type;
}

void GxProgressTimer::setReverseProgress(bool reverse) {
    if (reverse == reverseDirection_) return;
    reverseDirection_ = reverse;
    discardVertexData();
}

// The two directions lay bars out differently (4 and 8 vertices) and put
// the radial corners in other orders: the old list goes either way.
void GxProgressTimer::setReverseDirection(bool reverse) { setReverseProgress(reverse); }

void GxProgressTimer::setMidpoint(Point p) { midpoint_ = gxPointClamp(p, {0, 0}, {1, 1}); }

gxColor3B GxProgressTimer::color() const { return sprite_ ? sprite_->color() : gxColor3B{0, 0, 0}; }

void GxProgressTimer::setColor(gxColor3B c) {
    if (!sprite_) return;
    sprite_->setColor(c);
    updateColor();
}

uint8_t GxProgressTimer::opacity() const { return sprite_ ? sprite_->opacity() : 0; }

void GxProgressTimer::setOpacity(uint8_t o) {
    if (!sprite_) return;
    sprite_->setOpacity(o);
    updateColor();
}

Point GxProgressTimer::boundaryTexCoord(unsigned index) const {
    if (index >= 4) return {};
    auto bit = [](unsigned n) { return float((kCornerBits >> n) & 1); };
    if (reverseDirection_) return {bit(7 - index * 2), bit(6 - index * 2)};
    return {bit(index * 2 + 1), bit(index * 2)};
}

Point GxProgressTimer::vertexFromAlphaPoint(Point alpha) const {
    if (!sprite_) return {};
    const auto& q = sprite_->quad();
    Point min{q.bl.vertices.x, q.bl.vertices.y}, max{q.tr.vertices.x, q.tr.vertices.y};
    return {min.x * (1 - alpha.x) + max.x * alpha.x, min.y * (1 - alpha.y) + max.y * alpha.y};
}

Point GxProgressTimer::textureCoordFromAlphaPoint(Point alpha) const {
    if (!sprite_) return {};
    const auto& q = sprite_->quad();
    Point min{q.bl.texCoords.u, q.bl.texCoords.v}, max{q.tr.texCoords.u, q.tr.texCoords.v};
    // A rotated frame lies on its side in the texture.
    if (sprite_->textureRectRotated()) std::swap(alpha.x, alpha.y);
    return {min.x * (1 - alpha.x) + max.x * alpha.x, min.y * (1 - alpha.y) + max.y * alpha.y};
}

void GxProgressTimer::setVertex(size_t i, Point alpha) {
    if (i >= vertexData_.size()) return;
    Point tex = textureCoordFromAlphaPoint(alpha), pos = vertexFromAlphaPoint(alpha);
    vertexData_[i].texCoords = {tex.x, tex.y};
    vertexData_[i].vertices = {pos.x, pos.y};
}

void GxProgressTimer::updateColor() {
    if (!sprite_ || vertexData_.empty()) return;
    gxColor4B c = sprite_->quad().tl.colors;
    for (auto& v : vertexData_) v.colors = c;
}

void GxProgressTimer::updateProgress() {
    if (type_ == kGxProgressTimerTypeRadial)
        updateRadial();
    else if (type_ == kGxProgressTimerTypeBar)
        updateBar();
}

void GxProgressTimer::updateRadial() {
    if (!sprite_) return;
    const float alpha = percentage_ / 100;
    const float angle = kTwoPi * (reverseDirection_ ? alpha : 1 - alpha);
    const Point topMid{midpoint_.x, 1};
    const Point sweep = gxPointRotateAbout(topMid, midpoint_, angle);

    int index = 0;
    Point hit;
    if (alpha == 0) {
        hit = topMid;
        index = 0;
    } else if (alpha == 1) {
        hit = topMid;
        index = 4;
    } else {
        float best = FLT_MAX;
        for (int i = 0; i <= 4; ++i) {
            Point a = boundaryTexCoord(unsigned(i % 4)), b = boundaryTexCoord(unsigned((i + 3) % 4));
            // The top edge is split at the top-middle point.
            if (i == 0) b = gxPointLerp(a, b, 1 - midpoint_.x);
            if (i == 4) a = gxPointLerp(a, b, 1 - midpoint_.x);
            float s = 0, t = 0;
            if (!gxPointLineIntersect(a, b, midpoint_, sweep, &s, &t)) continue;
            if ((i == 0 || i == 4) && !(s >= 0 && s <= 1)) continue;
            if (t >= 0 && t < best) {
                best = t;
                index = i;
            }
        }
        hit = midpoint_ + (sweep - midpoint_) * best;
    }

    const size_t count = size_t(index) + 3;
    bool writeAll = false;
    if (vertexData_.size() != count) {
        vertexData_.assign(count, gxV2F_C4B_T2F{});
        writeAll = true;
    }
    updateColor();
    if (writeAll) {
        setVertex(0, midpoint_);
        setVertex(1, topMid);
        for (int k = 0; k < index; ++k) setVertex(size_t(k) + 2, boundaryTexCoord(unsigned(k)));
    }
    setVertex(count - 1, hit);
}

void GxProgressTimer::updateBar() {
    if (!sprite_) return;
    const float alpha = percentage_ / 100;
    const Point offset{((1 - barChangeRate_.x) + alpha * barChangeRate_.x) * 0.5f,
                       ((1 - barChangeRate_.y) + alpha * barChangeRate_.y) * 0.5f};
    Point min = midpoint_ - offset, max = midpoint_ + offset;
    // Keep the region's size and push it inside the unit square.
    if (min.x < 0) max.x += -min.x, min.x = 0;
    if (max.x > 1) min.x -= max.x - 1, max.x = 1;
    if (min.y < 0) max.y += -min.y, min.y = 0;
    if (max.y > 1) min.y -= max.y - 1, max.y = 1;

    if (!reverseDirection_) {
        if (vertexData_.size() != 4) vertexData_.assign(4, gxV2F_C4B_T2F{});
        setVertex(0, {min.x, max.y});
        setVertex(1, {min.x, min.y});
        setVertex(2, {max.x, max.y});
        setVertex(3, {max.x, min.y});
    } else {
        if (vertexData_.size() != 8) {
            vertexData_.assign(8, gxV2F_C4B_T2F{});
            setVertex(0, {0, 1});
            setVertex(1, {0, 0});
            setVertex(6, {1, 1});
            setVertex(7, {1, 0});
        }
        setVertex(2, {min.x, max.y});
        setVertex(3, {min.x, min.y});
        setVertex(4, {max.x, max.y});
        setVertex(5, {max.x, min.y});
    }
    updateColor();
}

void GxProgressTimer::draw() {
    if (vertexData_.empty() || !sprite_) return;
    if (!shaderProgram_ && gl::Context::current())
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    if (!shaderProgram_) return;
    gxGLCacheEnable(glServerState_);
    shaderProgram_->use();
    shaderProgram_->setUniformForModelViewProjectionMatrix();
    gxBlendFunc blend = sprite_->blendFunc();
    gxGLCacheBlendFunc(blend.src, blend.dst);
    gxGLCacheEnableAttribs(kGxVertexAttribFlagPosition | kGxVertexAttribFlagColor | kGxVertexAttribFlagTexCoords);
    gxGLCacheBindTexture(sprite_->texture() ? sprite_->texture()->name() : 0);
    const auto* base = reinterpret_cast<const uint8_t*>(vertexData_.data());
    const GLsizei stride = sizeof(gxV2F_C4B_T2F);
    gl::VertexAttribPointer(kGxVertexAttribPosition, 2, GL_FLOAT, GL_FALSE, stride, base);
    gl::VertexAttribPointer(kGxVertexAttribTexCoords, 2, GL_FLOAT, GL_FALSE, stride, base + 12);
    gl::VertexAttribPointer(kGxVertexAttribColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, base + 8);
    const GLsizei count = GLsizei(vertexData_.size());
    if (type_ == kGxProgressTimerTypeRadial) {
        gl::DrawArrays(GL_TRIANGLE_FAN, 0, count);
        ++GxEnvironment::shared().drawCounter;
    } else if (!reverseDirection_) {
        gl::DrawArrays(GL_TRIANGLE_STRIP, 0, count);
        ++GxEnvironment::shared().drawCounter;
    } else {
        gl::DrawArrays(GL_TRIANGLE_STRIP, 0, count / 2);
        gl::DrawArrays(GL_TRIANGLE_STRIP, 4, count / 2);
        GxEnvironment::shared().drawCounter += 2;
    }
}

}  // namespace engine2d
