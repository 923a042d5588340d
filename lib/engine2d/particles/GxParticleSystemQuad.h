#pragma once
// The quad renderer of particle systems: every live particle becomes one
// textured, coloured, possibly rotated square, and all of them go out with
// one indexed draw from a vertex buffer refreshed once per step. Inside a
// particle batch node the squares are written into the batch node's atlas
// instead, and the system keeps no vertex storage of its own.
//
// The buffers are made when a GL context is current (at initialisation, or
// at the first upload or draw), so the simulation and the quads it writes
// can be used and checked without one.

#include <cstdint>
#include <memory>
#include <vector>

#include "lib/engine2d/particles/GxParticleSystem.h"

namespace engine2d {

class GxSpriteFrame;

class GxParticleSystemQuad : public GxParticleSystem {
public:
    GxParticleSystemQuad();
    ~GxParticleSystemQuad() override;
    const char* className() const override { return "GxParticleSystemQuad"; }

    bool initWithTotalParticles(unsigned n) override;
    bool allocMemory();
    void initIndices();
    void initVAO();

    // Grows the storage when n is beyond what is allocated (the live
    // particles are then wiped and retired by the next step); false, and
    // nothing changed, when it cannot.
    bool setTotalParticles(unsigned n) override;
    void setTexture(std::shared_ptr<GxTexture2D> texture) override;
    // rect in points.
    void setTextureWithRect(std::shared_ptr<GxTexture2D> texture, Rect rect);
    void initTexCoordsWithRect(Rect rect);
    void setDisplayFrame(const std::shared_ptr<GxSpriteFrame>& frame);

    void updateQuadWithParticle(sGxParticle& particle, Point newPosition) override;
    void postStep() override;
    void draw() override;
    void setBatchNode(const std::shared_ptr<GxParticleBatchNode>& batchNode) override;

    // Own storage (empty while in a batch node).
    const std::vector<gxV3F_C4B_T2F_Quad>& quads() const { return quads_; }
    const std::vector<uint16_t>& indices() const { return indices_; }
    unsigned vertexBuffer() const { return buffersVBO_[0]; }
    unsigned indexBuffer() const { return buffersVBO_[1]; }

private:
    void deleteBuffers();

    std::vector<gxV3F_C4B_T2F_Quad> quads_;
    std::vector<uint16_t> indices_;
    unsigned buffersVBO_[2] = {0, 0};
};

}  // namespace engine2d
