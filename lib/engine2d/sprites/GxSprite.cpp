#include "lib/engine2d/sprites/GxSprite.h"

#include <cstdio>

#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/sprites/GxAnimation.h"
#include "lib/engine2d/sprites/GxSpriteBatchNode.h"
#include "lib/engine2d/sprites/GxSpriteFrame.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/Log.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

std::shared_ptr<GxSprite> GxSprite::spriteWithTexture(std::shared_ptr<GxTexture2D> texture) {
    Rect r;
    if (texture) r.size = texture->contentSize();
    return gxMake<GxSprite>(std::move(texture), r, false);
}

std::shared_ptr<GxSprite> GxSprite::spriteWithTexture(std::shared_ptr<GxTexture2D> texture, Rect rect) {
    return gxMake<GxSprite>(std::move(texture), rect, false);
}

std::shared_ptr<GxSprite> GxSprite::spriteWithFile(const std::string& file) {
    auto t = GxTextureCache::sharedTextureCache().addImage(file);
    if (!t) return nullptr;
    return spriteWithTexture(std::move(t));
}

std::shared_ptr<GxSprite> GxSprite::spriteWithFile(const std::string& file, Rect rect) {
    auto t = GxTextureCache::sharedTextureCache().addImage(file);
    if (!t) return nullptr;
    return spriteWithTexture(std::move(t), rect);
}

std::shared_ptr<GxSprite> GxSprite::spriteWithSpriteFrame(const std::shared_ptr<GxSpriteFrame>& frame) {
    if (!frame) return nullptr;
    auto s = gxMake<GxSprite>(frame->texture(), frame->rect(), false);
    if (s) s->setDisplayFrame(frame);
    return s;
}

std::shared_ptr<GxSprite> GxSprite::spriteWithSpriteFrameName(const std::string& name) {
    return spriteWithSpriteFrame(GxSpriteFrameCache::sharedSpriteFrameCache().spriteFrameByName(name));
}

void GxSprite::setDisplayFrame(const std::shared_ptr<GxSpriteFrame>& frame) {
    if (!frame) return;
    unflippedOffsetPositionFromCenter_ = frame->offset();
    auto t = frame->texture();
    if ((t ? t->name() : 0) != (texture_ ? texture_->name() : 0)) setTexture(t);
    rectRotated_ = frame->rotated();
    setTextureRect(frame->rect(), rectRotated_, frame->originalSize());
}

std::shared_ptr<GxSpriteFrame> GxSprite::displayFrame() const {
    float f = GxEnvironment::shared().contentScaleFactor;
    Rect px{{rect_.origin.x * f, rect_.origin.y * f}, {rect_.size.width * f, rect_.size.height * f}};
    return GxSpriteFrame::frameWithTexture(texture_, px, rectRotated_, unflippedOffsetPositionFromCenter_ * f,
                                           Size{contentSize_.width * f, contentSize_.height * f});
}

bool GxSprite::isFrameDisplayed(const std::shared_ptr<GxSpriteFrame>& frame) const {
    if (!frame) return false;
    auto t = frame->texture();
    return frame->rect() == rect_ && (t ? t->name() : 0) == (texture_ ? texture_->name() : 0) &&
           frame->offset() == unflippedOffsetPositionFromCenter_;
}

bool GxSprite::setDisplayFrameWithAnimationName(const std::string& name, unsigned index) {
    auto a = GxAnimationCache::sharedAnimationCache().animationByName(name);
    if (!a || index >= a->frames().size()) {
        foundation::warn("engine2d: GxSprite: no frame %u in animation \"%s\"", index, name.c_str());
        return false;
    }
    setDisplayFrame(a->frames()[index]->spriteFrame());
    return true;
}

bool GxSprite::init() { return init(nullptr, Rect{}, false); }

bool GxSprite::init(std::shared_ptr<GxTexture2D> texture, Rect rect, bool rotated) {
    if (!GxNode::init()) return false;
    if (gl::Context::current())
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    dirty_ = recursiveDirty_ = false;
    opacityModifyRGB_ = true;
    opacity_ = 255;
    color_ = colorUnmodified_ = gxColor3B{255, 255, 255};
    blendFunc_ = gxBlendFunc{GL_ONE, GL_ONE_MINUS_SRC_ALPHA};
    flipX_ = flipY_ = false;
    GxNode::setAnchorPoint(Point{0.5f, 0.5f});
    offsetPosition_ = Point{};
    hasChildren_ = false;
    batchNode_ = nullptr;
    quad_ = gxV3F_C4B_T2F_Quad{};
    for (gxV3F_C4B_T2F* v : {&quad_.tl, &quad_.bl, &quad_.tr, &quad_.br}) v->colors = gxColor4B{255, 255, 255, 255};
    setTexture(std::move(texture));
    setTextureRect(rect, rotated, rect.size);
    setBatchNode(nullptr);
    return true;
}

void GxSprite::setTextureRect(Rect rect) { setTextureRect(rect, false, rect.size); }

void GxSprite::setTextureRect(Rect rect, bool rotated, Size untrimmedSize) {
    rectRotated_ = rotated;
    setContentSize(untrimmedSize);
    setVertexRect(rect);
    setTextureCoords(rect);
    Point rel = unflippedOffsetPositionFromCenter_;
    if (flipX_) rel.x = -rel.x;
    if (flipY_) rel.y = -rel.y;
    offsetPosition_.x = rel.x + (contentSize_.width - rect_.size.width) / 2;
    offsetPosition_.y = rel.y + (contentSize_.height - rect_.size.height) / 2;
    if (batchNode_)
        dirty_ = true;
    else
        layOutVertices();
}

void GxSprite::layOutVertices() {
    float x1 = offsetPosition_.x, y1 = offsetPosition_.y;
    float x2 = x1 + rect_.size.width, y2 = y1 + rect_.size.height;
    quad_.bl.vertices = {x1, y1, 0};
    quad_.br.vertices = {x2, y1, 0};
    quad_.tl.vertices = {x1, y2, 0};
    quad_.tr.vertices = {x2, y2, 0};
}

void GxSprite::setTextureCoords(Rect rect) {
    GxTexture2D* tex = batchNode_ && textureAtlas_ ? textureAtlas_->texture().get() : texture_.get();
    if (!tex) return;
    float s = GxEnvironment::shared().contentScaleFactor;
    rect = Rect{{rect.origin.x * s, rect.origin.y * s}, {rect.size.width * s, rect.size.height * s}};
    float W = float(tex->pixelsWide()), H = float(tex->pixelsHigh());
    if (W == 0 || H == 0) return;
    if (rectRotated_) {
        float left = rect.origin.x / W, right = left + rect.size.height / W;
        float top = rect.origin.y / H, bottom = top + rect.size.width / H;
        if (flipX_) std::swap(top, bottom);
        if (flipY_) std::swap(left, right);
        quad_.bl.texCoords = {left, top};
        quad_.br.texCoords = {left, bottom};
        quad_.tl.texCoords = {right, top};
        quad_.tr.texCoords = {right, bottom};
    } else {
        float left = rect.origin.x / W, right = left + rect.size.width / W;
        float top = rect.origin.y / H, bottom = top + rect.size.height / H;
        if (flipX_) std::swap(left, right);
        if (flipY_) std::swap(top, bottom);
        quad_.bl.texCoords = {left, bottom};
        quad_.br.texCoords = {right, bottom};
        quad_.tl.texCoords = {left, top};
        quad_.tr.texCoords = {right, top};
    }
}

void GxSprite::setTexture(std::shared_ptr<GxTexture2D> texture) {
    // A batched sprite always shows the batch's texture.
    if (batchNode_) return;
    if (texture == texture_) return;
    texture_ = std::move(texture);
    updateBlendFunc();
}

void GxSprite::updateBlendFunc() {
    if (texture_ && texture_->hasPremultipliedAlpha()) {
        blendFunc_ = gxBlendFunc{GL_ONE, GL_ONE_MINUS_SRC_ALPHA};
        setOpacityModifyRGB(true);
    } else {
        blendFunc_ = gxBlendFunc{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
        setOpacityModifyRGB(false);
    }
}

void GxSprite::updateColor() {
    gxColor4B c{color_.r, color_.g, color_.b, opacity_};
    quad_.bl.colors = quad_.br.colors = quad_.tl.colors = quad_.tr.colors = c;
    if (batchNode_) {
        if (atlasIndex_ != kGxSpriteIndexNotInitialized && textureAtlas_)
            textureAtlas_->updateQuad(quad_, atlasIndex_);
        else
            dirty_ = true;
    }
}

void GxSprite::setColor(gxColor3B c) {
    colorUnmodified_ = color_ = c;
    if (opacityModifyRGB_) {
        color_.r = uint8_t(c.r * opacity_ / 255);
        color_.g = uint8_t(c.g * opacity_ / 255);
        color_.b = uint8_t(c.b * opacity_ / 255);
    }
    updateColor();
}

void GxSprite::setOpacity(uint8_t o) {
    opacity_ = o;
    if (opacityModifyRGB_) setColor(colorUnmodified_);
    updateColor();
}

void GxSprite::setOpacityModifyRGB(bool b) {
    gxColor3B old = color();
    opacityModifyRGB_ = b;
    setColor(old);
}

void GxSprite::setFlipX(bool b) {
    if (flipX_ == b) return;
    flipX_ = b;
    setTextureRect(rect_, rectRotated_, contentSize_);
}

void GxSprite::setFlipY(bool b) {
    if (flipY_ == b) return;
    flipY_ = b;
    setTextureRect(rect_, rectRotated_, contentSize_);
}

void GxSprite::setBatchNode(GxSpriteBatchNode* batch) {
    batchNode_ = batch;
    if (batch) {
        transformToBatch_ = AffineTransform::identity();
        textureAtlas_ = batch->textureAtlas().get();
    } else {
        atlasIndex_ = kGxSpriteIndexNotInitialized;
        textureAtlas_ = nullptr;
        recursiveDirty_ = dirty_ = false;
        layOutVertices();
    }
}

void GxSprite::setDirtyIfBatched() {
    if (batchNode_ && !recursiveDirty_) {
        recursiveDirty_ = dirty_ = true;
        if (hasChildren_) setDirtyRecursively(true);
    }
}

void GxSprite::setDirtyRecursively(bool b) {
    dirty_ = recursiveDirty_ = b;
    if (hasChildren_ && children_)
        for (auto& c : children_->slots())
            if (auto* s = dynamic_cast<GxSprite*>(c.get())) s->setDirtyRecursively(true);
}

void GxSprite::setReorderChildDirtyRecursively() {
    if (isReorderChildDirty_) return;
    isReorderChildDirty_ = true;
    for (auto p = parent(); p && p.get() != static_cast<GxNode*>(batchNode_); p = p->parent()) {
        auto* s = dynamic_cast<GxSprite*>(p.get());
        if (!s) break;
        s->setReorderChildDirtyRecursively();
        break;  // each ancestor continues the walk itself
    }
}

void GxSprite::setPosition(Point p) {
    GxNode::setPosition(p);
    setDirtyIfBatched();
}
void GxSprite::setRotation(float d) {
    GxNode::setRotation(d);
    setDirtyIfBatched();
}
void GxSprite::setSkewX(float d) {
    GxNode::setSkewX(d);
    setDirtyIfBatched();
}
void GxSprite::setSkewY(float d) {
    GxNode::setSkewY(d);
    setDirtyIfBatched();
}
void GxSprite::setScaleX(float s) {
    GxNode::setScaleX(s);
    setDirtyIfBatched();
}
void GxSprite::setScaleY(float s) {
    GxNode::setScaleY(s);
    setDirtyIfBatched();
}
void GxSprite::setScale(float s) {
    GxNode::setScale(s);
    setDirtyIfBatched();
}
void GxSprite::setVertexZ(float z) {
    GxNode::setVertexZ(z);
    setDirtyIfBatched();
}
void GxSprite::setAnchorPoint(Point p) {
    GxNode::setAnchorPoint(p);
    setDirtyIfBatched();
}
void GxSprite::setVisible(bool v) {
    GxNode::setVisible(v);
    setDirtyIfBatched();
}

void GxSprite::updateTransform() {
    if (dirty_) {
        auto p = parent();
        auto* parentSprite =
            p && p.get() != static_cast<GxNode*>(batchNode_) ? dynamic_cast<GxSprite*>(p.get()) : nullptr;
        if (!visible_ || (parentSprite && parentSprite->shouldBeHidden_)) {
            quad_.br.vertices = quad_.tl.vertices = quad_.tr.vertices = quad_.bl.vertices = gxVertex3F{0, 0, 0};
            shouldBeHidden_ = true;
        } else {
            shouldBeHidden_ = false;
            AffineTransform own = nodeToParentTransform();
            transformToBatch_ = parentSprite ? AffineTransform::concat(own, parentSprite->transformToBatch_) : own;
            const auto& t = transformToBatch_;
            float x1 = offsetPosition_.x, y1 = offsetPosition_.y;
            float x2 = x1 + rect_.size.width, y2 = y1 + rect_.size.height;
            auto map = [&](float x, float y) {
                return gxVertex3F{t.a * x + t.c * y + t.tx, t.b * x + t.d * y + t.ty, vertexZ_};
            };
            quad_.bl.vertices = map(x1, y1);
            quad_.br.vertices = map(x2, y1);
            quad_.tl.vertices = map(x1, y2);
            quad_.tr.vertices = map(x2, y2);
        }
        if (textureAtlas_) textureAtlas_->updateQuad(quad_, atlasIndex_);
        dirty_ = recursiveDirty_ = false;
    }
    if (hasChildren_ && children_)
        for (auto& c : children_->slots())
            if (auto* s = dynamic_cast<GxSprite*>(c.get())) s->updateTransform();
}

void GxSprite::addChild(const std::shared_ptr<GxNode>& child, int z, int tag) {
    if (!child || child->parent()) {
        GxNode::addChild(child, z, tag);  // refuses as every node does
        return;
    }
    GxNode::addChild(child, z, tag);
    if (batchNode_) {
        if (auto s = std::dynamic_pointer_cast<GxSprite>(child)) {
            batchNode_->appendChild(s);
            if (!isReorderChildDirty_) setReorderChildDirtyRecursively();
        }
    }
    hasChildren_ = true;
}

void GxSprite::reorderChild(GxNode* child, int z) {
    if (!child || z == child->zOrder()) return;
    if (batchNode_ && !isReorderChildDirty_) {
        setReorderChildDirtyRecursively();
        batchNode_->reorderBatch(true);
    }
    GxNode::reorderChild(child, z);
}

void GxSprite::removeChild(const GxNode* child, bool cleanup) {
    if (batchNode_)
        if (auto* s = dynamic_cast<const GxSprite*>(child)) batchNode_->removeSpriteFromAtlas(const_cast<GxSprite*>(s));
    GxNode::removeChild(child, cleanup);
    hasChildren_ = childrenCount() > 0;
}

void GxSprite::removeAllChildrenWithCleanup(bool cleanup) {
    if (batchNode_ && children_) {
        auto all = children_->slots();
        for (auto& c : all)
            if (auto* s = dynamic_cast<GxSprite*>(c.get())) batchNode_->removeSpriteFromAtlas(s);
    }
    GxNode::removeAllChildrenWithCleanup(cleanup);
    hasChildren_ = false;
}

void GxSprite::sortAllChildren() {
    if (!isReorderChildDirty_) return;
    GxNode::sortAllChildren();
    if (batchNode_ && children_)
        for (auto& c : children_->slots()) c->sortAllChildren();
    isReorderChildDirty_ = false;
}

void GxSprite::draw() {
    if (!shaderProgram_) return;
    gxGLCacheEnable(glServerState_);
    shaderProgram_->use();
    shaderProgram_->setUniformForModelViewProjectionMatrix();
    gxGLCacheBlendFunc(blendFunc_.src, blendFunc_.dst);
    gxGLCacheBindTexture(texture_ ? texture_->name() : 0);
    gxGLCacheEnableAttribs(kGxVertexAttribFlagPosition | kGxVertexAttribFlagColor | kGxVertexAttribFlagTexCoords);
    const auto* base = reinterpret_cast<const uint8_t*>(&quad_);
    const GLsizei stride = sizeof(gxV3F_C4B_T2F);
    gl::VertexAttribPointer(kGxVertexAttribPosition, 3, GL_FLOAT, GL_FALSE, stride, base);
    gl::VertexAttribPointer(kGxVertexAttribTexCoords, 2, GL_FLOAT, GL_FALSE, stride, base + 16);
    gl::VertexAttribPointer(kGxVertexAttribColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, base + 12);
    gl::DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    ++GxEnvironment::shared().drawCounter;
}

std::string GxSprite::description() const {
    char buf[160];
    std::snprintf(buf, sizeof buf, "<GxSprite = %p | Rect = (%.2f,%.2f,%.2f,%.2f) | tag = %i | atlasIndex = %i>",
                  static_cast<const void*>(this), double(rect_.origin.x), double(rect_.origin.y),
                  double(rect_.size.width), double(rect_.size.height), tag_, int(atlasIndex_));
    return buf;
}

}  // namespace engine2d
