#include "lib/engine2d/sprites/GxSpriteFrame.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Resetters.h"
#include "platform/plist/PropertyList.h"

namespace engine2d {

namespace {
float factor() { return GxEnvironment::shared().contentScaleFactor; }
Rect scaled(Rect r, float f) { return {{r.origin.x * f, r.origin.y * f}, {r.size.width * f, r.size.height * f}}; }

// The numbers of "{a,b}" (2) or "{{a,b},{c,d}}" (4); empty when malformed.
std::vector<float> numbers(const std::string& s, size_t want) {
    std::string shape, digits;
    std::vector<float> out;
    std::string cur;
    for (char c : s) {
        if (c == '{' || c == '}' || c == ',') {
            if (c == ',' || c == '}') {
                if (!cur.empty()) {
                    char* end = nullptr;
                    out.push_back(std::strtof(cur.c_str(), &end));
                    if (!end || *end) return {};
                    cur.clear();
                }
            }
            shape += c;
        } else if (c != ' ') {
            cur += c;
        }
    }
    const char* expect = want == 2 ? "{,}" : "{{,},{,}}";
    if (shape != expect || out.size() != want || !cur.empty()) return {};
    return out;
}
}  // namespace

Point gxPointFromString(const std::string& s) {
    auto n = numbers(s, 2);
    return n.empty() ? Point{} : Point{n[0], n[1]};
}
Size gxSizeFromString(const std::string& s) {
    auto n = numbers(s, 2);
    return n.empty() ? Size{} : Size{n[0], n[1]};
}
Rect gxRectFromString(const std::string& s) {
    auto n = numbers(s, 4);
    return n.empty() ? Rect{} : Rect{{n[0], n[1]}, {n[2], n[3]}};
}

void GxSpriteFrame::set(Rect rectInPixels, bool rotated, Point offset, Size originalSize) {
    float f = factor();
    rectInPixels_ = rectInPixels;
    rect_ = scaled(rectInPixels, 1 / f);
    offsetInPixels_ = offset;
    offset_ = offset * (1 / f);
    originalSizeInPixels_ = originalSize;
    originalSize_ = Size{originalSize.width / f, originalSize.height / f};
    rotated_ = rotated;
}

std::shared_ptr<GxSpriteFrame> GxSpriteFrame::frameWithTexture(std::shared_ptr<GxTexture2D> texture, Rect rect) {
    Rect px = scaled(rect, factor());
    return frameWithTexture(std::move(texture), px, false, Point{}, px.size);
}

std::shared_ptr<GxSpriteFrame> GxSpriteFrame::frameWithTextureFilename(const std::string& file, Rect rect) {
    Rect px = scaled(rect, factor());
    return frameWithTextureFilename(file, px, false, Point{}, px.size);
}

std::shared_ptr<GxSpriteFrame> GxSpriteFrame::frameWithTexture(std::shared_ptr<GxTexture2D> texture, Rect rectInPixels,
                                                               bool rotated, Point offset, Size originalSize) {
    auto f = std::make_shared<GxSpriteFrame>();
    f->texture_ = std::move(texture);
    f->set(rectInPixels, rotated, offset, originalSize);
    return f;
}

std::shared_ptr<GxSpriteFrame> GxSpriteFrame::frameWithTextureFilename(const std::string& file, Rect rectInPixels,
                                                                       bool rotated, Point offset, Size originalSize) {
    auto f = std::make_shared<GxSpriteFrame>();
    f->textureFilename_ = file;
    f->set(rectInPixels, rotated, offset, originalSize);
    return f;
}

void GxSpriteFrame::setRect(Rect r) {
    rect_ = r;
    rectInPixels_ = scaled(r, factor());
}
void GxSpriteFrame::setRectInPixels(Rect r) {
    rectInPixels_ = r;
    rect_ = scaled(r, 1 / factor());
}
void GxSpriteFrame::setOffset(Point p) {
    offset_ = p;
    offsetInPixels_ = p * factor();
}
void GxSpriteFrame::setOffsetInPixels(Point p) {
    offsetInPixels_ = p;
    offset_ = p * (1 / factor());
}

std::shared_ptr<GxTexture2D> GxSpriteFrame::texture() const {
    if (texture_) return texture_;
    if (!textureFilename_.empty()) return GxTextureCache::sharedTextureCache().addImage(textureFilename_);
    return nullptr;
}

std::shared_ptr<GxSpriteFrame> GxSpriteFrame::copy() const {
    auto f =
        frameWithTextureFilename(textureFilename_, rectInPixels_, rotated_, offsetInPixels_, originalSizeInPixels_);
    f->texture_ = texture_;
    return f;
}

std::string GxSpriteFrame::description() const {
    char buf[200];
    std::snprintf(buf, sizeof buf, "<GxSpriteFrame = %p | Texture=%s, Rect = (%.2f,%.2f,%.2f,%.2f)> rotated:%d",
                  static_cast<const void*>(this), textureFilename_.empty() ? "(null)" : textureFilename_.c_str(),
                  double(rect_.origin.x), double(rect_.origin.y), double(rect_.size.width), double(rect_.size.height),
                  int(rotated_));
    return buf;
}

namespace {
std::unique_ptr<GxSpriteFrameCache>& sharedFrames() {
    static std::unique_ptr<GxSpriteFrameCache> c;
    return c;
}
const foundation::Value* get(const foundation::Value& v, const char* key) { return v.get(key); }
float num(const foundation::Value& v, const char* key) {
    auto* x = get(v, key);
    return x ? float(x->doubleValue()) : 0;
}
std::string str(const foundation::Value& v, const char* key) {
    auto* x = get(v, key);
    return x && x->asString() ? *x->asString() : std::string();
}
bool flag(const foundation::Value& v, const char* key) {
    auto* x = get(v, key);
    return x && x->boolValue();
}
std::string directoryOf(const std::string& p) {
    auto slash = p.rfind('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}
}  // namespace

GxSpriteFrameCache& GxSpriteFrameCache::sharedSpriteFrameCache() {
    if (!sharedFrames()) {
        sharedFrames() = std::make_unique<GxSpriteFrameCache>();
        GxDirector::registerCachePurge(GxDirector::CachePurge::SpriteFrames, [] { purgeSharedSpriteFrameCache(); });
        foundation::registerResetter("engine2d.spriteFrames", foundation::ResetPhase::Cache,
                                     [] { purgeSharedSpriteFrameCache(); });
    }
    return *sharedFrames();
}

void GxSpriteFrameCache::purgeSharedSpriteFrameCache() { sharedFrames().reset(); }

bool GxSpriteFrameCache::addFrames(const foundation::Dictionary& d, const std::string* filename,
                                   const std::shared_ptr<GxTexture2D>* texture) {
    int format = 0;
    if (auto* meta = d.find("metadata")) {
        auto* f = meta->get("format");
        format = f ? f->intValue() : 0;
    }
    if (format < 0 || format > 3) {
        foundation::warn("engine2d: sprite sheet of unknown format %d not read", format);
        return false;
    }
    auto* frames = d.find("frames");
    if (!frames || !frames->asDictionary()) return true;
    for (const auto& [name, entry] : *frames->asDictionary()) {
        if (!entry.isDictionary()) continue;
        Rect rect;
        bool rotated = false;
        Point offset;
        Size original;
        if (format == 0) {
            rect = Rect{{num(entry, "x"), num(entry, "y")}, {num(entry, "width"), num(entry, "height")}};
            offset = Point{num(entry, "offsetX"), num(entry, "offsetY")};
            auto* ow = get(entry, "originalWidth");
            auto* oh = get(entry, "originalHeight");
            original = Size{float(std::abs(ow ? ow->intValue() : 0)), float(std::abs(oh ? oh->intValue() : 0))};
        } else if (format == 1 || format == 2) {
            rect = gxRectFromString(str(entry, "frame"));
            offset = gxPointFromString(str(entry, "offset"));
            original = gxSizeFromString(str(entry, "sourceSize"));
            rotated = format == 2 && flag(entry, "rotated");
        } else {
            Size spriteSize = gxSizeFromString(str(entry, "spriteSize"));
            offset = gxPointFromString(str(entry, "spriteOffset"));
            original = gxSizeFromString(str(entry, "spriteSourceSize"));
            Rect textureRect = gxRectFromString(str(entry, "textureRect"));
            rotated = flag(entry, "textureRotated");
            rect = Rect{textureRect.origin, spriteSize};
            if (auto* aliases = get(entry, "aliases"); aliases && aliases->asArray())
                for (const auto& a : *aliases->asArray())
                    if (a.asString()) spriteFramesAliases_[*a.asString()] = name;
        }
        std::shared_ptr<GxSpriteFrame> frame;
        if (filename)
            frame = GxSpriteFrame::frameWithTextureFilename(*filename, rect, rotated, offset, original);
        else
            frame = GxSpriteFrame::frameWithTexture(texture ? *texture : nullptr, rect, rotated, offset, original);
        spriteFrames_[name] = frame;
    }
    return true;
}

bool GxSpriteFrameCache::addSpriteFramesWithDictionary(const foundation::Dictionary& d, const std::string& file) {
    return addFrames(d, &file, nullptr);
}

bool GxSpriteFrameCache::addSpriteFramesWithDictionary(const foundation::Dictionary& d,
                                                       std::shared_ptr<GxTexture2D> texture) {
    return addFrames(d, nullptr, &texture);
}

void GxSpriteFrameCache::addSpriteFramesWithFile(const std::string& plistName) {
    auto path = GxFileUtils::sharedFileUtils().fullPathFromRelativePath(plistName);
    auto d = plist::readDictionary(path);
    if (!d) return;
    std::string textureName;
    const foundation::Value* meta = d->find("metadata");
    const foundation::Value* tf = meta ? meta->get("textureFileName") : nullptr;
    if (tf && tf->asString()) {
        textureName = directoryOf(plistName) + *tf->asString();
    } else {
        textureName = plistName;
        auto dot = textureName.rfind('.');
        auto slash = textureName.rfind('/');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) textureName.resize(dot);
        textureName += ".png";
    }
    addSpriteFramesWithDictionary(*d, textureName);
}

void GxSpriteFrameCache::addSpriteFramesWithFile(const std::string& plistName, const std::string& textureFilename) {
    auto d = plist::readDictionary(GxFileUtils::sharedFileUtils().fullPathFromRelativePath(plistName));
    if (d) addSpriteFramesWithDictionary(*d, textureFilename);
}

void GxSpriteFrameCache::addSpriteFramesWithFile(const std::string& plistName, std::shared_ptr<GxTexture2D> texture) {
    auto d = plist::readDictionary(GxFileUtils::sharedFileUtils().fullPathFromRelativePath(plistName));
    if (d) addSpriteFramesWithDictionary(*d, std::move(texture));
}

void GxSpriteFrameCache::addSpriteFrame(std::shared_ptr<GxSpriteFrame> frame, const std::string& name) {
    spriteFrames_[name] = std::move(frame);
}

std::shared_ptr<GxSpriteFrame> GxSpriteFrameCache::spriteFrameByName(const std::string& name) const {
    auto it = spriteFrames_.find(name);
    if (it != spriteFrames_.end()) return it->second;
    auto alias = spriteFramesAliases_.find(name);
    if (alias == spriteFramesAliases_.end()) return nullptr;
    it = spriteFrames_.find(alias->second);
    return it == spriteFrames_.end() ? nullptr : it->second;
}

void GxSpriteFrameCache::removeSpriteFrames() {
    spriteFrames_.clear();
    spriteFramesAliases_.clear();
}

void GxSpriteFrameCache::removeUnusedSpriteFrames() {
    std::erase_if(spriteFrames_, [](const auto& kv) { return kv.second.use_count() == 1; });
}

void GxSpriteFrameCache::removeSpriteFrameByName(const std::string& name) {
    auto alias = spriteFramesAliases_.find(name);
    if (alias != spriteFramesAliases_.end()) {
        spriteFrames_.erase(alias->second);
        spriteFramesAliases_.erase(alias);
    } else {
        spriteFrames_.erase(name);
    }
}

void GxSpriteFrameCache::removeSpriteFramesFromFile(const std::string& plistName) {
    auto d = plist::readDictionary(GxFileUtils::sharedFileUtils().fullPathFromRelativePath(plistName));
    if (d) removeSpriteFramesFromDictionary(*d);
}

void GxSpriteFrameCache::removeSpriteFramesFromDictionary(const foundation::Dictionary& d) {
    auto* frames = d.find("frames");
    if (!frames || !frames->asDictionary()) return;
    for (const auto& kv : *frames->asDictionary()) spriteFrames_.erase(kv.first);
}

void GxSpriteFrameCache::removeSpriteFramesFromTexture(const std::shared_ptr<GxTexture2D>& texture) {
    // A frame naming its file is compared with what the texture cache holds
    // for that file: it is not loaded just to be checked.
    if (!texture) return;
    std::erase_if(spriteFrames_, [&](const auto& kv) {
        const auto& f = *kv.second;
        if (!f.textureFilename().empty()) {
            auto key = GxFileUtils::sharedFileUtils().removeSuffixFromFile(f.textureFilename());
            return GxTextureCache::sharedTextureCache().textureForKey(key) == texture;
        }
        return f.texture() == texture;
    });
}

std::string GxSpriteFrameCache::description() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "<GxSpriteFrameCache = %p | num of sprite frames =  %zu>",
                  static_cast<const void*>(this), spriteFrames_.size());
    return buf;
}

}  // namespace engine2d
