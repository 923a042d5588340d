#pragma once
// Many textured quads sharing one texture, drawn a run at a time with one
// indexed draw call per 16384 quads; fixed indices turn each quad into two
// triangles. The quads live in a client array. While they change between
// draws they are drawn straight from it: writing a vertex buffer between
// draws costs a software renderer more than the draws themselves. Quads
// that stay as they are through kSettledDraws draws go up to a vertex buffer
// once and are drawn from there until they change again. Every mutator
// checks its indices against the quads in use and the capacity: a call out
// of range is refused (false) and changes nothing.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lib/engine2d/mathlib/Types.h"

namespace engine2d {

class GxTexture2D;

class GxTextureAtlas {
public:
    // 16-bit indices reach 65536 vertices: 16384 quads a draw call. An atlas
    // holds that many unless its owner raises its limit (setMaxCapacity, up
    // to kMaxCapacity: 24 MiB of quads); more quads are drawn in runs of
    // 16384, each from its own place in the vertex buffer.
    static constexpr unsigned kMaxQuadsPerDraw = 16384;
    static constexpr unsigned kMaxCapacity = 16 * kMaxQuadsPerDraw;
    static constexpr unsigned kSettledDraws = 3;

    static std::shared_ptr<GxTextureAtlas> textureAtlasWithFile(const std::string& file, unsigned capacity);
    static std::shared_ptr<GxTextureAtlas> textureAtlasWithTexture(std::shared_ptr<GxTexture2D> texture,
                                                                   unsigned capacity);
    ~GxTextureAtlas();
    GxTextureAtlas(const GxTextureAtlas&) = delete;
    GxTextureAtlas& operator=(const GxTextureAtlas&) = delete;

    unsigned totalQuads() const { return unsigned(totalQuads_); }
    unsigned capacity() const { return capacity_; }
    unsigned maxCapacity() const { return maxCapacity_; }
    void setMaxCapacity(unsigned n) { maxCapacity_ = n < kMaxCapacity ? n : kMaxCapacity; }
    const std::shared_ptr<GxTexture2D>& texture() const { return texture_; }
    void setTexture(std::shared_ptr<GxTexture2D> t) { texture_ = std::move(t); }
    // Writable access marks the atlas dirty.
    gxV3F_C4B_T2F_Quad* quads() {
        dirty_ = true;
        return quads_.data();
    }
    const gxV3F_C4B_T2F_Quad& quadAt(unsigned i) const { return quads_[i]; }
    const std::vector<uint16_t>& indices() const { return indices_; }

    bool updateQuad(const gxV3F_C4B_T2F_Quad& quad, unsigned index);
    bool insertQuad(const gxV3F_C4B_T2F_Quad& quad, unsigned index);
    bool insertQuads(const gxV3F_C4B_T2F_Quad* quads, unsigned index, unsigned amount);
    bool insertQuadFromIndex(unsigned oldIndex, unsigned newIndex);
    bool moveQuadsFromIndex(unsigned oldIndex, unsigned amount, unsigned newIndex);
    bool moveQuadsFromIndex(unsigned oldIndex, unsigned newIndex);
    bool removeQuadAtIndex(unsigned index);
    bool removeQuadsAtIndex(unsigned index, unsigned amount);
    void removeAllQuads() { totalQuads_ = 0; }
    bool fillWithEmptyQuadsFromIndex(unsigned index, unsigned amount);
    bool increaseTotalQuadsWith(unsigned amount);
    // False (and the atlas as it was) when the memory cannot be had or the
    // capacity is beyond maxCapacity().
    bool resizeCapacity(unsigned newCapacity);

    void drawQuads() { drawNumberOfQuads(unsigned(totalQuads_), 0); }
    void drawNumberOfQuads(unsigned n) { drawNumberOfQuads(n, 0); }
    void drawNumberOfQuads(unsigned n, unsigned start);

    std::string description() const;

private:
    GxTextureAtlas() = default;
    bool init(std::shared_ptr<GxTexture2D> texture, unsigned capacity);
    void setupIndices();
    void mapBuffers();

    size_t totalQuads_ = 0;
    unsigned capacity_ = 0;
    unsigned maxCapacity_ = kMaxQuadsPerDraw;
    std::vector<gxV3F_C4B_T2F_Quad> quads_;
    std::vector<uint16_t> indices_;
    std::shared_ptr<GxTexture2D> texture_;
    unsigned buffersVBO_[2] = {0, 0};
    bool dirty_ = false;
    // The vertex buffer holds the quads as they are, and unchanged draws so far.
    bool inBuffer_ = false;
    unsigned unchangedDraws_ = 0;
};

}  // namespace engine2d
