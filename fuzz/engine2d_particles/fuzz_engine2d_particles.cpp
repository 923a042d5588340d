// Particle files on arbitrary bytes: the property list, the system it
// describes (capacity, modes, embedded texture) and a few steps of it, on a
// real GL context so embedded textures are decoded and uploaded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/particles/GxParticleSystemQuad.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/gl/Context.h"
#include "platform/plist/PropertyList.h"

namespace {
std::shared_ptr<gl::Context> context;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    if (gl::Context::available()) {
        context = gl::Context::create();
        if (context && context->makeCurrent()) engine2d::gxGLCacheReset();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto root = plist::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!root) return 0;
    const foundation::Dictionary* d = root->asDictionary();
    if (!d) return 0;
    auto s = engine2d::GxParticleSystem::particleWithDictionary<engine2d::GxParticleSystemQuad>(*d);
    if (s) {
        if (s->totalParticles() > engine2d::GxParticleSystem::kMaxParticles) __builtin_trap();
        for (int i = 0; i < 3; ++i) s->update(1 / 30.0f);
        if (s->particleCount() > s->totalParticles()) __builtin_trap();
        s->cleanup();
    }
    engine2d::GxTextureCache::sharedTextureCache().removeAllTextures();
    return 0;
}
