#include "lib/engine2d/textures/GxTextureCache.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxGLView.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/support/GxThreadBlocks.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"
#include "platform/ui/Image.h"

namespace engine2d {

namespace {
std::unique_ptr<GxTextureCache>& shared() {
    static std::unique_ptr<GxTextureCache> instance;
    return instance;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
}  // namespace

GxTextureCache& GxTextureCache::sharedTextureCache() {
    if (!shared()) {
        shared() = std::make_unique<GxTextureCache>();
        GxDirector::registerCachePurge(GxDirector::CachePurge::Textures, [] { purgeSharedTextureCache(); });
        GxDirector::registerCachePurge(GxDirector::CachePurge::UnusedTextures, [] {
            if (shared()) shared()->removeUnusedTextures();
        });
        foundation::registerResetter("engine2d.textures", foundation::ResetPhase::Cache,
                                     [] { purgeSharedTextureCache(); });
    }
    return *shared();
}

void GxTextureCache::purgeSharedTextureCache() { shared().reset(); }

GxTextureCache::GxTextureCache() = default;

GxTextureCache::~GxTextureCache() {
    stopping_ = true;  // loads still queued are dropped
    std::unique_ptr<foundation::SerialQueue> loader;
    {
        std::lock_guard<std::mutex> lock(loaderMutex_);
        loader = std::move(loader_);
    }
    if (loader) {
        loader->async([] { gl::Context::clearCurrent(); });
        loader.reset();  // runs what is queued, then ends its thread
    }
    std::lock_guard<std::mutex> lock(dictMutex_);
    textures_.clear();
}

std::shared_ptr<GxTexture2D> GxTextureCache::textureForKey(const std::string& key) const {
    std::lock_guard<std::mutex> lock(dictMutex_);
    auto it = textures_.find(key);
    return it == textures_.end() ? nullptr : it->second;
}

std::shared_ptr<GxTexture2D> GxTextureCache::addImage(const std::string& path) {
    std::string key = GxFileUtils::sharedFileUtils().removeSuffixFromFile(path);
    if (auto t = textureForKey(key)) return t;
    std::string lower = key;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (endsWith(lower, ".pvr") || endsWith(lower, ".pvr.gz") || endsWith(lower, ".pvr.ccz")) return addPVRImage(key);
    int resolution = 0;
    std::string full = GxFileUtils::sharedFileUtils().fullPathFromRelativePath(key, &resolution);
    // A name that leads to a folder (an empty name in a map file, say) is
    // no picture; the decoder is not handed it.
    if (foundation::isDirectory(full)) {
        foundation::warn("engine2d: GxTextureCache: %s is a folder, not a picture", full.c_str());
        return nullptr;
    }
    auto image = ui::Image::fromFile(full);
    if (!image) {
        foundation::warn("engine2d: GxTextureCache: cannot decode %s", full.c_str());
        return nullptr;
    }
    auto t = GxTexture2D::textureWithImage(image, resolution);
    if (!t) return nullptr;
    std::lock_guard<std::mutex> lock(dictMutex_);
    // Another thread may have loaded the same file meanwhile: keep one.
    auto [it, inserted] = textures_.emplace(key, t);
    return it->second;
}

std::shared_ptr<GxTexture2D> GxTextureCache::addPVRImage(const std::string& path) {
    std::string key = GxFileUtils::sharedFileUtils().removeSuffixFromFile(path);
    if (auto t = textureForKey(key)) return t;
    auto t = GxTexture2D::textureWithPVRFile(key);
    if (!t) return nullptr;
    std::lock_guard<std::mutex> lock(dictMutex_);
    auto [it, inserted] = textures_.emplace(key, t);
    return it->second;
}

void GxTextureCache::addImageAsync(const std::string& path, Callback callback) {
    std::string key = GxFileUtils::sharedFileUtils().removeSuffixFromFile(path);
    if (auto t = textureForKey(key)) {
        if (callback) callback(t);
        return;
    }
    std::lock_guard<std::mutex> lock(loaderMutex_);
    if (!loader_) {
        // The loader's context shares objects with the view's when a view exists.
        std::shared_ptr<gl::Context> share;
        if (auto& view = GxDirector::sharedDirector().openGLView())
            share = view->context();
        else if (gl::Context* c = gl::Context::current())
            share = c->sharegroup();
        auxContext_ = gl::Context::create(share);
        // One thread, so the loader's context stays current on it.
        loader_ = std::make_unique<foundation::SerialQueue>("texture.load");
        loader_->async([this] { auxCurrent_ = auxContext_ && auxContext_->makeCurrent(); });
    }
    loader_->async([this, key, callback = std::move(callback)] { load(key, callback); });
}

void GxTextureCache::load(const std::string& key, const Callback& callback) {
    if (stopping_) return;
    if (!auxCurrent_) {
        foundation::warn("engine2d: GxTextureCache: no loader context; %s not loaded", key.c_str());
        return;
    }
    auto t = addImage(key);
    // The upload must be complete before the main thread's context uses it.
    gl::Finish();
    // Delivered on the engine's running thread, in the order asked.
    performBlock(
        GxDirector::sharedDirector().runningThread(),
        [callback](const std::shared_ptr<void>& texture) {
            if (callback) callback(std::static_pointer_cast<GxTexture2D>(texture));
        },
        t, false);
}

std::shared_ptr<GxTexture2D> GxTextureCache::addCGImage(const std::shared_ptr<ui::Image>& image,
                                                        const std::string& key) {
    if (!key.empty())
        if (auto t = textureForKey(key)) return t;
    auto t = GxTexture2D::textureWithImage(image, 0);
    if (t && !key.empty()) {
        std::lock_guard<std::mutex> lock(dictMutex_);
        textures_[key] = t;
    }
    return t;
}

void GxTextureCache::removeAllTextures() {
    std::lock_guard<std::mutex> lock(dictMutex_);
    textures_.clear();
}

void GxTextureCache::removeUnusedTextures() {
    std::lock_guard<std::mutex> lock(dictMutex_);
    std::erase_if(textures_, [](const auto& kv) { return kv.second.use_count() == 1; });
}

void GxTextureCache::removeTexture(const std::shared_ptr<GxTexture2D>& texture) {
    if (!texture) return;
    std::lock_guard<std::mutex> lock(dictMutex_);
    std::erase_if(textures_, [&](const auto& kv) { return kv.second == texture; });
}

void GxTextureCache::removeTextureForKey(const std::string& key) {
    std::lock_guard<std::mutex> lock(dictMutex_);
    textures_.erase(key);
}

size_t GxTextureCache::count() const {
    std::lock_guard<std::mutex> lock(dictMutex_);
    return textures_.size();
}

std::string GxTextureCache::description() const {
    std::lock_guard<std::mutex> lock(dictMutex_);
    char buf[96];
    std::snprintf(buf, sizeof buf, "<GxTextureCache = %p | num of textures =  %zu | keys: (",
                  static_cast<const void*>(this), textures_.size());
    std::string out = buf;
    bool first = true;
    for (const auto& kv : textures_) {
        out += (first ? "" : ", ") + kv.first;
        first = false;
    }
    return out + ")>";
}

void GxTextureCache::dumpCachedTextureInfo() const {
    std::lock_guard<std::mutex> lock(dictMutex_);
    unsigned long total = 0;
    for (const auto& [key, t] : textures_) {
        unsigned long bytes = (unsigned long)(t->bitsPerPixelForFormat()) * t->pixelsWide() * t->pixelsHigh() / 8;
        total += bytes;
        foundation::warn("engine2d: \"%s\"\trc=%lu\tid=%u\t%u x %u\t@ %d bpp =>\t%lu KB", key.c_str(),
                         (unsigned long)t.use_count(), t->name(), t->pixelsWide(), t->pixelsHigh(),
                         t->bitsPerPixelForFormat(), bytes / 1024);
    }
    foundation::warn("engine2d: GxTextureCache dumpDebugInfo:\t%zu textures,\tfor %lu KB (%.2f MB)", textures_.size(),
                     total / 1024, double(total) / 1048576.0);
}

}  // namespace engine2d
