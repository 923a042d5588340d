#pragma once
// Menu items: nodes with an action run on activation, an enabled and a
// selected flag, and a look that follows them. Label items zoom while
// selected; sprite and image items show a normal, selected and disabled
// node; toggles cycle through sub-items.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lib/engine2d/labels/GxLabelProtocol.h"
#include "lib/engine2d/nodes/GxNode.h"
#include "lib/engine2d/nodes/GxProtocols.h"

namespace engine2d {

class GxMenuItem;
class GxSpriteFrame;
using GxMenuItemBlock = std::function<void(GxMenuItem* sender)>;

// The toggle's shown sub-item among its children, and the label's zoom action.
constexpr int kGxCurrentItemTag = int(0xC0C05001u);
constexpr int kGxZoomActionTag = int(0xC0C05002u);

class GxMenuItem : public GxNode {
public:
    static std::shared_ptr<GxMenuItem> itemWithBlock(GxMenuItemBlock block) { return gxMake<GxMenuItem>(block); }
    bool init() override { return init(nullptr); }
    virtual bool init(GxMenuItemBlock block);
    const char* className() const override { return "GxMenuItem"; }

    virtual void selected() { isSelected_ = true; }
    virtual void unselected() { isSelected_ = false; }
    // Runs the block with the item when enabled.
    virtual void activate();
    virtual void setIsEnabled(bool e) { isEnabled_ = e; }
    bool isEnabled() const { return isEnabled_; }
    bool isSelected() const { return isSelected_; }
    // In the parent's space; the scale is not applied.
    Rect rect() const;
    void setBlock(GxMenuItemBlock block) { block_ = std::move(block); }
    // Drops the block for good, then the node's cleanup.
    void cleanup() override;

protected:
    GxMenuItemBlock block_;
    bool isEnabled_ = true, isSelected_ = false;
};

// A label (any node that is a label with a colour) that zooms to 1.2 times
// its scale while selected and greys out while disabled.
class GxMenuItemLabel : public GxMenuItem, public GxRGBAProtocol {
public:
    static std::shared_ptr<GxMenuItemLabel> itemWithLabel(std::shared_ptr<GxNode> label,
                                                          GxMenuItemBlock block = nullptr);
    using GxMenuItem::init;
    bool init(std::shared_ptr<GxNode> label, GxMenuItemBlock block);
    const char* className() const override { return "GxMenuItemLabel"; }

    // False (nothing changes) for a node that is not a coloured label.
    bool setLabel(std::shared_ptr<GxNode> label);
    const std::shared_ptr<GxNode>& label() const { return label_; }
    void setString(const std::string& text);

    void activate() override;
    void selected() override;
    void unselected() override;
    void setIsEnabled(bool e) override;

    gxColor3B color() const override;
    void setColor(gxColor3B c) override;
    uint8_t opacity() const override;
    void setOpacity(uint8_t o) override;
    gxColor3B disabledColor() const { return disabledColor_; }
    void setDisabledColor(gxColor3B c) { disabledColor_ = c; }

protected:
    std::shared_ptr<GxNode> label_;
    GxRGBAProtocol* labelRGBA_ = nullptr;
    GxLabelProtocol* labelText_ = nullptr;
    gxColor3B colorBackup_{255, 255, 255}, disabledColor_{126, 126, 126};
    float originalScale_ = 1;
};

// A label item over a character-map label.
class GxMenuItemAtlasFont : public GxMenuItemLabel {
public:
    static std::shared_ptr<GxMenuItemAtlasFont> itemWithString(const std::string& text, const std::string& charMapFile,
                                                               int itemWidth, int itemHeight, uint8_t startCharMap,
                                                               GxMenuItemBlock block = nullptr);
    using GxMenuItemLabel::init;
    bool init(const std::string& text, const std::string& charMapFile, int itemWidth, int itemHeight,
              uint8_t startCharMap, GxMenuItemBlock block);
    const char* className() const override { return "GxMenuItemAtlasFont"; }
};

// A label item over a system-font label; new items take the class defaults
// (32 points, "Marker Felt", drawn in the system font where that is missing).
class GxMenuItemFont : public GxMenuItemLabel {
public:
    static std::shared_ptr<GxMenuItemFont> itemWithString(const std::string& text, GxMenuItemBlock block = nullptr);
    // The class defaults.
    static void setDefaultFontSize(unsigned size);
    static unsigned defaultFontSize();
    static void setDefaultFontName(const std::string& name);
    static const std::string& defaultFontName();

    using GxMenuItemLabel::init;
    bool init(const std::string& text, GxMenuItemBlock block);
    const char* className() const override { return "GxMenuItemFont"; }

    // Each rebuilds the label with the same text.
    void setFontSize(unsigned size);
    unsigned fontSize() const { return fontSize_; }
    void setFontName(const std::string& name);
    const std::string& fontName() const { return fontName_; }
    void recreateLabel();

private:
    unsigned fontSize_ = 32;
    std::string fontName_;
};

// Three nodes: normal, selected (may be missing) and disabled (may be missing).
class GxMenuItemSprite : public GxMenuItem, public GxRGBAProtocol {
public:
    static std::shared_ptr<GxMenuItemSprite> itemWithNormalSprite(std::shared_ptr<GxNode> normal,
                                                                  std::shared_ptr<GxNode> selected,
                                                                  std::shared_ptr<GxNode> disabled = nullptr,
                                                                  GxMenuItemBlock block = nullptr);
    using GxMenuItem::init;
    bool init(std::shared_ptr<GxNode> normal, std::shared_ptr<GxNode> selected, std::shared_ptr<GxNode> disabled,
              GxMenuItemBlock block);
    const char* className() const override { return "GxMenuItemSprite"; }

    void setNormalImage(std::shared_ptr<GxNode> n);
    void setSelectedImage(std::shared_ptr<GxNode> n);
    void setDisabledImage(std::shared_ptr<GxNode> n);
    const std::shared_ptr<GxNode>& normalImage() const { return normal_; }
    const std::shared_ptr<GxNode>& selectedImage() const { return selected_; }
    const std::shared_ptr<GxNode>& disabledImage() const { return disabled_; }

    void selected() override;
    void unselected() override;
    void setIsEnabled(bool e) override;

    gxColor3B color() const override;
    void setColor(gxColor3B c) override;
    uint8_t opacity() const override;
    void setOpacity(uint8_t o) override;

private:
    void replace(std::shared_ptr<GxNode>& slot, std::shared_ptr<GxNode> n, bool visible);
    std::shared_ptr<GxNode> normal_, selected_, disabled_;
};

// A sprite item from image files (the selected and disabled names may be empty).
class GxMenuItemImage : public GxMenuItemSprite {
public:
    // nullptr when the normal image does not load.
    static std::shared_ptr<GxMenuItemImage> itemWithNormalImage(const std::string& normal, const std::string& selected,
                                                                const std::string& disabled = "",
                                                                GxMenuItemBlock block = nullptr);
    using GxMenuItemSprite::init;
    bool init(const std::string& normal, const std::string& selected, const std::string& disabled,
              GxMenuItemBlock block);
    const char* className() const override { return "GxMenuItemImage"; }
    void setNormalSpriteFrame(const std::shared_ptr<GxSpriteFrame>& f);
    void setSelectedSpriteFrame(const std::shared_ptr<GxSpriteFrame>& f);
    void setDisabledSpriteFrame(const std::shared_ptr<GxSpriteFrame>& f);
};

// Shows one of its sub-items and moves to the next on each activation.
class GxMenuItemToggle : public GxMenuItem, public GxRGBAProtocol {
public:
    // nullptr for an empty list (there would be nothing to show).
    static std::shared_ptr<GxMenuItemToggle> itemWithItems(std::vector<std::shared_ptr<GxMenuItem>> items,
                                                           GxMenuItemBlock block = nullptr);
    using GxMenuItem::init;
    bool init(std::vector<std::shared_ptr<GxMenuItem>> items, GxMenuItemBlock block);
    const char* className() const override { return "GxMenuItemToggle"; }

    // Indices beyond the sub-items are refused.
    void setSelectedIndex(unsigned index);
    unsigned selectedIndex() const { return selectedIndex_; }
    std::shared_ptr<GxMenuItem> selectedItem() const;
    const std::vector<std::shared_ptr<GxMenuItem>>& subItems() const { return subItems_; }
    void setSubItems(std::vector<std::shared_ptr<GxMenuItem>> items) { subItems_ = std::move(items); }

    void selected() override;
    void unselected() override;
    void activate() override;
    void setIsEnabled(bool e) override;

    gxColor3B color() const override { return color_; }
    void setColor(gxColor3B c) override;
    uint8_t opacity() const override { return opacity_; }
    void setOpacity(uint8_t o) override;

private:
    unsigned selectedIndex_ = 0xFFFFFFFFu;
    std::vector<std::shared_ptr<GxMenuItem>> subItems_;
    uint8_t opacity_ = 0;
    gxColor3B color_{0, 0, 0};
};

}  // namespace engine2d
