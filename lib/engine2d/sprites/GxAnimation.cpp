#include "lib/engine2d/sprites/GxAnimation.h"

#include <cstdio>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/sprites/GxSpriteFrame.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/Resetters.h"
#include "platform/plist/PropertyList.h"

namespace engine2d {

std::shared_ptr<GxAnimationFrame> GxAnimationFrame::copy() const {
    return std::make_shared<GxAnimationFrame>(spriteFrame_ ? spriteFrame_->copy() : nullptr, delayUnits_, userInfo_);
}

std::string GxAnimationFrame::description() const {
    char buf[120];
    std::snprintf(buf, sizeof buf, "<GxAnimationFrame = %p | SpriteFrame = %p, delayUnits = %0.2f >",
                  static_cast<const void*>(this), static_cast<const void*>(spriteFrame_.get()), double(delayUnits_));
    return buf;
}

std::shared_ptr<GxAnimation> GxAnimation::animationWithSpriteFrames(
    const std::vector<std::shared_ptr<GxSpriteFrame>>& frames, float delay) {
    auto a = std::make_shared<GxAnimation>();
    a->loops_ = 1;
    a->delayPerUnit_ = delay;
    a->frames_.reserve(frames.size());
    for (const auto& f : frames) a->addSpriteFrame(f);
    return a;
}

std::shared_ptr<GxAnimation> GxAnimation::animationWithAnimationFrames(Frames frames, float delayPerUnit,
                                                                       unsigned loops) {
    auto a = std::make_shared<GxAnimation>();
    a->delayPerUnit_ = delayPerUnit;
    a->loops_ = loops;
    a->frames_ = std::move(frames);
    for (const auto& f : a->frames_) a->totalDelayUnits_ += f->delayUnits();
    return a;
}

void GxAnimation::addSpriteFrame(std::shared_ptr<GxSpriteFrame> frame) {
    frames_.push_back(std::make_shared<GxAnimationFrame>(std::move(frame), 1.0f));
    totalDelayUnits_ += 1;
}

void GxAnimation::addSpriteFrameWithFilename(const std::string& file) {
    auto t = GxTextureCache::sharedTextureCache().addImage(file);
    Rect r;
    if (t) r.size = t->contentSize();
    addSpriteFrame(GxSpriteFrame::frameWithTexture(t, r));
}

void GxAnimation::addSpriteFrameWithTexture(std::shared_ptr<GxTexture2D> texture, const Rect& rect) {
    addSpriteFrame(GxSpriteFrame::frameWithTexture(std::move(texture), rect));
}

std::shared_ptr<GxAnimation> GxAnimation::copy() const {
    auto a = animationWithAnimationFrames(frames_, delayPerUnit_, loops_);
    a->restoreOriginalFrame_ = restoreOriginalFrame_;
    return a;
}

std::string GxAnimation::description() const {
    char buf[160];
    std::snprintf(buf, sizeof buf, "<GxAnimation = %p | frames=%d, totalDelayUnits=%f, delayPerUnit=%f, loops=%d>",
                  static_cast<const void*>(this), int(frames_.size()), double(totalDelayUnits_), double(delayPerUnit_),
                  int(loops_));
    return buf;
}

namespace {
std::unique_ptr<GxAnimationCache>& sharedAnimations() {
    static std::unique_ptr<GxAnimationCache> c;
    return c;
}
}  // namespace

GxAnimationCache& GxAnimationCache::sharedAnimationCache() {
    if (!sharedAnimations()) {
        sharedAnimations() = std::make_unique<GxAnimationCache>();
        GxDirector::registerCachePurge(GxDirector::CachePurge::Animations, [] { purgeSharedAnimationCache(); });
        foundation::registerResetter("engine2d.animations", foundation::ResetPhase::Cache,
                                     [] { purgeSharedAnimationCache(); });
    }
    return *sharedAnimations();
}

void GxAnimationCache::purgeSharedAnimationCache() { sharedAnimations().reset(); }

std::shared_ptr<GxAnimation> GxAnimationCache::animationByName(const std::string& name) const {
    auto it = animations_.find(name);
    return it == animations_.end() ? nullptr : it->second;
}

void GxAnimationCache::addAnimationsWithFile(const std::string& plistName) {
    auto d = plist::readDictionary(GxFileUtils::sharedFileUtils().fullPathFromRelativePath(plistName));
    if (d) addAnimationsWithDictionary(*d);
}

void GxAnimationCache::addAnimationsWithDictionary(const foundation::Dictionary& d) {
    auto* animations = d.find("animations");
    if (!animations || !animations->asDictionary()) return;
    int format = 1;
    if (auto* props = d.find("properties")) {
        auto* f = props->get("format");
        format = f ? f->intValue() : 0;
        if (auto* sheets = props->get("spritesheets"); sheets && sheets->asArray())
            for (const auto& s : *sheets->asArray())
                if (s.asString()) GxSpriteFrameCache::sharedSpriteFrameCache().addSpriteFramesWithFile(*s.asString());
    }
    if (format == 1)
        parseVersion1(*animations->asDictionary());
    else if (format == 2)
        parseVersion2(*animations->asDictionary());
}

void GxAnimationCache::parseVersion1(const foundation::Dictionary& animations) {
    auto& frames = GxSpriteFrameCache::sharedSpriteFrameCache();
    for (const auto& [name, entry] : animations) {
        auto* names = entry.get("frames");
        if (!names || !names->asArray()) continue;
        GxAnimation::Frames list;
        for (const auto& n : *names->asArray()) {
            if (!n.asString()) continue;
            if (auto f = frames.spriteFrameByName(*n.asString()))
                list.push_back(std::make_shared<GxAnimationFrame>(f, 1.0f));
        }
        if (list.empty()) continue;
        auto* delay = entry.get("delay");
        addAnimation(
            GxAnimation::animationWithAnimationFrames(std::move(list), delay ? float(delay->doubleValue()) : 0, 1),
            name);
    }
}

void GxAnimationCache::parseVersion2(const foundation::Dictionary& animations) {
    auto& frames = GxSpriteFrameCache::sharedSpriteFrameCache();
    for (const auto& [name, entry] : animations) {
        auto* list = entry.get("frames");
        if (!list || !list->asArray()) continue;
        GxAnimation::Frames out;
        for (const auto& fd : *list->asArray()) {
            auto* frameName = fd.get("spriteframe");
            if (!frameName || !frameName->asString()) continue;
            auto f = frames.spriteFrameByName(*frameName->asString());
            if (!f) continue;
            auto* units = fd.get("delayUnits");
            std::optional<foundation::Dictionary> info;
            if (auto* n = fd.get("notification"); n && n->asDictionary()) info = *n->asDictionary();
            out.push_back(std::make_shared<GxAnimationFrame>(f, units ? float(units->doubleValue()) : 0, info));
        }
        auto* perUnit = entry.get("delayPerUnit");
        auto* loops = entry.get("loops");
        auto* restore = entry.get("restoreOriginalFrame");
        auto a = GxAnimation::animationWithAnimationFrames(std::move(out), perUnit ? float(perUnit->doubleValue()) : 0,
                                                           loops ? unsigned(loops->intValue()) : 1);
        a->setRestoreOriginalFrame(restore && restore->boolValue());
        addAnimation(a, name);
    }
}

std::string GxAnimationCache::description() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "<GxAnimationCache = %p | num of animations =  %zu>", static_cast<const void*>(this),
                  animations_.size());
    return buf;
}

}  // namespace engine2d
