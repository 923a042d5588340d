#pragma once
// The single owner of textures loaded from files: each file is decoded and
// uploaded once and shared by name. Loads run synchronously on the caller's
// thread or asynchronously on the `texture.load` serial queue, whose one
// thread keeps a GL context of its own current (in the share group of the
// director's view, with a state cache of its own); results come back on the
// main run loop in the order of the requests.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "lib/engine2d/textures/GxTexture2D.h"

namespace gl {
class Context;
}
namespace foundation {
class SerialQueue;
}

namespace engine2d {

class GxTextureCache {
public:
    using Callback = std::function<void(std::shared_ptr<GxTexture2D>)>;

    static GxTextureCache& sharedTextureCache();
    static void purgeSharedTextureCache();

    GxTextureCache();
    ~GxTextureCache();

    std::shared_ptr<GxTexture2D> addImage(const std::string& path);
    std::shared_ptr<GxTexture2D> addPVRImage(const std::string& path);
    // A cached image calls back before returning; a miss is loaded on the
    // loader queue and delivered on the main run loop.
    void addImageAsync(const std::string& path, Callback callback);
    std::shared_ptr<GxTexture2D> addCGImage(const std::shared_ptr<ui::Image>& image, const std::string& key);
    std::shared_ptr<GxTexture2D> textureForKey(const std::string& key) const;
    void removeAllTextures();
    // Removes the textures nothing but the cache holds.
    void removeUnusedTextures();
    void removeTexture(const std::shared_ptr<GxTexture2D>& texture);
    void removeTextureForKey(const std::string& key);
    size_t count() const;
    std::string description() const;
    void dumpCachedTextureInfo() const;

private:
    // On the loader queue.
    void load(const std::string& key, const Callback& callback);

    mutable std::mutex dictMutex_;
    std::map<std::string, std::shared_ptr<GxTexture2D>> textures_;

    std::mutex loaderMutex_;
    std::unique_ptr<foundation::SerialQueue> loader_;
    std::atomic<bool> stopping_{false};
    std::shared_ptr<gl::Context> auxContext_;
    bool auxCurrent_ = false;  // read and written on the loader queue only
};

}  // namespace engine2d
