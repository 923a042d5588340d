#include "lib/engine2d/particles/GxParticleBatchNode.h"

#include <algorithm>
#include <cstdio>

#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/particles/GxParticleSystem.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/Log.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

std::shared_ptr<GxParticleBatchNode> GxParticleBatchNode::batchNodeWithTexture(std::shared_ptr<GxTexture2D> texture,
                                                                               unsigned capacity) {
    auto b = std::make_shared<GxParticleBatchNode>();
    if (!b->initWithTexture(std::move(texture), capacity)) return nullptr;
    return b;
}

std::shared_ptr<GxParticleBatchNode> GxParticleBatchNode::batchNodeWithFile(const std::string& file,
                                                                            unsigned capacity) {
    auto b = std::make_shared<GxParticleBatchNode>();
    if (!b->initWithFile(file, capacity)) return nullptr;
    return b;
}

bool GxParticleBatchNode::init() { return initWithTexture(nullptr, kDefaultCapacity); }

bool GxParticleBatchNode::initWithFile(const std::string& file, unsigned capacity) {
    auto t = GxTextureCache::sharedTextureCache().addImage(file);
    if (!t) return false;
    return initWithTexture(std::move(t), capacity);
}

bool GxParticleBatchNode::initWithTexture(std::shared_ptr<GxTexture2D> texture, unsigned capacity) {
    if (!GxNode::init()) return false;
    // The systems together may hold more than one draw call reaches: the
    // atlas draws its quads in runs, up to its largest capacity.
    const unsigned first = std::min(capacity, GxTextureAtlas::kMaxQuadsPerDraw);
    textureAtlas_ = GxTextureAtlas::textureAtlasWithTexture(std::move(texture), first);
    if (!textureAtlas_) return false;
    textureAtlas_->setMaxCapacity(GxTextureAtlas::kMaxCapacity);
    if (capacity > first && !textureAtlas_->resizeCapacity(capacity)) return false;
    children_ = std::make_unique<GxArray<GxNode>>(capacity ? capacity : 1);
    blendFunc_ = gxBlendFunc{GL_ONE, GL_ONE_MINUS_SRC_ALPHA};
    if (gl::Context::current())
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    return true;
}

GxParticleSystem* GxParticleBatchNode::systemAt(unsigned i) const {
    return static_cast<GxParticleSystem*>(children_->slots()[i].get());
}

void GxParticleBatchNode::visit() {
    if (!visible_) return;
    mxGLPushMatrix();
    const auto gridBegan = gridBeforeDraw();
    if (gridBegan) transformAncestors();
    transform();
    draw();
    gridAfterDraw(gridBegan);
    mxGLPopMatrix();
}

void GxParticleBatchNode::draw() {
    if (!textureAtlas_ || textureAtlas_->totalQuads() == 0) return;
    if (!shaderProgram_ && gl::Context::current())
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    if (!shaderProgram_) return;
    gxGLCacheEnable(glServerState_);
    shaderProgram_->use();
    shaderProgram_->setUniformForModelViewProjectionMatrix();
    gxGLCacheBlendFunc(blendFunc_.src, blendFunc_.dst);
    textureAtlas_->drawQuads();
}

void GxParticleBatchNode::addChild(const std::shared_ptr<GxNode>& child, int z, int tag) {
    auto system = std::dynamic_pointer_cast<GxParticleSystem>(child);
    if (!system || system->parent() || system->batchNode()) {
        if (child && !system) foundation::warn("engine2d: GxParticleBatchNode: only particle systems can be added");
        if (system) GxNode::addChild(child, z, tag);  // refused as every node refuses it
        return;
    }
    // Room first: a batch node that cannot grow stays as it was and the
    // system keeps drawing itself.
    const unsigned need = textureAtlas_->totalQuads() + system->totalParticles();
    if (need > textureAtlas_->capacity() && !increaseAtlasCapacityTo(need)) {
        foundation::warn("engine2d: GxParticleBatchNode: cannot grow to %u quads; system not added", need);
        return;
    }
    if (children_->count() == 0) blendFunc_ = system->blendFunc();
    const unsigned pos = addChildHelper(system, z, tag);
    unsigned atlasIndex = 0;
    if (pos != 0) {
        GxParticleSystem* before = systemAt(pos - 1);
        atlasIndex = before->atlasIndex() + before->totalParticles();
    }
    insertChild(system.get(), atlasIndex);
    system->setBatchNode(std::static_pointer_cast<GxParticleBatchNode>(shared_from_this()));
}

unsigned GxParticleBatchNode::addChildHelper(const std::shared_ptr<GxParticleSystem>& child, int z, int tag) {
    const unsigned pos = searchNewPositionInChildrenForZ(z);
    // The node's own bookkeeping (parent, tag, z, arrival, entering), then
    // the child moves from the end to its place in z order.
    GxNode::addChild(child, z, tag);
    const unsigned at = children_->indexOfObject(child.get());
    if (at != pos && at < children_->count()) {
        children_->removeObjectAtIndex(at);
        children_->insertObject(child, pos);
    }
    return pos;
}

unsigned GxParticleBatchNode::searchNewPositionInChildrenForZ(int z) const {
    const unsigned count = children_->count();
    for (unsigned i = 0; i < count; ++i)
        if (children_->slots()[i]->zOrder() > z) return i;
    return count;
}

void GxParticleBatchNode::getCurrentIndex(unsigned* oldIndex, unsigned* newIndex, const GxNode* child, int z) const {
    bool foundCurrent = false, foundNew = false, minusOne = false;
    const unsigned count = children_->count();
    *oldIndex = *newIndex = 0;
    for (unsigned i = 0; i < count; ++i) {
        const GxNode* node = children_->slots()[i].get();
        if (node->zOrder() > z && !foundNew) {
            *newIndex = i;
            foundNew = true;
            if (foundCurrent) break;
        }
        if (node == child) {
            *oldIndex = i;
            foundCurrent = true;
            if (!foundNew) minusOne = true;
            if (foundNew) break;
        }
    }
    if (!foundNew) *newIndex = count;
    if (minusOne && *newIndex > 0) *newIndex -= 1;
}

void GxParticleBatchNode::reorderChild(GxNode* child, int z) {
    if (!child || z == child->zOrder()) return;
    const unsigned at = children_->indexOfObject(child);
    if (at == GxArray<GxNode>::kNotFound) return;
    if (children_->count() > 1) {
        unsigned oldIndex = 0, newIndex = 0;
        getCurrentIndex(&oldIndex, &newIndex, child, z);
        if (oldIndex != newIndex) {
            auto keep = children_->objectAtIndex(oldIndex);
            auto* system = static_cast<GxParticleSystem*>(keep.get());
            children_->removeObjectAtIndex(oldIndex);
            children_->insertObject(keep, newIndex);
            const unsigned oldAtlasIndex = system->atlasIndex();
            updateAllAtlasIndexes();
            textureAtlas_->moveQuadsFromIndex(oldAtlasIndex, system->totalParticles(), system->atlasIndex());
            system->updateWithNoTime();
        }
    }
    GxNode::reorderChild(child, z);
}

void GxParticleBatchNode::removeChild(const GxNode* child, bool cleanup) {
    if (!child) return;
    const unsigned at = children_->indexOfObject(child);
    if (at == GxArray<GxNode>::kNotFound) return;
    auto keep = std::static_pointer_cast<GxParticleSystem>(children_->objectAtIndex(at));
    GxNode::removeChild(child, cleanup);
    const unsigned n = keep->totalParticles();
    textureAtlas_->removeQuadsAtIndex(keep->atlasIndex(), n);
    textureAtlas_->fillWithEmptyQuadsFromIndex(textureAtlas_->totalQuads(), n);
    keep->setBatchNode(nullptr);
    updateAllAtlasIndexes();
}

void GxParticleBatchNode::removeChildAtIndex(unsigned index, bool cleanup) {
    if (auto c = children_->objectAtIndex(index)) removeChild(c.get(), cleanup);
}

void GxParticleBatchNode::removeAllChildrenWithCleanup(bool cleanup) {
    auto all = children_->slots();
    for (auto& c : all) static_cast<GxParticleSystem*>(c.get())->setBatchNode(nullptr);
    GxNode::removeAllChildrenWithCleanup(cleanup);
    textureAtlas_->removeAllQuads();
}

bool GxParticleBatchNode::insertChild(GxParticleSystem* child, unsigned index) {
    const unsigned n = child->totalParticles();
    child->setAtlasIndex(index);
    if (textureAtlas_->totalQuads() + n > textureAtlas_->capacity()) {
        if (!increaseAtlasCapacityTo(textureAtlas_->totalQuads() + n)) return false;
        textureAtlas_->fillWithEmptyQuadsFromIndex(textureAtlas_->capacity() - n, n);
    }
    if (index + n != textureAtlas_->totalQuads()) textureAtlas_->moveQuadsFromIndex(index, index + n);
    textureAtlas_->increaseTotalQuadsWith(n);
    updateAllAtlasIndexes();
    return true;
}

void GxParticleBatchNode::updateAllAtlasIndexes() {
    unsigned index = 0;
    for (unsigned i = 0; i < children_->count(); ++i) {
        GxParticleSystem* s = systemAt(i);
        s->setAtlasIndex(index);
        index += s->totalParticles();
    }
}

bool GxParticleBatchNode::increaseAtlasCapacityTo(unsigned quantity) { return textureAtlas_->resizeCapacity(quantity); }

void GxParticleBatchNode::disableParticle(unsigned particleIndex) {
    if (particleIndex >= textureAtlas_->capacity()) return;
    gxV3F_C4B_T2F_Quad& q = textureAtlas_->quads()[particleIndex];
    q.br.vertices.x = q.br.vertices.y = 0;
    q.tr.vertices.x = q.tr.vertices.y = 0;
    q.tl.vertices.x = q.tl.vertices.y = 0;
    q.bl.vertices.x = q.bl.vertices.y = 0;
}

std::shared_ptr<GxTexture2D> GxParticleBatchNode::texture() const { return textureAtlas_->texture(); }

void GxParticleBatchNode::setTexture(std::shared_ptr<GxTexture2D> texture) {
    textureAtlas_->setTexture(texture);
    if (texture && !texture->hasPremultipliedAlpha() && blendFunc_ == gxBlendFunc{GL_ONE, GL_ONE_MINUS_SRC_ALPHA})
        blendFunc_ = gxBlendFunc{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
}

void GxParticleBatchNode::updateBlendFunc() {
    auto& t = textureAtlas_->texture();
    if (t && !t->hasPremultipliedAlpha()) blendFunc_ = gxBlendFunc{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
}

}  // namespace engine2d
