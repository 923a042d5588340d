#include "lib/engine2d/menus/GxMenuItem.h"

#include <cstdio>

#include "lib/engine2d/actions/GxActionTransform.h"
#include "lib/engine2d/labels/GxAtlasNode.h"
#include "lib/engine2d/labels/GxLabelTTF.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Resetters.h"

namespace engine2d {

// --- GxMenuItem

bool GxMenuItem::init(GxMenuItemBlock block) {
    if (!GxNode::init()) return false;
    block_ = std::move(block);
    setAnchorPoint(Point{0.5f, 0.5f});
    isEnabled_ = true;
    isSelected_ = false;
    return true;
}

void GxMenuItem::activate() {
    if (!isEnabled_ || !block_) return;
    // Held across the call: the block may replace itself.
    GxMenuItemBlock b = block_;
    b(this);
}

Rect GxMenuItem::rect() const {
    return Rect{
        Point{position_.x - contentSize_.width * anchorPoint_.x, position_.y - contentSize_.height * anchorPoint_.y},
        contentSize_};
}

void GxMenuItem::cleanup() {
    block_ = nullptr;
    GxNode::cleanup();
}

// --- GxMenuItemLabel

std::shared_ptr<GxMenuItemLabel> GxMenuItemLabel::itemWithLabel(std::shared_ptr<GxNode> label, GxMenuItemBlock block) {
    return gxMake<GxMenuItemLabel>(std::move(label), std::move(block));
}

bool GxMenuItemLabel::init(std::shared_ptr<GxNode> label, GxMenuItemBlock block) {
    if (!GxMenuItem::init(std::move(block))) return false;
    originalScale_ = 1;
    colorBackup_ = gxColor3B{255, 255, 255};
    disabledColor_ = gxColor3B{126, 126, 126};
    return setLabel(std::move(label));
}

bool GxMenuItemLabel::setLabel(std::shared_ptr<GxNode> label) {
    if (label == label_) return true;
    auto* rgba = dynamic_cast<GxRGBAProtocol*>(label.get());
    auto* text = dynamic_cast<GxLabelProtocol*>(label.get());
    if (!rgba || !text) {
        foundation::warn("engine2d: GxMenuItemLabel: the label must be a coloured label");
        return false;
    }
    if (label_) removeChild(label_.get(), true);
    addChild(label);
    label_ = std::move(label);
    labelRGBA_ = rgba;
    labelText_ = text;
    label_->setAnchorPoint(Point{0, 0});
    setContentSize(label_->contentSize());
    return true;
}

void GxMenuItemLabel::setString(const std::string& text) {
    if (!labelText_) return;
    labelText_->setString(text);
    setContentSize(label_->contentSize());
}

void GxMenuItemLabel::activate() {
    if (!isEnabled_) return;
    stopAllActions();
    setScale(originalScale_);
    GxMenuItem::activate();
}

void GxMenuItemLabel::selected() {
    if (!isEnabled_) return;
    GxMenuItem::selected();
    if (getActionByTag(kGxZoomActionTag))
        stopActionByTag(kGxZoomActionTag);
    else
        originalScale_ = scale();
    auto zoom = GxScaleTo::actionWithDuration(0.1f, originalScale_ * 1.2f);
    zoom->setTag(kGxZoomActionTag);
    runAction(zoom);
}

void GxMenuItemLabel::unselected() {
    if (!isEnabled_) return;
    GxMenuItem::unselected();
    stopActionByTag(kGxZoomActionTag);
    auto zoom = GxScaleTo::actionWithDuration(0.1f, originalScale_);
    zoom->setTag(kGxZoomActionTag);
    runAction(zoom);
}

void GxMenuItemLabel::setIsEnabled(bool e) {
    if (e != isEnabled_ && labelRGBA_) {
        if (e) {
            labelRGBA_->setColor(colorBackup_);
        } else {
            colorBackup_ = labelRGBA_->color();
            labelRGBA_->setColor(disabledColor_);
        }
    }
    GxMenuItem::setIsEnabled(e);
}

gxColor3B GxMenuItemLabel::color() const { return labelRGBA_ ? labelRGBA_->color() : gxColor3B{}; }
void GxMenuItemLabel::setColor(gxColor3B c) {
    if (labelRGBA_) labelRGBA_->setColor(c);
}
uint8_t GxMenuItemLabel::opacity() const { return labelRGBA_ ? labelRGBA_->opacity() : 0; }
void GxMenuItemLabel::setOpacity(uint8_t o) {
    if (labelRGBA_) labelRGBA_->setOpacity(o);
}

// --- GxMenuItemAtlasFont

std::shared_ptr<GxMenuItemAtlasFont> GxMenuItemAtlasFont::itemWithString(const std::string& text,
                                                                         const std::string& charMapFile, int itemWidth,
                                                                         int itemHeight, uint8_t startCharMap,
                                                                         GxMenuItemBlock block) {
    return gxMake<GxMenuItemAtlasFont>(text, charMapFile, itemWidth, itemHeight, startCharMap, std::move(block));
}

bool GxMenuItemAtlasFont::init(const std::string& text, const std::string& charMapFile, int itemWidth, int itemHeight,
                               uint8_t startCharMap, GxMenuItemBlock block) {
    if (itemWidth <= 0 || itemHeight <= 0) return false;
    auto label =
        GxLabelAtlas::labelWithString(text, charMapFile, unsigned(itemWidth), unsigned(itemHeight), startCharMap);
    if (!label) return false;
    return GxMenuItemLabel::init(label, std::move(block));
}

// --- GxMenuItemFont

namespace {
unsigned gDefaultFontSize = 32;
std::string& defaultName() {
    static std::string name = "Marker Felt";
    return name;
}
[[maybe_unused]] const bool gRegistered =
    (foundation::registerResetter("engine2d.menuFont", foundation::ResetPhase::SharedObject,
                                  [] {
                                      gDefaultFontSize = 32;
                                      defaultName() = "Marker Felt";
                                  }),
     true);
}  // namespace

void GxMenuItemFont::setDefaultFontSize(unsigned size) { gDefaultFontSize = size; }
unsigned GxMenuItemFont::defaultFontSize() { return gDefaultFontSize; }
void GxMenuItemFont::setDefaultFontName(const std::string& name) { defaultName() = name; }
const std::string& GxMenuItemFont::defaultFontName() { return defaultName(); }

std::shared_ptr<GxMenuItemFont> GxMenuItemFont::itemWithString(const std::string& text, GxMenuItemBlock block) {
    return gxMake<GxMenuItemFont>(text, std::move(block));
}

bool GxMenuItemFont::init(const std::string& text, GxMenuItemBlock block) {
    fontName_ = defaultName();
    fontSize_ = gDefaultFontSize;
    auto label = GxLabelTTF::labelWithString(text, fontName_, float(fontSize_));
    if (!label) return false;
    return GxMenuItemLabel::init(label, std::move(block));
}

void GxMenuItemFont::recreateLabel() {
    std::string text = labelText_ ? labelText_->string() : std::string();
    auto label = GxLabelTTF::labelWithString(text, fontName_, float(fontSize_));
    if (label) setLabel(label);
}

void GxMenuItemFont::setFontSize(unsigned size) {
    fontSize_ = size;
    recreateLabel();
}

void GxMenuItemFont::setFontName(const std::string& name) {
    fontName_ = name;
    recreateLabel();
}

// --- GxMenuItemSprite

std::shared_ptr<GxMenuItemSprite> GxMenuItemSprite::itemWithNormalSprite(std::shared_ptr<GxNode> normal,
                                                                         std::shared_ptr<GxNode> selected,
                                                                         std::shared_ptr<GxNode> disabled,
                                                                         GxMenuItemBlock block) {
    return gxMake<GxMenuItemSprite>(std::move(normal), std::move(selected), std::move(disabled), std::move(block));
}

bool GxMenuItemSprite::init(std::shared_ptr<GxNode> normal, std::shared_ptr<GxNode> selected,
                            std::shared_ptr<GxNode> disabled, GxMenuItemBlock block) {
    if (!GxMenuItem::init(std::move(block))) return false;
    setNormalImage(std::move(normal));
    setSelectedImage(std::move(selected));
    setDisabledImage(std::move(disabled));
    if (normal_) setContentSize(normal_->contentSize());
    return true;
}

void GxMenuItemSprite::replace(std::shared_ptr<GxNode>& slot, std::shared_ptr<GxNode> n, bool visible) {
    if (n == slot) return;
    if (n) {
        n->setAnchorPoint(Point{0, 0});
        n->setVisible(visible);
    }
    if (slot) removeChild(slot.get(), true);
    if (n) addChild(n);
    slot = std::move(n);
}

void GxMenuItemSprite::setNormalImage(std::shared_ptr<GxNode> n) {
    if (n == normal_) return;
    replace(normal_, std::move(n), true);
    if (normal_) setContentSize(normal_->contentSize());
}
void GxMenuItemSprite::setSelectedImage(std::shared_ptr<GxNode> n) { replace(selected_, std::move(n), false); }
void GxMenuItemSprite::setDisabledImage(std::shared_ptr<GxNode> n) { replace(disabled_, std::move(n), false); }

void GxMenuItemSprite::selected() {
    GxMenuItem::selected();
    if (selected_) {
        if (normal_) normal_->setVisible(false);
        selected_->setVisible(true);
    } else if (normal_) {
        normal_->setVisible(true);
    }
    if (disabled_) disabled_->setVisible(false);
}

void GxMenuItemSprite::unselected() {
    GxMenuItem::unselected();
    if (normal_) normal_->setVisible(true);
    if (selected_) selected_->setVisible(false);
    if (disabled_) disabled_->setVisible(false);
}

void GxMenuItemSprite::setIsEnabled(bool e) {
    GxMenuItem::setIsEnabled(e);
    if (selected_) selected_->setVisible(false);
    if (e) {
        if (normal_) normal_->setVisible(true);
        if (disabled_) disabled_->setVisible(false);
    } else if (disabled_) {
        disabled_->setVisible(true);
        if (normal_) normal_->setVisible(false);
    } else if (normal_) {
        normal_->setVisible(true);
    }
}

gxColor3B GxMenuItemSprite::color() const {
    auto* c = dynamic_cast<GxRGBAProtocol*>(normal_.get());
    return c ? c->color() : gxColor3B{};
}
void GxMenuItemSprite::setColor(gxColor3B c) {
    for (auto* n : {normal_.get(), selected_.get(), disabled_.get()})
        if (auto* p = dynamic_cast<GxRGBAProtocol*>(n)) p->setColor(c);
}
uint8_t GxMenuItemSprite::opacity() const {
    auto* c = dynamic_cast<GxRGBAProtocol*>(normal_.get());
    return c ? c->opacity() : 0;
}
void GxMenuItemSprite::setOpacity(uint8_t o) {
    for (auto* n : {normal_.get(), selected_.get(), disabled_.get()})
        if (auto* p = dynamic_cast<GxRGBAProtocol*>(n)) p->setOpacity(o);
}

// --- GxMenuItemImage

std::shared_ptr<GxMenuItemImage> GxMenuItemImage::itemWithNormalImage(const std::string& normal,
                                                                      const std::string& selected,
                                                                      const std::string& disabled,
                                                                      GxMenuItemBlock block) {
    return gxMake<GxMenuItemImage>(normal, selected, disabled, std::move(block));
}

bool GxMenuItemImage::init(const std::string& normal, const std::string& selected, const std::string& disabled,
                           GxMenuItemBlock block) {
    auto n = GxSprite::spriteWithFile(normal);
    if (!n) return false;
    auto s = selected.empty() ? nullptr : GxSprite::spriteWithFile(selected);
    auto d = disabled.empty() ? nullptr : GxSprite::spriteWithFile(disabled);
    return GxMenuItemSprite::init(n, s, d, std::move(block));
}

void GxMenuItemImage::setNormalSpriteFrame(const std::shared_ptr<GxSpriteFrame>& f) {
    setNormalImage(GxSprite::spriteWithSpriteFrame(f));
}
void GxMenuItemImage::setSelectedSpriteFrame(const std::shared_ptr<GxSpriteFrame>& f) {
    setSelectedImage(GxSprite::spriteWithSpriteFrame(f));
}
void GxMenuItemImage::setDisabledSpriteFrame(const std::shared_ptr<GxSpriteFrame>& f) {
    setDisabledImage(GxSprite::spriteWithSpriteFrame(f));
}

// --- GxMenuItemToggle

std::shared_ptr<GxMenuItemToggle> GxMenuItemToggle::itemWithItems(std::vector<std::shared_ptr<GxMenuItem>> items,
                                                                  GxMenuItemBlock block) {
    return gxMake<GxMenuItemToggle>(std::move(items), std::move(block));
}

bool GxMenuItemToggle::init(std::vector<std::shared_ptr<GxMenuItem>> items, GxMenuItemBlock block) {
    items.erase(std::remove(items.begin(), items.end(), nullptr), items.end());
    if (items.empty() || !GxMenuItem::init(std::move(block))) return false;
    subItems_ = std::move(items);
    selectedIndex_ = 0xFFFFFFFFu;
    setSelectedIndex(0);
    return true;
}

std::shared_ptr<GxMenuItem> GxMenuItemToggle::selectedItem() const {
    return selectedIndex_ < subItems_.size() ? subItems_[selectedIndex_] : nullptr;
}

void GxMenuItemToggle::setSelectedIndex(unsigned index) {
    if (index == selectedIndex_ || index >= subItems_.size()) return;
    selectedIndex_ = index;
    if (auto current = getChildByTag(kGxCurrentItemTag)) current->removeFromParentAndCleanup(false);
    auto item = subItems_[index];
    if (item->parent()) item->removeFromParentAndCleanup(false);
    addChild(item, 0, kGxCurrentItemTag);
    Size s = item->contentSize();
    setContentSize(s);
    item->setPosition(Point{s.width / 2, s.height / 2});
}

void GxMenuItemToggle::selected() {
    GxMenuItem::selected();
    if (auto i = selectedItem()) i->selected();
}

void GxMenuItemToggle::unselected() {
    GxMenuItem::unselected();
    if (auto i = selectedItem()) i->unselected();
}

void GxMenuItemToggle::activate() {
    if (isEnabled_ && !subItems_.empty()) setSelectedIndex((selectedIndex_ + 1) % unsigned(subItems_.size()));
    GxMenuItem::activate();
}

void GxMenuItemToggle::setIsEnabled(bool e) {
    GxMenuItem::setIsEnabled(e);
    for (auto& i : subItems_) i->setIsEnabled(e);
}

void GxMenuItemToggle::setColor(gxColor3B c) {
    color_ = c;
    for (auto& i : subItems_)
        if (auto* p = dynamic_cast<GxRGBAProtocol*>(i.get())) p->setColor(c);
}

void GxMenuItemToggle::setOpacity(uint8_t o) {
    opacity_ = o;
    for (auto& i : subItems_)
        if (auto* p = dynamic_cast<GxRGBAProtocol*>(i.get())) p->setOpacity(o);
}

}  // namespace engine2d
