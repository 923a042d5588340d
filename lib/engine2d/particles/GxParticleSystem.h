#pragma once
// The particle system: a node that emits, moves, colours, shrinks, spins and
// retires up to a fixed number of particles, one step per frame. Every
// parameter is a base value and a +/- variance. It does not draw: each live
// particle goes to updateQuadWithParticle (the quad renderer writes its
// square there, into its own buffer or into a particle batch node's atlas)
// and postStep follows the step.
//
// Systems are configured in code or read from a particle property list (a
// flat dictionary of numbers plus a texture, by file name or embedded as
// base64 of gzip/zlib-compressed image bytes).

#include <memory>
#include <string>
#include <vector>

#include "lib/engine2d/mathlib/Types.h"
#include "lib/engine2d/nodes/GxNode.h"

namespace foundation {
class Dictionary;
}

namespace engine2d {

class GxTexture2D;
class GxParticleBatchNode;

// One particle. The live particles are always the first particleCount
// records of the system's array.
struct sGxParticle {
    Point location;       // relative to the system's own origin
    Point startLocation;  // the emitter's reference position at birth
    gxColor4F color;
    gxColor4F colorDelta;  // per second
    float size = 0, sizeDelta = 0;
    float rotation = 0, rotationDelta = 0;  // degrees, degrees per second
    float timeToLive = 0;
    unsigned quadIndex = 0;  // the particle's quad in the system's block of a batch node's atlas
    union {
        struct {
            Point velocity;
            float radialAccel, tangentialAccel;
        } A;  // gravity mode
        struct {
            float angle, angularSpeed;  // radians, radians per second
            float radius, radiusDelta;
        } B;  // radius mode
    } mode{};
};

enum GxParticleEmitterMode { kGxParticleModeGravity = 0, kGxParticleModeRadius = 1 };
enum GxPositionType { kGxPositionTypeFree = 0, kGxPositionTypeRelative = 1, kGxPositionTypeGrouped = 2 };
constexpr float kGxParticleDurationInfinity = -1;
constexpr float kGxParticleStartSizeEqualToEndSize = -1;
constexpr float kGxParticleStartRadiusEqualToEndRadius = -1;

class GxParticleSystem : public GxNode {
public:
    // The most particles one system can hold: every drawn particle is a quad
    // addressed with 16-bit indices (65536 vertices, 16384 quads). A larger
    // capacity is refused.
    static constexpr unsigned kMaxParticles = 16384;
    static constexpr unsigned kDefaultParticles = 150;

    // Factories: a system of the receiving class, nullptr when it cannot be made.
    template <class T = GxParticleSystem>
    static std::shared_ptr<T> particleWithTotalParticles(unsigned n) {
        auto s = std::make_shared<T>();
        if (!s->initWithTotalParticles(n)) return nullptr;
        return s;
    }
    template <class T = GxParticleSystem>
    static std::shared_ptr<T> particleWithFile(const std::string& path) {
        auto s = std::make_shared<T>();
        if (!s->initWithFile(path)) return nullptr;
        return s;
    }
    template <class T = GxParticleSystem>
    static std::shared_ptr<T> particleWithDictionary(const foundation::Dictionary& d) {
        auto s = std::make_shared<T>();
        if (!s->initWithDictionary(d)) return nullptr;
        return s;
    }

    GxParticleSystem();
    ~GxParticleSystem() override;
    const char* className() const override { return "GxParticleSystem"; }

    // init() is a system of kDefaultParticles. Subclasses override
    // initWithTotalParticles (calling the base first) to set up what they add.
    bool init() override;
    virtual bool initWithTotalParticles(unsigned n);
    // The file is found through the file utilities and read as a property
    // list; an unreadable file reads as a dictionary without keys.
    bool initWithFile(const std::string& path);
    bool initWithDictionary(const foundation::Dictionary& dictionary);

    bool addParticle();
    void initParticle(sGxParticle* particle);
    void stopSystem();
    void resetSystem();
    bool isFull() const { return particleCount_ == totalParticles_; }

    void update(float dt) override;
    void updateWithNoTime() { update(0); }
    // The per-particle writer and the end of a step: the renderer's.
    virtual void updateQuadWithParticle(sGxParticle& particle, Point newPosition);
    virtual void postStep() {}

    // Texture and blending.
    const std::shared_ptr<GxTexture2D>& texture() const { return texture_; }
    virtual void setTexture(std::shared_ptr<GxTexture2D> texture);
    gxBlendFunc blendFunc() const { return blendFunc_; }
    void setBlendFunc(gxBlendFunc f) { blendFunc_ = f; }
    bool blendAdditive() const;
    void setBlendAdditive(bool additive);

    // Capacity: here only the number; the quad renderer grows its storage.
    unsigned totalParticles() const { return totalParticles_; }
    virtual bool setTotalParticles(unsigned n);
    unsigned particleCount() const { return particleCount_; }
    unsigned allocatedParticles() const { return allocatedParticles_; }
    const sGxParticle* particles() const { return particles_.data(); }
    // Index of the particle being stepped; after a step, the particles written.
    unsigned particleIdx() const { return particleIdx_; }

    // Batch node (not owned).
    GxParticleBatchNode* batchNode() const { return batchNode_.lock().get(); }
    virtual void setBatchNode(const std::shared_ptr<GxParticleBatchNode>& batchNode);
    unsigned atlasIndex() const { return atlasIndex_; }
    void setAtlasIndex(unsigned i) { atlasIndex_ = i; }

    // Emission.
    bool isActive() const { return active_; }
    float duration() const { return duration_; }
    void setDuration(float d) { duration_ = d; }
    float elapsed() const { return elapsed_; }
    float emissionRate() const { return emissionRate_; }
    void setEmissionRate(float r) { emissionRate_ = r; }
    float emitCounter() const { return emitCounter_; }
    Point sourcePosition() const { return sourcePosition_; }
    void setSourcePosition(Point p) { sourcePosition_ = p; }
    Point posVar() const { return posVar_; }
    void setPosVar(Point p) { posVar_ = p; }
    float life() const { return life_; }
    void setLife(float v) { life_ = v; }
    float lifeVar() const { return lifeVar_; }
    void setLifeVar(float v) { lifeVar_ = v; }
    float angle() const { return angle_; }
    void setAngle(float v) { angle_ = v; }
    float angleVar() const { return angleVar_; }
    void setAngleVar(float v) { angleVar_ = v; }
    int emitterMode() const { return emitterMode_; }
    void setEmitterMode(int m) { emitterMode_ = m; }
    int positionType() const { return positionType_; }
    void setPositionType(int t) { positionType_ = t; }
    bool autoRemoveOnFinish() const { return autoRemoveOnFinish_; }
    void setAutoRemoveOnFinish(bool b) { autoRemoveOnFinish_ = b; }

    // The two mode layouts share one storage, field by field: gravity x/y
    // with the start radius and its variance, speed and its variance with the
    // end radius and its variance, tangential acceleration and its variance
    // with the rotation per second and its variance. They read and write it
    // whatever the emitter mode.
    Point gravity() const { return {mode_[0], mode_[1]}; }
    void setGravity(Point g) { mode_[0] = g.x, mode_[1] = g.y; }
    float speed() const { return mode_[2]; }
    void setSpeed(float v) { mode_[2] = v; }
    float speedVar() const { return mode_[3]; }
    void setSpeedVar(float v) { mode_[3] = v; }
    float tangentialAccel() const { return mode_[4]; }
    void setTangentialAccel(float v) { mode_[4] = v; }
    float tangentialAccelVar() const { return mode_[5]; }
    void setTangentialAccelVar(float v) { mode_[5] = v; }
    float radialAccel() const { return mode_[6]; }
    void setRadialAccel(float v) { mode_[6] = v; }
    float radialAccelVar() const { return mode_[7]; }
    void setRadialAccelVar(float v) { mode_[7] = v; }
    float startRadius() const { return mode_[0]; }
    void setStartRadius(float v) { mode_[0] = v; }
    float startRadiusVar() const { return mode_[1]; }
    void setStartRadiusVar(float v) { mode_[1] = v; }
    float endRadius() const { return mode_[2]; }
    void setEndRadius(float v) { mode_[2] = v; }
    float endRadiusVar() const { return mode_[3]; }
    void setEndRadiusVar(float v) { mode_[3] = v; }
    float rotatePerSecond() const { return mode_[4]; }
    void setRotatePerSecond(float v) { mode_[4] = v; }
    float rotatePerSecondVar() const { return mode_[5]; }
    void setRotatePerSecondVar(float v) { mode_[5] = v; }

    // Look.
    float startSize() const { return startSize_; }
    void setStartSize(float v) { startSize_ = v; }
    float startSizeVar() const { return startSizeVar_; }
    void setStartSizeVar(float v) { startSizeVar_ = v; }
    float endSize() const { return endSize_; }
    void setEndSize(float v) { endSize_ = v; }
    float endSizeVar() const { return endSizeVar_; }
    void setEndSizeVar(float v) { endSizeVar_ = v; }
    gxColor4F startColor() const { return startColor_; }
    void setStartColor(gxColor4F c) { startColor_ = c; }
    gxColor4F startColorVar() const { return startColorVar_; }
    void setStartColorVar(gxColor4F c) { startColorVar_ = c; }
    gxColor4F endColor() const { return endColor_; }
    void setEndColor(gxColor4F c) { endColor_ = c; }
    gxColor4F endColorVar() const { return endColorVar_; }
    void setEndColorVar(gxColor4F c) { endColorVar_ = c; }
    float startSpin() const { return startSpin_; }
    void setStartSpin(float v) { startSpin_ = v; }
    float startSpinVar() const { return startSpinVar_; }
    void setStartSpinVar(float v) { startSpinVar_ = v; }
    float endSpin() const { return endSpin_; }
    void setEndSpin(float v) { endSpin_ = v; }
    float endSpinVar() const { return endSpinVar_; }
    void setEndSpinVar(float v) { endSpinVar_ = v; }

protected:
    // The texture named by the dictionary, or decoded from its embedded
    // data; nullptr when neither gives one.
    static std::shared_ptr<GxTexture2D> textureFromDictionary(const foundation::Dictionary& d);
    std::shared_ptr<GxParticleBatchNode> batchNodeRef() const { return batchNode_.lock(); }

    bool active_ = true;
    float duration_ = 0, elapsed_ = 0;
    Point sourcePosition_, posVar_;
    float angle_ = 0, angleVar_ = 0;
    int emitterMode_ = kGxParticleModeGravity;
    float mode_[8] = {};
    float startSize_ = 0, startSizeVar_ = 0, endSize_ = 0, endSizeVar_ = 0;
    float life_ = 0, lifeVar_ = 0;
    gxColor4F startColor_, startColorVar_, endColor_, endColorVar_;
    float startSpin_ = 0, startSpinVar_ = 0, endSpin_ = 0, endSpinVar_ = 0;
    std::vector<sGxParticle> particles_;
    unsigned totalParticles_ = 0, particleCount_ = 0, allocatedParticles_ = 0;
    float emissionRate_ = 0, emitCounter_ = 0;
    std::shared_ptr<GxTexture2D> texture_;
    gxBlendFunc blendFunc_{1, 771};
    int positionType_ = kGxPositionTypeFree;
    bool autoRemoveOnFinish_ = false;
    unsigned particleIdx_ = 0;
    std::weak_ptr<GxParticleBatchNode> batchNode_;
    bool batchNodeSet_ = false;  // set while in a batch node, even if that node is gone
    unsigned atlasIndex_ = 0;
};

}  // namespace engine2d
