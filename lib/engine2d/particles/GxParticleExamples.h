#pragma once
// Ready-made particle systems: eleven quad systems that differ only in their
// capacity and parameters. All use the texture "fire.png", gravity mode,
// constant size and the free position type, and place themselves relative
// to the window size in points.

#include "lib/engine2d/particles/GxParticleSystemQuad.h"

namespace engine2d {

#define GX_PARTICLE_PRESET(Name, Capacity)                                 \
    class Name : public GxParticleSystemQuad {                             \
    public:                                                                \
        static constexpr unsigned kCapacity = Capacity;                    \
        static std::shared_ptr<Name> node() {                              \
            auto s = std::make_shared<Name>();                             \
            if (!s->init()) return nullptr;                                \
            return s;                                                      \
        }                                                                  \
        const char* className() const override { return #Name; }           \
        bool init() override { return initWithTotalParticles(kCapacity); } \
        bool initWithTotalParticles(unsigned n) override;                  \
    };

GX_PARTICLE_PRESET(GxParticleFireworks, 1500)
GX_PARTICLE_PRESET(GxParticleFire, 250)
GX_PARTICLE_PRESET(GxParticleSun, 350)
GX_PARTICLE_PRESET(GxParticleGalaxy, 200)
GX_PARTICLE_PRESET(GxParticleFlower, 250)
GX_PARTICLE_PRESET(GxParticleMeteor, 150)
GX_PARTICLE_PRESET(GxParticleSpiral, 500)
GX_PARTICLE_PRESET(GxParticleExplosion, 700)
GX_PARTICLE_PRESET(GxParticleSmoke, 200)
GX_PARTICLE_PRESET(GxParticleSnow, 700)
GX_PARTICLE_PRESET(GxParticleRain, 1000)

#undef GX_PARTICLE_PRESET

}  // namespace engine2d
