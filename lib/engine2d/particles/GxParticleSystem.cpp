#include "lib/engine2d/particles/GxParticleSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "lib/engine2d/files/GxContainers.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/particles/GxParticleBatchNode.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Value.h"
#include "platform/plist/PropertyList.h"
#include "platform/ui/Image.h"

namespace engine2d {

namespace {

constexpr unsigned kGLOne = 1, kGLSrcAlpha = 0x0302, kGLOneMinusSrcAlpha = 0x0303;

// A term in [-1, 1) from the C library's generator (not seeded here).
inline float randomMinus1To1() { return float(::random()) * 9.313226e-10f - 1.0f; }

float number(const foundation::Dictionary& d, const char* key) {
    const foundation::Value* v = d.find(key);
    return v ? float(v->doubleValue()) : 0.0f;
}

int integer(const foundation::Dictionary& d, const char* key) {
    const foundation::Value* v = d.find(key);
    return v ? v->intValue() : 0;
}

std::string text(const foundation::Dictionary& d, const char* key) {
    const foundation::Value* v = d.find(key);
    if (!v) return {};
    if (const std::string* s = v->asString()) return *s;
    return {};
}

}  // namespace

GxParticleSystem::GxParticleSystem() = default;

GxParticleSystem::~GxParticleSystem() = default;

bool GxParticleSystem::init() { return initWithTotalParticles(kDefaultParticles); }

bool GxParticleSystem::initWithTotalParticles(unsigned n) {
    if (n > kMaxParticles) {
        foundation::warn("engine2d: GxParticleSystem: %u particles is more than %u", n, kMaxParticles);
        return false;
    }
    if (!GxNode::init()) return false;
    try {
        particles_.assign(n, sGxParticle{});
    } catch (const std::bad_alloc&) {
        return false;
    }
    totalParticles_ = allocatedParticles_ = n;
    particleCount_ = 0;
    active_ = true;
    blendFunc_ = gxBlendFunc{kGLOne, kGLOneMinusSrcAlpha};
    positionType_ = kGxPositionTypeFree;
    emitterMode_ = kGxParticleModeGravity;
    autoRemoveOnFinish_ = false;
    scheduleUpdateWithPriority(1);
    return true;
}

bool GxParticleSystem::initWithFile(const std::string& path) {
    std::string full = GxFileUtils::sharedFileUtils().fullPathFromRelativePath(path);
    auto d = plist::readDictionary(full);
    if (!d) {
        foundation::warn("engine2d: GxParticleSystem: cannot read %s", full.c_str());
        return initWithDictionary(foundation::Dictionary{});
    }
    return initWithDictionary(*d);
}

bool GxParticleSystem::initWithDictionary(const foundation::Dictionary& d) {
    int capacity = integer(d, "maxParticles");
    if (capacity < 0 || !initWithTotalParticles(unsigned(capacity))) return false;

    angle_ = number(d, "angle");
    angleVar_ = number(d, "angleVariance");
    duration_ = number(d, "duration");
    blendFunc_.src = unsigned(integer(d, "blendFuncSource"));
    blendFunc_.dst = unsigned(integer(d, "blendFuncDestination"));
    startColor_ = {number(d, "startColorRed"), number(d, "startColorGreen"), number(d, "startColorBlue"),
                   number(d, "startColorAlpha")};
    startColorVar_ = {number(d, "startColorVarianceRed"), number(d, "startColorVarianceGreen"),
                      number(d, "startColorVarianceBlue"), number(d, "startColorVarianceAlpha")};
    endColor_ = {number(d, "finishColorRed"), number(d, "finishColorGreen"), number(d, "finishColorBlue"),
                 number(d, "finishColorAlpha")};
    endColorVar_ = {number(d, "finishColorVarianceRed"), number(d, "finishColorVarianceGreen"),
                    number(d, "finishColorVarianceBlue"), number(d, "finishColorVarianceAlpha")};
    startSize_ = number(d, "startParticleSize");
    startSizeVar_ = number(d, "startParticleSizeVariance");
    endSize_ = number(d, "finishParticleSize");
    endSizeVar_ = number(d, "finishParticleSizeVariance");
    // The file's source position places the node; the emitter's own source
    // position stays at the node's origin.
    setPosition(Point{number(d, "sourcePositionx"), number(d, "sourcePositiony")});
    posVar_ = {number(d, "sourcePositionVariancex"), number(d, "sourcePositionVariancey")};
    startSpin_ = number(d, "rotationStart");
    startSpinVar_ = number(d, "rotationStartVariance");
    endSpin_ = number(d, "rotationEnd");
    endSpinVar_ = number(d, "rotationEndVariance");
    emitterMode_ = integer(d, "emitterType");

    if (emitterMode_ == kGxParticleModeGravity) {
        setGravity(Point{number(d, "gravityx"), number(d, "gravityy")});
        setSpeed(number(d, "speed"));
        setSpeedVar(number(d, "speedVariance"));
        setRadialAccel(number(d, "radialAcceleration"));
        setRadialAccelVar(number(d, "radialAccelVariance"));
        setTangentialAccel(number(d, "tangentialAcceleration"));
        setTangentialAccelVar(number(d, "tangentialAccelVariance"));
    } else if (emitterMode_ == kGxParticleModeRadius) {
        setStartRadius(number(d, "maxRadius"));
        setStartRadiusVar(number(d, "maxRadiusVariance"));
        setEndRadius(number(d, "minRadius"));
        setEndRadiusVar(0);
        setRotatePerSecond(number(d, "rotatePerSecond"));
        setRotatePerSecondVar(number(d, "rotatePerSecondVariance"));
    }

    life_ = number(d, "particleLifespan");
    lifeVar_ = number(d, "particleLifespanVariance");
    // A full system is sustained: as many births per second as die.
    emissionRate_ = float(totalParticles_) / life_;

    if (!batchNodeSet_) {
        if (auto t = textureFromDictionary(d)) setTexture(std::move(t));
    }
    return true;
}

std::shared_ptr<GxTexture2D> GxParticleSystem::textureFromDictionary(const foundation::Dictionary& d) {
    std::string name = text(d, "textureFileName");
    auto& cache = GxTextureCache::sharedTextureCache();
    if (!name.empty()) {
        if (auto t = cache.addImage(name)) return t;
    }
    std::string data = text(d, "textureImageData");
    if (data.empty()) return nullptr;
    std::vector<uint8_t> compressed;
    if (Base64Utils(reinterpret_cast<const uint8_t*>(data.data()), data.size(), compressed) == 0) {
        foundation::warn("engine2d: GxParticleSystem: textureImageData is not base64");
        return nullptr;
    }
    std::vector<uint8_t> bytes;
    if (gxInflateBuffer(compressed.data(), compressed.size(), bytes) == 0) {
        foundation::warn("engine2d: GxParticleSystem: textureImageData does not inflate");
        return nullptr;
    }
    auto image = ui::Image::fromData(bytes);
    if (!image) {
        foundation::warn("engine2d: GxParticleSystem: textureImageData is not a picture");
        return nullptr;
    }
    return cache.addCGImage(image, name);
}

bool GxParticleSystem::addParticle() {
    if (isFull()) return false;
    initParticle(&particles_[particleCount_]);
    ++particleCount_;
    return true;
}

void GxParticleSystem::initParticle(sGxParticle* p) {
    p->timeToLive = std::max(0.0f, life_ + lifeVar_ * randomMinus1To1());
    p->location.x = sourcePosition_.x + posVar_.x * randomMinus1To1();
    p->location.y = sourcePosition_.y + posVar_.y * randomMinus1To1();

    gxColor4F start, end;
    start.r = gxClampFloat(startColor_.r + startColorVar_.r * randomMinus1To1(), 0, 1);
    start.g = gxClampFloat(startColor_.g + startColorVar_.g * randomMinus1To1(), 0, 1);
    start.b = gxClampFloat(startColor_.b + startColorVar_.b * randomMinus1To1(), 0, 1);
    start.a = gxClampFloat(startColor_.a + startColorVar_.a * randomMinus1To1(), 0, 1);
    end.r = gxClampFloat(endColor_.r + endColorVar_.r * randomMinus1To1(), 0, 1);
    end.g = gxClampFloat(endColor_.g + endColorVar_.g * randomMinus1To1(), 0, 1);
    end.b = gxClampFloat(endColor_.b + endColorVar_.b * randomMinus1To1(), 0, 1);
    end.a = gxClampFloat(endColor_.a + endColorVar_.a * randomMinus1To1(), 0, 1);

    // A particle born without life is retired by the next step before it is
    // drawn; its deltas stay 0 rather than dividing by zero.
    const float ttl = p->timeToLive;
    auto perSecond = [ttl](float from, float to) { return ttl > 0 ? (to - from) / ttl : 0.0f; };
    p->color = start;
    p->colorDelta = {perSecond(start.r, end.r), perSecond(start.g, end.g), perSecond(start.b, end.b),
                     perSecond(start.a, end.a)};

    p->size = std::max(0.0f, startSize_ + startSizeVar_ * randomMinus1To1());
    if (endSize_ == kGxParticleStartSizeEqualToEndSize) {
        p->sizeDelta = 0;
    } else {
        float endSize = std::max(0.0f, endSize_ + endSizeVar_ * randomMinus1To1());
        p->sizeDelta = perSecond(p->size, endSize);
    }

    float startSpin = startSpin_ + startSpinVar_ * randomMinus1To1();
    float endSpin = endSpin_ + endSpinVar_ * randomMinus1To1();
    p->rotation = startSpin;
    p->rotationDelta = perSecond(startSpin, endSpin);

    if (positionType_ == kGxPositionTypeFree)
        p->startLocation = convertToWorldSpace(Point{0, 0});
    else if (positionType_ == kGxPositionTypeRelative)
        p->startLocation = position_;

    float a = gxDegreesToRadians(angle_ + angleVar_ * randomMinus1To1());
    if (emitterMode_ == kGxParticleModeGravity) {
        float s = speed() + speedVar() * randomMinus1To1();
        p->mode.A.velocity = Point{std::cos(a) * s, std::sin(a) * s};
        p->mode.A.radialAccel = radialAccel() + radialAccelVar() * randomMinus1To1();
        p->mode.A.tangentialAccel = tangentialAccel() + tangentialAccelVar() * randomMinus1To1();
    } else {
        float startRadius = this->startRadius() + this->startRadiusVar() * randomMinus1To1();
        float endRadius = this->endRadius() + this->endRadiusVar() * randomMinus1To1();
        p->mode.B.radius = startRadius;
        p->mode.B.radiusDelta =
            this->endRadius() == kGxParticleStartRadiusEqualToEndRadius ? 0 : perSecond(startRadius, endRadius);
        p->mode.B.angle = a;
        p->mode.B.angularSpeed = gxDegreesToRadians(rotatePerSecond() + rotatePerSecondVar() * randomMinus1To1());
    }
}

void GxParticleSystem::stopSystem() {
    active_ = false;
    elapsed_ = duration_;
    emitCounter_ = 0;
}

void GxParticleSystem::resetSystem() {
    active_ = true;
    elapsed_ = 0;
    for (unsigned i = 0; i < particleCount_; ++i) particles_[i].timeToLive = 0;
}

void GxParticleSystem::update(float dt) {
    // Auto-removal below may drop the last reference the tree held: the
    // system stays alive until its step is over.
    auto self = shared_from_this();

    if (active_ && emissionRate_ != 0) {
        float rate = 1.0f / emissionRate_;
        if (particleCount_ < totalParticles_) emitCounter_ += dt;
        while (particleCount_ < totalParticles_ && emitCounter_ > rate) {
            addParticle();
            emitCounter_ -= rate;
        }
        elapsed_ += dt;
        if (duration_ != -1 && duration_ < elapsed_) stopSystem();
    }

    particleIdx_ = 0;
    Point currentPosition;
    if (positionType_ == kGxPositionTypeFree)
        currentPosition = convertToWorldSpace(Point{0, 0});
    else if (positionType_ == kGxPositionTypeRelative)
        currentPosition = position_;

    auto batch = batchNode_.lock();
    if (visible_) {
        while (particleIdx_ < particleCount_) {
            sGxParticle& p = particles_[particleIdx_];
            p.timeToLive -= dt;
            if (p.timeToLive > 0) {
                if (emitterMode_ == kGxParticleModeGravity) {
                    Point radial;
                    if (p.location.x != 0 || p.location.y != 0) radial = gxPointNormalize(p.location);
                    Point tangential{-radial.y, radial.x};
                    radial = radial * p.mode.A.radialAccel;
                    tangential = tangential * p.mode.A.tangentialAccel;
                    Point accel = radial + tangential + gravity();
                    p.mode.A.velocity = p.mode.A.velocity + accel * dt;
                    p.location = p.location + p.mode.A.velocity * dt;
                } else {
                    p.mode.B.angle += p.mode.B.angularSpeed * dt;
                    p.mode.B.radius += p.mode.B.radiusDelta * dt;
                    p.location =
                        Point{-std::cos(p.mode.B.angle) * p.mode.B.radius, -std::sin(p.mode.B.angle) * p.mode.B.radius};
                }
                p.color.r += p.colorDelta.r * dt;
                p.color.g += p.colorDelta.g * dt;
                p.color.b += p.colorDelta.b * dt;
                p.color.a += p.colorDelta.a * dt;
                p.size = std::max(0.0f, p.size + p.sizeDelta * dt);
                p.rotation += p.rotationDelta * dt;

                Point newPos;
                if (positionType_ == kGxPositionTypeFree || positionType_ == kGxPositionTypeRelative)
                    newPos = p.location - (currentPosition - p.startLocation);
                else
                    newPos = p.location;
                // A batch node does not apply the system's own transform.
                if (batchNodeSet_) newPos = newPos + position_;
                updateQuadWithParticle(p, newPos);
                ++particleIdx_;
            } else {
                unsigned currentIndex = p.quadIndex;
                if (particleIdx_ != particleCount_ - 1) particles_[particleIdx_] = particles_[particleCount_ - 1];
                if (batch) {
                    batch->disableParticle(atlasIndex_ + currentIndex);
                    particles_[particleCount_ - 1].quadIndex = currentIndex;
                }
                --particleCount_;
                if (particleCount_ == 0 && autoRemoveOnFinish_) {
                    unscheduleUpdate();
                    if (auto parent = this->parent()) parent->removeChild(this, true);
                    return;
                }
            }
        }
    }

    if (!batchNodeSet_) postStep();
}

void GxParticleSystem::updateQuadWithParticle(sGxParticle&, Point) {}

void GxParticleSystem::setTexture(std::shared_ptr<GxTexture2D> texture) {
    texture_ = std::move(texture);
    if (texture_ && !texture_->hasPremultipliedAlpha() && blendFunc_ == gxBlendFunc{kGLOne, kGLOneMinusSrcAlpha})
        blendFunc_ = gxBlendFunc{kGLSrcAlpha, kGLOneMinusSrcAlpha};
}

bool GxParticleSystem::blendAdditive() const { return blendFunc_ == gxBlendFunc{kGLSrcAlpha, kGLOne}; }

void GxParticleSystem::setBlendAdditive(bool additive) {
    if (additive)
        blendFunc_ = gxBlendFunc{kGLSrcAlpha, kGLOne};
    else if (texture_ && !texture_->hasPremultipliedAlpha())
        blendFunc_ = gxBlendFunc{kGLSrcAlpha, kGLOneMinusSrcAlpha};
    else
        blendFunc_ = gxBlendFunc{kGLOne, kGLOneMinusSrcAlpha};
}

bool GxParticleSystem::setTotalParticles(unsigned n) {
    if (n > allocatedParticles_) return false;
    totalParticles_ = n;
    return true;
}

void GxParticleSystem::setBatchNode(const std::shared_ptr<GxParticleBatchNode>& batchNode) {
    if (batchNode.get() == batchNode_.lock().get() && batchNodeSet_ == (batchNode != nullptr)) return;
    batchNode_ = batchNode;
    batchNodeSet_ = batchNode != nullptr;
    if (batchNode)
        for (unsigned i = 0; i < totalParticles_; ++i) particles_[i].quadIndex = i;
}

}  // namespace engine2d
