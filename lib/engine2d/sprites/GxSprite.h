#pragma once
// A node showing one rectangle of a texture as a textured, coloured quad. It
// draws itself, or, as a descendant of a batch node, keeps its quad up to
// date in the batch's atlas, which draws all of them at once.

#include <memory>
#include <string>

#include "lib/engine2d/mathlib/Types.h"
#include "lib/engine2d/nodes/GxNode.h"
#include "lib/engine2d/nodes/GxProtocols.h"

namespace engine2d {

class GxTexture2D;
class GxTextureAtlas;
class GxSpriteBatchNode;
class GxSpriteFrame;

constexpr unsigned kGxSpriteIndexNotInitialized = 0xFFFFFFFF;

class GxSprite : public GxNode, public GxRGBAProtocol {
public:
    static std::shared_ptr<GxSprite> spriteWithTexture(std::shared_ptr<GxTexture2D> texture);
    static std::shared_ptr<GxSprite> spriteWithTexture(std::shared_ptr<GxTexture2D> texture, Rect rect);
    // nullptr when the texture cache cannot load the file.
    static std::shared_ptr<GxSprite> spriteWithFile(const std::string& file);
    static std::shared_ptr<GxSprite> spriteWithFile(const std::string& file, Rect rect);

    static std::shared_ptr<GxSprite> spriteWithSpriteFrame(const std::shared_ptr<GxSpriteFrame>& frame);
    // nullptr when the shared frame cache has no such frame.
    static std::shared_ptr<GxSprite> spriteWithSpriteFrameName(const std::string& name);

    bool init() override;
    bool init(std::shared_ptr<GxTexture2D> texture, Rect rect, bool rotated);
    const char* className() const override { return "GxSprite"; }
    std::string description() const;

    // Texture rectangle (points).
    void setTextureRect(Rect rect);
    void setTextureRect(Rect rect, bool rotated, Size untrimmedSize);
    void setVertexRect(Rect rect) { rect_ = rect; }
    void setTextureCoords(Rect rect);
    Rect textureRect() const { return rect_; }
    bool textureRectRotated() const { return rectRotated_; }
    Point offsetPosition() const { return offsetPosition_; }
    const gxV3F_C4B_T2F_Quad& quad() const { return quad_; }

    // Texture and blending.
    const std::shared_ptr<GxTexture2D>& texture() const { return texture_; }
    void setTexture(std::shared_ptr<GxTexture2D> texture);
    gxBlendFunc blendFunc() const { return blendFunc_; }
    void setBlendFunc(gxBlendFunc f) { blendFunc_ = f; }
    void updateBlendFunc();

    // Colour and opacity.
    gxColor3B color() const override { return opacityModifyRGB_ ? colorUnmodified_ : color_; }
    void setColor(gxColor3B c) override;
    uint8_t opacity() const override { return opacity_; }
    void setOpacity(uint8_t o) override;
    bool doesOpacityModifyRGB() const override { return opacityModifyRGB_; }
    void setOpacityModifyRGB(bool b) override;
    void updateColor();

    // Display frames.
    void setDisplayFrame(const std::shared_ptr<GxSpriteFrame>& frame);
    std::shared_ptr<GxSpriteFrame> displayFrame() const;
    bool isFrameDisplayed(const std::shared_ptr<GxSpriteFrame>& frame) const;
    // Frame `index` of the named animation of the shared cache; false when
    // there is no such animation or frame.
    bool setDisplayFrameWithAnimationName(const std::string& name, unsigned index);

    bool flipX() const { return flipX_; }
    void setFlipX(bool b);
    bool flipY() const { return flipY_; }
    void setFlipY(bool b);

    // Batching.
    GxSpriteBatchNode* batchNode() const { return batchNode_; }
    void setBatchNode(GxSpriteBatchNode* batch);
    GxTextureAtlas* textureAtlas() const { return textureAtlas_; }
    void setTextureAtlas(GxTextureAtlas* a) { textureAtlas_ = a; }
    unsigned atlasIndex() const { return atlasIndex_; }
    void setAtlasIndex(unsigned i) { atlasIndex_ = i; }
    bool dirty() const { return dirty_; }
    void setDirty(bool d) { dirty_ = d; }
    void setDirtyRecursively(bool b);
    void setReorderChildDirtyRecursively();
    void updateTransform();
    bool shouldBeHidden() const { return shouldBeHidden_; }

    // Transform setters mark a batched sprite's quad dirty.
    void setPosition(Point p) override;
    void setRotation(float degrees) override;
    void setSkewX(float degrees) override;
    void setSkewY(float degrees) override;
    void setScaleX(float s) override;
    void setScaleY(float s) override;
    void setScale(float s) override;
    void setVertexZ(float z) override;
    void setAnchorPoint(Point p) override;
    void setVisible(bool v) override;

    // Children (batched children go through the batch node's atlas).
    void addChild(const std::shared_ptr<GxNode>& child, int z, int tag) override;
    using GxNode::addChild;
    void reorderChild(GxNode* child, int z) override;
    void removeChild(const GxNode* child, bool cleanup) override;
    void removeAllChildrenWithCleanup(bool cleanup) override;
    void sortAllChildren() override;
    bool isReorderChildDirty() const { return isReorderChildDirty_; }
    void setReorderChildDirty(bool b) { isReorderChildDirty_ = b; }

    void draw() override;

private:
    void setDirtyIfBatched();
    void layOutVertices();

    GxTextureAtlas* textureAtlas_ = nullptr;
    unsigned atlasIndex_ = kGxSpriteIndexNotInitialized;
    GxSpriteBatchNode* batchNode_ = nullptr;
    AffineTransform transformToBatch_;
    bool dirty_ = false, recursiveDirty_ = false, hasChildren_ = false, shouldBeHidden_ = false;
    gxBlendFunc blendFunc_{1, 771};
    std::shared_ptr<GxTexture2D> texture_;
    Rect rect_;
    bool rectRotated_ = false;
    Point offsetPosition_, unflippedOffsetPositionFromCenter_;
    gxV3F_C4B_T2F_Quad quad_{};
    uint8_t opacity_ = 255;
    gxColor3B color_{255, 255, 255}, colorUnmodified_{255, 255, 255};
    bool opacityModifyRGB_ = true;
    bool flipX_ = false, flipY_ = false;

    friend class GxSpriteBatchNode;
};

}  // namespace engine2d
