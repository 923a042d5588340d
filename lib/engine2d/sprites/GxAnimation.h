#pragma once
// Animations: ordered sprite frames, each lasting some delay units, with one
// duration per unit; and the registry of animations by name, filled by hand
// or from animation property lists (formats 1 and 2).

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace engine2d {

class GxSpriteFrame;
class GxTexture2D;
struct Rect;

class GxAnimationFrame {
public:
    GxAnimationFrame(std::shared_ptr<GxSpriteFrame> frame, float delayUnits,
                     std::optional<foundation::Dictionary> userInfo = std::nullopt)
        : spriteFrame_(std::move(frame)), delayUnits_(delayUnits), userInfo_(std::move(userInfo)) {}
    const std::shared_ptr<GxSpriteFrame>& spriteFrame() const { return spriteFrame_; }
    void setSpriteFrame(std::shared_ptr<GxSpriteFrame> f) { spriteFrame_ = std::move(f); }
    float delayUnits() const { return delayUnits_; }
    void setDelayUnits(float d) { delayUnits_ = d; }
    const std::optional<foundation::Dictionary>& userInfo() const { return userInfo_; }
    // A new entry with a copy of the sprite frame.
    std::shared_ptr<GxAnimationFrame> copy() const;
    std::string description() const;

private:
    std::shared_ptr<GxSpriteFrame> spriteFrame_;
    float delayUnits_;
    std::optional<foundation::Dictionary> userInfo_;
};

class GxAnimation {
public:
    using Frames = std::vector<std::shared_ptr<GxAnimationFrame>>;
    static std::shared_ptr<GxAnimation> animation() { return animationWithSpriteFrames({}, 0); }
    static std::shared_ptr<GxAnimation> animationWithSpriteFrames(
        const std::vector<std::shared_ptr<GxSpriteFrame>>& frames, float delay = 0);
    static std::shared_ptr<GxAnimation> animationWithAnimationFrames(Frames frames, float delayPerUnit, unsigned loops);

    const Frames& frames() const { return frames_; }
    // Replaces the entries; the total of delay units is left as it was.
    void setFrames(Frames f) { frames_ = std::move(f); }
    float totalDelayUnits() const { return totalDelayUnits_; }
    float delayPerUnit() const { return delayPerUnit_; }
    void setDelayPerUnit(float d) { delayPerUnit_ = d; }
    bool restoreOriginalFrame() const { return restoreOriginalFrame_; }
    void setRestoreOriginalFrame(bool r) { restoreOriginalFrame_ = r; }
    unsigned loops() const { return loops_; }
    void setLoops(unsigned l) { loops_ = l; }
    float duration() const { return totalDelayUnits_ * delayPerUnit_; }

    void addSpriteFrame(std::shared_ptr<GxSpriteFrame> frame);
    void addSpriteFrameWithFilename(const std::string& file);
    void addSpriteFrameWithTexture(std::shared_ptr<GxTexture2D> texture, const Rect& rect);
    // Shares the entries.
    std::shared_ptr<GxAnimation> copy() const;
    std::string description() const;

private:
    Frames frames_;
    float totalDelayUnits_ = 0, delayPerUnit_ = 0;
    bool restoreOriginalFrame_ = false;
    unsigned loops_ = 1;
};

class GxAnimationCache {
public:
    static GxAnimationCache& sharedAnimationCache();
    static void purgeSharedAnimationCache();
    void addAnimation(std::shared_ptr<GxAnimation> a, const std::string& name) { animations_[name] = std::move(a); }
    void removeAnimationByName(const std::string& name) { animations_.erase(name); }
    std::shared_ptr<GxAnimation> animationByName(const std::string& name) const;
    void addAnimationsWithFile(const std::string& plist);
    void addAnimationsWithDictionary(const foundation::Dictionary& d);
    void parseVersion1(const foundation::Dictionary& animations);
    void parseVersion2(const foundation::Dictionary& animations);
    size_t count() const { return animations_.size(); }
    std::string description() const;

private:
    std::map<std::string, std::shared_ptr<GxAnimation>> animations_;
};

}  // namespace engine2d
