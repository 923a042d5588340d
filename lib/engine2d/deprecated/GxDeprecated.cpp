#include "lib/engine2d/deprecated/GxDeprecated.h"

#include "lib/engine2d/actions/GxActionInterval.h"
#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/rendertexture/GxRenderTexture.h"
#include "lib/engine2d/sprites/GxAnimation.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/sprites/GxSpriteBatchNode.h"
#include "lib/engine2d/sprites/GxSpriteFrame.h"
#include "platform/ui/Image.h"

namespace engine2d {

// ---- shared objects ----

std::shared_ptr<GxScheduler> GxSchedulerDeprecated::sharedScheduler() {
    return GxDirector::sharedDirector().scheduler();
}

std::shared_ptr<GxActionManager> GxActionManagerDeprecated::sharedManager() {
    return GxDirector::sharedDirector().actionManager();
}

std::shared_ptr<GxTouchDispatcher> GxTouchDispatcherDeprecated::sharedDispatcher() {
    return GxDirector::sharedDirector().touchDispatcher();
}

// ---- director, node, sprite ----

void GxDirectorDeprecated::setDisplayFPS(GxDirector& director, bool display) { director.setDisplayStats(display); }

void GxDirectorDeprecated::setOpenGLView(GxDirector& director, const std::shared_ptr<GxGLView>& view) {
    director.setView(view);
}

const std::shared_ptr<GxGLView>& GxDirectorDeprecated::openGLView(const GxDirector& director) {
    return director.openGLView();
}

void GxNodeDeprecated::setIsRelativeAnchorPoint(GxNode& node, bool relative) {
    node.setIgnoreAnchorPointForPosition(!relative);
}

bool GxNodeDeprecated::isRelativeAnchorPoint(const GxNode& node) { return !node.ignoreAnchorPointForPosition(); }

std::shared_ptr<GxSprite> GxSpriteDeprecated::spriteWithBatchNode(const std::shared_ptr<GxSpriteBatchNode>& batchNode,
                                                                  Rect rect) {
    if (!batchNode) return nullptr;
    auto sprite = GxSprite::spriteWithTexture(batchNode->texture(), rect);
    if (sprite) sprite->setBatchNode(batchNode.get());
    return sprite;
}

bool GxSpriteDeprecated::initWithBatchNode(GxSprite& sprite, const std::shared_ptr<GxSpriteBatchNode>& batchNode,
                                           Rect rect) {
    if (!batchNode || !sprite.init(batchNode->texture(), rect, false)) return false;
    sprite.setBatchNode(batchNode.get());
    return true;
}

std::shared_ptr<GxSpriteFrame> GxSpriteDeprecated::displayedFrame(const GxSprite& sprite) {
    return sprite.displayFrame();
}

// ---- menu items ----

GxMenuItemBlock GxTargetSelector::block() const {
    if (!call) return nullptr;
    return [target = target, call = call](GxMenuItem* sender) { call(sender); };
}

using AtlasFont = GxMenuItemAtlasFontDeprecated;

AtlasFont::Item AtlasFont::itemFromString(const std::string& text, const std::string& charMapFile, int itemWidth,
                                          int itemHeight, uint8_t startCharMap) {
    return GxMenuItemAtlasFont::itemWithString(text, charMapFile, itemWidth, itemHeight, startCharMap);
}

AtlasFont::Item AtlasFont::itemFromString(const std::string& text, const std::string& charMapFile, int itemWidth,
                                          int itemHeight, uint8_t startCharMap, const GxTargetSelector& ts) {
    return GxMenuItemAtlasFont::itemWithString(text, charMapFile, itemWidth, itemHeight, startCharMap, ts.block());
}

AtlasFont::Item AtlasFont::itemFromString(const std::string& text, const std::string& charMapFile, int itemWidth,
                                          int itemHeight, uint8_t startCharMap, GxMenuItemBlock block) {
    return GxMenuItemAtlasFont::itemWithString(text, charMapFile, itemWidth, itemHeight, startCharMap,
                                               std::move(block));
}

bool AtlasFont::initFromString(GxMenuItemAtlasFont& item, const std::string& text, const std::string& charMapFile,
                               int itemWidth, int itemHeight, uint8_t startCharMap, const GxTargetSelector& ts) {
    return item.init(text, charMapFile, itemWidth, itemHeight, startCharMap, ts.block());
}

bool AtlasFont::initFromString(GxMenuItemAtlasFont& item, const std::string& text, const std::string& charMapFile,
                               int itemWidth, int itemHeight, uint8_t startCharMap, GxMenuItemBlock block) {
    return item.init(text, charMapFile, itemWidth, itemHeight, startCharMap, std::move(block));
}

using Font = GxMenuItemFontDeprecated;

Font::Item Font::itemFromString(const std::string& text) { return GxMenuItemFont::itemWithString(text); }

Font::Item Font::itemFromString(const std::string& text, const GxTargetSelector& ts) {
    return GxMenuItemFont::itemWithString(text, ts.block());
}

Font::Item Font::itemFromString(const std::string& text, GxMenuItemBlock block) {
    return GxMenuItemFont::itemWithString(text, std::move(block));
}

bool Font::initFromString(GxMenuItemFont& item, const std::string& text, const GxTargetSelector& ts) {
    return item.init(text, ts.block());
}

bool Font::initFromString(GxMenuItemFont& item, const std::string& text, GxMenuItemBlock block) {
    return item.init(text, std::move(block));
}

using SpriteItem = GxMenuItemSpriteDeprecated;

SpriteItem::Item SpriteItem::itemFromNormalSprite(Node normal, Node selected) {
    return GxMenuItemSprite::itemWithNormalSprite(std::move(normal), std::move(selected));
}

SpriteItem::Item SpriteItem::itemFromNormalSprite(Node normal, Node selected, const GxTargetSelector& ts) {
    return GxMenuItemSprite::itemWithNormalSprite(std::move(normal), std::move(selected), nullptr, ts.block());
}

SpriteItem::Item SpriteItem::itemFromNormalSprite(Node normal, Node selected, Node disabled,
                                                  const GxTargetSelector& ts) {
    return GxMenuItemSprite::itemWithNormalSprite(std::move(normal), std::move(selected), std::move(disabled),
                                                  ts.block());
}

SpriteItem::Item SpriteItem::itemFromNormalSprite(Node normal, Node selected, GxMenuItemBlock block) {
    return GxMenuItemSprite::itemWithNormalSprite(std::move(normal), std::move(selected), nullptr, std::move(block));
}

SpriteItem::Item SpriteItem::itemFromNormalSprite(Node normal, Node selected, Node disabled, GxMenuItemBlock block) {
    return GxMenuItemSprite::itemWithNormalSprite(std::move(normal), std::move(selected), std::move(disabled),
                                                  std::move(block));
}

bool SpriteItem::initFromNormalSprite(GxMenuItemSprite& item, Node normal, Node selected, Node disabled,
                                      const GxTargetSelector& ts) {
    return item.init(std::move(normal), std::move(selected), std::move(disabled), ts.block());
}

bool SpriteItem::initFromNormalSprite(GxMenuItemSprite& item, Node normal, Node selected, Node disabled,
                                      GxMenuItemBlock block) {
    return item.init(std::move(normal), std::move(selected), std::move(disabled), std::move(block));
}

using ImageItem = GxMenuItemImageDeprecated;

ImageItem::Item ImageItem::itemFromNormalImage(const std::string& normal, const std::string& selected) {
    return GxMenuItemImage::itemWithNormalImage(normal, selected);
}

ImageItem::Item ImageItem::itemFromNormalImage(const std::string& normal, const std::string& selected,
                                               const GxTargetSelector& ts) {
    return GxMenuItemImage::itemWithNormalImage(normal, selected, "", ts.block());
}

ImageItem::Item ImageItem::itemFromNormalImage(const std::string& normal, const std::string& selected,
                                               const std::string& disabled, const GxTargetSelector& ts) {
    return GxMenuItemImage::itemWithNormalImage(normal, selected, disabled, ts.block());
}

ImageItem::Item ImageItem::itemFromNormalImage(const std::string& normal, const std::string& selected,
                                               GxMenuItemBlock block) {
    return GxMenuItemImage::itemWithNormalImage(normal, selected, "", std::move(block));
}

ImageItem::Item ImageItem::itemFromNormalImage(const std::string& normal, const std::string& selected,
                                               const std::string& disabled, GxMenuItemBlock block) {
    return GxMenuItemImage::itemWithNormalImage(normal, selected, disabled, std::move(block));
}

bool ImageItem::initFromNormalImage(GxMenuItemImage& item, const std::string& normal, const std::string& selected,
                                    const std::string& disabled, const GxTargetSelector& ts) {
    return item.init(normal, selected, disabled, ts.block());
}

bool ImageItem::initFromNormalImage(GxMenuItemImage& item, const std::string& normal, const std::string& selected,
                                    const std::string& disabled, GxMenuItemBlock block) {
    return item.init(normal, selected, disabled, std::move(block));
}

// ---- animations ----

std::shared_ptr<GxAnimation> GxAnimationDeprecated::animationWithFrames(const SpriteFrames& frames) {
    return GxAnimation::animationWithSpriteFrames(frames);
}

std::shared_ptr<GxAnimation> GxAnimationDeprecated::animationWithFrames(const SpriteFrames& frames, float delay) {
    return GxAnimation::animationWithSpriteFrames(frames, delay);
}

void GxAnimationDeprecated::initWithFrames(GxAnimation& animation, const SpriteFrames& frames) {
    animation = *GxAnimation::animationWithSpriteFrames(frames);
}

void GxAnimationDeprecated::initWithFrames(GxAnimation& animation, const SpriteFrames& frames, float delay) {
    animation = *GxAnimation::animationWithSpriteFrames(frames, delay);
}

void GxAnimationDeprecated::addFrame(GxAnimation& animation, std::shared_ptr<GxSpriteFrame> frame) {
    animation.addSpriteFrame(std::move(frame));
}

void GxAnimationDeprecated::addFrameWithFilename(GxAnimation& animation, const std::string& file) {
    animation.addSpriteFrameWithFilename(file);
}

void GxAnimationDeprecated::addFrameWithTexture(GxAnimation& animation, std::shared_ptr<GxTexture2D> texture,
                                                const Rect& rect) {
    animation.addSpriteFrameWithTexture(std::move(texture), rect);
}

std::shared_ptr<GxAnimate> GxAnimateDeprecated::actionWithAnimation(const std::shared_ptr<GxAnimation>& animation,
                                                                    bool restoreOriginalFrame) {
    if (!animation) return nullptr;
    auto copy = animation->copy();
    copy->setRestoreOriginalFrame(restoreOriginalFrame);
    return GxAnimate::actionWithAnimation(copy);
}

std::shared_ptr<GxAnimate> GxAnimateDeprecated::actionWithDuration(float duration,
                                                                   const std::shared_ptr<GxAnimation>& animation,
                                                                   bool restoreOriginalFrame) {
    if (!animation) return nullptr;
    auto copy = animation->copy();
    copy->setRestoreOriginalFrame(restoreOriginalFrame);
    // Without frames there is nothing to divide the duration among.
    if (!animation->frames().empty()) copy->setDelayPerUnit(duration / float(animation->frames().size()));
    return GxAnimate::actionWithAnimation(copy);
}

// ---- render texture ----

bool GxRenderTextureDeprecated::saveBuffer(GxRenderTexture& texture, const std::string& name) {
    return texture.saveToFile(name);
}

bool GxRenderTextureDeprecated::saveBuffer(GxRenderTexture& texture, const std::string& name, int format) {
    return texture.saveToFile(name, format);
}

std::shared_ptr<ui::Image> GxRenderTextureDeprecated::getUIImageFromBuffer(GxRenderTexture& texture) {
    return texture.getUIImage();
}

std::shared_ptr<std::vector<uint8_t>> GxRenderTextureDeprecated::getUIImageAsDataFromBuffer(GxRenderTexture&, int) {
    return nullptr;
}

}  // namespace engine2d
