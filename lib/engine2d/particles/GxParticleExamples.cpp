#include "lib/engine2d/particles/GxParticleExamples.h"

#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTextureCache.h"

namespace engine2d {

namespace {

enum class Rate { PerLife, PerDuration, Fixed };

struct Preset {
    float duration;
    Point gravity;
    float speed, speedVar, radialAccel, radialAccelVar, tangentialAccel, tangentialAccelVar;
    float angle, angleVar;
    Point position, posVar;
    float life, lifeVar;
    float startSize, startSizeVar;
    Rate rate;
    float fixedRate;
    gxColor4F startColor, startColorVar, endColor, endColorVar;
    bool additive;
};

Size win() { return GxEnvironment::shared().winSize; }

void apply(GxParticleSystemQuad* s, unsigned n, const Preset& p) {
    s->setDuration(p.duration);
    s->setEmitterMode(kGxParticleModeGravity);
    s->setGravity(p.gravity);
    s->setSpeed(p.speed);
    s->setSpeedVar(p.speedVar);
    s->setRadialAccel(p.radialAccel);
    s->setRadialAccelVar(p.radialAccelVar);
    s->setTangentialAccel(p.tangentialAccel);
    s->setTangentialAccelVar(p.tangentialAccelVar);
    s->setAngle(p.angle);
    s->setAngleVar(p.angleVar);
    s->setPosition(p.position);
    s->setPosVar(p.posVar);
    s->setLife(p.life);
    s->setLifeVar(p.lifeVar);
    s->setStartSize(p.startSize);
    s->setStartSizeVar(p.startSizeVar);
    s->setEndSize(kGxParticleStartSizeEqualToEndSize);
    switch (p.rate) {
        case Rate::PerLife:
            s->setEmissionRate(float(n) / p.life);
            break;
        case Rate::PerDuration:
            s->setEmissionRate(float(n) / p.duration);
            break;
        case Rate::Fixed:
            s->setEmissionRate(p.fixedRate);
            break;
    }
    s->setStartColor(p.startColor);
    s->setStartColorVar(p.startColorVar);
    s->setEndColor(p.endColor);
    s->setEndColorVar(p.endColorVar);
    s->setTexture(GxTextureCache::sharedTextureCache().addImage("fire.png"));
    s->setBlendAdditive(p.additive);
}

constexpr gxColor4F kNone{0, 0, 0, 0};
constexpr gxColor4F kBlack{0, 0, 0, 1};

}  // namespace

bool GxParticleFireworks::initWithTotalParticles(unsigned n) {
    if (!GxParticleSystemQuad::initWithTotalParticles(n)) return false;
    Size w = win();
    apply(this, n,
          {-1,
           {0, -90},
           180,
           50,
           0,
           0,
           0,
           0,
           90,
           20,
           {w.width / 2, w.height / 2},
           {0, 0},
           3.5f,
           1,
           8,
           2,
           Rate::PerLife,
           0,
           {0.5f, 0.5f, 0.5f, 1},
           {0.5f, 0.5f, 0.5f, 0.1f},
           {0.1f, 0.1f, 0.1f, 0.2f},
           {0.1f, 0.1f, 0.1f, 0.2f},
           false});
    return true;
}

bool GxParticleFire::initWithTotalParticles(unsigned n) {
    if (!GxParticleSystemQuad::initWithTotalParticles(n)) return false;
    Size w = win();
    apply(this, n,
          {-1,
           {0, 0},
           60,
           20,
           0,
           0,
           0,
           0,
           90,
           10,
           {w.width / 2, 60},
           {40, 20},
           3,
           0.25f,
           54,
           10,
           Rate::PerLife,
           0,
           {0.76f, 0.25f, 0.12f, 1},
           kNone,
           kBlack,
           kNone,
           true});
    return true;
}

bool GxParticleSun::initWithTotalParticles(unsigned n) {
    if (!GxParticleSystemQuad::initWithTotalParticles(n)) return false;
    // Additive before anything else: the texture then leaves it in place.
    setBlendAdditive(true);
    Size w = win();
    apply(this, n,
          {-1,
           {0, 0},
           20,
           5,
           0,
           0,
           0,
           0,
           90,
           360,
           {w.width / 2, w.height / 2},
           {0, 0},
           1,
           0.5f,
           30,
           10,
           Rate::PerLife,
           0,
           {0.76f, 0.25f, 0.12f, 1},
           kNone,
           kBlack,
           kNone,
           true});
    return true;
}

bool GxParticleGalaxy::initWithTotalParticles(unsigned n) {
    if (!GxParticleSystemQuad::initWithTotalParticles(n)) return false;
    Size w = win();
    apply(this, n,
          {-1,
           {0, 0},
           60,
           10,
           -80,
           0,
           80,
           0,
           90,
           360,
           {w.width / 2, w.height / 2},
           {0, 0},
           4,
           1,
           37,
           10,
           Rate::PerLife,
           0,
           {0.12f, 0.25f, 0.76f, 1},
           kNone,
           kBlack,
           kNone,
           true});
    return true;
}

bool GxParticleFlower::initWithTotalParticles(unsigned n) {
    if (!GxParticleSystemQuad::initWithTotalParticles(n)) return false;
    Size w = win();
    apply(this, n,
          {-1,
           {0, 0},
           80,
           10,
           -60,
           0,
           15,
           0,
           90,
           360,
           {w.width / 2, w.height / 2},
           {0, 0},
           4,
           1,
           30,
           10,
           Rate::PerLife,
           0,
           {0.5f, 0.5f, 0.5f, 1},
           {0.5f, 0.5f, 0.5f, 0.5f},
           kBlack,
           kNone,
           true});
    return true;
}

bool GxParticleMeteor::initWithTotalParticles(unsigned n) {
    if (!GxParticleSystemQuad::initWithTotalParticles(n)) return false;
    Size w = win();
    apply(this, n,
          {-1,
           {-200, 200},
           15,
           5,
           0,
           0,
           0,
           0,
           90,
           360,
           {w.width / 2, w.height / 2},
           {0, 0},
           2,
           1,
           60,
           10,
           Rate::PerLife,
           0,
           {0.2f, 0.4f, 0.7f, 1},
           {0, 0, 0.2f, 0.1f},
           kBlack,
           kNone,
           true});
    return true;
}

bool GxParticleSpiral::initWithTotalParticles(unsigned n) {
    if (!GxParticleSystemQuad::initWithTotalParticles(n)) return false;
    Size w = win();
    apply(this, n,
          {-1,
           {0, 0},
           150,
           0,
           -380,
           0,
           45,
           0,
           90,
           0,
           {w.width / 2, w.height / 2},
           {0, 0},
           12,
           0,
           20,
           0,
           Rate::PerLife,
           0,
           {0.5f, 0.5f, 0.5f, 1},
           {0.5f, 0.5f, 0.5f, 0},
           {0.5f, 0.5f, 0.5f, 1},
           {0.5f, 0.5f, 0.5f, 0},
           false});
    return true;
}

bool GxParticleExplosion::initWithTotalParticles(unsigned n) {
    if (!GxParticleSystemQuad::initWithTotalParticles(n)) return false;
    Size w = win();
    apply(this, n,
          {0.1f,
           {0, 0},
           70,
           40,
           0,
           0,
           0,
           0,
           90,
           360,
           {w.width / 2, w.height / 2},
           {0, 0},
           5,
           2,
           15,
           10,
           Rate::PerDuration,
           0,
           {0.7f, 0.1f, 0.2f, 1},
           {0.5f, 0.5f, 0.5f, 0},
           {0.5f, 0.5f, 0.5f, 0},
           {0.5f, 0.5f, 0.5f, 0},
           false});
    return true;
}

bool GxParticleSmoke::initWithTotalParticles(unsigned n) {
    if (!GxParticleSystemQuad::initWithTotalParticles(n)) return false;
    Size w = win();
    apply(this, n,
          {-1,
           {0, 0},
           25,
           10,
           0,
           0,
           0,
           0,
           90,
           5,
           {w.width / 2, 0},
           {20, 0},
           4,
           1,
           60,
           10,
           Rate::PerLife,
           0,
           {0.8f, 0.8f, 0.8f, 1},
           {0.02f, 0.02f, 0.02f, 0},
           kBlack,
           kNone,
           false});
    return true;
}

bool GxParticleSnow::initWithTotalParticles(unsigned n) {
    if (!GxParticleSystemQuad::initWithTotalParticles(n)) return false;
    Size w = win();
    apply(this, n,
          {-1,
           {0, -1},
           5,
           1,
           0,
           1,
           0,
           1,
           -90,
           5,
           {w.width / 2, w.height + 10},
           {w.width / 2, 0},
           45,
           15,
           10,
           5,
           Rate::Fixed,
           10,
           {1, 1, 1, 1},
           kNone,
           {1, 1, 1, 0},
           kNone,
           false});
    return true;
}

bool GxParticleRain::initWithTotalParticles(unsigned n) {
    if (!GxParticleSystemQuad::initWithTotalParticles(n)) return false;
    Size w = win();
    apply(this, n,
          {-1,
           {10, -10},
           130,
           30,
           0,
           1,
           0,
           1,
           -90,
           5,
           {w.width / 2, w.height},
           {w.width / 2, 0},
           4.5f,
           0,
           4,
           2,
           Rate::Fixed,
           20,
           {0.7f, 0.8f, 1, 1},
           kNone,
           {0.7f, 0.8f, 1, 0.5f},
           kNone,
           false});
    return true;
}

}  // namespace engine2d
