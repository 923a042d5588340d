#include "lib/engine2d/textures/GxTextureAtlas.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/Log.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

namespace {
bool refuse(const char* what) {
    foundation::warn("engine2d: GxTextureAtlas: %s out of range", what);
    return false;
}
bool refuseCapacity(size_t capacity, unsigned most) {
    foundation::warn("engine2d: GxTextureAtlas: %zu quads are more than the %u this atlas holds", capacity, most);
    return false;
}
}  // namespace

static_assert(sizeof(gxV3F_C4B_T2F) == 24 && sizeof(gxV3F_C4B_T2F_Quad) == 96, "the vertex layout the GL reads");

std::shared_ptr<GxTextureAtlas> GxTextureAtlas::textureAtlasWithFile(const std::string& file, unsigned capacity) {
    auto t = GxTextureCache::sharedTextureCache().addImage(file);
    if (!t) return nullptr;
    return textureAtlasWithTexture(std::move(t), capacity);
}

std::shared_ptr<GxTextureAtlas> GxTextureAtlas::textureAtlasWithTexture(std::shared_ptr<GxTexture2D> texture,
                                                                        unsigned capacity) {
    std::shared_ptr<GxTextureAtlas> a(new GxTextureAtlas());
    if (!a->init(std::move(texture), capacity)) return nullptr;
    return a;
}

bool GxTextureAtlas::init(std::shared_ptr<GxTexture2D> texture, unsigned capacity) {
    if (capacity > maxCapacity_) return refuseCapacity(capacity, maxCapacity_);
    capacity_ = capacity;
    texture_ = std::move(texture);
    quads_.assign(capacity, gxV3F_C4B_T2F_Quad{});
    setupIndices();
    gl::GenBuffers(2, buffersVBO_);
    mapBuffers();
    dirty_ = true;
    return true;
}

GxTextureAtlas::~GxTextureAtlas() {
    if ((buffersVBO_[0] || buffersVBO_[1]) && gl::Context::current()) gl::DeleteBuffers(2, buffersVBO_);
}

void GxTextureAtlas::setupIndices() {
    // One run's indices serve every run: each run's vertices start at 0.
    const unsigned quads = std::min(capacity_, kMaxQuadsPerDraw);
    indices_.resize(size_t(quads) * 6);
    for (unsigned i = 0; i < quads; ++i) {
        uint16_t b = uint16_t(i * 4);
        uint16_t* p = &indices_[size_t(i) * 6];
        p[0] = b;
        p[1] = uint16_t(b + 1);
        p[2] = uint16_t(b + 2);
        p[3] = uint16_t(b + 3);
        p[4] = uint16_t(b + 2);
        p[5] = uint16_t(b + 1);
    }
}

void GxTextureAtlas::mapBuffers() {
    gl::BindBuffer(GL_ARRAY_BUFFER, buffersVBO_[0]);
    gl::BufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(gxV3F_C4B_T2F_Quad) * capacity_), quads_.data(), GL_DYNAMIC_DRAW);
    gl::BindBuffer(GL_ARRAY_BUFFER, 0);
    gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffersVBO_[1]);
    gl::BufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(sizeof(uint16_t) * indices_.size()), indices_.data(),
                   GL_STATIC_DRAW);
    gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

bool GxTextureAtlas::updateQuad(const gxV3F_C4B_T2F_Quad& quad, unsigned index) {
    if (index >= capacity_) return refuse("updateQuad");
    quads_[index] = quad;
    totalQuads_ = std::max(totalQuads_, size_t(index) + 1);
    dirty_ = true;
    return true;
}

bool GxTextureAtlas::insertQuad(const gxV3F_C4B_T2F_Quad& quad, unsigned index) { return insertQuads(&quad, index, 1); }

bool GxTextureAtlas::insertQuads(const gxV3F_C4B_T2F_Quad* quads, unsigned index, unsigned amount) {
    if (index > totalQuads_ || totalQuads_ + amount > capacity_) return refuse("insertQuads");
    size_t tail = totalQuads_ - index;
    if (tail) std::memmove(&quads_[index + amount], &quads_[index], tail * sizeof(gxV3F_C4B_T2F_Quad));
    for (unsigned i = 0; i < amount; ++i) quads_[index + i] = quads[i];
    totalQuads_ += amount;
    dirty_ = true;
    return true;
}

bool GxTextureAtlas::insertQuadFromIndex(unsigned oldIndex, unsigned newIndex) {
    if (oldIndex >= totalQuads_ || newIndex >= totalQuads_) return refuse("insertQuadFromIndex");
    if (oldIndex == newIndex) return true;
    gxV3F_C4B_T2F_Quad saved = quads_[oldIndex];
    if (newIndex < oldIndex)
        std::memmove(&quads_[newIndex + 1], &quads_[newIndex], (oldIndex - newIndex) * sizeof(gxV3F_C4B_T2F_Quad));
    else
        std::memmove(&quads_[oldIndex], &quads_[oldIndex + 1], (newIndex - oldIndex) * sizeof(gxV3F_C4B_T2F_Quad));
    quads_[newIndex] = saved;
    dirty_ = true;
    return true;
}

bool GxTextureAtlas::moveQuadsFromIndex(unsigned oldIndex, unsigned amount, unsigned newIndex) {
    if (size_t(oldIndex) + amount > totalQuads_ || size_t(newIndex) + amount > totalQuads_)
        return refuse("moveQuadsFromIndex");
    if (oldIndex == newIndex || amount == 0) return true;
    std::vector<gxV3F_C4B_T2F_Quad> block(quads_.begin() + oldIndex, quads_.begin() + oldIndex + amount);
    if (newIndex < oldIndex)
        std::memmove(&quads_[newIndex + amount], &quads_[newIndex], (oldIndex - newIndex) * sizeof(gxV3F_C4B_T2F_Quad));
    else
        std::memmove(&quads_[oldIndex], &quads_[oldIndex + amount], (newIndex - oldIndex) * sizeof(gxV3F_C4B_T2F_Quad));
    std::copy(block.begin(), block.end(), quads_.begin() + newIndex);
    dirty_ = true;
    return true;
}

bool GxTextureAtlas::moveQuadsFromIndex(unsigned oldIndex, unsigned newIndex) {
    if (oldIndex > totalQuads_) return refuse("moveQuadsFromIndex");
    size_t n = totalQuads_ - oldIndex;
    if (newIndex + n > capacity_) return refuse("moveQuadsFromIndex");
    if (n) std::memmove(&quads_[newIndex], &quads_[oldIndex], n * sizeof(gxV3F_C4B_T2F_Quad));
    dirty_ = true;
    return true;
}

bool GxTextureAtlas::removeQuadAtIndex(unsigned index) { return removeQuadsAtIndex(index, 1); }

bool GxTextureAtlas::removeQuadsAtIndex(unsigned index, unsigned amount) {
    if (size_t(index) + amount > totalQuads_) return refuse("removeQuadsAtIndex");
    size_t tail = totalQuads_ - index - amount;
    if (tail) std::memmove(&quads_[index], &quads_[index + amount], tail * sizeof(gxV3F_C4B_T2F_Quad));
    totalQuads_ -= amount;
    dirty_ = true;
    return true;
}

bool GxTextureAtlas::fillWithEmptyQuadsFromIndex(unsigned index, unsigned amount) {
    if (size_t(index) + amount > capacity_) return refuse("fillWithEmptyQuadsFromIndex");
    std::fill(quads_.begin() + index, quads_.begin() + index + amount, gxV3F_C4B_T2F_Quad{});
    dirty_ = true;
    return true;
}

bool GxTextureAtlas::increaseTotalQuadsWith(unsigned amount) {
    if (totalQuads_ + amount > capacity_) return refuse("increaseTotalQuadsWith");
    totalQuads_ += amount;
    return true;
}

bool GxTextureAtlas::resizeCapacity(unsigned newCapacity) {
    if (newCapacity == capacity_) return true;
    if (newCapacity > maxCapacity_) return refuseCapacity(newCapacity, maxCapacity_);
    try {
        std::vector<gxV3F_C4B_T2F_Quad> q(newCapacity);
        std::copy_n(quads_.begin(), std::min<size_t>(newCapacity, quads_.size()), q.begin());
        quads_.swap(q);
    } catch (const std::bad_alloc&) {
        foundation::warn("engine2d: GxTextureAtlas: no memory for %u quads", newCapacity);
        return false;
    }
    totalQuads_ = std::min<size_t>(totalQuads_, newCapacity);
    capacity_ = newCapacity;
    setupIndices();
    mapBuffers();
    dirty_ = true;
    return true;
}

void GxTextureAtlas::drawNumberOfQuads(unsigned n, unsigned start) {
    if (n == 0 || size_t(start) + n > totalQuads_) {
        if (n) refuse("drawNumberOfQuads");
        return;
    }
    gxGLCacheBindTexture(texture_ ? texture_->name() : 0);
    if (dirty_) {
        dirty_ = false;
        inBuffer_ = false;
        unchangedDraws_ = 0;
    } else if (!inBuffer_ && ++unchangedDraws_ >= kSettledDraws) {
        // Every quad goes up, not only those in use: quads a later
        // increaseTotalQuadsWith brings into use must not be stale.
        gl::BindBuffer(GL_ARRAY_BUFFER, buffersVBO_[0]);
        gl::BufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(sizeof(gxV3F_C4B_T2F_Quad) * capacity_), quads_.data());
        inBuffer_ = true;
    }
    gl::BindBuffer(GL_ARRAY_BUFFER, inBuffer_ ? buffersVBO_[0] : 0);
    gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, inBuffer_ ? buffersVBO_[1] : 0);
    // Offsets into the buffers, or addresses in memory.
    const uintptr_t quadsAt = inBuffer_ ? 0 : reinterpret_cast<uintptr_t>(quads_.data());
    const void* indicesAt = inBuffer_ ? nullptr : indices_.data();
    gxGLCacheEnableAttribs(kGxVertexAttribFlagPosition | kGxVertexAttribFlagColor | kGxVertexAttribFlagTexCoords);
    const GLsizei stride = sizeof(gxV3F_C4B_T2F);
    // Runs of at most kMaxQuadsPerDraw quads, the attributes pointing at the
    // run's first quad so that its 16-bit indices start from 0.
    for (unsigned done = 0; done < n;) {
        const unsigned count = std::min(n - done, kMaxQuadsPerDraw);
        const uintptr_t base = quadsAt + sizeof(gxV3F_C4B_T2F_Quad) * (size_t(start) + done);
        gl::VertexAttribPointer(kGxVertexAttribPosition, 3, GL_FLOAT, GL_FALSE, stride,
                                reinterpret_cast<const void*>(base + offsetof(gxV3F_C4B_T2F, vertices)));
        gl::VertexAttribPointer(kGxVertexAttribColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                                reinterpret_cast<const void*>(base + offsetof(gxV3F_C4B_T2F, colors)));
        gl::VertexAttribPointer(kGxVertexAttribTexCoords, 2, GL_FLOAT, GL_FALSE, stride,
                                reinterpret_cast<const void*>(base + offsetof(gxV3F_C4B_T2F, texCoords)));
        gl::DrawElements(GL_TRIANGLES, GLsizei(count * 6), GL_UNSIGNED_SHORT, indicesAt);
        ++GxEnvironment::shared().drawCounter;
        done += count;
    }
    if (inBuffer_) {
        gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        gl::BindBuffer(GL_ARRAY_BUFFER, 0);
    }
}

std::string GxTextureAtlas::description() const {
    char buf[80];
    std::snprintf(buf, sizeof buf, "<GxTextureAtlas = %p | totalQuads =  %zu>", static_cast<const void*>(this),
                  totalQuads_);
    return buf;
}

}  // namespace engine2d
