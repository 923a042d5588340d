#include "lib/engine2d/sprites/GxSpriteBatchNode.h"

#include <algorithm>
#include <cstdio>

#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/Log.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

namespace {
unsigned subtreeSize(const GxNode* n) {
    unsigned count = 1;
    if (n->children())
        for (auto& c : n->children()->slots()) count += subtreeSize(c.get());
    return count;
}
GxSprite* spriteAt(const GxNode* parent, unsigned i) {
    return static_cast<GxSprite*>(parent->children()->slots()[i].get());
}
}  // namespace

std::shared_ptr<GxSpriteBatchNode> GxSpriteBatchNode::batchNodeWithTexture(std::shared_ptr<GxTexture2D> texture,
                                                                           unsigned capacity) {
    return gxMake<GxSpriteBatchNode>(std::move(texture), capacity);
}

std::shared_ptr<GxSpriteBatchNode> GxSpriteBatchNode::batchNodeWithFile(const std::string& file, unsigned capacity) {
    auto t = GxTextureCache::sharedTextureCache().addImage(file);
    if (!t) return nullptr;
    return batchNodeWithTexture(std::move(t), capacity);
}

bool GxSpriteBatchNode::init() { return init(std::make_shared<GxTexture2D>(), 0); }

bool GxSpriteBatchNode::init(std::shared_ptr<GxTexture2D> texture, unsigned capacity) {
    if (!GxNode::init()) return false;
    blendFunc_ = gxBlendFunc{GL_ONE, GL_ONE_MINUS_SRC_ALPHA};
    textureAtlas_ = GxTextureAtlas::textureAtlasWithTexture(std::move(texture), capacity);
    if (!textureAtlas_) return false;
    updateBlendFunc();
    descendants_.reserve(capacity);
    if (gl::Context::current())
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    return true;
}

const std::shared_ptr<GxTexture2D>& GxSpriteBatchNode::texture() const { return textureAtlas_->texture(); }

void GxSpriteBatchNode::setTexture(std::shared_ptr<GxTexture2D> t) {
    textureAtlas_->setTexture(std::move(t));
    updateBlendFunc();
}

void GxSpriteBatchNode::updateBlendFunc() {
    auto& t = textureAtlas_->texture();
    if (!t || !t->hasPremultipliedAlpha()) blendFunc_ = gxBlendFunc{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
}

void GxSpriteBatchNode::visit() {
    if (!visible_) return;
    mxGLPushMatrix();
    const auto gridBegan = gridBeforeDraw();
    if (gridBegan) transformAncestors();
    sortAllChildren();
    transform();
    draw();
    gridAfterDraw(gridBegan);
    mxGLPopMatrix();
    orderOfArrival_ = 0;
}

void GxSpriteBatchNode::draw() {
    if (textureAtlas_->totalQuads() == 0) return;
    if (shaderProgram_) {
        gxGLCacheEnable(glServerState_);
        shaderProgram_->use();
        shaderProgram_->setUniformForModelViewProjectionMatrix();
    }
    if (children_)
        for (auto& c : children_->slots()) static_cast<GxSprite*>(c.get())->updateTransform();
    gxGLCacheBlendFunc(blendFunc_.src, blendFunc_.dst);
    textureAtlas_->drawQuads();
}

void GxSpriteBatchNode::addChild(const std::shared_ptr<GxNode>& child, int z, int tag) {
    auto sprite = std::dynamic_pointer_cast<GxSprite>(child);
    if (!sprite || sprite->parent()) {
        if (child && !sprite) foundation::warn("engine2d: GxSpriteBatchNode: only sprites can be added");
        if (sprite) GxNode::addChild(child, z, tag);  // refused as every node refuses it
        return;
    }
    // Room for the sprite and its subtree first: a batch that cannot grow
    // stays as it was and the sprite is not added.
    unsigned need = textureAtlas_->totalQuads() + subtreeSize(sprite.get());
    while (textureAtlas_->capacity() < need)
        if (!increaseAtlasCapacity()) {
            foundation::warn("engine2d: GxSpriteBatchNode: cannot grow to %u quads; sprite not added", need);
            return;
        }
    GxNode::addChild(child, z, tag);
    appendChild(sprite);
}

void GxSpriteBatchNode::reorderChild(GxNode* child, int z) {
    if (!child || z == child->zOrder()) return;
    GxNode::reorderChild(child, z);
}

void GxSpriteBatchNode::removeChild(const GxNode* child, bool cleanup) {
    if (!child) return;
    if (auto* s = dynamic_cast<const GxSprite*>(child)) removeSpriteFromAtlas(const_cast<GxSprite*>(s));
    GxNode::removeChild(child, cleanup);
}

void GxSpriteBatchNode::removeChildAtIndex(unsigned index, bool cleanup) {
    if (!children_ || index >= children_->count()) return;
    removeChild(children_->slots()[index].get(), cleanup);
}

void GxSpriteBatchNode::removeAllChildrenWithCleanup(bool cleanup) {
    for (auto& s : descendants_) s->setBatchNode(nullptr);
    GxNode::removeAllChildrenWithCleanup(cleanup);
    descendants_.clear();
    textureAtlas_->removeAllQuads();
}

void GxSpriteBatchNode::sortAllChildren() {
    if (!isReorderChildDirty_) return;
    GxNode::sortAllChildren();
    if (children_ && children_->count()) {
        for (auto& c : children_->slots()) c->sortAllChildren();
        int index = 0;
        for (auto& c : children_->slots()) updateAtlasIndex(static_cast<GxSprite*>(c.get()), &index);
    }
    isReorderChildDirty_ = false;
}

void GxSpriteBatchNode::updateAtlasIndex(GxSprite* sprite, int* curIndex) {
    auto place = [&] {
        unsigned old = sprite->atlasIndex();
        sprite->setAtlasIndex(unsigned(*curIndex));
        sprite->setOrderOfArrival(0);
        if (old != unsigned(*curIndex)) swap(old, unsigned(*curIndex));
        ++*curIndex;
    };
    unsigned count = sprite->childrenCount();
    if (count == 0) {
        place();
        return;
    }
    bool placed = false;
    if (spriteAt(sprite, 0)->zOrder() >= 0) {
        place();
        placed = true;
    }
    for (unsigned i = 0; i < count; ++i) {
        GxSprite* c = spriteAt(sprite, i);
        if (!placed && c->zOrder() >= 0) {
            place();
            placed = true;
        }
        updateAtlasIndex(c, curIndex);
    }
    if (!placed) place();
}

void GxSpriteBatchNode::swap(unsigned oldIndex, unsigned newIndex) {
    if (oldIndex >= descendants_.size() || newIndex >= descendants_.size()) return;
    gxV3F_C4B_T2F_Quad* quads = textureAtlas_->quads();
    std::swap(quads[oldIndex], quads[newIndex]);
    std::swap(descendants_[oldIndex], descendants_[newIndex]);
    // The sprite now at old came from new; the moved one's index is set by the caller.
    descendants_[oldIndex]->setAtlasIndex(oldIndex);
}

bool GxSpriteBatchNode::increaseAtlasCapacity() {
    // Growth by a third, up to the atlas's limit.
    unsigned capacity = textureAtlas_->capacity();
    unsigned quantity = std::min((capacity + 1) * 4 / 3, textureAtlas_->maxCapacity());
    if (quantity <= capacity) return false;
    return textureAtlas_->resizeCapacity(quantity);
}

unsigned GxSpriteBatchNode::rebuildIndexInOrder(GxSprite* node, unsigned index) {
    const GxNode* n = node ? static_cast<const GxNode*>(node) : this;
    if (n->children())
        for (auto& c : n->children()->slots())
            if (c->zOrder() < 0) index = rebuildIndexInOrder(static_cast<GxSprite*>(c.get()), index);
    if (node) node->setAtlasIndex(index++);
    if (n->children())
        for (auto& c : n->children()->slots())
            if (c->zOrder() >= 0) index = rebuildIndexInOrder(static_cast<GxSprite*>(c.get()), index);
    return index;
}

unsigned GxSpriteBatchNode::highestAtlasIndexInChild(GxSprite* sprite) {
    unsigned n = sprite->childrenCount();
    if (n == 0) return sprite->atlasIndex();
    return highestAtlasIndexInChild(spriteAt(sprite, n - 1));
}

unsigned GxSpriteBatchNode::lowestAtlasIndexInChild(GxSprite* sprite) {
    if (sprite->childrenCount() == 0) return sprite->atlasIndex();
    return lowestAtlasIndexInChild(spriteAt(sprite, 0));
}

unsigned GxSpriteBatchNode::atlasIndexForChild(GxSprite* sprite, int z) {
    auto parent = sprite->parent();
    if (!parent || !parent->children()) return 0;
    const auto& brothers = parent->children()->slots();
    unsigned k = 0;
    while (k < brothers.size() && brothers[k].get() != sprite) ++k;
    GxSprite* previous = k > 0 ? static_cast<GxSprite*>(brothers[k - 1].get()) : nullptr;
    if (parent.get() == this) return k == 0 ? 0 : highestAtlasIndexInChild(previous) + 1;
    auto* p = static_cast<GxSprite*>(parent.get());
    if (k == 0) return z < 0 ? p->atlasIndex() : p->atlasIndex() + 1;
    if ((previous->zOrder() < 0 && z < 0) || (previous->zOrder() >= 0 && z >= 0))
        return highestAtlasIndexInChild(previous) + 1;
    return p->atlasIndex() + 1;
}

void GxSpriteBatchNode::insertChild(const std::shared_ptr<GxSprite>& sprite, unsigned index) {
    if (index > descendants_.size()) index = unsigned(descendants_.size());
    if (textureAtlas_->totalQuads() == textureAtlas_->capacity() && !increaseAtlasCapacity()) return;
    sprite->setBatchNode(this);
    sprite->setAtlasIndex(index);
    sprite->setDirty(true);
    textureAtlas_->insertQuad(sprite->quad(), index);
    descendants_.insert(descendants_.begin() + index, sprite);
    for (size_t i = index + 1; i < descendants_.size(); ++i) descendants_[i]->setAtlasIndex(unsigned(i));
    if (sprite->children())
        for (auto& c : sprite->children()->slots()) {
            auto cs = std::static_pointer_cast<GxSprite>(c);
            insertChild(cs, atlasIndexForChild(cs.get(), cs->zOrder()));
        }
}

void GxSpriteBatchNode::appendChild(const std::shared_ptr<GxSprite>& sprite) {
    if (textureAtlas_->totalQuads() == textureAtlas_->capacity() && !increaseAtlasCapacity()) {
        foundation::warn("engine2d: GxSpriteBatchNode: atlas full; sprite not batched");
        return;
    }
    isReorderChildDirty_ = true;
    sprite->setBatchNode(this);
    sprite->setDirty(true);
    descendants_.push_back(sprite);
    unsigned index = unsigned(descendants_.size() - 1);
    sprite->setAtlasIndex(index);
    textureAtlas_->insertQuad(sprite->quad(), index);
    if (sprite->children())
        for (auto& c : sprite->children()->slots()) appendChild(std::static_pointer_cast<GxSprite>(c));
}

void GxSpriteBatchNode::removeSpriteFromAtlas(GxSprite* sprite) {
    textureAtlas_->removeQuadAtIndex(sprite->atlasIndex());
    sprite->setBatchNode(nullptr);
    auto it = std::find_if(descendants_.begin(), descendants_.end(), [&](const auto& d) { return d.get() == sprite; });
    if (it != descendants_.end()) {
        size_t at = size_t(it - descendants_.begin());
        auto keep = *it;  // the sprite may be held only here
        descendants_.erase(it);
        for (size_t i = at; i < descendants_.size(); ++i)
            descendants_[i]->setAtlasIndex(descendants_[i]->atlasIndex() - 1);
    }
    if (sprite->children())
        for (auto& c : sprite->children()->slots()) removeSpriteFromAtlas(static_cast<GxSprite*>(c.get()));
}

bool GxSpriteBatchNode::addQuadFromSprite(GxSprite* sprite, unsigned index) {
    if (!sprite || index > textureAtlas_->totalQuads()) return false;
    while (index >= textureAtlas_->capacity() || textureAtlas_->totalQuads() == textureAtlas_->capacity())
        if (!increaseAtlasCapacity()) {
            foundation::warn("engine2d: GxSpriteBatchNode: cannot grow for quad %u", index);
            return false;
        }
    sprite->setBatchNode(this);
    sprite->setAtlasIndex(index);
    textureAtlas_->insertQuad(sprite->quad(), index);
    sprite->setDirty(true);
    sprite->updateTransform();
    return true;
}

GxSpriteBatchNode* GxSpriteBatchNode::addSpriteWithoutQuad(const std::shared_ptr<GxSprite>& sprite, unsigned z,
                                                           int tag) {
    if (!sprite || sprite->parent()) return this;
    sprite->setAtlasIndex(z);
    auto it =
        std::find_if(descendants_.begin(), descendants_.end(), [&](const auto& d) { return d->atlasIndex() >= z; });
    descendants_.insert(it, sprite);
    GxNode::addChild(sprite, int(z), tag);
    reorderBatch(false);
    return this;
}

std::string GxSpriteBatchNode::description() const {
    char buf[80];
    std::snprintf(buf, sizeof buf, "<GxSpriteBatchNode = %p | Tag = %i>", static_cast<const void*>(this), tag_);
    return buf;
}

}  // namespace engine2d
