#pragma once
// Draws the particles of several quad particle systems that share one
// texture with a single draw call. Each child owns a contiguous block of
// quads in the batch node's atlas (its atlasIndex is the sum of the
// capacities of the children before it); blocks follow the children, which
// stay sorted by z order, and the children write their particles straight
// into their block during their own update. The children are never visited.

#include <memory>
#include <string>

#include "lib/engine2d/mathlib/Types.h"
#include "lib/engine2d/nodes/GxNode.h"

namespace engine2d {

class GxParticleSystem;
class GxTexture2D;
class GxTextureAtlas;

class GxParticleBatchNode : public GxNode {
public:
    static constexpr unsigned kDefaultCapacity = 500;

    static std::shared_ptr<GxParticleBatchNode> batchNodeWithTexture(std::shared_ptr<GxTexture2D> texture,
                                                                     unsigned capacity = kDefaultCapacity);
    static std::shared_ptr<GxParticleBatchNode> batchNodeWithFile(const std::string& file,
                                                                  unsigned capacity = kDefaultCapacity);
    bool init() override;
    bool initWithTexture(std::shared_ptr<GxTexture2D> texture, unsigned capacity);
    bool initWithFile(const std::string& file, unsigned capacity);
    const char* className() const override { return "GxParticleBatchNode"; }

    void visit() override;
    void draw() override;

    // Only particle systems join. A child the atlas cannot make room for is
    // not added (it keeps drawing itself).
    void addChild(const std::shared_ptr<GxNode>& child, int z, int tag) override;
    using GxNode::addChild;
    unsigned addChildHelper(const std::shared_ptr<GxParticleSystem>& child, int z, int tag);
    void reorderChild(GxNode* child, int z) override;
    void getCurrentIndex(unsigned* oldIndex, unsigned* newIndex, const GxNode* child, int z) const;
    unsigned searchNewPositionInChildrenForZ(int z) const;
    // Removed children draw themselves again.
    void removeChild(const GxNode* child, bool cleanup) override;
    void removeChildAtIndex(unsigned index, bool cleanup);
    void removeAllChildrenWithCleanup(bool cleanup) override;
    // Children stay sorted from the moment they are added.
    void sortAllChildren() override {}

    bool insertChild(GxParticleSystem* child, unsigned index);
    void updateAllAtlasIndexes();
    bool increaseAtlasCapacityTo(unsigned quantity);
    // The quad at that index draws nothing until it is written again.
    void disableParticle(unsigned particleIndex);

    std::shared_ptr<GxTexture2D> texture() const;
    void setTexture(std::shared_ptr<GxTexture2D> texture);
    void updateBlendFunc();
    const std::shared_ptr<GxTextureAtlas>& textureAtlas() const { return textureAtlas_; }
    void setTextureAtlas(std::shared_ptr<GxTextureAtlas> atlas) { textureAtlas_ = std::move(atlas); }
    gxBlendFunc blendFunc() const { return blendFunc_; }
    void setBlendFunc(gxBlendFunc f) { blendFunc_ = f; }

private:
    GxParticleSystem* systemAt(unsigned i) const;

    std::shared_ptr<GxTextureAtlas> textureAtlas_;
    gxBlendFunc blendFunc_{1, 771};
};

}  // namespace engine2d
