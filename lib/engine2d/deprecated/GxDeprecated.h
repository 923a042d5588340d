#pragma once
// Older names of engine calls, kept for code written against them. Each
// forwarding struct is named after the class whose old calls it holds and
// adds nothing to the current call it forwards to; the two exceptions are
// stated at their calls (GxAnimate's old makers, and the render texture's
// picture as data, which is no longer offered). New code uses the current
// calls.
//
// Old pairs of a maker and an initialiser become, here, a maker and an
// initialiser of an object already made (where the current class has one);
// the old "target and selector" pair becomes GxTargetSelector.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lib/engine2d/mathlib/Geometry.h"
#include "lib/engine2d/menus/GxMenuItem.h"

namespace ui {
class Image;
}

namespace engine2d {

class GxActionManager;
class GxAnimate;
class GxAnimation;
class GxDirector;
class GxGLView;
class GxNode;
class GxRenderTexture;
class GxScheduler;
class GxSprite;
class GxSpriteBatchNode;
class GxSpriteFrame;
class GxTexture2D;
class GxTouchDispatcher;

struct GxSchedulerDeprecated {
    // The shared director's scheduler.
    static std::shared_ptr<GxScheduler> sharedScheduler();
};

struct GxActionManagerDeprecated {
    // The shared director's action manager.
    static std::shared_ptr<GxActionManager> sharedManager();
};

struct GxTouchDispatcherDeprecated {
    // The shared director's touch dispatcher.
    static std::shared_ptr<GxTouchDispatcher> sharedDispatcher();
};

struct GxDirectorDeprecated {
    static void setDisplayFPS(GxDirector& director, bool display);
    static void setOpenGLView(GxDirector& director, const std::shared_ptr<GxGLView>& view);
    static const std::shared_ptr<GxGLView>& openGLView(const GxDirector& director);
};

struct GxNodeDeprecated {
    // The anchor point is relative to the position unless it is ignored.
    static void setIsRelativeAnchorPoint(GxNode& node, bool relative);
    static bool isRelativeAnchorPoint(const GxNode& node);
};

struct GxSpriteDeprecated {
    // A sprite of the batch node's texture, then placed in the batch node.
    static std::shared_ptr<GxSprite> spriteWithBatchNode(const std::shared_ptr<GxSpriteBatchNode>& batchNode,
                                                         Rect rect);
    static bool initWithBatchNode(GxSprite& sprite, const std::shared_ptr<GxSpriteBatchNode>& batchNode, Rect rect);
    static std::shared_ptr<GxSpriteFrame> displayedFrame(const GxSprite& sprite);
};

// The old callee and call of a menu item: the callee is kept alive by the
// item, and `call` runs with the item when it is activated.
struct GxTargetSelector {
    std::shared_ptr<void> target;
    std::string selector;
    std::function<void(GxMenuItem*)> call;
    GxMenuItemBlock block() const;
};

struct GxMenuItemAtlasFontDeprecated {
    using Item = std::shared_ptr<GxMenuItemAtlasFont>;
    static Item itemFromString(const std::string& text, const std::string& charMapFile, int itemWidth, int itemHeight,
                               uint8_t startCharMap);
    static Item itemFromString(const std::string& text, const std::string& charMapFile, int itemWidth, int itemHeight,
                               uint8_t startCharMap, const GxTargetSelector& targetSelector);
    static Item itemFromString(const std::string& text, const std::string& charMapFile, int itemWidth, int itemHeight,
                               uint8_t startCharMap, GxMenuItemBlock block);
    static bool initFromString(GxMenuItemAtlasFont& item, const std::string& text, const std::string& charMapFile,
                               int itemWidth, int itemHeight, uint8_t startCharMap,
                               const GxTargetSelector& targetSelector);
    static bool initFromString(GxMenuItemAtlasFont& item, const std::string& text, const std::string& charMapFile,
                               int itemWidth, int itemHeight, uint8_t startCharMap, GxMenuItemBlock block);
};

struct GxMenuItemFontDeprecated {
    using Item = std::shared_ptr<GxMenuItemFont>;
    static Item itemFromString(const std::string& text);
    static Item itemFromString(const std::string& text, const GxTargetSelector& targetSelector);
    static Item itemFromString(const std::string& text, GxMenuItemBlock block);
    static bool initFromString(GxMenuItemFont& item, const std::string& text, const GxTargetSelector& targetSelector);
    static bool initFromString(GxMenuItemFont& item, const std::string& text, GxMenuItemBlock block);
};

struct GxMenuItemSpriteDeprecated {
    using Item = std::shared_ptr<GxMenuItemSprite>;
    using Node = std::shared_ptr<GxNode>;
    static Item itemFromNormalSprite(Node normal, Node selected);
    static Item itemFromNormalSprite(Node normal, Node selected, const GxTargetSelector& targetSelector);
    static Item itemFromNormalSprite(Node normal, Node selected, Node disabled, const GxTargetSelector& targetSelector);
    static Item itemFromNormalSprite(Node normal, Node selected, GxMenuItemBlock block);
    static Item itemFromNormalSprite(Node normal, Node selected, Node disabled, GxMenuItemBlock block);
    static bool initFromNormalSprite(GxMenuItemSprite& item, Node normal, Node selected, Node disabled,
                                     const GxTargetSelector& targetSelector);
    static bool initFromNormalSprite(GxMenuItemSprite& item, Node normal, Node selected, Node disabled,
                                     GxMenuItemBlock block);
};

struct GxMenuItemImageDeprecated {
    using Item = std::shared_ptr<GxMenuItemImage>;
    static Item itemFromNormalImage(const std::string& normal, const std::string& selected);
    static Item itemFromNormalImage(const std::string& normal, const std::string& selected,
                                    const GxTargetSelector& targetSelector);
    static Item itemFromNormalImage(const std::string& normal, const std::string& selected, const std::string& disabled,
                                    const GxTargetSelector& targetSelector);
    static Item itemFromNormalImage(const std::string& normal, const std::string& selected, GxMenuItemBlock block);
    static Item itemFromNormalImage(const std::string& normal, const std::string& selected, const std::string& disabled,
                                    GxMenuItemBlock block);
    static bool initFromNormalImage(GxMenuItemImage& item, const std::string& normal, const std::string& selected,
                                    const std::string& disabled, const GxTargetSelector& targetSelector);
    static bool initFromNormalImage(GxMenuItemImage& item, const std::string& normal, const std::string& selected,
                                    const std::string& disabled, GxMenuItemBlock block);
};

struct GxAnimationDeprecated {
    using SpriteFrames = std::vector<std::shared_ptr<GxSpriteFrame>>;
    static std::shared_ptr<GxAnimation> animationWithFrames(const SpriteFrames& frames);
    static std::shared_ptr<GxAnimation> animationWithFrames(const SpriteFrames& frames, float delay);
    // The animation becomes what the current maker makes of the frames.
    static void initWithFrames(GxAnimation& animation, const SpriteFrames& frames);
    static void initWithFrames(GxAnimation& animation, const SpriteFrames& frames, float delay);
    static void addFrame(GxAnimation& animation, std::shared_ptr<GxSpriteFrame> frame);
    static void addFrameWithFilename(GxAnimation& animation, const std::string& file);
    static void addFrameWithTexture(GxAnimation& animation, std::shared_ptr<GxTexture2D> texture, const Rect& rect);
};

struct GxAnimateDeprecated {
    // Animates a copy of the animation whose restoreOriginalFrame is the
    // flag; the animation passed in is left as it is.
    static std::shared_ptr<GxAnimate> actionWithAnimation(const std::shared_ptr<GxAnimation>& animation,
                                                          bool restoreOriginalFrame);
    // The same, the copy's delay per unit being the duration divided by the
    // number of frames (kept as it was for an animation without frames).
    static std::shared_ptr<GxAnimate> actionWithDuration(float duration, const std::shared_ptr<GxAnimation>& animation,
                                                         bool restoreOriginalFrame);
};

struct GxRenderTextureDeprecated {
    static bool saveBuffer(GxRenderTexture& texture, const std::string& name);
    static bool saveBuffer(GxRenderTexture& texture, const std::string& name, int format);
    static std::shared_ptr<ui::Image> getUIImageFromBuffer(GxRenderTexture& texture);
    // No longer offered: always nullptr.
    static std::shared_ptr<std::vector<uint8_t>> getUIImageAsDataFromBuffer(GxRenderTexture& texture, int format);
};

}  // namespace engine2d
