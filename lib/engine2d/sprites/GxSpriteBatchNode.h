#pragma once
// Draws many sprites sharing one texture with a single draw call. Its sprite
// descendants keep one quad each in the batch's atlas; the order of the
// quads follows the drawing order of the sprite tree (restored lazily, once
// per visit).

#include <memory>
#include <string>
#include <vector>

#include "lib/engine2d/mathlib/Types.h"
#include "lib/engine2d/nodes/GxNode.h"

namespace engine2d {

class GxSprite;
class GxTexture2D;
class GxTextureAtlas;

class GxSpriteBatchNode : public GxNode {
public:
    static constexpr unsigned kDefaultCapacity = 29;

    static std::shared_ptr<GxSpriteBatchNode> batchNodeWithTexture(std::shared_ptr<GxTexture2D> texture,
                                                                   unsigned capacity = kDefaultCapacity);
    static std::shared_ptr<GxSpriteBatchNode> batchNodeWithFile(const std::string& file,
                                                                unsigned capacity = kDefaultCapacity);
    bool init() override;
    bool init(std::shared_ptr<GxTexture2D> texture, unsigned capacity);
    const char* className() const override { return "GxSpriteBatchNode"; }
    std::string description() const;

    const std::shared_ptr<GxTextureAtlas>& textureAtlas() const { return textureAtlas_; }
    const std::vector<std::shared_ptr<GxSprite>>& descendants() const { return descendants_; }
    gxBlendFunc blendFunc() const { return blendFunc_; }
    void setBlendFunc(gxBlendFunc f) { blendFunc_ = f; }
    const std::shared_ptr<GxTexture2D>& texture() const;
    void setTexture(std::shared_ptr<GxTexture2D> t);
    void updateBlendFunc();

    void visit() override;
    void draw() override;
    void addChild(const std::shared_ptr<GxNode>& child, int z, int tag) override;
    using GxNode::addChild;
    void reorderChild(GxNode* child, int z) override;
    void removeChild(const GxNode* child, bool cleanup) override;
    void removeChildAtIndex(unsigned index, bool cleanup);
    void removeAllChildrenWithCleanup(bool cleanup) override;
    void sortAllChildren() override;
    void reorderBatch(bool reorder) { isReorderChildDirty_ = reorder; }

    // False when the atlas could not grow (the batch is then as it was).
    bool increaseAtlasCapacity();
    unsigned rebuildIndexInOrder(GxSprite* node, unsigned index);
    unsigned highestAtlasIndexInChild(GxSprite* sprite);
    unsigned lowestAtlasIndexInChild(GxSprite* sprite);
    unsigned atlasIndexForChild(GxSprite* sprite, int z);
    void insertChild(const std::shared_ptr<GxSprite>& sprite, unsigned index);
    void appendChild(const std::shared_ptr<GxSprite>& sprite);
    void removeSpriteFromAtlas(GxSprite* sprite);

    // Fast paths for tile-like use. The sprite's quad goes into the atlas at
    // `index` (growing it as needed) without the sprite joining the tree;
    // false when the index is beyond the quads or the atlas cannot grow.
    bool addQuadFromSprite(GxSprite* sprite, unsigned index);
    // The sprite joins the tree with `z` as its atlas index and no quad of
    // its own (it takes over the quad already there).
    GxSpriteBatchNode* addSpriteWithoutQuad(const std::shared_ptr<GxSprite>& sprite, unsigned z, int tag);

private:
    void updateAtlasIndex(GxSprite* sprite, int* curIndex);
    void swap(unsigned oldIndex, unsigned newIndex);

    std::shared_ptr<GxTextureAtlas> textureAtlas_;
    gxBlendFunc blendFunc_{1, 771};
    std::vector<std::shared_ptr<GxSprite>> descendants_;
};

}  // namespace engine2d
