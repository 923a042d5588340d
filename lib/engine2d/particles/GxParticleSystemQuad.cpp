#include "lib/engine2d/particles/GxParticleSystemQuad.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <new>

#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/particles/GxParticleBatchNode.h"
#include "lib/engine2d/sprites/GxSpriteFrame.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "platform/foundation/Log.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

GxParticleSystemQuad::GxParticleSystemQuad() = default;

GxParticleSystemQuad::~GxParticleSystemQuad() { deleteBuffers(); }

bool GxParticleSystemQuad::initWithTotalParticles(unsigned n) {
    if (!GxParticleSystem::initWithTotalParticles(n)) return false;
    if (!allocMemory()) return false;
    initIndices();
    initVAO();
    if (gl::Context::current())
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    return true;
}

bool GxParticleSystemQuad::allocMemory() {
    try {
        quads_.assign(totalParticles_, gxV3F_C4B_T2F_Quad{});
        indices_.assign(size_t(totalParticles_) * 6, 0);
    } catch (const std::bad_alloc&) {
        quads_.clear();
        quads_.shrink_to_fit();
        indices_.clear();
        indices_.shrink_to_fit();
        return false;
    }
    return true;
}

void GxParticleSystemQuad::initIndices() {
    for (unsigned i = 0; i < totalParticles_ && size_t(i) * 6 + 5 < indices_.size(); ++i) {
        const uint16_t b = uint16_t(i * 4);
        uint16_t* p = &indices_[size_t(i) * 6];
        p[0] = b;
        p[1] = uint16_t(b + 1);
        p[2] = uint16_t(b + 2);
        p[3] = uint16_t(b + 3);
        p[4] = uint16_t(b + 2);
        p[5] = uint16_t(b + 1);
    }
}

// The vertex and index buffers of the current capacity. GLES 2 here has no
// vertex array objects: draw() sets the attribute layout each time.
void GxParticleSystemQuad::initVAO() {
    if (!gl::Context::current() || quads_.empty()) return;
    deleteBuffers();
    gl::GenBuffers(2, buffersVBO_);
    gl::BindBuffer(GL_ARRAY_BUFFER, buffersVBO_[0]);
    gl::BufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(gxV3F_C4B_T2F_Quad) * quads_.size()), quads_.data(),
                   GL_DYNAMIC_DRAW);
    gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffersVBO_[1]);
    gl::BufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(sizeof(uint16_t) * indices_.size()), indices_.data(),
                   GL_STATIC_DRAW);
    gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    gl::BindBuffer(GL_ARRAY_BUFFER, 0);
}

void GxParticleSystemQuad::deleteBuffers() {
    if ((buffersVBO_[0] || buffersVBO_[1]) && gl::Context::current()) gl::DeleteBuffers(2, buffersVBO_);
    buffersVBO_[0] = buffersVBO_[1] = 0;
}

bool GxParticleSystemQuad::setTotalParticles(unsigned n) {
    if (n <= allocatedParticles_) {
        totalParticles_ = n;
        return true;
    }
    if (n > kMaxParticles) {
        foundation::warn("engine2d: GxParticleSystemQuad: %u particles is more than %u", n, kMaxParticles);
        return false;
    }
    const bool inBatch = batchNodeSet_;
    try {
        std::vector<sGxParticle> particles(n);
        std::vector<gxV3F_C4B_T2F_Quad> quads(inBatch ? 0 : n);
        std::vector<uint16_t> indices(inBatch ? 0 : size_t(n) * 6);
        particles_.swap(particles);
        quads_.swap(quads);
        indices_.swap(indices);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // The live particles are wiped; the next step retires them.
    allocatedParticles_ = totalParticles_ = n;
    if (inBatch)
        for (unsigned i = 0; i < n; ++i) particles_[i].quadIndex = i;
    if (!inBatch) {
        initIndices();
        initVAO();
        if (texture_) initTexCoordsWithRect(Rect{{0, 0}, texture_->contentSize()});
    }
    return true;
}

void GxParticleSystemQuad::setTexture(std::shared_ptr<GxTexture2D> texture) {
    Rect r;
    if (texture) r.size = texture->contentSize();
    setTextureWithRect(std::move(texture), r);
}

void GxParticleSystemQuad::setTextureWithRect(std::shared_ptr<GxTexture2D> texture, Rect rect) {
    unsigned oldName = texture_ ? texture_->name() : 0, newName = texture ? texture->name() : 0;
    if (!texture_ || !texture || oldName != newName) GxParticleSystem::setTexture(std::move(texture));
    initTexCoordsWithRect(rect);
}

void GxParticleSystemQuad::initTexCoordsWithRect(Rect r) {
    const float scale = GxEnvironment::shared().contentScaleFactor;
    r = Rect{{r.origin.x * scale, r.origin.y * scale}, {r.size.width * scale, r.size.height * scale}};
    float wide = texture_ ? float(texture_->pixelsWide()) : r.size.width;
    float high = texture_ ? float(texture_->pixelsHigh()) : r.size.height;
    if (wide <= 0) wide = 1;
    if (high <= 0) high = 1;
    const float left = r.origin.x / wide, bottom = r.origin.y / high + r.size.height / high;
    const float right = left + r.size.width / wide, top = r.origin.y / high;

    gxV3F_C4B_T2F_Quad* quads = nullptr;
    unsigned count = totalParticles_;
    if (batchNodeSet_) {
        auto batch = batchNode_.lock();
        if (!batch) return;
        auto& atlas = batch->textureAtlas();
        if (size_t(atlasIndex_) + count > atlas->capacity()) return;
        quads = atlas->quads() + atlasIndex_;
    } else {
        if (quads_.size() < count) return;
        quads = quads_.data();
    }
    for (unsigned i = 0; i < count; ++i) {
        quads[i].bl.texCoords = {left, bottom};
        quads[i].br.texCoords = {right, bottom};
        quads[i].tl.texCoords = {left, top};
        quads[i].tr.texCoords = {right, top};
    }
}

void GxParticleSystemQuad::setDisplayFrame(const std::shared_ptr<GxSpriteFrame>& frame) {
    if (!frame) return;
    auto t = frame->texture();
    if (!t) return;
    if (!texture_ || t->name() != texture_->name()) setTexture(std::move(t));
}

void GxParticleSystemQuad::updateQuadWithParticle(sGxParticle& p, Point pos) {
    gxV3F_C4B_T2F_Quad* quad = nullptr;
    if (batchNodeSet_) {
        auto batch = batchNode_.lock();
        if (!batch) return;
        auto& atlas = batch->textureAtlas();
        const size_t i = size_t(atlasIndex_) + p.quadIndex;
        if (i >= atlas->capacity()) return;
        quad = atlas->quads() + i;
    } else {
        if (particleIdx_ >= quads_.size()) return;
        quad = &quads_[particleIdx_];
    }

    // Truncated to a byte. Colours are not clamped while they change, so a
    // channel past 1 (or below 0) saturates instead of wrapping around.
    auto byte = [](float c) {
        float v = c * 255;
        return uint8_t(v >= 255 ? 255 : v > 0 ? int(v) : 0);
    };
    gxColor4B color{byte(p.color.r), byte(p.color.g), byte(p.color.b), byte(p.color.a)};
    quad->bl.colors = quad->br.colors = quad->tl.colors = quad->tr.colors = color;

    const float h = p.size / 2;
    if (p.rotation != 0) {
        const float x1 = -h, y1 = -h, x2 = h, y2 = h;
        const float r = -gxDegreesToRadians(p.rotation);
        const float cr = std::cos(r), sr = std::sin(r);
        const float ax = x1 * cr - y1 * sr + pos.x, ay = x1 * sr + y1 * cr + pos.y;
        const float bx = x2 * cr - y1 * sr + pos.x, by = x2 * sr + y1 * cr + pos.y;
        const float cx = x2 * cr - y2 * sr + pos.x, cy = x2 * sr + y2 * cr + pos.y;
        const float dx = x1 * cr - y2 * sr + pos.x, dy = x1 * sr + y2 * cr + pos.y;
        quad->bl.vertices.x = ax, quad->bl.vertices.y = ay;
        quad->br.vertices.x = bx, quad->br.vertices.y = by;
        quad->tl.vertices.x = dx, quad->tl.vertices.y = dy;
        quad->tr.vertices.x = cx, quad->tr.vertices.y = cy;
    } else {
        quad->bl.vertices.x = pos.x - h, quad->bl.vertices.y = pos.y - h;
        quad->br.vertices.x = pos.x + h, quad->br.vertices.y = pos.y - h;
        quad->tl.vertices.x = pos.x - h, quad->tl.vertices.y = pos.y + h;
        quad->tr.vertices.x = pos.x + h, quad->tr.vertices.y = pos.y + h;
    }
}

void GxParticleSystemQuad::postStep() {
    if (!gl::Context::current() || particleCount_ == 0) return;
    if (!buffersVBO_[0]) initVAO();
    if (!buffersVBO_[0]) return;
    gl::BindBuffer(GL_ARRAY_BUFFER, buffersVBO_[0]);
    gl::BufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(sizeof(gxV3F_C4B_T2F_Quad) * particleCount_), quads_.data());
    gl::BindBuffer(GL_ARRAY_BUFFER, 0);
}

void GxParticleSystemQuad::draw() {
    if (batchNodeSet_ || !gl::Context::current()) return;
    if (!buffersVBO_[0]) initVAO();
    if (!buffersVBO_[0]) return;
    if (!shaderProgram_)
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    if (!shaderProgram_) return;
    gxGLCacheEnable(glServerState_);
    shaderProgram_->use();
    shaderProgram_->setUniformForModelViewProjectionMatrix();
    gxGLCacheBindTexture(texture_ ? texture_->name() : 0);
    gxGLCacheBlendFunc(blendFunc_.src, blendFunc_.dst);

    gl::BindBuffer(GL_ARRAY_BUFFER, buffersVBO_[0]);
    gxGLCacheEnableAttribs(kGxVertexAttribFlagPosition | kGxVertexAttribFlagColor | kGxVertexAttribFlagTexCoords);
    const GLsizei stride = sizeof(gxV3F_C4B_T2F);
    // Only x and y of each vertex are read; z stays 0.
    gl::VertexAttribPointer(kGxVertexAttribPosition, 2, GL_FLOAT, GL_FALSE, stride,
                            reinterpret_cast<const void*>(offsetof(gxV3F_C4B_T2F, vertices)));
    gl::VertexAttribPointer(kGxVertexAttribColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                            reinterpret_cast<const void*>(offsetof(gxV3F_C4B_T2F, colors)));
    gl::VertexAttribPointer(kGxVertexAttribTexCoords, 2, GL_FLOAT, GL_FALSE, stride,
                            reinterpret_cast<const void*>(offsetof(gxV3F_C4B_T2F, texCoords)));
    gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffersVBO_[1]);
    gl::DrawElements(GL_TRIANGLES, GLsizei(particleIdx_ * 6), GL_UNSIGNED_SHORT, nullptr);
    gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    gl::BindBuffer(GL_ARRAY_BUFFER, 0);
    ++GxEnvironment::shared().drawCounter;
}

void GxParticleSystemQuad::setBatchNode(const std::shared_ptr<GxParticleBatchNode>& batchNode) {
    const bool wasInBatch = batchNodeSet_;
    auto old = batchNode_.lock();
    if (batchNode.get() == old.get() && wasInBatch == (batchNode != nullptr)) return;
    GxParticleSystem::setBatchNode(batchNode);

    if (!batchNode) {
        // Back to drawing on its own: storage of its own again.
        if (!allocMemory()) return;
        initIndices();
        setTexture(old ? old->texture() : texture_);
        initVAO();
    } else if (!wasInBatch) {
        auto& atlas = batchNode->textureAtlas();
        if (size_t(atlasIndex_) + totalParticles_ <= atlas->capacity() && quads_.size() >= totalParticles_)
            std::copy_n(quads_.begin(), totalParticles_, atlas->quads() + atlasIndex_);
        quads_.clear();
        quads_.shrink_to_fit();
        indices_.clear();
        indices_.shrink_to_fit();
        deleteBuffers();
    }
}

}  // namespace engine2d
